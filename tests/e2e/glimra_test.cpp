// The real bbsglimra with the test as its BBS and its caller: the menu, a game, the boxes over the
// menu, keys that do nothing, local keys, the update check, the configuration message, and the
// hand-back at quit.
#include "game/sqldb.h"
#include "tests/e2e/glimra_node.h"
#include "tests/support/bbs_harness.h"
#include "tests/support/httpserver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using namespace glimra_e2e;

// The door's directory as a sysop sets it up: a database made by makedb whose word for today
// is "cider", the art files, and the given configuration (none when AConfig is empty).
void InstallDoor(TBbsHarness& ABbs, const std::string& AConfig) {
    glimra_e2e::InstallGlimra(ABbs.WorkDir(), AConfig);
}

// Waits for the caller's screen, draining the door's local terminal meanwhile (a terminal
// nobody reads would block the door's output).
bool WaitForScreen(TBbsHarness& ABbs, const std::function<bool(const TVTermScreen&)>& ACondition,
                   std::chrono::milliseconds ALimit) {
    const auto deadline = std::chrono::steady_clock::now() + ALimit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (ABbs.LocalFd() >= 0) ABbs.LocalPump(10ms);
        if (ABbs.CallerWaitForScreen(ACondition, 20ms)) return true;
    }
    return false;
}

bool WaitForMenu(TBbsHarness& ABbs) {
    return WaitForScreen(ABbs, TextAt(32, 23, "Version 2024.10.2"), 10s) &&
           WaitForScreen(ABbs, TextAt(29, 12, "[1] Play Glimra"), 10s);
}

// Waits until the door has sent everything it is going to send for now.
void Settle(TBbsHarness& ABbs) {
    std::size_t seen;
    do {
        seen = ABbs.CallerReceived().size();
        if (ABbs.LocalFd() >= 0) ABbs.LocalPump(10ms);
        ABbs.CallerPump(300ms);
    } while (ABbs.CallerReceived().size() != seen);
}

// Nothing at all reaches the caller for a while after AKeys.
void ExpectNothingDrawn(TBbsHarness& ABbs, const std::string& AKeys) {
    Settle(ABbs);
    const std::size_t before = ABbs.CallerReceived().size();
    ABbs.CallerSend(AKeys);
    ABbs.CallerPump(700ms);
    EXPECT_EQ(ABbs.CallerReceived().size(), before)
        << "after keys " << ::testing::PrintToString(AKeys);
}

// The door has ended with exit code 0 and the BBS still holds a working connection.
void ExpectHandedBack(TBbsHarness& ABbs) {
    EXPECT_EQ(ABbs.WaitExit(10s), 0) << ABbs.DoorLog();
    ABbs.BbsSend("Back at the BBS");
    EXPECT_TRUE(ABbs.CallerWaitFor("Back at the BBS", 2s));
    EXPECT_FALSE(ABbs.CallerSawEnd());
    ABbs.CallerSend("menu");
    EXPECT_EQ(ABbs.BbsReceive(2s), "menu");
}

TEST(GlimraDoor, PlaysTodayThenShowsTheLeaderAndTheBoxes) {
    TBbsHarness bbs;
    InstallDoor(bbs, "0\n300\nWell done!\n");
    bbs.Start(GlimraLaunch(bbs, "Tester"));
    const TVTermScreen& screen = bbs.CallerScreen();

    // The menu: version line, leader panel, art.
    ASSERT_TRUE(WaitForMenu(bbs)) << screen.Dump() << bbs.DoorLog();
    EXPECT_EQ(screen.Fg(32, 23), 8);
    EXPECT_EQ(Text(screen, 58, 10, 12), "Daily Leader");
    EXPECT_EQ(screen.Fg(58, 10), 3);
    EXPECT_EQ(Text(screen, 58, 11, 14), "DAY NOT PLAYED");
    EXPECT_EQ(screen.Fg(58, 11), 14);
    EXPECT_EQ(Text(screen, 58, 19, 16), "All-Time Leaders");
    EXPECT_EQ(Text(screen, 58, 20, 6), "NOBODY");

    // Key 1: the game screen; a word the lists lack is refused without costing a guess.
    bbs.CallerSend("1");
    ASSERT_TRUE(bbs.CallerWaitForScreen(TextAt(30, 16, "Enter Guess 1: "), 10s)) << screen.Dump();
    EXPECT_EQ(Text(screen, 5, 16, 20), "Possible Total - 320");
    EXPECT_EQ(Text(screen, 51, 8, 21), "Playing for 3/15/2026");
    bbs.CallerSend("zzzzz\r");
    ASSERT_TRUE(bbs.CallerWaitForScreen(TextAt(52, 16, "I do not have zzzzz"), 5s))
        << screen.Dump();
    EXPECT_EQ(Text(screen, 52, 17, 16), " in my database.");
    EXPECT_EQ(Text(screen, 30, 16, 15), "Enter Guess 1: ");

    // A wrong guess is marked letter by letter: CRANE against CIDER.
    bbs.CallerSend("crane\r");
    ASSERT_TRUE(bbs.CallerWaitForScreen(TextAt(30, 16, "Enter Guess 2: "), 5s)) << screen.Dump();
    EXPECT_EQ(Text(screen, 38, 9, 5), "CRANE");
    EXPECT_EQ(screen.Bg(38, 9), 2) << "C green";
    EXPECT_EQ(screen.Bg(39, 9), 6) << "R orange (brown)";
    EXPECT_EQ(screen.Bg(40, 9), 7) << "A gray";
    EXPECT_EQ(screen.Bg(42, 9), 6) << "E orange";
    EXPECT_EQ(Text(screen, 5, 16, 20), "Possible Total - 160");

    // The right guess wins 160 points.
    bbs.CallerSend("cider\r");
    ASSERT_TRUE(bbs.CallerWaitForScreen(TextAt(2, 24, "The Word Was: CIDER"), 5s)) << screen.Dump();
    EXPECT_EQ(Text(screen, 38, 10, 5), "CIDER");
    EXPECT_EQ(Text(screen, 50, 16, 12), "<-Well done!");
    bbs.CallerSend(" ");

    // Then the day's board, with the caller on top.
    ASSERT_TRUE(bbs.CallerWaitForScreen(TextAt(31, 10, "TOP TEN FOR 03/15/2026"), 5s))
        << screen.Dump();
    ASSERT_TRUE(bbs.CallerWaitForScreen(TextAt(30, 24, "Press Any Key to Continue"), 5s));
    EXPECT_EQ(Text(screen, 31, 12, 6), "Tester");
    EXPECT_EQ(Text(screen, 51, 12, 3), "160");
    bbs.CallerSend(" ");

    // Back on the menu the caller leads the day with the points.
    ASSERT_TRUE(bbs.CallerWaitForScreen(TextAt(58, 11, "Tester"), 10s)) << screen.Dump();
    ASSERT_TRUE(WaitForMenu(bbs));
    EXPECT_EQ(Text(screen, 73, 11, 3), "160");
    EXPECT_EQ(Text(screen, 58, 20, 6), "Tester");
    EXPECT_EQ(Text(screen, 73, 20, 3), "160");

    // Key 1 again: today is played, so the box asks; "n" closes it.
    bbs.CallerSend("1");
    ASSERT_TRUE(bbs.CallerWaitForScreen(
        TextAt(15, 16, "Day already played! Make up day or play ahead? (Y/N) "), 5s))
        << screen.Dump();
    EXPECT_EQ(screen.Char(13, 16), 0xDE);
    EXPECT_EQ(screen.Fg(29, 12), 8) << "the menu is dimmed";
    bbs.CallerSend("n");
    ASSERT_TRUE(bbs.CallerWaitForScreen(TextAt(29, 16, "[5] Last Month"), 5s)) << screen.Dump();
    ASSERT_TRUE(WaitForMenu(bbs));
    // "y" instead opens the calendar, which 0 closes.
    bbs.CallerSend("1");
    ASSERT_TRUE(bbs.CallerWaitForScreen(TextAt(15, 16, "Day already played!"), 5s));
    bbs.CallerSend("y");
    ASSERT_TRUE(bbs.CallerWaitFor("Select Availble Day or 0 to quit: ", 5s)) << screen.Dump();
    bbs.CallerSend("0\r");
    ASSERT_TRUE(bbs.CallerWaitForScreen(TextAt(29, 16, "[5] Last Month"), 5s)) << screen.Dump();
    ASSERT_TRUE(WaitForMenu(bbs));

    // Key 4 with a day the month lacks shows no board; the menu comes back.
    bbs.CallerSend("4");
    ASSERT_TRUE(bbs.CallerWaitForScreen(TextAt(29, 16, " Select day to view: "), 5s))
        << screen.Dump();
    EXPECT_EQ(screen.Bg(50, 16), 1) << "the input field is white on blue";
    const std::size_t beforeDay = bbs.CallerReceived().size();
    bbs.CallerSend("32\r");
    ASSERT_TRUE(bbs.CallerWaitForScreen(TextAt(29, 16, "[5] Last Month"), 5s)) << screen.Dump();
    ASSERT_TRUE(WaitForMenu(bbs));
    EXPECT_EQ(bbs.CallerReceived().find("TOP TEN FOR", beforeDay), std::string::npos);

    // Keys 2, 3, 5, 6 and 7 each open a board that one key closes.
    for (const char* key : {"2", "3", "5", "6", "7"}) {
        bbs.CallerSend(key);
        ASSERT_TRUE(bbs.CallerWaitForScreen(
            [](const TVTermScreen& AScreen) {
                const std::string dump = AScreen.Dump();
                return dump.find("Version 2024.10.2") == std::string::npos &&
                       dump.find("Press Any Key to Continue") != std::string::npos;
            },
            5s))
            << "key " << key << "\n"
            << screen.Dump();
        bbs.CallerSend(" ");
        ASSERT_TRUE(WaitForMenu(bbs)) << "key " << key;
    }

    // Keys outside the table, and the caller's cursor keys, draw nothing.
    ExpectNothingDrawn(bbs, "8");
    ExpectNothingDrawn(bbs, "B");
    ExpectNothingDrawn(bbs, "\r");
    ExpectNothingDrawn(bbs, "\x1b[A\x1b[B\x1b[C\x1b[D");

    bbs.CallerSend("q");
    ExpectHandedBack(bbs);
    EXPECT_TRUE(fs::exists(bbs.WorkDir() / "bulletin.ans")) << "quit writes the bulletins";
    EXPECT_TRUE(fs::exists(bbs.WorkDir() / "bulletin2.ans"));
}

TEST(GlimraDoor, LocalKeysPageDownQuitsAndF7OpensAbout) {
    TBbsHarness bbs;
    InstallDoor(bbs, "0\n300\n\n");
    TDoorLaunch launch = GlimraLaunch(bbs, "Tester");
    launch.LocalTerminal = true;
    bbs.Start(launch);
    const TVTermScreen& screen = bbs.CallerScreen();
    ASSERT_TRUE(WaitForMenu(bbs)) << screen.Dump();

    // F7 at the sysop's keyboard opens the about screen, as A does; it takes two keys.
    bbs.LocalSend("\x1b[18~");
    auto aboutPage = [](bool AFirst) {
        return [AFirst](const TVTermScreen& AScreen) {
            const std::string dump = AScreen.Dump();
            return dump.find("Press Any Key") != std::string::npos &&
                   (dump.find("Guess 1-> ") != std::string::npos) == AFirst;
        };
    };
    ASSERT_TRUE(WaitForScreen(bbs, aboutPage(true), 5s)) << screen.Dump();
    bbs.CallerSend("x");
    ASSERT_TRUE(WaitForScreen(bbs, aboutPage(false), 5s)) << screen.Dump();
    bbs.CallerSend("x");
    ASSERT_TRUE(WaitForMenu(bbs)) << screen.Dump();

    // The cursor keys at the sysop's keyboard do nothing either.
    Settle(bbs);
    const std::size_t before = bbs.CallerReceived().size();
    bbs.LocalSend("\x1b[A\x1b[B\x1b[C\x1b[D");
    bbs.LocalPump(700ms);
    bbs.CallerPump(10ms);
    EXPECT_EQ(bbs.CallerReceived().size(), before);

    // Page Down quits as Q does.
    bbs.LocalSend("\x1b[6~");
    ExpectHandedBack(bbs);
}

TEST(GlimraDoor, MissingConfigurationIsReportedAndTheUpdateCheckRuns) {
    {
        TBbsHarness bbs;
        InstallDoor(bbs, "");
        bbs.Start(GlimraLaunch(bbs, "Tester"));
        ASSERT_TRUE(WaitForMenu(bbs)) << bbs.CallerScreen().Dump();
        EXPECT_NE(bbs.CallerReceived().find(
                      "File handling error occurred. Details (bbsglimra.cfg): File not found\r\n"),
                  std::string::npos);
        EXPECT_EQ(Text(bbs.CallerScreen(), 25, 24, 11), std::string(11, ' '));
        bbs.CallerSend("Q");
        ExpectHandedBack(bbs);
    }
    TestHttpServer server;
    server.Serve("/glimraversion.txt", "2025.1.1");
    TBbsHarness bbs;
    InstallDoor(bbs, "1\n");
    TDoorLaunch launch = GlimraLaunch(bbs, "Tester");
    launch.Env.push_back({"GLIMRA_UPDATE_URL", server.Url("/glimraversion.txt")});
    bbs.Start(launch);
    const TVTermScreen& screen = bbs.CallerScreen();
    ASSERT_TRUE(WaitForMenu(bbs)) << screen.Dump();
    EXPECT_EQ(Text(screen, 25, 24, 32), "New Version 2025.1.1 Available! ");
    EXPECT_EQ(screen.Fg(25, 24), 14);
    EXPECT_EQ(bbs.CallerReceived().find("File handling error"), std::string::npos);
    bbs.CallerSend("q");
    ExpectHandedBack(bbs);
}

TEST(GlimraDoor, HangUpSignalEndsAWaitingUpdateCheck) {
    TestHttpServer server;
    server.SetSilent(true);
    TBbsHarness bbs;
    InstallDoor(bbs, "1\n");
    TDoorLaunch launch = GlimraLaunch(bbs, "Tester");
    launch.Prefix.clear(); // the signal goes to the door itself, not to a faketime parent
    launch.Env.push_back({"GLIMRA_UPDATE_URL", server.Url("/glimraversion.txt")});
    bbs.Start(launch);
    // The version line is drawn just before the check; the art would follow it.
    ASSERT_TRUE(bbs.CallerWaitForScreen(TextAt(32, 23, "Version 2024.10.2"), 10s))
        << bbs.CallerScreen().Dump();
    for (int wait = 0; wait < 100 && server.Connections() == 0; ++wait)
        std::this_thread::sleep_for(50ms);
    ASSERT_EQ(server.Connections(), 1) << "the request is under way";
    bbs.Signal(SIGHUP);
    EXPECT_EQ(bbs.WaitExit(4s), 0) << "the door did not wait for the 10 s time-out";
}

TEST(GlimraDoor, FailureIsShownAndTheCallerHandedBack) {
    TBbsHarness bbs;
    InstallDoor(bbs, "0\n300\n\n");
    std::filesystem::remove(bbs.WorkDir() / "glimradb.db");
    bbs.Start(GlimraLaunch(bbs, "Tester"));
    ASSERT_TRUE(
        bbs.CallerWaitFor("Glimra stopped: The game database \"glimradb.db\" was not found.", 10s))
        << bbs.CallerScreen().Dump() << bbs.DoorLog();
    ExpectHandedBack(bbs);
    EXPECT_FALSE(std::filesystem::exists(bbs.WorkDir() / "glimradb.db")) << "no empty file is left";
}

} // namespace
