// The example door as a child process, with the test as its BBS and its caller: the greeting, the
// hand-back at every kind of end, and the start-up failures.
#include "tests/support/bbs_harness.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

const std::string kExampleDoor = std::string(GLIMRA_BINARY_DIR) + "/exampledoor";
const std::string kOffers("\xFF\xFB\x00\xFF\xFB\x01", 6); // IAC WILL BINARY, IAC WILL ECHO

// Some BBS packages write the drop file's name in lower case: the door reads it all the same.
TDoorLaunch Door32Launch(TBbsHarness& AHarness, int AMinutes,
                         std::vector<std::string> AExtraArgs = {},
                         const std::string& AFileName = "DOOR32.SYS") {
    const auto dropFile = AHarness.WriteFile(
        AFileName, TBbsHarness::Door32Sys(AHarness.DoorHandle(), AMinutes, "Tester"));
    TDoorLaunch launch;
    launch.Binary = kExampleDoor;
    launch.Args = {"-D" + dropFile.string()};
    launch.Args.insert(launch.Args.end(), AExtraArgs.begin(), AExtraArgs.end());
    return launch;
}

auto ScreenShows(const std::string& AText) {
    return [AText](const TVTermScreen& AScreen) {
        return AScreen.Dump().find(AText) != std::string::npos;
    };
}

// The door has ended and the BBS still holds a working connection to its caller.
void ExpectHandedBack(TBbsHarness& AHarness) {
    AHarness.BbsSend("Back at the BBS");
    EXPECT_TRUE(AHarness.CallerWaitFor("Back at the BBS", 2s));
    EXPECT_FALSE(AHarness.CallerSawEnd());
    AHarness.CallerSend("menu");
    EXPECT_EQ(AHarness.BbsReceive(2s), "menu");
}

// The exit guard left light gray and the cursor in the bottom-left corner on the caller's
// screen: the BBS's next byte lands there in that colour.
void ExpectGuardOnCallersScreen(TBbsHarness& AHarness) {
    AHarness.BbsSend("X");
    ASSERT_TRUE(AHarness.CallerWaitFor("X", 2s));
    const TVTermScreen& screen = AHarness.CallerScreen();
    EXPECT_EQ(screen.Char(1, 25), 'X') << screen.Dump();
    EXPECT_EQ(screen.Fg(1, 25), 7);
    EXPECT_EQ(screen.Bg(1, 25), 0);
}

TEST(ExampleDoor, GreetsEchoesAndHandsBack) {
    for (const std::string how : {"DOOR32.SYS", "door32.sys", "-N1 -S under faketime"}) {
        SCOPED_TRACE(how);
        const bool fromDropFile = how.rfind("-N1", 0) != 0;
        TBbsHarness bbs;
        TDoorLaunch launch = Door32Launch(bbs, 60, {}, fromDropFile ? how : "DOOR32.SYS");
        if (!fromDropFile) {
            launch.Args = {"-N1", "-S" + std::to_string(bbs.DoorHandle())};
            launch.Prefix = {"faketime", "2027-03-01 12:00:00"}; // the game's tests do this
        }
        bbs.Start(launch);

        const std::string name = fromDropFile ? "Tester" : "";
        ASSERT_TRUE(bbs.CallerWaitForScreen(ScreenShows("Hello, " + name + "!"), 5s))
            << bbs.CallerScreen().Dump() << bbs.DoorLog();
        EXPECT_EQ(bbs.CallerReceived().substr(0, 6), kOffers);
        const TVTermScreen& screen = bbs.CallerScreen();
        EXPECT_EQ(screen.RowText(1).substr(0, 7), "Hello, ");
        EXPECT_EQ(screen.Fg(1, 1), 14);
        // The local status bar never reaches the caller.
        EXPECT_EQ(bbs.CallerReceived().find("Left:"), std::string::npos);

        bbs.CallerSend("hello door\r\n");
        EXPECT_TRUE(bbs.CallerWaitForScreen(ScreenShows("You typed: hello door"), 5s))
            << screen.Dump();
        EXPECT_EQ(bbs.WaitExit(5s), 0);
        ExpectHandedBack(bbs);
        EXPECT_EQ(bbs.DoorLog(), "");
    }
}

TEST(ExampleDoor, IdleAndTimeLimitsHandBack) {
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
        TBbsHarness bbs;
        bbs.Start(Door32Launch(bbs, c.Minutes, c.Args, "door32.sys"));
        EXPECT_TRUE(bbs.CallerWaitForScreen(ScreenShows(c.Message), 8s))
            << bbs.CallerScreen().Dump();
        EXPECT_EQ(bbs.WaitExit(6s), 0);
        bbs.CallerPump(200ms);
        EXPECT_EQ(bbs.CallerScreen().CursorX(), 1);
        EXPECT_EQ(bbs.CallerScreen().CursorY(), 25);
        ExpectGuardOnCallersScreen(bbs);
        ExpectHandedBack(bbs);
    }
}

TEST(ExampleDoor, CallerWhoDropsEndsTheDoor) {
    TBbsHarness bbs;
    bbs.Start(Door32Launch(bbs, 60));
    ASSERT_TRUE(bbs.CallerWaitForScreen(ScreenShows("Hello, Tester!"), 5s));
    bbs.CallerHangUp();
    EXPECT_EQ(bbs.WaitExit(4s), 0);
}

TEST(ExampleDoor, SignalsEndTheDoorAndHandBack) {
    for (const int signal : {SIGHUP, SIGTERM}) {
        SCOPED_TRACE(strsignal(signal));
        TBbsHarness bbs;
        bbs.Start(Door32Launch(bbs, 60, {}, "door32.sys"));
        ASSERT_TRUE(bbs.CallerWaitForScreen(ScreenShows("Type a line"), 5s));
        bbs.Signal(signal);
        EXPECT_EQ(bbs.WaitExit(2s), 0);
        ExpectGuardOnCallersScreen(bbs);
        ExpectHandedBack(bbs);
    }
}

// A missing drop file and handles that are -1, 0, closed or not a socket: the door shows its
// screen on the local console only and ends with 0, sending nothing anywhere.
TEST(ExampleDoor, StartFailuresSendNothing) {
    int pipeFds[2];
    ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK), 0);
    struct TCase {
        std::string DropFileText; // empty: no drop file
        std::string Screen;
    };
    const TCase cases[] = {
        {"", "Drop File Does Not Exist Or Is Not Supported:"},
        {TBbsHarness::Door32Sys(-1, 60, "Tester"), "No Carrier Detected"},
        // Handle 0 is the door's standard input, here a terminal.
        {TBbsHarness::Door32Sys(0, 60, "Tester"), "No Carrier Detected"},
        {TBbsHarness::Door32Sys(987, 60, "Tester"), "No Carrier Detected"},
        {TBbsHarness::Door32Sys(pipeFds[1], 60, "Tester"), "No Carrier Detected"},
    };
    // The doors run side by side: each waits 2.5 s on its screen.
    std::vector<std::unique_ptr<TBbsHarness>> bbses;
    for (const TCase& c : cases) {
        auto bbs = std::make_unique<TBbsHarness>();
        TDoorLaunch launch;
        launch.Binary = kExampleDoor;
        launch.Args = {"-D" + (bbs->WorkDir() / "DOOR32.SYS").string()};
        launch.InheritFds = {pipeFds[1]};
        launch.LocalTerminal = true;
        if (!c.DropFileText.empty()) bbs->WriteFile("DOOR32.SYS", c.DropFileText);
        bbs->Start(launch);
        bbses.push_back(std::move(bbs));
    }
    for (std::size_t i = 0; i < bbses.size(); ++i) {
        SCOPED_TRACE(i);
        TBbsHarness& bbs = *bbses[i];
        EXPECT_EQ(bbs.WaitExit(6s), 0);
        EXPECT_TRUE(bbs.LocalWaitForScreen(ScreenShows(cases[i].Screen), 1s))
            << bbs.LocalScreen().Dump();
        bbs.CallerPump(100ms);
        EXPECT_EQ(bbs.CallerReceived(), "");
        ExpectHandedBack(bbs);
    }
    char byte;
    EXPECT_EQ(::read(pipeFds[0], &byte, 1), -1);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
}

// The usage screen is still there when the program has ended: through a pipe, and on a terminal
// after the console has left its alternate screen.
TEST(ExampleDoor, UsageOutlivesTheConsole) {
    for (const bool terminal : {false, true}) {
        SCOPED_TRACE(terminal ? "terminal" : "pipe");
        TBbsHarness bbs;
        TDoorLaunch launch;
        launch.Binary = kExampleDoor;
        launch.Args = {"/?"};
        launch.LocalTerminal = terminal;
        bbs.Start(launch);
        EXPECT_EQ(bbs.WaitExit(5s), 0);
        bbs.LocalPump(100ms);
        const std::string output = terminal ? bbs.LocalReceived() : bbs.DoorLog();
        const std::size_t left = terminal ? output.rfind("\x1b[?1049l") : 0;
        ASSERT_NE(left, std::string::npos) << output;
        const std::size_t usage = output.find(" USAGE: exampledoor <PARAMETERS>", left);
        EXPECT_NE(usage, std::string::npos) << output;
        EXPECT_NE(output.find(" Example: exampledoor -N1 -S1000", usage), std::string::npos);
        EXPECT_EQ(bbs.CallerReceived(), "");
    }
}

// A local session on the sysop's terminal: the log-in and the line, an ending that puts the
// terminal back, and a terminal that goes away.
TEST(ExampleDoor, LocalSessionOnATerminal) {
    for (const bool hangUp : {false, true}) {
        SCOPED_TRACE(hangUp ? "terminal closed" : "normal end");
        TBbsHarness bbs;
        TDoorLaunch launch;
        launch.Binary = kExampleDoor;
        launch.Args = {"-L"};
        launch.LocalTerminal = true;
        bbs.Start(launch);
        ASSERT_TRUE(bbs.LocalWaitForScreen(ScreenShows("Name or handle :"), 5s))
            << bbs.LocalScreen().Dump();
        EXPECT_NE(bbs.LocalScreen().Dump().find("LOCAL LOGIN - FOR NODE 0"), std::string::npos);
        if (hangUp) {
            bbs.LocalHangUp();
            EXPECT_EQ(bbs.WaitExit(2s), 0);
            continue;
        }
        bbs.LocalSend("\r");
        ASSERT_TRUE(bbs.LocalWaitForScreen(ScreenShows("Hello, SYSOP!"), 5s))
            << bbs.LocalScreen().Dump();
        bbs.LocalSend("local line\r");
        EXPECT_TRUE(bbs.LocalWaitForScreen(ScreenShows("You typed: local line"), 5s));
        EXPECT_EQ(bbs.WaitExit(5s), 0);
        // The terminal was put back: the alternate screen is left at the very end.
        const std::string& local = bbs.LocalReceived();
        const std::string leave = "\x1b[?1049l";
        EXPECT_EQ(local.rfind(leave), local.size() - leave.size());
        EXPECT_EQ(bbs.CallerReceived(), "");
    }
}

} // namespace
