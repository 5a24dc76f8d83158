// The door session: the records and globals that describe the one caller this process serves.
// Output, input, events, start-up and shutdown operate on these.
#pragma once

#include <chrono>
#include <cstdint>
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

// The kit's clock and its one delay. Tests replace them to move time without sleeping.
extern TDateTime (*DoorNow)();
extern void (*DoorDelay)(std::int32_t AMilliseconds);

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

void DefaultOnHangup();
void DefaultOnTimeOut();
void DefaultOnTimeUp();
void DefaultOnStatusBar();
