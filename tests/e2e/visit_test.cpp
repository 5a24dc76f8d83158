// Whole visits of the real bbsglimra, the test as BBS, caller and sysop: today's game, the
// calendar's made-up and played-ahead days, every board, the about pages, keys that do nothing,
// local keys, quit and the hand-back; the door on the caller's terminal; the configuration
// message, the update check and a failure. Screens compared whole with tests/fixtures/e2e_*.
#include "tests/e2e/glimra.h"
#include "tests/support/httpserver.h"

#include <csignal>

namespace {

void ExpectScreen(TBbs& ABbs, const std::string& AName) {
    ABbs.Settle();
    ExpectFixture("e2e_" + AName + ".screen", Shot(ABbs.Screen()));
}

TEST(Visit, GameCalendarEveryBoardAndQuitOnThe20th) {
    TBbs bbs;
    std::vector<std::string> march;
    for (int d = 1; d <= 31; ++d)
        march.push_back("2026-03-" + std::string(d < 10 ? "0" : "") + std::to_string(d));
    InstallGlimra(bbs.Dir(), "0\n300\nWell done!\n", march);
    Query(bbs.Dir(),
          "INSERT INTO tblScores VALUES ('Alice', '2026-03-05', 40), ('Zed', '2026-02-10', 160)");
    TLaunch launch = Glimra(bbs, "Tester", 1, "2026-03-20");
    launch.LocalTerminal = launch.Utf8 = true; // the sysop watches at a terminal of the door's own
    bbs.Start(launch);
    ASSERT_TRUE(Menu(bbs)) << bbs.Screen().Dump() << bbs.Log();
    ExpectScreen(bbs, "menu");
    // Today: a word the lists lack costs no guess; a miss; the word on the second guess.
    bbs.Send("1zzzzz\r");
    ASSERT_TRUE(bbs.See(52, 16, "I do not have zzzzz"));
    bbs.Send("crane\r");
    ASSERT_TRUE(bbs.See(30, 16, "Enter Guess 2: "));
    ExpectScreen(bbs, "guess");
    bbs.Send("cider\r");
    ASSERT_TRUE(bbs.See(2, 24, "The Word Was: CIDER"));
    ExpectScreen(bbs, "won");
    bbs.Send(" ");
    ASSERT_TRUE(bbs.See(30, 24, "Press Any Key to Continue"));
    ExpectScreen(bbs, "day_board");
    // Played: Y opens the calendar; an earlier day won, a later one lost, a played one refused.
    bbs.Send(" 1y05\rcider\r  28\rcrane\rcrane\rcrane\rcrane\rcrane\rcrane\r  28\r");
    ASSERT_TRUE(bbs.See(35, 21, "Not Playable!")) << bbs.Screen().Dump();
    ExpectScreen(bbs, "calendar");
    bbs.Send("0\r");
    ASSERT_TRUE(Menu(bbs));
    for (const std::string keys : {"2", "3", "415\r", "5", "6", "7"}) { // one key closes each
        bbs.Send(keys);
        ASSERT_TRUE(Board(bbs)) << keys << "\n" << bbs.Screen().Dump();
        bbs.Send(" ");
        ASSERT_TRUE(Menu(bbs)) << keys;
    }
    bbs.Local().Send("\x1b[18~"); // F7 at the sysop's keyboard opens the about pages as A does
    ASSERT_TRUE(bbs.See("Guess 1-> "));
    bbs.Send("  ");
    ASSERT_TRUE(Menu(bbs));
    // Keys outside the table, cursor keys on either side and a day past the month draw nothing:
    // the next screen's bytes come first.
    bbs.Settle();
    const std::size_t before = bbs.Received().size();
    bbs.Local().Send("\x1b[A\x1b[B\x1b[C\x1b[D");
    bbs.Send("8B\r\x1b[A\x1b[B\x1b[C\x1b[D432\r2");
    ASSERT_TRUE(Board(bbs));
    const std::string drawn = bbs.Received().substr(before);
    EXPECT_TRUE(drawn.find(" Select day to view: ") < drawn.find("\x1b[2J") &&
                drawn.find("TOP TEN FOR") == std::string::npos)
        << drawn.substr(0, 80);
    bbs.Send(" ");
    ASSERT_TRUE(Menu(bbs));
    bbs.Local().Send("\x1b[6~"); // Page Down at the sysop's keyboard quits as Q does
    EXPECT_TRUE(bbs.HandedBack()) << bbs.Log();
    EXPECT_EQ(Query(bbs.Dir(), "SELECT * FROM tblScores ORDER BY dtDate, strUserName"),
              (std::vector<std::string>{"Zed|2026-02-10|160", "Alice|2026-03-05|40",
                                        "Tester|2026-03-05|320", "Tester|2026-03-20|160",
                                        "Tester|2026-03-28|0"}));
    EXPECT_TRUE(fs::exists(bbs.Dir() / "bulletin.ans") && fs::exists(bbs.Dir() / "bulletin2.ans"));
    EXPECT_EQ(Foreign(bbs.Received()), "");
}

// On the caller's terminal (type 0, or type 2 with -X and its idle limit), CP437 throughout; the
// score of a game left midway by a hang-up or a signal is kept.
TEST(Visit, OnTheCallersTerminal) {
    for (const std::string end : {"quit", "idle", "hang-up", "SIGHUP", "SIGTERM"}) {
        TBbs bbs;
        InstallGlimra(bbs.Dir(), end == "idle" ? "0\n3\n\n" : "0\n300\n\n");
        bbs.Write("door32.sys", TBbs::Door32(end == "idle" ? 2 : 0, -1, "Tester"));
        bbs.Start({.Binary = GLIMRA_BINARY_DIR "/bbsglimra",
                   .Args = {"-Ddoor32.sys", end == "idle" ? "-X" : ""},
                   .FakeTime = kToday + " 12:00:00",
                   .OnPty = true});
        ASSERT_TRUE(Menu(bbs)) << bbs.Screen().Dump();
        bbs.Send("1crane\r\n"); // the LF of CR LF is no key
        ASSERT_TRUE(bbs.See(30, 16, "Enter Guess 2: "));
        if (end == "quit") ExpectScreen(bbs, "pty_guess");
        if (end == "quit" || end == "idle")
            bbs.Send("cider\r\n  " + std::string(end == "quit" ? "q" : ""));
        if (end == "idle")
            ASSERT_TRUE(bbs.See(1, 2, "  Idle Time Limit Exceeded.  Returning To BBS...", 20s));
        if (end == "hang-up") bbs.HangUp();
        if (end.starts_with("SIG") || end == "idle") bbs.Signal(end == "SIGHUP" ? SIGHUP : SIGTERM);
        EXPECT_EQ(bbs.WaitExit(end == "quit" ? 10s : 2s), 0) << end;
        EXPECT_TRUE(end == "hang-up" || bbs.ModesBack()) << end;
        EXPECT_EQ(Query(bbs.Dir(), "SELECT intScore FROM tblScores")[0],
                  end == "quit" || end == "idle" ? "160" : "0");
    }
}

TEST(Visit, ConfigurationUpdateCheckAndFailureMessages) {
    TestHttpServer server;
    server.Serve("/glimraversion.txt", "2025.1.1");
    for (const std::string config : {"", "1\n", "silent"}) {
        TBbs bbs; // no file: the message and the defaults; "1": the check, which a hang-up ends
        InstallGlimra(bbs.Dir(), config == "" ? "" : "1\n");
        TLaunch launch = Glimra(bbs);
        launch.Env = {{"GLIMRA_UPDATE_URL", server.Url("/glimraversion.txt")}};
        server.Silent = config == "silent";
        bbs.Start(launch);
        ASSERT_TRUE(bbs.See(32, 23, "Version 2024.10.2")) << bbs.Screen().Dump();
        if (config == "silent") {
            ASSERT_TRUE(bbs.WaitFor([&](const TVTermScreen&) { return server.Connections == 2; }));
            bbs.Signal(SIGHUP);
            EXPECT_EQ(bbs.WaitExit(4s), 0) << "the door did not wait for the 10 s time-out";
            continue;
        }
        ASSERT_TRUE(Menu(bbs));
        bbs.Settle();
        EXPECT_EQ(Text(bbs.Screen(), 25, 24, 31),
                  config == "" ? std::string(31, ' ') : "New Version 2025.1.1 Available!");
        EXPECT_EQ(
            bbs.Received().find(
                "File handling error occurred. Details (bbsglimra.cfg): File not found\r\n") !=
                std::string::npos,
            config == "");
        bbs.Send("q");
        EXPECT_TRUE(bbs.HandedBack());
    }
    TBbs bbs;
    InstallGlimra(bbs.Dir());
    fs::remove(bbs.Dir() / "glimradb.db");
    bbs.Start(Glimra(bbs));
    ASSERT_TRUE(bbs.See("Glimra stopped: The game database \"glimradb.db\" was not found."))
        << bbs.Log();
    EXPECT_TRUE(bbs.HandedBack());
    EXPECT_FALSE(fs::exists(bbs.Dir() / "glimradb.db")) << "no empty file is left";
}

} // namespace
