// The kit's one session object and its reset.
#include "door/state.h"

#include "door/doorlog.h"
#include "door/net/comm.h"
#include "door/term/ansi.h"
#include "door/term/console.h"

TDoorState& DoorState() {
    static TDoorState state;
    return state;
}

void DoorResetForTests() {
    TDoorState& state = DoorState();
    ConsoleUseHeadless(); // puts a terminal back first
    AnsiReset();
    CommClose(false);
    state.Net = {};
    static_cast<TDoorKitState&>(state) = {};
    DoorResetSessionGlobals();
    DoorResetHooks();
    DoorLogFileName.clear();
    DoorLogMaxBytes = kDoorLogMaxBytes;
}
