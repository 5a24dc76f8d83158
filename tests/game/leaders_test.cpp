// The leader summary on real database files, and the menu's leader panel on the local screen.
#include "game/leaders.h"

#include "gamedb_fixture.h"

#include <algorithm>

namespace {

// Every standing the summary fills, as one text.
std::string Standings() {
    std::ostringstream s;
    s << "daily " << StrDailyLeader << ' ' << IntDailyLeader << ", month " << StrMonthlyLeader
      << ' ' << IntMonthlyLeader << ", last " << StrLastMonthLeader << ' ' << IntLastMonthLeader
      << ", all " << StrAllTimeLeader << ' ' << IntAllTimeLeader << " / " << StrAllTimeLeader2
      << ' ' << IntAllTimeLeader2 << ", top";
    for (std::size_t k = 0; k < 5; ++k) s << ' ' << ArrMonthlyLeaders[k] << ArrMonthlyScores[k];
    return s.str();
}

using LeadersTest = BoardsTest;

TEST_F(LeadersTest, EmptyTableLeavesNobodyEverywhere) {
    GameDate(2024, 3, 5);
    StrDailyLeader = ArrMonthlyLeaders[2] = "stale";
    ArrMonthlyScores[2] = 7;
    SetMonthlyAndDaily();
    EXPECT_EQ(Standings(), "daily NOBODY 0, month NOBODY 0, last NOBODY 0, all NOBODY 0 / NOBODY "
                           "0, top 0 0 0 0 0");

    DrawLeaderPanel(true);
    // Rows 10 to 21; a zero daily score is not written.
    const char* rows[] = {"Daily Leader",        "NOBODY",           "",
                          "Monthly Leader",      "NOBODY         0", "",
                          "Last Month's Winner", "NOBODY         0", "",
                          "All-Time Leaders",    "NOBODY         0", "NOBODY         0"};
    for (int row = 10; row <= 21; ++row) EXPECT_EQ(RowFrom(row, 58), rows[row - 10]) << row;
    EXPECT_EQ(AttrAt(58, 10), 0x03); // cyan label on black
    EXPECT_EQ(AttrAt(58, 11), 0x0E); // yellow value on black
    EXPECT_EQ(AttrAt(73, 14), 0x0E);
}

TEST_F(LeadersTest, StandingsOfTheGameDateMonthAndAllTime) {
    AddScore("Ann", "2024-03-05", 160);
    AddScore("Bob", "2024-03-05", 320);
    AddScore("Cy", "2024-03-05", 0);
    AddScore("Ann", "2024-03-01", 320);
    AddScore("Ann", "2024-03-31", 10);
    AddScore("Bob", "2024-04-01", 320); // next month: counts only all-time
    AddScore("Cy", "2024-02-29", 80);   // last month
    AddScore("Dee", "2024-02-03", 40);
    GameDate(2024, 3, 5);
    SetMonthlyAndDaily();
    // Fewer than five players in the month: the rest stay empty.
    EXPECT_EQ(Standings(), "daily Bob 320, month Ann 490, last Cy 80, all Bob 640 / Ann 490, top "
                           "Ann490 Bob320 Cy0 0 0");

    DrawLeaderPanel(true);
    EXPECT_EQ(RowFrom(11, 58), "Bob            320");
    EXPECT_EQ(RowFrom(14, 58), "Ann            490");
    EXPECT_EQ(RowFrom(17, 58), "Cy             80");
    EXPECT_EQ(RowFrom(20, 58), "Bob            640");
    EXPECT_EQ(RowFrom(21, 58), "Ann            490");
}

TEST_F(LeadersTest, JanuaryLooksBackToDecemberOfTheYearBefore) {
    AddScore("Ann", "2024-12-01", 80);
    AddScore("Ann", "2024-12-31", 40);
    AddScore("Bob", "2024-12-15", 100);
    AddScore("Cy", "2025-12-10", 320); // December of the game year is not the previous month
    AddScore("Dee", "2024-11-30", 320);
    GameDate(2025, 1, 2);
    SetMonthlyAndDaily();
    EXPECT_EQ(StrLastMonthLeader, "Ann");
    EXPECT_EQ(IntLastMonthLeader, 120);
    EXPECT_EQ(StrMonthlyLeader, "NOBODY");
}

TEST_F(LeadersTest, LongNamesAreCutTo14Everywhere) {
    AddScore("Abcdefghijklmnopqrst", "2024-03-05", 320); // 20 characters
    AddScore("Abcdefghijklmnopqrst", "2024-02-05", 160);
    GameDate(2024, 3, 5);
    SetMonthlyAndDaily();
    // Only one player ever: the second all-time place is nobody's.
    EXPECT_EQ(Standings(), "daily Abcdefghijklmn 320, month Abcdefghijklmn 320, last "
                           "Abcdefghijklmn 160, all Abcdefghijklmn 480 / NOBODY 0, top "
                           "Abcdefghijklmn320 0 0 0 0");
    DrawLeaderPanel(true);
    EXPECT_EQ(RowFrom(11, 58), "Abcdefghijklmn 320"); // the name ends in column 71
}

TEST_F(LeadersTest, StoredNamesReachThePanelAsPlainText) {
    AddScore("Ev\x1b[2J|1F", "2024-03-05", 320);
    GameDate(2024, 3, 5);
    SetMonthlyAndDaily();
    DrawLeaderPanel(true);
    // Neither the clear-screen sequence nor the pipe code acts: both show as text.
    EXPECT_EQ(RowFrom(10, 58), "Daily Leader");
    EXPECT_EQ(RowFrom(11, 58), "Ev?[2J\xB3"
                               "1F      320");
    EXPECT_EQ(LocalScreen().AttrAt(73, 11), ATTR_YELLOW) << "the score after the name stays yellow";
}

TEST_F(LeadersTest, TiesGoToWhicheverRowTheDatabaseReturnsFirst) {
    AddScore("Zed", "2024-03-05", 160);
    AddScore("Abe", "2024-03-05", 160);
    GameDate(2024, 3, 5);
    SetMonthlyAndDaily();
    // No rule of the game's own breaks a tie: each standing is one of the two, and the
    // all-time places hold both.
    EXPECT_TRUE(StrDailyLeader == "Zed" || StrDailyLeader == "Abe") << StrDailyLeader;
    EXPECT_EQ(std::tuple(IntDailyLeader, IntMonthlyLeader, IntAllTimeLeader2),
              std::tuple(160, 160, 160));
    std::array<std::string, 2> allTime{StrAllTimeLeader, StrAllTimeLeader2};
    std::sort(allTime.begin(), allTime.end());
    EXPECT_EQ(allTime, (std::array<std::string, 2>{"Abe", "Zed"}));
}

TEST_F(LeadersTest, PanelBeforeTheCallerHasPlayedToday) {
    AddScore("Ann", "2024-03-01", 320);
    for (int day : {1, 2}) {
        AnsiReset();
        GameDate(2024, 3, day);
        SetMonthlyAndDaily();
        DrawLeaderPanel(false);
        EXPECT_EQ(RowFrom(11, 58), "DAY NOT PLAYED");
        // On the 1st the month has no standing yet.
        EXPECT_EQ(RowFrom(14, 58), day == 1 ? "DAY NOT PLAYED" : "Ann            320");
    }
}

} // namespace
