// The example door run the way a BBS runs a standard-input door: on a pseudo-terminal that is
// the caller's connection, with a DOOR32.SYS naming handle -1. CP437 on the caller's screen, the
// names from the drop file, the limits of a -X session, and every way the caller can go away.
#include "tests/support/pty_harness.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <termios.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

const std::string kExampleDoor = std::string(GLIMRA_BINARY_DIR) + "/exampledoor";

auto ScreenShows(const std::string& AText) {
    return [AText](const TVTermScreen& AScreen) {
        return AScreen.Dump().find(AText) != std::string::npos;
    };
}

// A door started as a BBS starts a standard-input door: drop file type and handle as given,
// "-X" added for a telnet type.
TPtyLaunch Launch(TPtyBbs& ABbs, int AComType, int AMinutes, std::vector<std::string> AArgs = {}) {
    const auto dropFile =
        ABbs.WriteFile("door32.sys", TPtyBbs::Door32Sys(AComType, -1, AMinutes, "Tester"));
    TPtyLaunch launch;
    launch.Binary = kExampleDoor;
    launch.Args = {"-D" + dropFile.string()};
    if (AComType != 0) launch.Args.push_back("-X");
    launch.Args.insert(launch.Args.end(), AArgs.begin(), AArgs.end());
    return launch;
}

// The door put the terminal back in the modes it found.
void ExpectModesRestored(const TPtyBbs& ABbs) {
    const termios now = ABbs.ModesNow();
    const termios& start = ABbs.ModesAtStart();
    EXPECT_EQ(now.c_lflag, start.c_lflag);
    EXPECT_EQ(now.c_iflag, start.c_iflag);
    EXPECT_EQ(now.c_oflag, start.c_oflag);
}

// The caller's screen shows CP437 glyphs from the CP437 bytes themselves, the drop file's alias,
// and takes the caller's keys; nothing of the local status bar reaches it.
TEST(StdioDoor, CallerOnTheTerminalGetsCp437AndPlays) {
    for (const int comType : {0, 2}) {
        SCOPED_TRACE(comType == 0 ? "type 0" : "type 2 with -X");
        TPtyBbs bbs;
        bbs.Start(Launch(bbs, comType, 60));
        TVTermScreen& screen = bbs.Screen();
        ASSERT_TRUE(bbs.WaitForScreen(ScreenShows("Type a line"), 5s)) << screen.Dump();
        bbs.Settle();
        EXPECT_EQ(screen.RowText(25), std::string(80, ' ')) << "no status bar";
        EXPECT_EQ(screen.RowText(1).substr(0, 14), "Hello, Tester!");
        EXPECT_EQ(screen.Fg(1, 1), 14);
        EXPECT_EQ(screen.Char(1, 2), 0xDF);
        EXPECT_EQ(screen.Char(37, 2), 0xDF);
        EXPECT_EQ(screen.Fg(1, 2), 9);
        const std::string& bytes = bbs.Received();
        EXPECT_NE(bytes.find(std::string(37, '\xDF')), std::string::npos);
        EXPECT_EQ(bytes.find("\xE2\x96\x80"), std::string::npos) << "no UTF-8 for the caller";
        EXPECT_EQ(bytes.find("Left:"), std::string::npos);

        const termios raw = bbs.ModesNow();
        EXPECT_EQ(raw.c_lflag & (ICANON | ECHO), 0u) << "keys reach the door one at a time";
        // A telnet caller's Enter arrives as CR LF through many BBS terminals.
        bbs.Send("pty line\r\n");
        EXPECT_TRUE(bbs.WaitForScreen(ScreenShows("You typed: pty line"), 5s)) << screen.Dump();
        EXPECT_EQ(bbs.WaitExit(5s), 0);
        ExpectModesRestored(bbs);
    }
}

// A -X session on the caller's terminal keeps the remote limits: each ends the door with its
// message on the caller's screen, and no status bar is drawn there meanwhile.
TEST(StdioDoor, StdioSessionKeepsIdleAndTimeLimits) {
    struct TCase {
        int Minutes;
        std::vector<std::string> Args;
        std::string Message;
    };
    const TCase cases[] = {
        {60, {"-I2"}, "  Idle Time Limit Exceeded.  Returning To BBS..."},
        {0, {}, "  Your Time Has Expired.  Returning To BBS..."},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Message);
        TPtyBbs bbs;
        bbs.Start(Launch(bbs, 2, c.Minutes, c.Args));
        EXPECT_TRUE(bbs.WaitForScreen(ScreenShows(c.Message), 8s)) << bbs.Screen().Dump();
        EXPECT_EQ(bbs.Screen().RowText(25), std::string(80, ' '));
        EXPECT_EQ(bbs.WaitExit(6s), 0);
        ExpectModesRestored(bbs);
        EXPECT_EQ(bbs.Received().find("Idle:"), std::string::npos);
        EXPECT_EQ(bbs.Received().find("Left:"), std::string::npos);
    }
}

// A telnet drop file with handle -1 but without -X has no connection to use: the door says so
// and ends rather than waiting on nothing.
TEST(StdioDoor, TelnetTypeWithoutStdioOptionHasNoCarrier) {
    TPtyBbs bbs;
    TPtyLaunch launch = Launch(bbs, 2, 60);
    launch.Args.pop_back(); // no -X
    bbs.Start(launch);
    EXPECT_EQ(bbs.WaitExit(6s), 0);
    EXPECT_NE(bbs.Received().find("No Carrier Detected"), std::string::npos) << bbs.Received();
}

// Hang-up by closing the terminal, SIGHUP, SIGTERM, and a BBS's SIGHUP-then-SIGTERM: the door
// ends within 2 s with code 0, and a terminal that is still there gets its modes back.
TEST(StdioDoor, HangUpAndSignalsEndTheDoorPromptly) {
    struct TCase {
        std::string Name;
        std::function<void(TPtyBbs&)> End;
    };
    const TCase cases[] = {
        {"terminal closed", [](TPtyBbs& b) { b.HangUp(); }},
        {"SIGHUP", [](TPtyBbs& b) { b.Signal(SIGHUP); }},
        {"SIGTERM", [](TPtyBbs& b) { b.Signal(SIGTERM); }},
        {"SIGHUP then SIGTERM",
         [](TPtyBbs& b) {
             b.Signal(SIGHUP);
             b.Signal(SIGTERM);
         }},
    };
    for (const int comType : {0, 2}) {
        for (const TCase& c : cases) {
            SCOPED_TRACE(c.Name + (comType == 0 ? ", type 0" : ", type 2 with -X"));
            TPtyBbs bbs;
            bbs.Start(Launch(bbs, comType, 60));
            ASSERT_TRUE(bbs.WaitForScreen(ScreenShows("Type a line"), 5s)) << bbs.Screen().Dump();
            bbs.Send("half a li");
            ASSERT_TRUE(bbs.WaitForScreen(ScreenShows("half a li"), 5s));
            c.End(bbs);
            EXPECT_EQ(bbs.WaitExit(2s), 0);
            if (c.Name != "terminal closed") ExpectModesRestored(bbs);
        }
    }
}

// The BBS's SIGTERM during the door's closing pause ends the door at once, not after the pause.
TEST(StdioDoor, SignalCutsTheClosingPauseShort) {
    TPtyBbs bbs;
    bbs.Start(Launch(bbs, 2, 60, {"-I1"}));
    ASSERT_TRUE(bbs.WaitForScreen(ScreenShows("Idle Time Limit Exceeded"), 8s))
        << bbs.Screen().Dump();
    bbs.Signal(SIGTERM);
    EXPECT_EQ(bbs.WaitExit(1500ms), 0) << "the 2.5 s pause was sat out";
    ExpectModesRestored(bbs);
}

} // namespace
