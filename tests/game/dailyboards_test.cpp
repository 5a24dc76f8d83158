// The daily score boards on real SQLite files, read back from the local screen: hidden days,
// the caller's rows, the month totals, ties and the two blocks of the champions board.
#include "game/dailyboards.h"

#include "boards_fixture.h"
#include "game/scores.h"

namespace {

const std::string LOWER_RULE = " " + std::string(78, '\xDC');

TEST_F(BoardsTest, TodayBoardHidesTodayUntilTheCallerHasPlayed) {
    SetToday(2025, 3, 14);
    AddScore("Dave", "2025-03-14", 320);
    AddScore("Alice", "2025-03-14", 160);
    AddScore("Carolina-Quite-Long-Name", "2025-03-14", 80); // 24 characters
    AddScore("Alice", "2025-03-02", 40);
    AddScore("Bob", "2025-03-02", 20);
    AddScore("Dave", "2025-02-28", 999); // other months stay out of the totals
    AddScore("Eve", "2025-04-01", 500);

    Caller->Send("k");
    GetTodayScores();
    EXPECT_EQ(TextAt(13, 11, 19), "TODAY'S HIGH SCORES");
    EXPECT_EQ(AttrAt(13, 11), ATTR_GREEN);
    for (int row = 13; row <= 15; ++row) {
        EXPECT_EQ(TextAt(11, row, 14), "DAY NOT PLAYED") << row;
        EXPECT_EQ(TextAt(31, row, 3), "XXX") << row;
        EXPECT_EQ(AttrAt(11, row), ATTR_LIGHT_GREEN) << row;
    }
    EXPECT_EQ(TextAt(11, 16, 23), std::string(23, ' ')); // one row per score, no more
    EXPECT_EQ(TextAt(17, 23, 50), HIDDEN_NOTICE);
    EXPECT_EQ(AttrAt(17, 23), ATTR_GREEN);
    EXPECT_EQ(TextAt(30, 24, 25), "Press Any Key to Continue");
    EXPECT_EQ(AttrAt(30, 24), ATTR_YELLOW);

    // The month's totals show, with days played, to a caller who has not played today.
    EXPECT_EQ(TextAt(43, 11, 25), "TOP TEN SCORES FOR 3/2025");
    EXPECT_EQ(RestOfRow(13, 40), Placed(40, {{40, "Dave (1)"}, {68, "320"}}));
    EXPECT_EQ(RestOfRow(14, 40), Placed(40, {{40, "Alice (2)"}, {68, "200"}}));
    EXPECT_EQ(RestOfRow(15, 40), Placed(40, {{40, "Carolina-Quite-Long-Na (1)"}, {68, "80"}}));
    EXPECT_EQ(RestOfRow(16, 40), Placed(40, {{40, "Bob (1)"}, {68, "20"}}));
    EXPECT_EQ(RestOfRow(17, 40), "");
    EXPECT_EQ(AttrAt(40, 15), ATTR_LIGHT_GREEN);
    EXPECT_EQ(AttrAt(40, 16), ATTR_YELLOW); // the caller's own row
    EXPECT_EQ(AttrAt(68, 16), ATTR_YELLOW);
    EXPECT_FALSE(DoorKeyPressed()); // the board took its key

    // Once the caller has played, today's names and scores show and the notice goes.
    AddScore("Bob", "2025-03-14", 10);
    Caller->Send("k");
    GetTodayScores();
    EXPECT_EQ(TextAt(11, 13, 23), Placed(11, {{11, "Dave"}, {31, "320"}}));
    EXPECT_EQ(TextAt(11, 14, 23), Placed(11, {{11, "Alice"}, {31, "160"}}));
    EXPECT_EQ(TextAt(11, 15, 23), Placed(11, {{11, "Carolina-Quite-Long"}, {31, "80 "}}));
    EXPECT_EQ(TextAt(11, 16, 23), Placed(11, {{11, "Bob"}, {31, "10 "}}));
    EXPECT_EQ(AttrAt(11, 15), ATTR_LIGHT_GREEN);
    EXPECT_EQ(AttrAt(11, 16), ATTR_YELLOW);
    EXPECT_EQ(AttrAt(31, 16), ATTR_YELLOW);
    EXPECT_EQ(RestOfRow(23), "");
    EXPECT_EQ(RestOfRow(16, 40), Placed(40, {{40, "Bob (2)"}, {68, "30"}}));
}

TEST_F(BoardsTest, OnTheFirstTheMonthTotalsAreHiddenToo) {
    SetToday(2025, 3, 1);
    AddScore("Alice", "2025-03-01", 160);
    AddScore("Carol", "2025-03-01", 40);
    Caller->Send("k");
    GetTodayScores();
    EXPECT_EQ(RestOfRow(13, 40), "DAY NOT PLAYED");
    EXPECT_EQ(RestOfRow(14, 40), "DAY NOT PLAYED");
    EXPECT_EQ(RestOfRow(15, 40), "");
    EXPECT_EQ(TextAt(17, 23, 50), HIDDEN_NOTICE);

    AddScore("Bob", "2025-03-01", 80);
    Caller->Send("k");
    GetTodayScores();
    EXPECT_EQ(RestOfRow(13, 40), Placed(40, {{40, "Alice (1)"}, {68, "160"}}));
    EXPECT_EQ(RestOfRow(14, 40), Placed(40, {{40, "Bob (1)"}, {68, "80"}}));
    EXPECT_EQ(AttrAt(40, 14), ATTR_YELLOW);
}

TEST_F(BoardsTest, OneDayBoardReadsTheDayWithOrWithoutALeadingZero) {
    SetToday(2025, 4, 20); // April: 30 days
    AddScore("Alice", "2025-04-07", 80);
    AddScore("Bob", "2025-04-07", 40);
    AddScore("Carol", "2025-04-07", 320);
    AddScore("Carol", "2025-04-08", 10); // another day stays out

    Caller->Send("k");
    GetOneDayScores("7");
    EXPECT_EQ(TextAt(31, 10, 22), "TOP TEN FOR 04/07/2025");
    EXPECT_EQ(RestOfRow(12, 31), Placed(31, {{31, "Carol"}, {51, "320"}}));
    EXPECT_EQ(RestOfRow(13, 31), Placed(31, {{31, "Alice"}, {51, "80"}}));
    EXPECT_EQ(RestOfRow(14, 31), Placed(31, {{31, "Bob"}, {51, "40"}}));
    EXPECT_EQ(RestOfRow(15, 31), "");
    EXPECT_EQ(AttrAt(31, 13), ATTR_LIGHT_GREEN);
    EXPECT_EQ(AttrAt(31, 14), ATTR_YELLOW);
    EXPECT_EQ(RestOfRow(23), "");
    std::vector<std::string> first;
    for (int row = 1; row <= 25; ++row) first.push_back(LocalScreen().RowText(row));

    AnsiReset();
    Caller->Send("k");
    GetOneDayScores("07");
    for (int row = 1; row <= 25; ++row) EXPECT_EQ(LocalScreen().RowText(row), first[row - 1]);

    // No day of this month: nothing is drawn or sent and no key is taken.
    AnsiReset();
    Caller->Received();
    Caller->Send("k");
    for (const char* text : {"", "0", "00", "31", "32", "x7", "-5", "+5", " 5", "99999999999"})
        GetOneDayScores(text);
    EXPECT_EQ(Caller->Received(), "");
    for (int row = 1; row <= 25; ++row) EXPECT_EQ(RestOfRow(row), "") << row;
    EXPECT_TRUE(DoorKeyPressed());

    // A day the caller has not played: one placeholder row per score, and the notice.
    AddScore("Alice", "2025-04-30", 10);
    AddScore("Carol", "2025-04-30", 20);
    GetOneDayScores("30");
    EXPECT_EQ(TextAt(31, 10, 22), "TOP TEN FOR 04/30/2025");
    EXPECT_EQ(RestOfRow(12, 31), Placed(31, {{31, "DAY NOT PLAYED"}, {51, "XXX"}}));
    EXPECT_EQ(RestOfRow(13, 31), Placed(31, {{31, "DAY NOT PLAYED"}, {51, "XXX"}}));
    EXPECT_EQ(RestOfRow(14, 31), "");
    EXPECT_EQ(TextAt(17, 23, 50), HIDDEN_NOTICE);
    EXPECT_FALSE(DoorKeyPressed());
}

TEST_F(BoardsTest, OneDayBoardShowsAtMostTenRows) {
    SetToday(2025, 4, 20);
    for (int i = 1; i <= 12; ++i) AddScore("Player" + std::to_string(i), "2025-04-09", i * 10);
    AddScore("Bob", "2025-04-09", 0);
    Caller->Send("k");
    GetOneDayScores("9");
    EXPECT_EQ(RestOfRow(12, 31), Placed(31, {{31, "Player12"}, {51, "120"}}));
    EXPECT_EQ(RestOfRow(21, 31), Placed(31, {{31, "Player3"}, {51, "30"}}));
    EXPECT_EQ(RestOfRow(22, 31), "");
}

TEST_F(BoardsTest, ChampionsBoardOfAThirtyDayMonth) {
    SetToday(2025, 4, 20);
    AddScore("Alice", "2025-04-01", 160); // 1: another caller's best, the caller played
    AddScore("Bob", "2025-04-01", 80);
    AddScore("Bob", "2025-04-02", 320); // 2: the caller's own best
    AddScore("Alice", "2025-04-02", 10);
    AddScore("Bob", "2025-04-03", 160); // 3: the caller shares the best
    AddScore("Carol", "2025-04-03", 160);
    AddScore("Alice", "2025-04-04", 40); // 4: a tie the caller has not played
    AddScore("Carol", "2025-04-04", 40);
    // 5: nobody played
    AddScore("Alice", "2025-04-06", 20); // 6: one best, the caller has not played
    AddScore("Bob", "2025-04-16", 5);    // 16: last day of the left block
    AddScore("Alice", "2025-04-17", 80); // 17: first day of the right block
    AddScore("Bob", "2025-04-17", 0);
    AddScore("An-Alias-Longer-Than-The-Cell", "2025-04-18", 40);
    AddScore("Bob", "2025-04-18", 10);
    AddScore("Bob", "2025-04-30", 10);
    AddScore("Alice", "2025-05-01", 320); // next month: not a day of this board

    Caller->Send("k");
    GetDailyScores();
    EXPECT_EQ(RestOfRow(1), std::string(20, ' ') + "- BBS Contestria Glimra Daily Scores -");
    EXPECT_EQ(AttrAt(21, 1), 0x0F);
    EXPECT_EQ(RestOfRow(2), LOWER_RULE);
    EXPECT_EQ(RestOfRow(3),
              "  Day         Player            Score      Day         Player            Score");
    EXPECT_EQ(AttrAt(3, 3), ATTR_YELLOW);
    EXPECT_EQ(RestOfRow(4), " " + std::string(78, '\xCD'));
    EXPECT_EQ(RestOfRow(21), LOWER_RULE);
    EXPECT_EQ(RestOfRow(22), std::string(23, ' ') + "SCORES HIDDEN ON DAYS NOT PLAYED");
    EXPECT_EQ(RestOfRow(23), std::string(26, ' ') + "Press Any Key to Continue");
    EXPECT_EQ(AttrAt(27, 23), ATTR_YELLOW);

    // Left block: date at column 2, name after it padded to 27, score at column 34.
    EXPECT_EQ(TextAt(2, 5, 35), "4/1  Alice" + std::string(22, ' ') + "160");
    EXPECT_EQ(AttrAt(2, 5), ATTR_LIGHT_GREEN);
    EXPECT_EQ(AttrAt(34, 5), ATTR_LIGHT_GREEN);

    EXPECT_EQ(TextAt(2, 6, 35), "4/2  Bob" + std::string(24, ' ') + "320");
    for (int col : {2, 7, 34}) EXPECT_EQ(AttrAt(col, 6), ATTR_YELLOW_ON_GREEN) << col;
    EXPECT_EQ(AttrAt(37, 6), 0x07); // the background goes back to black after the score

    EXPECT_EQ(TextAt(1, 7, 36), Placed(1, {{2, "4/3  2 Tied Today"}, {34, "160"}}));
    for (int col : {2, 7, 34}) EXPECT_EQ(AttrAt(col, 7), ATTR_BROWN) << col;

    EXPECT_EQ(TextAt(1, 8, 36), Placed(1, {{2, "4/4  DAY NOT PLAYED"}, {34, "XXX"}}));
    EXPECT_EQ(AttrAt(7, 8), ATTR_BROWN);

    EXPECT_EQ(TextAt(1, 9, 36), Placed(1, {{2, "4/5"}, {34, "XXX"}}));
    EXPECT_EQ(AttrAt(2, 9), ATTR_LIGHT_GREEN);
    EXPECT_EQ(AttrAt(34, 9), ATTR_LIGHT_GREEN);

    EXPECT_EQ(TextAt(1, 10, 36), Placed(1, {{2, "4/6  DAY NOT PLAYED"}, {34, "XXX"}}));
    EXPECT_EQ(AttrAt(7, 10), ATTR_LIGHT_GREEN);

    EXPECT_EQ(TextAt(2, 20, 35), "4/16 Bob" + std::string(24, ' ') + "5  ");
    EXPECT_EQ(AttrAt(34, 20), ATTR_YELLOW_ON_GREEN);

    // Right block: days 17 to 30 on rows 5 to 18, date at column 43, score at column 75.
    EXPECT_EQ(RestOfRow(5, 43), Placed(43, {{43, "4/17 Alice"}, {75, "80"}}));
    EXPECT_EQ(RestOfRow(6, 43), Placed(43, {{43, "4/18 An-Alias-Longer-Than-The-"}, {75, "40"}}));
    EXPECT_EQ(RestOfRow(7, 43), Placed(43, {{43, "4/19"}, {75, "XXX"}}));
    EXPECT_EQ(RestOfRow(18, 43), "4/30 Bob" + std::string(24, ' ') + "10");
    EXPECT_EQ(AttrAt(43, 18), ATTR_YELLOW_ON_GREEN);
    EXPECT_EQ(RestOfRow(19, 43), ""); // April has no 31st
    EXPECT_EQ(RestOfRow(20, 41), "");
    EXPECT_FALSE(DoorKeyPressed());
}

TEST_F(BoardsTest, NamesCannotSendControlBytes) {
    SetToday(2025, 4, 20);
    AddScore("Mal\x1b[2Jlory", "2025-04-07", 80);
    AddScore("Bob", "2025-04-07", 10);
    Caller->Received();
    Caller->Send("k");
    GetOneDayScores("7");
    EXPECT_EQ(RestOfRow(12, 31), Placed(31, {{31, "Mal?[2Jlory"}, {51, "80"}}));
    const std::string bytes = Caller->Received();
    EXPECT_NE(bytes.find("Mal?[2Jlory"), std::string::npos);
    EXPECT_EQ(bytes.find("Mal\x1b"), std::string::npos);
}

TEST(TypedDayNumber, DigitsOnly) {
    EXPECT_EQ(TypedDayNumber("5"), 5);
    EXPECT_EQ(TypedDayNumber("05"), 5);
    EXPECT_EQ(TypedDayNumber("00"), 0);
    EXPECT_EQ(TypedDayNumber("31"), 31);
    for (const char* text : {"", " 5", "5 ", "+5", "-5", "5a", "99999999999"})
        EXPECT_EQ(TypedDayNumber(text), -1) << text;
}

} // namespace
