// The one way out: the exit guard, the hand-back and the shutdown in its written order.
#include "door/shutdown.h"

#include "door/door.h"
#include "door/doorlog.h"
#include "door/net/comm.h"
#include "door/platform/ending.h"
#include "door/state.h"
#include "door/term/console.h"
#include "door/term/screen.h"

#include <cstdlib>

namespace {

// The exit guard's last output; true when it was armed, so that the caller is to be handed back.
bool ExitGuardOutput() {
    bool& armed = DoorState().ExitGuardArmed;
    if (!armed) return false;
    armed = false;
    DoorTextAttr(7);
    DoorCursorDown(255);
    DoorCursorLeft(255);
    return true;
}

// Every step acts at most once, so a second run (DoorExit, then atexit) does nothing.
void RunShutdown() {
    const bool handBack = ExitGuardOutput();
    DoorLogSessionEnd();
    ConsoleRestore();
    if (handBack) DoorClose(false);
}

} // namespace

void DoorArmExit() {
    // Once per process: an atexit registration cannot be undone, so it is no session state.
    static bool registered = false;
    if (registered) return;
    // What the shutdown uses (the session object with the layers' state, the console back-end)
    // is made first, so that it is destroyed only after the shutdown ran.
    DoorState();
    ConsoleIsTerminal();
    registered = std::atexit(RunShutdown) == 0;
}

void DoorArmExitGuard() {
    DoorState().ExitGuardArmed = true;
}

void DoorExit() {
    RunShutdown();
    std::exit(0);
}

void DoorEndIfSignalled() {
    if (!DoorEnding()) return;
    DoorLogEnding(DoorEndingCause());
    DoorExit();
}

void DoorClose(bool ADisconnect) {
    // CommClose closes the descriptor once; later calls find it closed and do nothing, so a
    // descriptor number reused since is never touched.
    if (!DoorLocal() && !Stdio) CommClose(ADisconnect);
}

void DoorShutdown() {
    DoorClose(false);
}

void NewExitProc() {
    if (ExitGuardOutput()) DoorClose(false);
}
