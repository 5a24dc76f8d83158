// Start-up's parts beyond door.h: the command line, the session it gives, the socket's kind and
// the caller's terminal.
#pragma once

#include "door/door.h"

#include <cstdint>
#include <optional>
#include <string>

// What the command line asks for: options start with - or /, the letter in either case, the
// value glued to it; later options win.
struct TDoorCommandLine {
    std::string DropFile;     // -D
    bool Local = true;        // cleared by -D, -S and -?
    std::int32_t Node = 0;    // -N (not a number: 0)
    std::int32_t Socket = -1; // -S (not a number: -1)
    bool Stdio = false;       // -X
    bool Utf8 = false;        // -U: the caller's terminal takes UTF-8
    // -R or -R1: a raw door socket (no telnet); -R0: telnet. Unset: raw exactly when DOOR32.SYS
    // names a BBS whose door socket is known not to be telnet (DoorRawSocket).
    std::optional<bool> Raw;
};
// Parses argv[1..argc-1]; letters other than D, N, R, S, U, X and ? go to DoorOnCLP when it is
// set.
TDoorCommandLine DoorParseCommandLine(int argc, const char* const* argv);

// The session a command line gives; the first that applies, in this order.
enum class TDoorSessionKind {
    Local,           // no -D, -S or -?
    Socket,          // -S with a handle >= 0 and -N with a node > 0
    Door32,          // a drop file whose path contains DOOR32.SYS (any case)
    DoorSys,         // ... DOOR.SYS
    DorInfo,         // ... DORINFO
    LordInfo,        // ... INFO.
    MissingDropFile, // a drop file that does not exist or has none of those names
    Usage,           // nothing usable
};
TDoorSessionKind DoorChooseSession(const TDoorCommandLine& ACommandLine);
// Whether the caller's socket is a raw door socket: -R says so either way; without it, a
// DOOR32.SYS whose BBS line names Synchronet (any case) means raw, since that BBS hands doors a
// plain pipe and speaks telnet to the caller itself.
bool DoorRawSocket(const TDoorCommandLine& ACommandLine, const TDoorDropInfo& ADropInfo);

// Decides the caller's terminal (NetState().Terminal, door/net/netstate.h) for a remote caller and
// sets the transport's UTF-8 mode from it (TermDetect); a local session, or one with -X, gets an
// unknown terminal in CP437.
void DoorDetectTerminal(bool AForceUtf8);
