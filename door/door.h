// The door session: the records and globals that describe the one caller this process serves.
// Output, input, events, start-up and shutdown operate on these.
#pragma once

#include "door/platform/wait.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

// Local clock time; the zero value (the epoch) means "never".
using TDateTime = std::chrono::system_clock::time_point;

enum class TDoorEmulationType : std::int32_t { etANSI = 0, etASCII = 1 };
enum class TDoorLastKeyType : std::int32_t { lkNone = 0, lkLocal = 1, lkRemote = 2 };

// What the drop file, the command line or the local log-in says about the caller.
struct TDoorDropInfo {
    std::int32_t Access = 0;
    std::string Alias;
    std::int32_t Baud = 0;
    bool Clean = false;
    std::int32_t ComNum = 0;  // inherited socket descriptor (or the port a drop file names)
    std::uint8_t ComType = 0; // 0 local, 1 serial, 2 telnet, 3 WC5
    TDoorEmulationType Emulation = TDoorEmulationType::etANSI;
    bool Fairy = false;
    std::int32_t MaxSeconds = 3600;
    std::int32_t Node = 0;
    std::string RealName;
    std::int32_t RecPos = 0;
    std::string BbsName; // DOOR32.SYS line 4: the BBS's name and version (other formats: empty)
};

struct TDoorLastKey {
    char Ch = 0;
    bool Extended = false;
    TDoorLastKeyType Location = TDoorLastKeyType::lkNone;
    TDateTime Time{};
};

struct TDoorMOREPrompts {
    std::string ASCII = " <MORE>";
    std::string ANSI = " |0A<|02MORE|0A>";
    std::int32_t ANSITextLength = 7;
};

struct TDoorSession {
    bool DoIdleCheck = true;
    bool Events = false;
    TDateTime EventsTime{};
    std::int32_t MaxIdle = 300;
    bool TrelmWrite = false;
    TDateTime TimeOn{};
};

extern TDoorDropInfo DoorDropInfo;
extern TDoorLastKey DoorLastKey;
extern TDoorMOREPrompts DoorMOREPrompts;
extern std::string DoorProgramNameAndVersion;
extern TDoorSession DoorSession;
extern bool Stdio; // set by -X: the kit never touches the socket

// Replaceable hooks. The kit calls a hook only when it is set; every default is set at start.
using TDoorProc = void (*)();
extern void (*DoorOnCLP)(char AKey, const std::string& AValue);
extern TDoorProc DoorOnHangup;
extern TDoorProc DoorOnLocalLogin;
extern TDoorProc DoorOnStatusBar;
extern bool (*DoorOnSysopKey)(char AKey);
extern TDoorProc DoorOnTimeOut;
extern void (*DoorOnTimeOutWarning)(std::uint8_t AMinutes);
extern TDoorProc DoorOnTimeUp;
extern void (*DoorOnTimeUpWarning)(std::uint8_t AMinutes);
extern TDoorProc DoorOnUsage;

// The kit's clocks and its one delay. Tests replace them to move time without sleeping.
// DoorNow is the wall clock (the game's date). DoorSteadyNow is the session clock that idle
// time, time left and the pace of the event pass are read from: the wall-clock time of its first
// reading, run on by a monotonic clock, so that a step of the wall clock (by hand, by time
// synchronisation) never counts as idle or used time. DoorDelay sleeps, cut short by an ending
// signal.
extern TDateTime (*DoorNow)();
extern TDateTime (*DoorSteadyNow)();
extern void (*DoorDelay)(std::int32_t AMilliseconds);
// Sleeps AMilliseconds unless the door is ending (an ending signal cuts the sleep short); false
// when it is ending. Waits that the door cannot give up on its own (a busy database) use it.
bool DoorSleep(std::int32_t AMilliseconds);

// Allowed-character sets for DoorInput.
extern const std::string DOOR_INPUT_CHARS_ALL;
extern const std::string DOOR_INPUT_CHARS_ALPHA;
extern const std::string DOOR_INPUT_CHARS_NUMERIC;
extern const std::string DOOR_INPUT_CHARS_FILENAME;

// True when no remote caller is connected.
bool DoorLocal();

// Output: every text reaches the local screen and, in a remote session, the caller.
void DoorWrite(const std::string& AText);
void DoorWriteLn();
void DoorWriteLn(const std::string& AText);
void DoorWriteCentered(const std::string& AText);
void DoorClrScr();
void DoorGotoX(std::uint8_t AX);
void DoorGotoXY(std::uint8_t AX, std::uint8_t AY);
void DoorCursorDown(std::uint8_t ACount);
void DoorCursorLeft(std::uint8_t ACount);
void DoorTextAttr(std::uint8_t AAttr);
void DoorTextColour(std::uint8_t AColour);
void DoorTextBackground(std::uint8_t AColour);
void DoorTextColourAndBlink(std::uint8_t AColour, bool ABlink);
// Writes a text file line by line; a failure is reported on screen and waits for a key.
void DoorDisplayFile(const std::string& AFileName);

// Input: keys from the local keyboard and the caller, merged into one stream.
bool DoorKeyPressed();
char DoorReadKey();
// One-line editor in a field of AVisibleLength columns at the cursor.
std::string DoorInput(const std::string& ADefaultText, const std::string& AAllowedCharacters,
                      char APasswordCharacter, std::uint8_t AVisibleLength, std::uint8_t AMaxLength,
                      std::uint8_t AAttr);

// The event pass: carrier, idle and time limits, warnings and the local status bar.
void DoorDoEvents();
std::int32_t DoorSecondsIdle();
std::int32_t DoorSecondsLeft();
bool DoorCarrier();
// DoorCarrier after one look at the connection (no key is taken): a caller who hung up while the
// door waited on something else is noticed without a read or a send.
bool DoorCarrierNow();

// Shows a closing message to both screens, logs it with AHow as the session's ending, and ends
// the program after 2.5 seconds.
[[noreturn]] void DoorEndSession(const std::string& AMessage, const std::string& AHow);

void DefaultOnHangup();
void DefaultOnTimeOut();
void DefaultOnTimeUp();
void DefaultOnStatusBar();

// ---- Start-up and shutdown -----------------------------------------------------------------

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

// Parses the command line, fills DoorDropInfo (command line, drop file or local log-in), opens
// the transport and, for a remote caller, arms the event pass and the exit guard and finds out
// the caller's terminal (DoorDetectTerminal). The usage screen, the start-up failures and a
// caller whose drop file says no ANSI end the program with exit code 0.
void DoorStartup(int argc, const char* const* argv);
// Opens the transport when there is one (a raw door socket when ARaw); true when the session can
// go on.
bool DoorOpenComm(bool ARaw = false);
// Closes the transport of a remote session (hanging up only when ADisconnect is set).
void DoorClose(bool ADisconnect);
// Releases the caller's connection without hanging up; the BBS takes the caller back.
void DoorShutdown();
// The exit guard, registered with std::atexit for a remote session: light gray, cursor to the
// bottom-left corner on both screens, then the connection is released without hanging up.
void NewExitProc();
// Default DoorOnUsage: the usage screen on the local console, then exit code 0.
void DefaultOnUsage();
// Default DoorOnLocalLogin: asks the local user's name (Enter gives SYSOP).
void DefaultOnLocalLogin();
// The running program's file name without its directory.
std::string DoorProgramFileName();
