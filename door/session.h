// The door session: the records and globals that describe the one caller this process serves,
// the kit's clocks, and the running program's name. door.h, the kit's public face, includes it;
// the log reads it without the rest of the kit.
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

// The program's path as the command line gave it (argv[0]); DoorStartup sets it.
void DoorSetProgramPath(const std::string& APath);
// The running program's file name without its directory.
std::string DoorProgramFileName();
