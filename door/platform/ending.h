// The ending signals (POSIX: SIGHUP, SIGTERM, SIGINT; Windows: the console's control events):
// they only mark the door for ending and wake every wait. platform/posix/ending.cpp and
// platform/windows/ending.cpp implement it.
#pragma once

#include "door/platform/wait.h"

#include <string>

// Installs the handlers of the ending signals (SIGHUP, SIGTERM and SIGINT; SIGPIPE is ignored).
// DoorStartup does it first thing; a program calls it earlier still, before anything else it
// does, so that a signal at any moment ends the door with exit code 0. Safe to call again.
void DoorInstallSignalHandlers();
// The ending signals (on Windows: the console's control events) only mark the door for ending
// and make this handle ready, so that every wait on it wakes at once; -1 before the handlers are
// installed.
TWaitHandle DoorSignalFd();
// True once an ending signal has arrived.
bool DoorEnding();
// What ended the door, for the log ("signal SIGHUP", "Ctrl-C", ...); empty while nothing has.
std::string DoorEndingCause();
// Sets the function that an ending signal's handler calls once the door is marked for ending; it
// must be async-signal-safe (the local terminal console sets the one that stops it waiting on a
// terminal that takes nothing).
void DoorOnEndingSignal(void (*AHandler)());
