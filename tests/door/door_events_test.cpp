// The event pass: carrier, idle and time limits with their warnings, the default handlers and
// the status bar on local row 25.
#include "door_session_fixture.h"

#include <cstdio>
#include <stdexcept>

namespace {

using DoorEvents = DoorSessionTest;
using ::testing::ExitedWithCode;

// What the replaced hooks saw.
struct THookLog {
    int Hangups = 0;
    std::vector<std::int32_t> TimeOutsAtIdle;
    int TimeUps = 0;
    int StatusBars = 0;
    std::vector<int> IdleWarnings;
    std::vector<int> TimeWarnings;
};
THookLog Log;

void RecordHooks() {
    Log = {};
    DoorOnHangup = [] { ++Log.Hangups; };
    DoorOnTimeOut = [] { Log.TimeOutsAtIdle.push_back(DoorSecondsIdle()); };
    DoorOnTimeUp = [] { ++Log.TimeUps; };
    DoorOnStatusBar = [] { ++Log.StatusBars; };
    DoorOnTimeOutWarning = [](std::uint8_t AMinutes) { Log.IdleWarnings.push_back(AMinutes); };
    DoorOnTimeUpWarning = [](std::uint8_t AMinutes) { Log.TimeWarnings.push_back(AMinutes); };
}

TEST_F(DoorEvents, PassesRunOnlyWhenOnAndAtMostOncePerSecond) {
    RecordHooks();
    DoorDoEvents();
    EXPECT_EQ(Log.StatusBars, 0); // events are off until start-up turns them on
    DoorSession.Events = true;    // EventsTime 0: the first pass runs at once
    DoorDoEvents();
    DoorDoEvents();
    EXPECT_EQ(Log.StatusBars, 1);
    EXPECT_EQ(DoorSession.EventsTime, FakeNow);
    FakeNow += std::chrono::milliseconds(999);
    DoorKeyPressed();
    EXPECT_EQ(Log.StatusBars, 1);
    FakeNow += std::chrono::milliseconds(1);
    DoorKeyPressed();
    EXPECT_EQ(Log.StatusBars, 2);
    Stdio = true; // no status bar when the socket is not used
    Advance(1);
    DoorDoEvents();
    EXPECT_EQ(Log.StatusBars, 2);
    EXPECT_EQ(Log.Hangups + Log.TimeUps + static_cast<int>(Log.TimeOutsAtIdle.size()), 0);
}

TEST_F(DoorEvents, ACarrierDropCallsTheHangupHookAtTheNextPass) {
    RecordHooks();
    DoorSession.Events = true;
    HangUp();
    DoorKeyPressed(); // this pass ran before the poll that notices the drop
    EXPECT_EQ(Log.Hangups, 0);
    EXPECT_FALSE(DoorCarrier());
    // The drop is reported without waiting for the next whole second, so the node is freed
    // promptly; a hook that lets the door go on is then called at the usual pace, not at once.
    DoorKeyPressed();
    EXPECT_EQ(Log.Hangups, 1);
    DoorKeyPressed();
    EXPECT_EQ(Log.Hangups, 1);
    Advance(1);
    DoorKeyPressed();
    EXPECT_EQ(Log.Hangups, 2);
    Stdio = true;
    EXPECT_TRUE(DoorCarrier());
}

TEST_F(DoorEvents, AKeyWaitWakesForThePassThatFindsTheCarrierGone) {
    RecordHooks();
    DoorSteadyNow = SavedSteadyNow; // real time: the wait itself must end at the next pass
    DoorOnHangup = [] {
        ++Log.Hangups;
        ConsolePushKeys("x");
    };
    DoorSession.Events = true;
    HangUp();
    EXPECT_EQ(DoorReadKey(), 'x');
    EXPECT_EQ(Log.Hangups, 1);
}

TEST_F(DoorEvents, IdleLimitWarnsEachMinuteAndTimesOutPastTheLimit) {
    RecordHooks();
    DoorSession.Events = true;
    DoorSession.MaxIdle = 300;
    for (int idle = 0; idle <= 302; ++idle) {
        DoorDoEvents();
        if (idle == 59) {
            EXPECT_EQ(Log.IdleWarnings, std::vector<int>{4}); // 241 s left
        }
        Advance(1);
    }
    EXPECT_EQ(Log.IdleWarnings, (std::vector<int>{4, 3, 2, 1, 0}));
    EXPECT_EQ(Log.TimeOutsAtIdle, (std::vector<std::int32_t>{301, 302}));
    EXPECT_TRUE(Log.TimeWarnings.empty());

    Log = {};
    DoorSession.DoIdleCheck = false;
    Advance(1);
    DoorDoEvents();
    EXPECT_TRUE(Log.TimeOutsAtIdle.empty());
}

TEST_F(DoorEvents, TimeLimitWarnsAndEnds) {
    RecordHooks();
    DoorSession.Events = true;
    DoorDropInfo.MaxSeconds = 301;
    DoorDoEvents();
    EXPECT_EQ(Log.TimeWarnings, std::vector<int>{5});
    Advance(300);
    DoorDoEvents();
    EXPECT_EQ(Log.TimeWarnings, (std::vector<int>{5, 0}));
    EXPECT_EQ(Log.TimeUps, 0);
    Advance(1);
    DoorDoEvents();
    EXPECT_EQ(Log.TimeUps, 1);
    EXPECT_EQ(DoorSecondsLeft(), 0);
    Advance(100);
    EXPECT_EQ(DoorSecondsLeft(), -100);

    Log = {};
    DoorDropInfo.MaxSeconds = 0; // a drop file without a time line
    DoorSession.TimeOn = FakeNow;
    DoorSession.EventsTime = {};
    DoorDoEvents();
    EXPECT_EQ(Log.TimeUps, 1);
}

TEST_F(DoorEvents, DefaultHandlersEndTheProgramWithTheirMessage) {
    DoorSession.Events = true;
    DoorSession.MaxIdle = 300;
    Advance(301);
    DoorDelay = [](std::int32_t AMs) { std::fprintf(stderr, "delay %d\n", AMs); };
    EXPECT_EXIT(DoorDoEvents(), ExitedWithCode(0), "delay 2500");
    EXPECT_NE(Received().find("\x1b[2J\x1b[1;1f\r\n  Idle Time Limit Exceeded.  Returning To "
                              "BBS...\r\n"),
              std::string::npos);

    DoorSession.MaxIdle = 1000;
    DoorDropInfo.MaxSeconds = 0;
    EXPECT_EXIT(DoorDoEvents(), ExitedWithCode(0), "delay 2500");
    EXPECT_NE(Received().find("\r\n  Your Time Has Expired.  Returning To BBS...\r\n"),
              std::string::npos);
}

TEST_F(DoorEvents, DefaultHangupWritesOnlyToTheLocalConsole) {
    DoorWrite("|1Fold text");
    Received();
    DoorDelay = [](std::int32_t AMs) {
        std::fprintf(stderr, "[%s] attr %d delay %d\n", Row(2).c_str(), LocalScreen().AttrAt(4, 2),
                     AMs);
    };
    EXPECT_EXIT(DefaultOnHangup(), ExitedWithCode(0),
                "\\[   Caller Dropped Carrier.  Returning To BBS...\\] attr 15 delay 2500");
    EXPECT_EQ(Received(), "");
}

TEST_F(DoorEvents, StatusBarFillsLocalRow25) {
    DoorDropInfo.RealName = "Joe Caller";
    DoorSession.Events = true;
    DoorWrite("|0Ehere");
    Advance(75);
    DoorDoEvents();
    const std::string expected = "\xFE Joe Caller" + std::string(16, ' ') +
                                 "\xFE Portek v13.09.02" +
                                 "  \xFE Idle: 01:15 \xFE Left: 00:58:45 \xFE";
    EXPECT_EQ(LocalScreen().RowText(25), expected);
    for (int column = 1; column <= 80; ++column) {
        const bool field = (column >= 3 && column <= 24) || (column >= 31 && column <= 46) ||
                           (column >= 51 && column <= 61) || (column >= 65 && column <= 78);
        EXPECT_EQ(LocalScreen().AttrAt(column, 25), field ? 31 : 30) << "column " << column;
    }
    EXPECT_EQ(Received(), "\x1b[1;33m\x1b[40mhere"); // the caller never sees the bar
    EXPECT_EQ(LocalScreen().WhereX(), 5);
    EXPECT_EQ(LocalScreen().TextAttr(), 0x0E);

    // A long name is not cut: the fields drawn after it cover its tail.
    DoorDropInfo.RealName = std::string(40, 'N');
    Advance(1);
    DoorDoEvents();
    EXPECT_EQ(LocalScreen().RowText(25).substr(0, 32), "\xFE " + std::string(28, 'N') + "Po");
    EXPECT_EQ(LocalScreen().AttrAt(29, 25), 31);
}

} // namespace

namespace {

TEST_F(DoorEvents, HooksThatReadKeysOrThrowLeaveThePassesWorking) {
    RecordHooks();
    DoorSession.Events = true;
    // A status bar that polls for keys would otherwise start a pass inside the pass.
    DoorOnStatusBar = [] {
        ++Log.StatusBars;
        DoorKeyPressed();
    };
    DoorDoEvents();
    EXPECT_EQ(Log.StatusBars, 1);
    DoorOnStatusBar = [] { throw std::runtime_error("status bar failed"); };
    Advance(1);
    EXPECT_THROW(DoorDoEvents(), std::runtime_error);
    DoorOnStatusBar = [] { ++Log.StatusBars; };
    Advance(1);
    DoorDoEvents();
    EXPECT_EQ(Log.StatusBars, 2);
}

} // namespace
