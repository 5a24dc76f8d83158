// The kit's own state for the one session this process serves, beyond the records, globals and
// hooks of door.h: the terminal layer's (screen model, emulator, console back-end), the
// connection layer's (transport, the caller's terminal) and the kit's modules' flags. One object
// holds it, reached through DoorState(); door/reset.h resets it for tests. The kit's modules
// include this header and it includes none of theirs.
#pragma once

#include "door/keys.h"
#include "door/net/netstate.h"
#include "door/term/termstate.h"

#include <string>

// The state of the kit's own modules in door/.
struct TDoorKitState {
    // The log: how the session ends (the first account wins), and whether a start line was
    // written whose end line is still due.
    std::string LogEnding;
    bool LogEndDue = false;
    // Set once the event pass has reported a lost carrier. Until then a lost caller is reported
    // at once instead of at the next whole second, so the node is handed back promptly;
    // afterwards passes keep their once-a-second pace, also when a replaced hang-up hook lets the
    // door go on.
    bool HangupReported = false;
    // An event pass is running: a hook that reads keys must not start a pass inside the pass.
    bool EventPassRunning = false;
    // The exit guard acts at most once, and only once DoorStartup has armed it.
    bool ExitGuardArmed = false;
    // The caller's bytes between two keys: only a UTF-8 character may run on from one key to the
    // next.
    TKeyDecoder RemoteDecoder;
    // The program's path as DoorStartup was given it (argv[0]); empty before.
    std::string ProgramPath;
};

struct TDoorState : TDoorKitState {
    // The lower layers keep their state in objects of their own (they cannot see door/); the
    // session object holds them by reference.
    TTermState& Term = TermState();
    TNetState& Net = NetState();
};

// The one session object.
TDoorState& DoorState();

// The parts of the reset for tests (door/reset.h) kept beside the values they restore: the
// globals of session.h (the records, the clocks and the delay) and the hooks of door.h.
void DoorResetSessionGlobals();
void DoorResetHooks();
