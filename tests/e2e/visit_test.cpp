// Whole visits of the real bbsglimra, the test as BBS, caller and sysop: log-in, today's game, the
// calendar's made-up and played-ahead days, every board, the about pages, keys that do nothing,
// local keys, quit and the hand-back; then the configuration message, the update check, and a
// failure shown to the caller. Screens are compared whole with tests/fixtures/e2e_*.screen.
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

    // Today: a word the lists lack costs no guess; a miss; the word, on the second guess.
    bbs.Send("1");
    ASSERT_TRUE(bbs.See(30, 16, "Enter Guess 1: "));
    bbs.Send("zzzzz\r");
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
    bbs.Send(" ");
    ASSERT_TRUE(Menu(bbs));

    // Played: Y opens the calendar; an earlier day won, a later one lost, a played one refused.
    bbs.Send("1");
    ASSERT_TRUE(bbs.See(15, 16, "Day already played! Make up day or play ahead? (Y/N) "));
    bbs.Send("y05\r");
    ASSERT_TRUE(bbs.See(30, 16, "Enter Guess 1: ")) << bbs.Screen().Dump();
    bbs.Send("cider\r ");
    ASSERT_TRUE(bbs.See(31, 10, "TOP TEN FOR 03/05/2026"));
    bbs.Send(" 28\r");
    ASSERT_TRUE(bbs.See(30, 16, "Enter Guess 1: "));
    bbs.Send("crane\rcrane\rcrane\rcrane\rcrane\rcrane\r  28\r");
    ASSERT_TRUE(bbs.See(35, 21, "Not Playable!"));
    ExpectScreen(bbs, "calendar");
    bbs.Send("0\r");
    ASSERT_TRUE(Menu(bbs));

    // Every board opens and one key closes it; day 32 shows none.
    for (const std::string keys : {"2", "3", "415\r", "5", "6", "7"}) {
        bbs.Send(keys);
        ASSERT_TRUE(Board(bbs)) << keys << "\n" << bbs.Screen().Dump();
        bbs.Send(" ");
        ASSERT_TRUE(Menu(bbs)) << keys;
    }
    // F7 at the sysop's keyboard opens the about pages as A does.
    bbs.Line(true).Send("\x1b[18~");
    ASSERT_TRUE(bbs.See("Guess 1-> "));
    bbs.Send(" ");
    ASSERT_TRUE(bbs.WaitFor(
        [](const TVTermScreen& S) { return S.Shows("Press Any Key") && !S.Shows("Guess 1-> "); }));
    bbs.Send(" ");
    ASSERT_TRUE(Menu(bbs));
    // Keys outside the table and the caller's and the sysop's cursor keys draw nothing: what
    // the next key draws comes first. A day past the month shows no board.
    bbs.Settle();
    std::size_t before = bbs.Received().size();
    bbs.Line(true).Send("\x1b[A\x1b[B\x1b[C\x1b[D");
    bbs.Send("8B\r\x1b[A\x1b[B\x1b[C\x1b[D2");
    ASSERT_TRUE(Board(bbs));
    EXPECT_EQ(bbs.Received().find("\x1b[2J", before), before) << bbs.Received().substr(before, 40);
    bbs.Send(" ");
    ASSERT_TRUE(Menu(bbs));
    before = bbs.Received().size();
    bbs.Send("432\r");
    ASSERT_TRUE(bbs.See(29, 16, " Select day to view: 32"));
    ASSERT_TRUE(bbs.WaitFor([](const TVTermScreen& S) { return !S.Shows("Select day"); }));
    ASSERT_TRUE(Menu(bbs));
    EXPECT_EQ(bbs.Received().find("TOP TEN", before), std::string::npos);

    bbs.Line(true).Send("\x1b[6~"); // Page Down at the sysop's keyboard quits as Q does
    EXPECT_TRUE(bbs.HandedBack()) << bbs.Log();
    EXPECT_EQ(Query(bbs.Dir(), "SELECT * FROM tblScores ORDER BY dtDate, strUserName"),
              (std::vector<std::string>{"Zed|2026-02-10|160", "Alice|2026-03-05|40",
                                        "Tester|2026-03-05|320", "Tester|2026-03-20|160",
                                        "Tester|2026-03-28|0"}));
    EXPECT_TRUE(fs::exists(bbs.Dir() / "bulletin.ans") && fs::exists(bbs.Dir() / "bulletin2.ans"));
    EXPECT_EQ(Foreign(bbs.Received()), "");
}

TEST(Visit, ConfigurationUpdateCheckAndFailureMessages) {
    {
        TBbs bbs; // no configuration file: the message, the defaults, no check
        InstallGlimra(bbs.Dir(), "");
        bbs.Start(Glimra(bbs));
        ASSERT_TRUE(Menu(bbs)) << bbs.Screen().Dump();
        EXPECT_NE(bbs.Received().find(
                      "File handling error occurred. Details (bbsglimra.cfg): File not found\r\n"),
                  std::string::npos);
        bbs.Send("Q");
        EXPECT_TRUE(bbs.HandedBack());
    }
    TestHttpServer server;
    server.Serve("/glimraversion.txt", "2025.1.1");
    for (const bool silent : {false, true}) {
        TBbs bbs;
        InstallGlimra(bbs.Dir(), "1\n");
        TLaunch launch = Glimra(bbs);
        launch.Env = {{"GLIMRA_UPDATE_URL", server.Url("/glimraversion.txt")}};
        server.Silent = silent;
        bbs.Start(launch);
        if (!silent) {
            ASSERT_TRUE(bbs.See(25, 24, "New Version 2025.1.1 Available!")) << bbs.Screen().Dump();
            EXPECT_EQ(bbs.Screen().Attr(25, 24), 14);
            bbs.Send("q");
            EXPECT_TRUE(bbs.HandedBack());
            continue;
        }
        // The version line is drawn just before the check; a hang-up ends the waiting check.
        ASSERT_TRUE(bbs.See(32, 23, "Version 2024.10.2"));
        ASSERT_TRUE(bbs.WaitFor([&](const TVTermScreen&) { return server.Connections == 2; }));
        bbs.Signal(SIGHUP);
        EXPECT_EQ(bbs.WaitExit(4s), 0) << "the door did not wait for the 10 s time-out";
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
