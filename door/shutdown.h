// The one way out of a session: whatever ends it (quit, a limit, a dropped caller, an ending
// signal, a failure, a hook or `main` calling exit, `main` returning), the shutdown runs in this
// order: the exit guard's last output, the log's end line, the console restored, the hand-back,
// then exit code 0.
#pragma once

// Registers the shutdown with atexit, once; DoorStartup does it as soon as the console is taken.
// A program that ends without DoorExit (returning from main, calling exit) still gets it.
void DoorArmExit();
// Arms the exit guard for a remote session: at the end, light gray and the cursor to the
// bottom-left corner on both screens, and the connection handed back to the BBS.
void DoorArmExitGuard();
// Runs the shutdown, then ends the program with exit code 0.
[[noreturn]] void DoorExit();
// Ends the program through DoorExit when an ending signal has arrived, recording the signal as
// the session's ending.
void DoorEndIfSignalled();
