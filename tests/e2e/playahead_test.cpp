// The real bbsglimra on the 20th of a month: the caller plays today, answers Y in the
// already-played box, makes up an earlier day and plays a later one from the calendar, and
// every score is stored under its own date; then the score boards of the menu.
#include "game/sqldb.h"
#include "tests/e2e/glimra_node.h"
#include "tests/support/bbs_harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using glimra_e2e::GlimraLaunch;
using glimra_e2e::Text;
using glimra_e2e::TextAt;

// From the 20th on the rest of the month can be played ahead. March 2026 starts on a Sunday.
const std::string kYearMonth = "2026-03";
const std::string kToday = kYearMonth + "-20";

std::string DayKey(int ADay) {
    return kYearMonth + (ADay < 10 ? "-0" : "-") + std::to_string(ADay);
}

// A door directory whose database gives every day of the month the word "cider", and holds
// one earlier score of another caller.
void InstallDoor(TBbsHarness& ABbs) {
    std::vector<std::string> days;
    for (int d = 1; d <= 31; ++d) days.push_back(DayKey(d));
    glimra_e2e::InstallGlimra(ABbs.WorkDir(), "0\n300\nWell done!\n", days);
    SqlConnection conn((ABbs.WorkDir() / "glimradb.db").string());
    SqlStatement(conn, "INSERT INTO tblScores (strUserName, dtDate, intScore) "
                       "VALUES ('Alice', ?, 40)")
        .Bind(1, DayKey(5))
        .Execute();
}

std::vector<std::string> Scores(TBbsHarness& ABbs) {
    SqlConnection conn((ABbs.WorkDir() / "glimradb.db").string());
    SqlStatement query(conn, "SELECT strUserName, dtDate, intScore FROM tblScores "
                             "ORDER BY dtDate, strUserName");
    std::vector<std::string> rows;
    while (query.Step())
        rows.push_back(query.ColumnText(0) + "|" + query.ColumnText(1) + "|" + query.ColumnText(2));
    return rows;
}

class PlayAhead : public ::testing::Test {
  protected:
    void SetUp() override {
        InstallDoor(Bbs);
        Bbs.Start(GlimraLaunch(Bbs, "Tester", 1, kToday));
    }

    // Waits for AText at (ACol, ARow) on the caller's screen; false after ALimit.
    bool See(int ACol, int ARow, const std::string& AText, std::chrono::milliseconds ALimit = 10s) {
        return Bbs.CallerWaitForScreen(TextAt(ACol, ARow, AText), ALimit);
    }
    bool SeeMenu() { return See(32, 23, "Version 2024.10.2") && See(29, 12, "[1] Play Glimra"); }
    bool SeeCalendar() { return See(23, 17, "Select Availble Day or 0 to quit: "); }

    // Waits for the end of a game, takes its key and waits for the whole board of its day.
    void FinishGame(const std::string& ABoardTitle) {
        ASSERT_TRUE(See(2, 24, "The Word Was: CIDER")) << Screen().Dump();
        Bbs.CallerSend(" ");
        ASSERT_TRUE(See(31, 10, ABoardTitle)) << Screen().Dump();
        ASSERT_TRUE(See(30, 24, "Press Any Key to Continue")) << Screen().Dump();
    }

    const TVTermScreen& Screen() { return Bbs.CallerScreen(); }

    TBbsHarness Bbs;
};

TEST_F(PlayAhead, TodayThenAnEarlierAndALaterDayFromTheCalendar) {
    ASSERT_TRUE(SeeMenu()) << Screen().Dump() << Bbs.DoorLog();

    // Today, won on the second guess.
    Bbs.CallerSend("1");
    ASSERT_TRUE(See(30, 16, "Enter Guess 1: ")) << Screen().Dump();
    Bbs.CallerSend("crane\rcider\r");
    FinishGame("TOP TEN FOR 03/20/2026");
    EXPECT_EQ(Text(Screen(), 31, 12, 23), "Tester              160");
    Bbs.CallerSend(" ");
    ASSERT_TRUE(SeeMenu()) << Screen().Dump();

    // Today is played: Y opens the calendar, where only today is dark.
    Bbs.CallerSend("1");
    ASSERT_TRUE(See(15, 16, "Day already played! Make up day or play ahead? (Y/N) "))
        << Screen().Dump();
    Bbs.CallerSend("y");
    ASSERT_TRUE(SeeCalendar()) << Screen().Dump();
    EXPECT_EQ(Text(Screen(), 28, 8, 26), std::string(10, ' ') + "3/2026" + std::string(10, ' '));
    EXPECT_EQ(Text(Screen(), 28, 10, 28), std::string(28, ' ')); // a Sunday start
    EXPECT_EQ(Text(Screen(), 28, 11, 4), "1   ");
    EXPECT_EQ(Text(Screen(), 48, 13, 4), "20x ");
    EXPECT_EQ(Screen().Fg(48, 13), 8);
    EXPECT_EQ(Screen().Fg(32, 11), 14) << "day 2, unplayed";
    EXPECT_EQ(Screen().Fg(36, 15), 14) << "day 31, ahead";

    // An earlier day, typed with a leading zero, won on the first guess.
    Bbs.CallerSend("05\r");
    ASSERT_TRUE(See(30, 16, "Enter Guess 1: ")) << Screen().Dump();
    Bbs.CallerSend("cider\r");
    FinishGame("TOP TEN FOR 03/05/2026");
    EXPECT_EQ(Text(Screen(), 31, 12, 23), "Tester              320");
    EXPECT_EQ(Text(Screen(), 31, 13, 23), "Alice               40 ");
    Bbs.CallerSend(" ");

    // A later day, lost.
    ASSERT_TRUE(SeeCalendar()) << Screen().Dump();
    Bbs.CallerSend("28\r");
    ASSERT_TRUE(See(30, 16, "Enter Guess 1: ")) << Screen().Dump();
    Bbs.CallerSend("crane\rcrane\rcrane\rcrane\rcrane\rcrane\r");
    FinishGame("TOP TEN FOR 03/28/2026");
    Bbs.CallerSend(" ");

    // Both days now carry their x; a played day is refused; 0 goes back to the menu.
    ASSERT_TRUE(SeeCalendar()) << Screen().Dump();
    ASSERT_TRUE(See(44, 11, "5x  ")) << Screen().Dump();
    EXPECT_EQ(Screen().Fg(44, 11), 8);
    EXPECT_EQ(Text(Screen(), 52, 14, 4), "28x ");
    EXPECT_EQ(Screen().Fg(52, 14), 8);
    Bbs.CallerSend("28\r");
    ASSERT_TRUE(See(35, 21, "Not Playable!")) << Screen().Dump();
    Bbs.CallerSend("0\r");
    ASSERT_TRUE(SeeMenu()) << Screen().Dump();

    // Today's scores (key 2) and the month's champions (key 3).
    Bbs.CallerSend("2");
    ASSERT_TRUE(See(13, 11, "TODAY'S HIGH SCORES")) << Screen().Dump();
    ASSERT_TRUE(See(30, 24, "Press Any Key to Continue")) << Screen().Dump();
    EXPECT_EQ(Text(Screen(), 11, 13, 6), "Tester");
    EXPECT_EQ(Text(Screen(), 31, 13, 3), "160");
    EXPECT_EQ(Text(Screen(), 40, 13, 10), "Tester (3)");
    EXPECT_EQ(Text(Screen(), 68, 13, 3), "480");
    Bbs.CallerSend(" ");
    ASSERT_TRUE(SeeMenu()) << Screen().Dump();
    Bbs.CallerSend("3");
    ASSERT_TRUE(See(27, 23, "Press Any Key to Continue")) << Screen().Dump();
    EXPECT_EQ(Text(Screen(), 2, 9, 11), "3/5  Tester");
    EXPECT_EQ(Screen().Bg(2, 9), 2) << "the caller's own best day";
    EXPECT_EQ(Text(Screen(), 34, 9, 3), "320");
    EXPECT_EQ(Text(Screen(), 43, 16, 17), "3/28 Tester      ");
    EXPECT_EQ(Text(Screen(), 75, 16, 3), "0  ");
    Bbs.CallerSend(" ");
    ASSERT_TRUE(SeeMenu()) << Screen().Dump();

    Bbs.CallerSend("q");
    EXPECT_EQ(Bbs.WaitExit(10s), 0) << Bbs.DoorLog();
    EXPECT_EQ(Scores(Bbs),
              (std::vector<std::string>{"Alice|2026-03-05|40", "Tester|2026-03-05|320",
                                        "Tester|2026-03-20|160", "Tester|2026-03-28|0"}));
}

} // namespace
