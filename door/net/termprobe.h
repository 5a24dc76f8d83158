// The caller's terminal: whether it takes UTF-8 and how large it is, from what its telnet client
// reported or from its answers to cursor position requests at start-up.
#pragma once

#include "door/net/netstate.h"

#include <cstdint>
#include <string>

// True for the terminal types that BBS terminal programs report ("ansi", "ansi-bbs", "syncterm",
// "pcansi", ...): they take CP437. Any other type settles nothing and the probe decides.
bool TermTypeIsCp437(const std::string& AType);

// A cursor position as a terminal reports it, from 1; 0 when no report came.
struct TCursorReport {
    std::uint16_t Row = 0;
    std::uint16_t Column = 0;
};

// The probe character: one character in UTF-8, three bytes, none of them a C1 control. A UTF-8
// terminal moves the cursor one column for it (two where it counts it as wide), a CP437 terminal
// three.
inline constexpr char kProbeCharacter[] = "\xE2\xA0\xA0";

// The bytes the probe sends: with ACharset a report before and after the probe character at the
// top-left corner, with ASize a report from the bottom-right corner (the cursor moved to 999;999
// stops there); then the probe character is blanked and the cursor is left at the top-left.
std::string TermProbeText(bool ACharset, bool ASize);
// True when a terminal moved the cursor as a UTF-8 terminal does for the probe character.
bool TermProbeSaysUtf8(const TCursorReport& ABefore, const TCursorReport& AAfter);

// The line a caller whose terminal is known to be smaller than 80 by 24 is shown; empty for
// any other caller.
std::string TermSizeWarning(const TDoorTerminal& ATerminal);

// How long the probe waits for the terminal's answers in all, in milliseconds.
inline constexpr int kProbeLimitMs = 900;

// Decides the caller's terminal (NetState().Terminal, door/net/netstate.h) for the remote caller on
// the transport and sets the transport's UTF-8 mode from it. -U (AForceUtf8) gives UTF-8. Otherwise
// what the telnet client reported counts first: a BBS terminal type means CP437, a window size is
// the size. What remains unknown is asked of the terminal with TermProbeText; a terminal that does
// not answer within kProbeLimitMs is taken as CP437 of unknown size. Keys typed ahead of the
// answers stay for the key reader; answers that come after the limit reach the key reader, which
// swallows them. A broken answer is dropped and counts as an answer that told nothing; an answer
// given twice counts once.
void TermDetect(bool AForceUtf8);
