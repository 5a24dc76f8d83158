// The event pass, at most once a second and when something is due: carrier, idle and time limits
// with their warnings, the local status bar, and the default handlers that end the session.
#include "door/events.h"

#include "door/door.h"
#include "door/doorlog.h"
#include "door/net/comm.h"
#include "door/output.h"
#include "door/shutdown.h"
#include "door/state.h"
#include "door/stringutils.h"
#include "door/term/ansi.h"
#include "door/term/console.h"
#include "door/term/screen.h"
#include "door/term/videoutils.h"

#include <algorithm>
#include <chrono>

namespace {

// Whole seconds between two moments, however they are ordered.
std::int64_t WholeSeconds(TDateTime AFrom, TDateTime ATo) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(ATo - AFrom).count();
    return seconds < 0 ? -seconds : seconds;
}

// True when the carrier has gone and no pass has reported it yet.
bool HangupDue() {
    bool& reported = DoorState().HangupReported;
    if (DoorCarrier()) reported = false; // a new connection starts afresh
    return !reported && !DoorCarrier();
}

} // namespace

namespace {

// A limit's warnings come at one second past each whole minute left, five minutes or less.
constexpr std::int64_t kWarnMinutes = 5;

// The next count of seconds left, below ALeft, at which a pass acts on a limit: a warning, the
// limit itself at ALimitAt, and every second past it (the limit's hook may let the door go on).
std::int64_t NextMark(std::int64_t ALeft, std::int64_t ALimitAt) {
    if (ALeft - 1 <= ALimitAt) return ALeft - 1;
    const std::int64_t below = std::min(ALeft - 1, kWarnMinutes * 60 + 1);
    return below >= 1 ? below - (below - 1) % 60 : ALimitAt;
}

// When a limit of ALimit seconds counted from AFrom reaches its next mark. The counts are whole
// seconds, so the mark is reached on the second; ALimitAt is the count left at which it acts.
TDateTime NextMarkTime(TDateTime AFrom, std::int64_t ALimit, std::int64_t ALimitAt) {
    const std::int64_t left = ALimit - WholeSeconds(AFrom, DoorSteadyNow());
    return AFrom + std::chrono::seconds(ALimit - NextMark(left, ALimitAt));
}

// True while a pass has something new to report every second: a lost caller, or the status bar
// on a console someone looks at.
bool PassEachSecond() {
    const bool statusBar = DoorRemoteIO() && DoorOnStatusBar != nullptr && ConsoleIsTerminal();
    return statusBar || !DoorCarrier();
}

} // namespace

// The next pass is due at the earliest of: the next second (a lost caller, the status bar), the
// idle limit's next mark, the time limit's next mark. A caller's bytes and a hang-up wake the
// wait themselves, so nothing else needs a look. A pass runs at most once a second.
int DoorMillisecondsToNextPass() {
    if (!DoorSession.Events) return -1;
    if (HangupDue()) return 0;
    // A few milliseconds past the mark: a wait may end a clock tick early on some systems.
    constexpr auto kLate = std::chrono::milliseconds(20);
    // Even with nothing due the wait looks again now and then, whatever the clock did.
    constexpr auto kLongest = std::chrono::minutes(1);
    const TDateTime now = DoorSteadyNow();
    TDateTime due = now + kLongest;
    if (PassEachSecond()) due = now;
    if (DoorSession.DoIdleCheck) {
        due = std::min(due, NextMarkTime(DoorLastKey.Time, DoorSession.MaxIdle, -1) + kLate);
    }
    due = std::min(due, NextMarkTime(DoorSession.TimeOn, DoorDropInfo.MaxSeconds, 0) + kLate);
    const bool passAllowed = WholeSeconds(DoorSession.EventsTime, now) >= 1;
    if (!passAllowed) due = std::max(due, DoorSession.EventsTime + std::chrono::seconds(1));
    due = std::min(due, now + kLongest);
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(due - now).count());
}

std::int32_t DoorSecondsIdle() {
    return Clamp32(WholeSeconds(DoorLastKey.Time, DoorSteadyNow()));
}

std::int32_t DoorSecondsLeft() {
    return Clamp32(DoorDropInfo.MaxSeconds - WholeSeconds(DoorSession.TimeOn, DoorSteadyNow()));
}

bool DoorCarrier() {
    return DoorLocal() || Stdio || CommCarrier();
}

bool DoorCarrierNow() {
    if (DoorRemoteIO()) CommCharAvail();
    return DoorCarrier();
}

namespace {

// Calls a warning hook when ASeconds is one second past a whole minute, five minutes or less.
void WarnAt(std::int64_t ASeconds, void (*AHook)(std::uint8_t)) {
    if (AHook != nullptr && ASeconds % 60 == 1 && ASeconds / 60 <= kWarnMinutes) {
        AHook(static_cast<std::uint8_t>(ASeconds / 60));
    }
}

void Call(TDoorProc AHook) {
    if (AHook != nullptr) AHook();
}

std::string PadRight(std::string AText, std::size_t AWidth) {
    if (AText.size() < AWidth) AText.append(AWidth - AText.size(), ' ');
    return AText;
}
} // namespace

void DoorEndSession(const std::string& AMessage, const std::string& AHow) {
    DoorLogEnding(AHow);
    DoorTextAttr(15);
    DoorClrScr();
    DoorWriteLn();
    DoorWriteLn(AMessage);
    DoorDelay(2500);
    DoorExit();
}

void DoorDoEvents() {
    bool& running = DoorState().EventPassRunning;
    if (!DoorSession.Events || running) return;
    if (!HangupDue() && WholeSeconds(DoorSession.EventsTime, DoorSteadyNow()) < 1) return;
    struct TRunning {
        bool& Running;
        explicit TRunning(bool& ARunning) : Running(ARunning) { Running = true; }
        ~TRunning() { Running = false; } // also when a hook throws
    } guard(running);
    if (!DoorCarrier()) {
        DoorState().HangupReported = true;
        Call(DoorOnHangup);
    }
    if (DoorSession.DoIdleCheck && DoorSecondsIdle() > DoorSession.MaxIdle) Call(DoorOnTimeOut);
    if (DoorSession.DoIdleCheck) {
        WarnAt(std::int64_t{DoorSession.MaxIdle} - DoorSecondsIdle(), DoorOnTimeOutWarning);
    }
    if (DoorSecondsLeft() < 1) Call(DoorOnTimeUp);
    WarnAt(DoorSecondsLeft(), DoorOnTimeUpWarning);
    if (DoorRemoteIO()) Call(DoorOnStatusBar);
    DoorSession.EventsTime = DoorSteadyNow();
}

void DefaultOnHangup() {
    // The caller is gone: the message is for the local console only.
    DoorLogEnding("dropped carrier");
    LocalScreen().SetTextAttr(15);
    LocalScreen().ClrScr();
    ConsoleRefresh();
    AnsiWrite("\r\n   Caller Dropped Carrier.  Returning To BBS...\r\n");
    DoorDelay(2500);
    DoorExit();
}

void DefaultOnTimeOut() {
    DoorEndSession("  Idle Time Limit Exceeded.  Returning To BBS...", "idle");
}

void DefaultOnTimeUp() {
    DoorEndSession("  Your Time Has Expired.  Returning To BBS...", "time up");
}

void DefaultOnStatusBar() {
    std::string bar(80, ' ');
    for (int column : {1, 29, 49, 63, 80}) bar[column - 1] = '\xFE';
    FastWrite(bar, 1, 25, 30);
    FastWrite(PadRight(DoorDropInfo.RealName, 22), 3, 25, 31);
    FastWrite(DoorProgramNameAndVersion, 31, 25, 31);
    FastWrite(PadRight("Idle: " + SecToMS(DoorSecondsIdle()), 11), 51, 25, 31);
    FastWrite("Left: " + SecToHMS(DoorSecondsLeft()), 65, 25, 31);
}
