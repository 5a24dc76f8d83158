// The one reset of the kit for tests: every layer's state, the kit's flags, the globals, hooks
// and log settings back to their start values.
#include "door/reset.h"

#include "door/doorlog.h"
#include "door/net/comm.h"
#include "door/state.h"
#include "door/term/ansi.h"
#include "door/term/console.h"

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
