// The one reset of the kit for tests (and fuzzers): no module of the kit includes it.
#pragma once

// Back to the state of a program that has not called DoorStartup yet: the terminal put back and
// a headless console with no keys queued, a fresh screen and emulator, the transport closed and
// its state cleared, the kit's flags (door/state.h) cleared; the globals of door.h and session.h
// to their start values (the default hooks, the system clocks and delay), and no log file.
void DoorResetForTests();
