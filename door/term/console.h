// The local console: shows the local screen model and supplies the local keyboard. The back-end
// is chosen at first use: a terminal when standard input and output are both terminals,
// otherwise headless (no display, no local keys).
#pragma once

#include "door/platform/console.h"
#include "door/platform/wait.h"

#include <string>

// Shows what changed in the local screen model since the last call (AnsiWrite and FastWrite
// call it; code that changes LocalScreen() directly calls it afterwards).
void ConsoleRefresh();

// True when a local key is waiting; never blocks (beyond a few milliseconds to tell a lone ESC
// from the start of a cursor-key sequence).
bool ConsoleKeyPressed();

// The next local key: a character, or 0 followed on the next call by the scan code of a cursor
// or function key (up 72, down 80, left 75, right 77, F1 59 ... F10 68, Home 71, End 79,
// PgUp 73, PgDn 81, Ins 82, Del 83). Waits for a key on a terminal; returns 0 at once when no
// key can come (headless with nothing queued, or the input has ended).
char ConsoleReadKey();

// The handle to wait on (WaitForAny) for local keys, or -1 when there is none (headless, input
// ended).
TWaitHandle ConsoleKeyFd();

// True once standard input has reached its end (the local keyboard is gone).
bool ConsoleInputEnded();

// Queues keys as if typed at the local keyboard (tests; any back-end).
void ConsolePushKeys(const std::string& AKeys);

// Uses the headless back-end from now on, putting a terminal back first (tests).
void ConsoleUseHeadless();

// Uses a terminal on the given descriptors from now on (tests drive a pseudo-terminal this way):
// raw mode on AInFd, display on AOutFd with glyphs as UTF-8 or as CP437 bytes.
void ConsoleUseTerminal(int AInFd, int AOutFd, bool AUtf8);

// True when the current back-end is a terminal.
bool ConsoleIsTerminal();
