// The leader summary on real database files, and the menu's leader panel on the local screen.
#include "game/leaders.h"

#include "door/ansi.h"
#include "door/screen.h"
#include "gamedb_fixture.h"

#include <algorithm>

namespace {

class LeadersTest : public GameDbTest {
  protected:
    void SetUp() override {
        GameDbTest::SetUp();
        MakeDatabase({"cider"});
        AnsiReset();
    }

    void Score(const std::string& AName, const std::string& ADate, int AScore) {
        SqlConnection conn(GameDatabaseFile);
        SqlStatement(conn, "INSERT INTO tblScores (strUserName, dtDate, intScore) VALUES (?,?,?)")
            .Bind(1, AName)
            .Bind(2, ADate)
            .Bind(3, std::int64_t{AScore})
            .Execute();
    }

    static void GameDate(int AYear, int AMonth, int ADay) {
        Year = AYear;
        Month = AMonth;
        Day = ADay;
    }

    // Text of the screen from column ACol to the end of the row, trailing blanks cut.
    static std::string TextAt(int ACol, int ARow) {
        std::string text = LocalScreen().RowText(ARow).substr(static_cast<std::size_t>(ACol - 1));
        return text.erase(text.find_last_not_of(' ') + 1);
    }
};

TEST_F(LeadersTest, EmptyTableLeavesNobodyEverywhere) {
    GameDate(2024, 3, 5);
    StrDailyLeader = "stale";
    ArrMonthlyLeaders[2] = "stale";
    ArrMonthlyScores[2] = 7;
    SetMonthlyAndDaily();
    for (const std::string* name : {&StrDailyLeader, &StrMonthlyLeader, &StrLastMonthLeader,
                                    &StrAllTimeLeader, &StrAllTimeLeader2})
        EXPECT_EQ(*name, "NOBODY");
    for (std::int32_t score : {IntDailyLeader, IntMonthlyLeader, IntLastMonthLeader,
                               IntAllTimeLeader, IntAllTimeLeader2})
        EXPECT_EQ(score, 0);
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(ArrMonthlyLeaders[k], "");
        EXPECT_EQ(ArrMonthlyScores[k], 0);
    }

    DrawLeaderPanel(true);
    EXPECT_EQ(TextAt(58, 10), "Daily Leader");
    EXPECT_EQ(TextAt(58, 11), "NOBODY"); // a zero daily score is not written
    EXPECT_EQ(TextAt(58, 13), "Monthly Leader");
    EXPECT_EQ(TextAt(58, 14), "NOBODY         0");
    EXPECT_EQ(TextAt(58, 16), "Last Month's Winner");
    EXPECT_EQ(TextAt(58, 17), "NOBODY         0");
    EXPECT_EQ(TextAt(58, 19), "All-Time Leaders");
    EXPECT_EQ(TextAt(58, 20), "NOBODY         0");
    EXPECT_EQ(TextAt(58, 21), "NOBODY         0");
    for (int row : {12, 15, 18}) EXPECT_EQ(TextAt(1, row), "");
    EXPECT_EQ(LocalScreen().AttrAt(58, 10), 0x03); // cyan label on black
    EXPECT_EQ(LocalScreen().AttrAt(58, 11), 0x0E); // yellow value on black
    EXPECT_EQ(LocalScreen().AttrAt(73, 14), 0x0E);
}

TEST_F(LeadersTest, StandingsOfTheGameDateMonthAndAllTime) {
    Score("Ann", "2024-03-05", 160);
    Score("Bob", "2024-03-05", 320);
    Score("Cy", "2024-03-05", 0);
    Score("Ann", "2024-03-01", 320);
    Score("Ann", "2024-03-31", 10);
    Score("Bob", "2024-04-01", 320); // next month: counts only all-time
    Score("Cy", "2024-02-29", 80);   // last month
    Score("Dee", "2024-02-03", 40);
    GameDate(2024, 3, 5);
    SetMonthlyAndDaily();

    EXPECT_EQ(StrDailyLeader, "Bob");
    EXPECT_EQ(IntDailyLeader, 320);
    EXPECT_EQ(StrMonthlyLeader, "Ann");
    EXPECT_EQ(IntMonthlyLeader, 490);
    EXPECT_EQ(StrLastMonthLeader, "Cy");
    EXPECT_EQ(IntLastMonthLeader, 80);
    EXPECT_EQ(StrAllTimeLeader, "Bob");
    EXPECT_EQ(IntAllTimeLeader, 640);
    EXPECT_EQ(StrAllTimeLeader2, "Ann");
    EXPECT_EQ(IntAllTimeLeader2, 490);
    // Fewer than five players in the month: the rest stay empty.
    EXPECT_EQ(ArrMonthlyLeaders, (std::array<std::string, 5>{"Ann", "Bob", "Cy", "", ""}));
    EXPECT_EQ(ArrMonthlyScores, (std::array<std::int32_t, 5>{490, 320, 0, 0, 0}));

    DrawLeaderPanel(true);
    EXPECT_EQ(TextAt(58, 11), "Bob            320");
    EXPECT_EQ(TextAt(58, 14), "Ann            490");
    EXPECT_EQ(TextAt(58, 17), "Cy             80");
    EXPECT_EQ(TextAt(58, 20), "Bob            640");
    EXPECT_EQ(TextAt(58, 21), "Ann            490");
}

TEST_F(LeadersTest, JanuaryLooksBackToDecemberOfTheYearBefore) {
    Score("Ann", "2024-12-01", 80);
    Score("Ann", "2024-12-31", 40);
    Score("Bob", "2024-12-15", 100);
    Score("Cy", "2025-12-10", 320); // December of the game year is not the previous month
    Score("Dee", "2024-11-30", 320);
    GameDate(2025, 1, 2);
    SetMonthlyAndDaily();
    EXPECT_EQ(StrLastMonthLeader, "Ann");
    EXPECT_EQ(IntLastMonthLeader, 120);
    EXPECT_EQ(StrMonthlyLeader, "NOBODY");
}

TEST_F(LeadersTest, LongNamesAreCutTo14Everywhere) {
    const std::string name = "Abcdefghijklmnopqrst"; // 20 characters
    Score(name, "2024-03-05", 320);
    Score(name, "2024-02-05", 160);
    GameDate(2024, 3, 5);
    SetMonthlyAndDaily();
    const std::string cut = "Abcdefghijklmn";
    EXPECT_EQ(StrDailyLeader, cut);
    EXPECT_EQ(StrMonthlyLeader, cut);
    EXPECT_EQ(ArrMonthlyLeaders[0], cut);
    EXPECT_EQ(StrLastMonthLeader, cut);
    EXPECT_EQ(StrAllTimeLeader, cut);
    // Only one player ever: the second all-time place is nobody's.
    EXPECT_EQ(IntAllTimeLeader, 480);
    EXPECT_EQ(StrAllTimeLeader2, "NOBODY");
    EXPECT_EQ(IntAllTimeLeader2, 0);

    DrawLeaderPanel(true);
    EXPECT_EQ(TextAt(58, 11), cut + " 320"); // the name ends in column 71, clear of its score
}

TEST_F(LeadersTest, TiesGoToWhicheverRowTheDatabaseReturnsFirst) {
    Score("Zed", "2024-03-05", 160);
    Score("Abe", "2024-03-05", 160);
    GameDate(2024, 3, 5);
    SetMonthlyAndDaily();
    // No rule of the game's own breaks a tie: each standing is one of the two, and the
    // all-time places hold both.
    EXPECT_TRUE(StrDailyLeader == "Zed" || StrDailyLeader == "Abe") << StrDailyLeader;
    EXPECT_EQ(IntDailyLeader, 160);
    EXPECT_EQ(IntMonthlyLeader, 160);
    std::array<std::string, 2> allTime{StrAllTimeLeader, StrAllTimeLeader2};
    std::sort(allTime.begin(), allTime.end());
    EXPECT_EQ(allTime, (std::array<std::string, 2>{"Abe", "Zed"}));
    EXPECT_EQ(IntAllTimeLeader2, 160);
}

TEST_F(LeadersTest, PanelBeforeTheCallerHasPlayedToday) {
    Score("Ann", "2024-03-01", 320);
    GameDate(2024, 3, 1);
    SetMonthlyAndDaily();
    DrawLeaderPanel(false);
    EXPECT_EQ(TextAt(58, 11), "DAY NOT PLAYED");
    EXPECT_EQ(TextAt(58, 14), "DAY NOT PLAYED"); // the 1st: the month has no standing yet

    AnsiReset();
    GameDate(2024, 3, 2);
    SetMonthlyAndDaily();
    DrawLeaderPanel(false);
    EXPECT_EQ(TextAt(58, 11), "DAY NOT PLAYED");
    EXPECT_EQ(TextAt(58, 14), "Ann            320");
}

} // namespace
