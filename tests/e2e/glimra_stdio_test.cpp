// The real bbsglimra run as a standard-input door: on a pseudo-terminal that is the caller's
// connection, with a DOOR32.SYS naming handle -1. A game played by keys with the score stored
// under the drop file's alias, the idle limit of a -X session, and the caller going away mid-game.
#include "game/sqldb.h"
#include "tests/e2e/glimra_dir.h"
#include "tests/support/pty_harness.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <termios.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using namespace glimra_e2e;

// The door's directory as a sysop sets it up, with a configuration of the given idle limit.
void InstallDoor(TPtyBbs& ABbs, int AIdleSeconds) {
    glimra_e2e::InstallGlimra(ABbs.WorkDir(), "0\n" + std::to_string(AIdleSeconds) + "\n\n");
}

// Type 0: a local session on the caller's terminal. Type 2: -X, a remote session without socket.
TPtyLaunch Launch(TPtyBbs& ABbs, int AComType) {
    const auto dropFile =
        ABbs.WriteFile("door32.sys", TPtyBbs::Door32Sys(AComType, -1, 60, "Tester"));
    TPtyLaunch launch;
    launch.Binary = kDoor;
    launch.Args = {"-D" + dropFile.string()};
    if (AComType != 0) launch.Args.push_back("-X");
    launch.FakeTime = kToday + " 12:00:00";
    return launch;
}

bool WaitForMenu(TPtyBbs& ABbs) {
    return ABbs.WaitForScreen(TextAt(32, 23, "Version"), 15s) &&
           ABbs.WaitForScreen(TextAt(29, 12, "[1] Play Glimra"), 10s);
}

// Every score row: alias, date and points.
struct TScore {
    std::string User;
    std::string Date;
    std::int64_t Score;
    bool operator==(const TScore&) const = default;
};

std::vector<TScore> Scores(TPtyBbs& ABbs) {
    SqlConnection conn((ABbs.WorkDir() / "glimradb.db").string());
    SqlStatement rows(conn, "SELECT strUserName, dtDate, intScore FROM tblScores");
    std::vector<TScore> result;
    while (rows.Step())
        result.push_back({rows.ColumnText(0), rows.ColumnText(1), rows.ColumnInt(2)});
    return result;
}

void PrintTo(const TScore& AScore, std::ostream* AOut) {
    *AOut << AScore.User << " " << AScore.Date << " " << AScore.Score;
}

void ExpectModesRestored(const TPtyBbs& ABbs) {
    const termios now = ABbs.ModesNow();
    EXPECT_EQ(now.c_lflag, ABbs.ModesAtStart().c_lflag);
    EXPECT_EQ(now.c_iflag, ABbs.ModesAtStart().c_iflag);
    EXPECT_EQ(now.c_oflag, ABbs.ModesAtStart().c_oflag);
}

// Plays today's word from the menu: a miss, then the word, with Enter sent as CR LF the way many
// BBS terminals pass it; ends on the day's board.
void PlayToday(TPtyBbs& ABbs) {
    const TVTermScreen& screen = ABbs.Screen();
    ABbs.Send("1");
    ASSERT_TRUE(ABbs.WaitForScreen(TextAt(30, 16, "Enter Guess 1: "), 10s)) << screen.Dump();
    ABbs.Send("crane\r\n");
    ASSERT_TRUE(ABbs.WaitForScreen(TextAt(30, 16, "Enter Guess 2: "), 5s)) << screen.Dump();
    EXPECT_EQ(Text(screen, 38, 9, 5), "CRANE");
    EXPECT_EQ(screen.Bg(38, 9), 2) << "C green";
    ABbs.Send("cider\r\n");
    ASSERT_TRUE(ABbs.WaitForScreen(TextAt(2, 24, "The Word Was: CIDER"), 5s)) << screen.Dump();
    // The LF of the CR LF is not a key: the door still waits on this screen.
    ABbs.Settle();
    EXPECT_EQ(Text(screen, 2, 24, 19), "The Word Was: CIDER") << screen.Dump();
    ABbs.Send(" ");
    ASSERT_TRUE(ABbs.WaitForScreen(TextAt(31, 10, "TOP TEN FOR 03/15/2026"), 5s)) << screen.Dump();
    ASSERT_TRUE(ABbs.WaitForScreen(TextAt(30, 24, "Press Any Key to Continue"), 5s));
    EXPECT_EQ(Text(screen, 31, 12, 6), "Tester");
    EXPECT_EQ(Text(screen, 51, 12, 3), "160");
    ABbs.Send(" ");
    ASSERT_TRUE(WaitForMenu(ABbs)) << screen.Dump();
}

// Type 0 on the caller's terminal: the menu in CP437 bytes, a game, quit; the score is stored
// under the drop file's alias and the terminal is put back.
TEST(GlimraStdioDoor, TypeZeroPlaysAGameAndQuits) {
    TPtyBbs bbs;
    InstallDoor(bbs, 300);
    bbs.Start(Launch(bbs, 0));
    const TVTermScreen& screen = bbs.Screen();
    ASSERT_TRUE(WaitForMenu(bbs)) << screen.Dump();

    // The art's blocks arrive as the CP437 bytes themselves and show as CP437 glyphs.
    const std::string& bytes = bbs.Received();
    EXPECT_NE(bytes.find_first_of("\xDB\xDC\xDD\xDE\xDF"), std::string::npos);
    EXPECT_EQ(bytes.find("\xE2\x96"), std::string::npos) << "no UTF-8 block elements";
    int blocks = 0;
    for (int row = 1; row <= 25; ++row)
        for (int col = 1; col <= 80; ++col)
            blocks += screen.Char(col, row) >= 0xDB && screen.Char(col, row) <= 0xDF;
    EXPECT_GT(blocks, 20) << screen.Dump();

    PlayToday(bbs);
    bbs.Send("q");
    EXPECT_EQ(bbs.WaitExit(10s), 0);
    ExpectModesRestored(bbs);
    EXPECT_EQ(Scores(bbs), (std::vector<TScore>{{"Tester", kToday, 160}}));
}

// Type 2 with -X: the same game, no status bar on the caller's screen, and the idle limit from
// bbsglimra.cfg ends the session with its message.
TEST(GlimraStdioDoor, StdioOptionPlaysThenIdleLimitEnds) {
    TPtyBbs bbs;
    InstallDoor(bbs, 8);
    bbs.Start(Launch(bbs, 2));
    const TVTermScreen& screen = bbs.Screen();
    ASSERT_TRUE(WaitForMenu(bbs)) << screen.Dump();
    bbs.Settle();
    EXPECT_EQ(screen.RowText(25), std::string(80, ' ')) << "no status bar";

    PlayToday(bbs);
    ASSERT_TRUE(
        bbs.WaitForScreen(TextAt(1, 2, "  Idle Time Limit Exceeded.  Returning To BBS..."), 10s))
        << screen.Dump();
    EXPECT_EQ(bbs.WaitExit(5s), 0);
    ExpectModesRestored(bbs);
    EXPECT_EQ(bbs.Received().find("Left:"), std::string::npos);
    EXPECT_EQ(Scores(bbs), (std::vector<TScore>{{"Tester", kToday, 160}}));
}

// The caller goes away in the middle of a game: the terminal is closed, or the BBS sends SIGHUP
// or SIGTERM. The door ends within 2 s with code 0, and the game's 0 score is stored.
TEST(GlimraStdioDoor, CallerLeavingMidGameKeepsTheZeroScore) {
    struct TCase {
        std::string Name;
        std::function<void(TPtyBbs&)> End;
    };
    const TCase cases[] = {
        {"terminal closed", [](TPtyBbs& b) { b.HangUp(); }},
        {"SIGHUP", [](TPtyBbs& b) { b.Signal(SIGHUP); }},
        {"SIGTERM", [](TPtyBbs& b) { b.Signal(SIGTERM); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TPtyBbs bbs;
        InstallDoor(bbs, 300);
        bbs.Start(Launch(bbs, 0));
        const TVTermScreen& screen = bbs.Screen();
        ASSERT_TRUE(WaitForMenu(bbs)) << screen.Dump();
        bbs.Send("1");
        ASSERT_TRUE(bbs.WaitForScreen(TextAt(30, 16, "Enter Guess 1: "), 10s)) << screen.Dump();
        bbs.Send("crane\r");
        ASSERT_TRUE(bbs.WaitForScreen(TextAt(30, 16, "Enter Guess 2: "), 5s)) << screen.Dump();
        bbs.Send("ci");
        c.End(bbs);
        EXPECT_EQ(bbs.WaitExit(2s), 0);
        if (c.Name != "terminal closed") ExpectModesRestored(bbs);
        EXPECT_EQ(Scores(bbs), (std::vector<TScore>{{"Tester", kToday, 0}}));
    }
}

} // namespace
