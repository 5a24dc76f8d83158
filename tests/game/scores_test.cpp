// Score rows of the session's caller on real SQLite files: adding and replacing scores, played
// days, aliases that differ in case or try to break the statements.
#include "gamedb_fixture.h"

#include "game/scores.h"

TEST_F(GameDbTest, SetScoreAddsOneRowThenReplacesItsScore) {
    MakeDatabase({});
    EXPECT_FALSE(DayPlayedCheck("3", "5", "2024"));
    SetScore(0, "3", "5", "2024");
    EXPECT_TRUE(DayPlayedCheck("3", "5", "2024"));
    SetScore(160, "3", "5", "2024");
    EXPECT_EQ(Sql("SELECT strUserName, dtDate, intScore FROM tblScores"),
              std::vector<std::string>{"Bob|2024-03-05|160"});
    SetScore(20, "3", "5", "2024"); // a lower score replaces it too
    EXPECT_EQ(Sql("SELECT intScore FROM tblScores"), std::vector<std::string>{"20"});

    SetScore(40, "12", "31", "2024");
    SetScore(80, "10", "9", "2024");
    EXPECT_TRUE(DayPlayedCheck("10", "09", "2024")); // a leading zero names the same day
    EXPECT_EQ(Sql("SELECT dtDate FROM tblScores ORDER BY dtDate"),
              (std::vector<std::string>{"2024-03-05", "2024-10-09", "2024-12-31"}));

    // A date part that is no number fails before the database is touched.
    EXPECT_THROW(DayPlayedCheck("3", "x", "2024"), std::invalid_argument);
    EXPECT_THROW(SetScore(10, "", "5", "2024"), std::invalid_argument);
    EXPECT_EQ(Sql("SELECT COUNT(*) FROM tblScores")[0], "3");
}

TEST_F(GameDbTest, TrackPlayerDaysFlagsOnlyTheCallersDaysOfThatMonth) {
    MakeDatabase({});
    TDaysArray days;
    days[5] = 7;
    TrackPlayerDays(4, 2024, days);
    for (int d = 1; d <= 31; ++d) EXPECT_EQ(days[d], 0) << d;

    for (const char* day : {"1", "2", "30"}) SetScore(10, "4", day, "2024");
    SetScore(10, "5", "1", "2024");
    SetScore(10, "4", "15", "2023");
    DoorDropInfo.Alias = "bob"; // differs only in case: another player
    EXPECT_FALSE(DayPlayedCheck("4", "1", "2024"));
    SetScore(10, "4", "3", "2024");
    DoorDropInfo.Alias = "Bob";
    TrackPlayerDays(4, 2024, days);
    for (int d = 1; d <= 31; ++d) EXPECT_EQ(days[d], d == 1 || d == 2 || d == 30 ? 1 : 0) << d;
    EXPECT_THROW(days[32], std::out_of_range);
}

TEST_F(GameDbTest, HostileAliasesAreStoredAndMatchedExactly) {
    MakeDatabase({});
    const std::vector<std::string> aliases = {"Bob\" OR \"1\"=\"1",
                                              "x\"); DROP TABLE tblScores; --",
                                              "strUserName",
                                              "dtDate",
                                              "caf\xFF",
                                              ""};
    // Another caller's row: a spliced alias that read as a column or an OR would match it.
    DoorDropInfo.Alias = "Carol";
    SetScore(320, "3", "5", "2024");
    for (std::size_t i = 0; i < aliases.size(); ++i) {
        DoorDropInfo.Alias = aliases[i];
        EXPECT_FALSE(DayPlayedCheck("3", "5", "2024")) << i;
        SetScore(0, "3", "5", "2024");
        SetScore(static_cast<std::int32_t>(i + 1), "3", "5", "2024");
        EXPECT_TRUE(DayPlayedCheck("3", "5", "2024")) << i;
    }
    SqlConnection conn(GameDatabaseFile);
    SqlStatement query(conn, "SELECT strUserName, intScore FROM tblScores ORDER BY intScore");
    for (std::size_t i = 0; i < aliases.size(); ++i) {
        ASSERT_TRUE(query.Step());
        EXPECT_EQ(query.ColumnText(0), aliases[i]); // byte for byte, 0xFF included
        EXPECT_EQ(query.ColumnInt(1), static_cast<std::int64_t>(i + 1));
    }
    ASSERT_TRUE(query.Step());
    EXPECT_EQ(query.ColumnText(0) + query.ColumnText(1), "Carol320");
    EXPECT_FALSE(query.Step());
}
