// Last month's board, the all-time board and recent winners on real SQLite files, read back from
// the local screen: month stepping over the year's end, ties, the caller's highlight, name cuts.
#include "gamedb_fixture.h"

#include "game/monthlyboards.h"

namespace {

const std::string LONG_NAME = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcd"; // 30 characters

std::string Sp(int ACount) {
    return std::string(static_cast<std::size_t>(ACount), ' ');
}

// True when any row of the screen holds AText.
bool OnScreen(const std::string& AText) {
    for (int row = 1; row <= 25; ++row)
        if (LocalScreen().RowText(row).find(AText) != std::string::npos) return true;
    return false;
}

} // namespace

TEST_F(BoardsTest, LastMonthInJanuaryShowsDecemberOfTheYearBefore) {
    AddScore("Bob", "2024-12-01", 160); // the caller's own best day
    AddScore("Alice", "2024-12-02", 80);
    AddScore("Carol", "2024-12-02", 80);
    AddScore("Dave", "2024-12-03", 0); // two callers who both failed: a tie at 0
    AddScore("Eve", "2024-12-03", 0);
    AddScore(LONG_NAME, "2024-12-05", 320);
    AddScore("Bob", "2024-12-06", 40); // shared with Alice: a tie, no highlight
    AddScore("Alice", "2024-12-06", 40);
    AddScore("Alice", "2024-12-17", 20);
    AddScore("Carol", "2024-12-31", 10);
    AddScore("Zed", "2025-01-01", 320); // this month and the month before the board's: left out
    AddScore("Zed", "2024-11-30", 320);
    SetToday(2025, 1, 15);
    NumberOfDays = 0;
    RunScreen(GetLastMonthScores);

    EXPECT_EQ(DateKey(Year, Month, Day), "2025-01-15");
    EXPECT_EQ(NumberOfDays, 31);

    EXPECT_EQ(Row(1), Sp(20) + "- BBS Contestria Last Month's Scores -");
    EXPECT_EQ(LocalScreen().AttrAt(21, 1), 0x0F);
    // The champion's name is cut to 17; the totals run over the whole month.
    EXPECT_EQ(Row(2), Sp(8) + "Grand Champion: ABCDEFGHIJKLMNOPQ (320)   Runner Up: Bob (200)");
    EXPECT_TRUE(AttrRun(9, 70, 2, ATTR_YELLOW));
    EXPECT_EQ(Row(3), " " + std::string(78, '\xDC'));
    EXPECT_TRUE(AttrRun(2, 79, 3, ATTR_GREEN));
    EXPECT_EQ(Row(4),
              "  Day         Player            Score      Day         Player            Score");
    EXPECT_EQ(Row(5), " " + std::string(78, '\xCD'));
    EXPECT_TRUE(AttrRun(2, 79, 5, ATTR_GREEN));

    // Day 1: the caller's own line, date to score, in yellow on green.
    EXPECT_EQ(TextAt(3, 6, 35), "12/1  Bob" + Sp(23) + "160");
    EXPECT_TRUE(AttrRun(3, 37, 6, ATTR_YELLOW_ON_GREEN));
    // Days 2 and 3: ties show the count and the shared score in brown, no name.
    EXPECT_EQ(TextAt(3, 7, 35), "12/2  2 Tied" + Sp(20) + "80 ");
    EXPECT_TRUE(AttrRun(3, 8, 7, ATTR_LIGHT_GREEN));
    EXPECT_TRUE(AttrRun(9, 14, 7, ATTR_BROWN));
    EXPECT_TRUE(AttrRun(35, 37, 7, ATTR_BROWN));
    EXPECT_EQ(TextAt(3, 8, 35), "12/3  2 Tied" + Sp(20) + "0  ");
    EXPECT_TRUE(AttrRun(35, 37, 8, ATTR_BROWN));
    // Day 4, nobody played: the date, blanks and 0.
    EXPECT_EQ(TextAt(3, 9, 35), "12/4" + Sp(28) + "0  ");
    EXPECT_TRUE(AttrRun(3, 37, 9, ATTR_LIGHT_GREEN));
    // Day 5: a 30-character name cut to 24 with no blanks after it.
    EXPECT_EQ(TextAt(3, 10, 35), "12/5  ABCDEFGHIJKLMNOPQRSTUVWX  320");
    // Day 6: the caller shares the best score: a tie, not highlighted.
    EXPECT_EQ(TextAt(3, 11, 35), "12/6  2 Tied" + Sp(20) + "40 ");
    EXPECT_TRUE(AttrRun(35, 37, 11, ATTR_BROWN));
    EXPECT_TRUE(AttrRun(3, 8, 11, ATTR_LIGHT_GREEN));
    // Days 10 on have one blank after the date; day 16 ends the left block on row 21.
    EXPECT_EQ(Row(21), "  12/16" + Sp(27) + "0");
    // Day 17 heads the right block on row 6, day 31 ends it on row 20; nothing on row 21.
    EXPECT_EQ(TextAt(44, 6, 35), "12/17 Alice" + Sp(21) + "20 ");
    EXPECT_TRUE(AttrRun(44, 78, 6, ATTR_LIGHT_GREEN));
    EXPECT_EQ(TextAt(44, 20, 35), "12/31 Carol" + Sp(21) + "10 ");
    EXPECT_EQ(Row(9), "  12/4" + Sp(28) + "0" + Sp(8) + "12/20" + Sp(27) + "0");
    EXPECT_FALSE(OnScreen("Zed"));

    EXPECT_EQ(Row(22), " " + std::string(78, '\xDC'));
    EXPECT_EQ(Row(23), Sp(26) + "Press Any Key to Continue");
    EXPECT_TRUE(AttrRun(27, 51, 23, ATTR_YELLOW));
}

TEST_F(BoardsTest, LastMonthOfTwentyEightDaysWithOnePlayerThenAnEmptyMonth) {
    AddScore("Solo", "2025-02-10", 20);
    AddScore("Solo", "2025-02-28", 10);
    AddScore("Bob", "2025-03-01", 320);
    SetToday(2025, 3, 10);
    RunScreen(GetLastMonthScores);

    EXPECT_EQ(Month, 3);
    EXPECT_EQ(NumberOfDays, 31);
    EXPECT_EQ(Row(2), Sp(19) + "Grand Champion: Solo (30)   Runner Up:");
    EXPECT_EQ(TextAt(3, 6, 35), "2/1" + Sp(29) + "0  ");
    EXPECT_EQ(TextAt(3, 15, 35), "2/10 Solo" + Sp(23) + "20 ");
    EXPECT_EQ(TextAt(3, 21, 35), "2/16" + Sp(28) + "0  ");
    EXPECT_EQ(TextAt(44, 6, 35), "2/17" + Sp(28) + "0  ");
    EXPECT_EQ(TextAt(44, 17, 35), "2/28 Solo" + Sp(23) + "10 ");
    for (int row = 18; row <= 21; ++row) EXPECT_EQ(TextAt(40, row, 41), Sp(41)) << row;

    // Nobody played in May: no champion, no runner-up, 0 on every day.
    SetToday(2025, 6, 2);
    RunScreen(GetLastMonthScores);
    EXPECT_EQ(Row(2), Sp(24) + "Grand Champion:    Runner Up:");
    EXPECT_EQ(Row(6), "  5/1" + Sp(29) + "0" + Sp(8) + "5/17" + Sp(28) + "0");
    EXPECT_EQ(Row(20), "  5/15" + Sp(28) + "0" + Sp(8) + "5/31" + Sp(28) + "0");
}

TEST_F(BoardsTest, AllTimeBoardShowsTheBest34InTwoColumns) {
    AddScore(LONG_NAME, "2020-01-01", 12000);
    AddScore(LONG_NAME, "2024-05-05", 345);
    AddScore("Bob", "2024-05-05", 9000);
    AddScore("Evil\x1b[2J", "2024-05-05", 8000);
    for (int rank = 4; rank <= 33; ++rank)
        AddScore("Player" + std::to_string(rank), "2024-05-06", 4600 - (rank - 4) * 100);
    for (int rank = 34; rank <= 40; ++rank)
        AddScore("Player" + std::to_string(rank), "2024-05-06", 41 - rank); // 7 down to 1
    SetToday(2025, 2, 10);
    NumberOfDays = 0;
    RunScreen(GetAllTimeScores);

    EXPECT_EQ(NumberOfDays, 28);
    EXPECT_EQ(Row(1), Sp(15) + "- BBS Contestria Glimra All-Time Leader Board -");
    EXPECT_EQ(Row(2), " " + std::string(78, '\xDC'));
    EXPECT_EQ(Row(3),
              "  Rank        Player            Score      Rank        Player            Score");
    EXPECT_EQ(Row(4), " " + std::string(78, '\xCD'));
    // A 30-character name cut to 23 with no blanks; a five-digit total fills the five columns.
    EXPECT_EQ(TextAt(3, 5, 35), "  1   ABCDEFGHIJKLMNOPQRSTUVW 12345");
    EXPECT_TRUE(AttrRun(3, 31, 5, ATTR_LIGHT_GREEN));
    EXPECT_TRUE(AttrRun(33, 37, 5, ATTR_LIGHT_GREEN));
    // The caller's line in yellow on green, the total with its blank included.
    EXPECT_EQ(TextAt(3, 6, 35), "  2   Bob" + Sp(21) + "9000 ");
    EXPECT_TRUE(AttrRun(3, 37, 6, ATTR_YELLOW_ON_GREEN));
    // An escape sequence in a name is shown, not obeyed: the screen above is still there.
    EXPECT_EQ(TextAt(3, 7, 35), "  3   Evil?[2J" + Sp(16) + "8000 ");
    EXPECT_EQ(TextAt(3, 21, 35), " 17   Player17" + Sp(16) + "3300 ");
    EXPECT_EQ(TextAt(43, 5, 35), " 18   Player18" + Sp(16) + "3200 ");
    EXPECT_EQ(TextAt(43, 21, 35), " 34   Player34" + Sp(16) + "7    ");
    EXPECT_TRUE(AttrRun(43, 77, 21, ATTR_LIGHT_GREEN));
    EXPECT_FALSE(OnScreen("Player35"));
    EXPECT_EQ(Row(22), " " + std::string(78, '\xDC'));
    EXPECT_EQ(Row(23), Sp(26) + "Press Any Key to Continue");
}

TEST_F(BoardsTest, AllTimeBoardWithFewPlayersFillsTheLeftColumnFromTheTop) {
    AddScore("Ann", "2024-05-05", 320);
    AddScore("Ann", "2025-01-05", 160); // totals run over all dates
    AddScore("Cy", "2024-05-05", 5);
    RunScreen(GetAllTimeScores);
    EXPECT_EQ(TextAt(3, 5, 35), "  1   Ann" + Sp(21) + "480  ");
    EXPECT_EQ(TextAt(3, 6, 35), "  2   Cy" + Sp(22) + "5    ");
    for (int row = 7; row <= 21; ++row) EXPECT_EQ(Row(row), "") << row;
    EXPECT_EQ(TextAt(40, 5, 41), Sp(41));
}

TEST_F(BoardsTest, RecentWinnersInFebruaryReachBackToOctober) {
    AddScore("Now", "2025-02-01", 999); // the current month is not a recent one
    AddScore("Anna", "2024-12-01", 150);
    AddScore("Anna", "2024-12-31", 150);
    AddScore("Ben", "2024-12-10", 200);
    AddScore("Cy", "2024-12-11", 100);
    AddScore("Dee", "2024-12-12", 50); // fourth: not shown
    AddScore("Bob", "2024-11-03", 90);
    AddScore("Fay", "2024-11-04", 80);
    AddScore(LONG_NAME, "2024-10-09", 70);
    AddScore("Old", "2024-09-30", 999); // five months back
    SetToday(2025, 2, 10);
    RunScreen(RecentMonthlyChamps);

    EXPECT_EQ(DateKey(Year, Month, Day), "2025-02-10");
    EXPECT_EQ(TextAt(34, 10, 14), "Recent Winners");
    EXPECT_TRUE(AttrRun(34, 47, 10, ATTR_GREEN));
    // January had no scores: no heading, but December's block starts two lines lower.
    EXPECT_EQ(TextAt(1, 12, 45), Sp(45));
    EXPECT_EQ(TextAt(1, 13, 45), Sp(45));
    EXPECT_EQ(TextAt(10, 14, 7), "12/2024");
    EXPECT_TRUE(AttrRun(10, 16, 14, ATTR_GREEN));
    EXPECT_EQ(TextAt(10, 15, 28), " Anna" + Sp(20) + "300");
    EXPECT_EQ(TextAt(10, 16, 28), " Ben" + Sp(21) + "200");
    EXPECT_EQ(TextAt(10, 17, 28), " Cy" + Sp(22) + "100");
    EXPECT_TRUE(AttrRun(10, 14, 15, ATTR_LIGHT_GREEN));
    EXPECT_TRUE(AttrRun(35, 37, 15, ATTR_LIGHT_GREEN));
    EXPECT_FALSE(OnScreen("Dee"));
    // November and October, of the year before, in the right block.
    EXPECT_EQ(TextAt(46, 12, 7), "11/2024");
    EXPECT_EQ(TextAt(46, 13, 27), " Bob" + Sp(21) + "90");
    EXPECT_TRUE(AttrRun(46, 49, 13, ATTR_YELLOW));
    EXPECT_TRUE(AttrRun(71, 72, 13, ATTR_YELLOW));
    EXPECT_EQ(TextAt(46, 14, 27), " Fay" + Sp(21) + "80");
    EXPECT_TRUE(AttrRun(46, 49, 14, ATTR_LIGHT_GREEN));
    EXPECT_EQ(TextAt(46, 16, 7), "10/2024");
    EXPECT_EQ(TextAt(46, 17, 27), " ABCDEFGHIJKLMNOPQRS" + Sp(5) + "70");
    EXPECT_FALSE(OnScreen("Now"));
    EXPECT_FALSE(OnScreen("Old"));
    EXPECT_EQ(Row(24), Sp(26) + "Press Any Key to Continue");
}
