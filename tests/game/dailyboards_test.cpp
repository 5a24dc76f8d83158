// The daily score boards on real SQLite files, read back from the local screen: hidden days,
// the caller's rows, the month totals, ties and the two blocks of the champions board.
#include "game/dailyboards.h"

#include "gamedb_fixture.h"

namespace {

TEST_F(BoardsTest, TodayBoardHidesTodayUntilTheCallerHasPlayed) {
    SetToday(2025, 3, 14);
    AddScore("Dave", "2025-03-14", 320);
    AddScore("Alice", "2025-03-14", 160);
    AddScore("Carolina-Quite-Long-Name", "2025-03-14", 80); // 24 characters
    AddScore("Alice", "2025-03-02", 40);
    AddScore("Bob", "2025-03-02", 20);
    AddScore("Dave", "2025-02-28", 999); // other months stay out of the totals
    AddScore("Eve", "2025-04-01", 500);

    ConsolePushKeys("k");
    GetTodayScores();
    EXPECT_EQ(TextAt(13, 11, 19), "TODAY'S HIGH SCORES");
    for (int row = 13; row <= 15; ++row)
        EXPECT_EQ(RowFrom(row, 11).substr(0, 23), Placed(11, {{11, HIDDEN_NAME}, {31, "XXX"}}));
    EXPECT_EQ(TextAt(11, 16, 23), std::string(23, ' ')); // one row per score
    EXPECT_EQ(TextAt(17, 23, 50), HIDDEN_NOTICE);
    EXPECT_EQ(AttrAt(17, 23), ATTR_GREEN);
    // The month's totals with days played show to a caller who has not played today.
    EXPECT_EQ(TextAt(43, 11, 25), "TOP TEN SCORES FOR 3/2025");
    EXPECT_EQ(RowFrom(13, 40), Placed(40, {{40, "Dave (1)"}, {68, "320"}}));
    EXPECT_EQ(RowFrom(14, 40), Placed(40, {{40, "Alice (2)"}, {68, "200"}}));
    EXPECT_EQ(RowFrom(15, 40), Placed(40, {{40, "Carolina-Quite-Long-Na (1)"}, {68, "80"}}));
    EXPECT_EQ(RowFrom(16, 40), Placed(40, {{40, "Bob (1)"}, {68, "20"}}));
    EXPECT_EQ(RowFrom(17, 40), "");
    EXPECT_EQ(AttrAt(40, 15), ATTR_LIGHT_GREEN);
    EXPECT_EQ(AttrAt(68, 16), ATTR_YELLOW); // the caller's own row
    EXPECT_FALSE(DoorKeyPressed());         // the board took its key

    AddScore("Bob", "2025-03-14", 10);
    ConsolePushKeys("k");
    GetTodayScores();
    EXPECT_EQ(TextAt(11, 13, 23), Placed(11, {{11, "Dave"}, {31, "320"}}));
    EXPECT_EQ(TextAt(11, 15, 23), Placed(11, {{11, "Carolina-Quite-Long"}, {31, "80 "}}));
    EXPECT_EQ(TextAt(11, 16, 23), Placed(11, {{11, "Bob"}, {31, "10 "}}));
    EXPECT_EQ(AttrAt(31, 15), ATTR_LIGHT_GREEN);
    EXPECT_EQ(AttrAt(31, 16), ATTR_YELLOW);
    EXPECT_EQ(Row(23), "");

    // On the 1st the totals would give today away: hidden too until played.
    SetToday(2025, 4, 1);
    ConsolePushKeys("kk");
    GetTodayScores();
    EXPECT_EQ(RowFrom(13, 40), HIDDEN_NAME);
    EXPECT_EQ(RowFrom(14, 40), "");
    AddScore("Bob", "2025-04-01", 80);
    GetTodayScores();
    EXPECT_EQ(RowFrom(14, 40), Placed(40, {{40, "Bob (1)"}, {68, "80"}}));
}

TEST_F(BoardsTest, OneDayBoardReadsTheDayWithOrWithoutALeadingZero) {
    SetToday(2025, 4, 20); // April: 30 days
    AddScore("Alice", "2025-04-07", 80);
    AddScore("Bob", "2025-04-07", 40);
    AddScore("Mal\x1b[2Jlory", "2025-04-07", 320); // a name cannot clear anybody's screen
    AddScore("Carol", "2025-04-08", 10);

    ConsolePushKeys("k");
    GetOneDayScores("7");
    EXPECT_EQ(TextAt(31, 10, 22), "TOP TEN FOR 04/07/2025");
    EXPECT_EQ(RowFrom(12, 31), Placed(31, {{31, "Mal?[2Jlory"}, {51, "320"}}));
    EXPECT_EQ(RowFrom(13, 31), Placed(31, {{31, "Alice"}, {51, "80"}}));
    EXPECT_EQ(RowFrom(14, 31), Placed(31, {{31, "Bob"}, {51, "40"}}));
    EXPECT_EQ(RowFrom(15, 31), "");
    EXPECT_EQ(AttrAt(51, 14), ATTR_YELLOW);
    std::vector<std::string> first;
    for (int row = 1; row <= 25; ++row) first.push_back(LocalScreen().RowText(row));
    AnsiReset();
    ConsolePushKeys("k");
    GetOneDayScores("07");
    for (int row = 1; row <= 25; ++row) EXPECT_EQ(LocalScreen().RowText(row), first[row - 1]);

    // No day of this month: nothing drawn, no key taken.
    AnsiReset();
    ConsolePushKeys("k");
    for (const char* text : {"", "0", "00", "31", "x7", "-5", "+5", " 5", "99999999999"})
        GetOneDayScores(text);
    for (int row = 1; row <= 25; ++row) EXPECT_EQ(Row(row), "") << row;
    EXPECT_TRUE(DoorKeyPressed());

    // A day the caller has not played: a placeholder row per score, at most ten.
    for (int i = 1; i <= 12; ++i) AddScore("P" + std::to_string(i), "2025-04-30", i);
    GetOneDayScores("30");
    EXPECT_EQ(RowFrom(12, 31), Placed(31, {{31, HIDDEN_NAME}, {51, "XXX"}}));
    EXPECT_EQ(RowFrom(21, 31), Placed(31, {{31, HIDDEN_NAME}, {51, "XXX"}}));
    EXPECT_EQ(RowFrom(22, 31), "");
    EXPECT_EQ(TextAt(17, 23, 50), HIDDEN_NOTICE);
    EXPECT_FALSE(DoorKeyPressed());
}

TEST_F(BoardsTest, ChampionsBoardOfAThirtyDayMonth) {
    SetToday(2025, 4, 20);
    AddScore("Alice", "2025-04-01", 160); // another caller's best, the caller played
    AddScore("Bob", "2025-04-01", 80);
    AddScore("Bob", "2025-04-02", 320); // the caller's own best
    AddScore("Bob", "2025-04-03", 160); // the caller shares the best
    AddScore("Carol", "2025-04-03", 160);
    AddScore("Alice", "2025-04-04", 40); // a tie the caller has not played
    AddScore("Carol", "2025-04-04", 40);
    // the 5th: nobody played
    AddScore("Alice", "2025-04-06", 20);
    AddScore("Bob", "2025-04-16", 5);
    AddScore("Alice", "2025-04-17", 80);
    AddScore("Bob", "2025-04-17", 0);
    AddScore("An-Alias-Longer-Than-The-Cell", "2025-04-18", 40);
    AddScore("Bob", "2025-04-18", 10);
    AddScore("Bob", "2025-04-30", 10);
    AddScore("Alice", "2025-05-01", 320); // next month

    ConsolePushKeys("k");
    GetDailyScores();
    EXPECT_EQ(Row(1), std::string(20, ' ') + "- BBS Contestria Glimra Daily Scores -");
    EXPECT_EQ(Row(2), " " + std::string(78, '\xDC'));
    EXPECT_EQ(Row(3),
              "  Day         Player            Score      Day         Player            Score");
    EXPECT_EQ(Row(4), " " + std::string(78, '\xCD'));
    EXPECT_EQ(Row(21), Row(2));
    EXPECT_EQ(Row(22), std::string(23, ' ') + "SCORES HIDDEN ON DAYS NOT PLAYED");
    EXPECT_EQ(Row(23), std::string(26, ' ') + "Press Any Key to Continue");

    // Left block: date at column 2, name padded to 27, score at column 34.
    const auto left = [](int ARow) { return TextAt(1, ARow, 36); };
    EXPECT_EQ(left(5), Placed(1, {{2, "4/1  Alice"}, {34, "160"}}));
    EXPECT_EQ(AttrAt(34, 5), ATTR_LIGHT_GREEN);
    EXPECT_EQ(left(6), Placed(1, {{2, "4/2  Bob"}, {34, "320"}}));
    for (int col : {2, 7, 33, 34}) EXPECT_EQ(AttrAt(col, 6), ATTR_YELLOW_ON_GREEN) << col;
    EXPECT_EQ(left(7), Placed(1, {{2, "4/3  2 Tied Today"}, {34, "160"}}));
    for (int col : {2, 7, 34}) EXPECT_EQ(AttrAt(col, 7), ATTR_BROWN) << col;
    EXPECT_EQ(left(8), Placed(1, {{2, "4/4  " + std::string(HIDDEN_NAME)}, {34, "XXX"}}));
    EXPECT_EQ(AttrAt(7, 8), ATTR_BROWN);
    EXPECT_EQ(left(9), Placed(1, {{2, "4/5"}, {34, "XXX"}}));
    EXPECT_EQ(AttrAt(2, 9), ATTR_LIGHT_GREEN);
    EXPECT_EQ(left(10), Placed(1, {{2, "4/6  " + std::string(HIDDEN_NAME)}, {34, "XXX"}}));
    EXPECT_EQ(left(20), Placed(1, {{2, "4/16 Bob"}, {34, "5  "}}));

    // Right block: days 17 to 30 on rows 5 to 18, date at column 43, score at column 75.
    EXPECT_EQ(RowFrom(5, 43), Placed(43, {{43, "4/17 Alice"}, {75, "80"}}));
    EXPECT_EQ(RowFrom(6, 43), Placed(43, {{43, "4/18 An-Alias-Longer-Than-The-"}, {75, "40"}}));
    EXPECT_EQ(RowFrom(7, 43), Placed(43, {{43, "4/19"}, {75, "XXX"}}));
    EXPECT_EQ(RowFrom(18, 43), Placed(43, {{43, "4/30 Bob"}, {75, "10"}}));
    EXPECT_EQ(AttrAt(43, 18), ATTR_YELLOW_ON_GREEN);
    EXPECT_EQ(RowFrom(19, 41), ""); // April has no 31st
    EXPECT_EQ(RowFrom(20, 41), "");
    EXPECT_FALSE(DoorKeyPressed());
}

} // namespace
