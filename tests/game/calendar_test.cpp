// The play-ahead calendar with queued keys: the grid's layout, which days are offered, refusals,
// and games played for chosen days with their scores stored under those dates.
#include "game/calendar.h"

#include "gamedb_fixture.h"

namespace {

class CalendarTest : public BoardsTest {
  protected:
    void SetUp() override {
        BoardsTest::SetUp();
        AryNotPlayable = {};
        Sql("INSERT INTO tblAllWords VALUES ('slate')");
    }

    std::vector<std::string> BobsScores() {
        return Sql("SELECT dtDate, intScore FROM tblScores WHERE strUserName = 'Bob' "
                   "ORDER BY dtDate");
    }

    // A grid cell on the screen: four columns a day from column 28, rows 10 to 15.
    static std::string Cell(int ACell) {
        return TextAt(28 + (ACell - 1) % 7 * 4, 10 + (ACell - 1) / 7, 4);
    }
    static std::uint8_t CellAttr(int ACell) {
        return AttrAt(28 + (ACell - 1) % 7 * 4, 10 + (ACell - 1) / 7);
    }
};

TEST_F(CalendarTest, DayOneSitsInTheColumnOfItsWeekday) {
    SetToday(2025, 2, 10); // a Saturday start: day 1 in cell 7
    ConsolePushKeys("0\r");
    GetCalendar();
    EXPECT_EQ(TextAt(28, 8, 26), std::string(10, ' ') + "2/2025" + std::string(10, ' '));
    EXPECT_EQ(TextAt(28, 9, 25), "S   M   T   W   T   F   S");
    EXPECT_EQ(TextAt(28, 10, 28), std::string(24, ' ') + "1   ");
    EXPECT_EQ(TextAt(28, 14, 28), "23  24  25  26  27  28      ");
    EXPECT_EQ(RowFrom(15, 28), "");
    EXPECT_EQ(Row(21), ""); // 0 leaves without a refusal

    SetToday(2025, 6, 10); // a Sunday start: day 1 in cell 8, the first row empty
    ConsolePushKeys("0\r");
    GetCalendar();
    EXPECT_EQ(RowFrom(10, 28), "");
    EXPECT_EQ(Cell(8), "1   ");
    EXPECT_EQ(Cell(37), "30  ");
    EXPECT_EQ(Cell(38), "    ");
    EXPECT_EQ(CalendarOffset(2025, 9), 1); // a Monday
}

TEST_F(CalendarTest, OnThe19thLaterDaysAreDarkAndRefused) {
    SetToday(2025, 3, 19); // March 2025 starts on a Saturday: day d in cell d + 6
    AddScore("Bob", "2025-03-03", 160);
    ConsolePushKeys("20\r0\r");
    GetCalendar();
    EXPECT_EQ(TextAt(35, 21, 13), "Not Playable!");
    EXPECT_EQ(Cell(3 + 6), "3x  ");
    for (int d = 1; d <= 31; ++d)
        EXPECT_EQ(CellAttr(d + 6), d != 3 && d <= 19 ? ATTR_YELLOW : ATTR_DARK_GRAY) << d;
    EXPECT_EQ(BobsScores(), std::vector<std::string>{"2025-03-03|160"});

    // A refused day stays refused for the run, even once the 20th has come.
    AnsiReset();
    SetToday(2025, 3, 20);
    ConsolePushKeys("25\r0\r");
    GetCalendar();
    EXPECT_EQ(CellAttr(25 + 6), ATTR_YELLOW);
    EXPECT_EQ(TextAt(35, 21, 13), "Not Playable!");
    EXPECT_EQ(BobsScores(), std::vector<std::string>{"2025-03-03|160"});
}

TEST_F(CalendarTest, OnThe20thEveryUnplayedDayIsPlayable) {
    SetToday(2025, 12, 20); // December 2025 starts on a Monday: day d in cell d + 1
    for (int d = 1; d <= 31; ++d)
        Sql("INSERT INTO tblWordsByDate VALUES ('" + DateKey(2025, 12, d) + "', 'crane')");
    AddScore("Bob", "2025-12-20", 40); // today
    ConsolePushKeys("0\r");
    GetCalendar();
    EXPECT_EQ(TextAt(28, 8, 27), std::string(10, ' ') + "12/2025" + std::string(10, ' '));
    EXPECT_EQ(AttrAt(28, 8), 0x1E); // yellow on blue
    for (int d = 1; d <= 31; ++d)
        EXPECT_EQ(CellAttr(d + 1), d == 20 ? ATTR_DARK_GRAY : ATTR_YELLOW) << d;

    // 05 plays day 5 (a win), 31 a day ahead (a loss); each game is followed by its board.
    ConsolePushKeys("05\rcrane\rkk31\rslate\rslate\rslate\rslate\rslate\rslate\rkk0\r");
    GetCalendar();
    EXPECT_EQ(Cell(5 + 1), "5x  ");
    EXPECT_EQ(CellAttr(5 + 1), ATTR_DARK_GRAY);
    EXPECT_EQ(Cell(31 + 1), "31x ");
    EXPECT_EQ(CellAttr(31 + 1), ATTR_DARK_GRAY);
    EXPECT_EQ(CellAttr(6 + 1), ATTR_YELLOW);
    EXPECT_EQ(BobsScores(),
              (std::vector<std::string>{"2025-12-05|320", "2025-12-20|40", "2025-12-31|0"}));
    EXPECT_EQ(Day, 20); // the game date is today again
    EXPECT_FALSE(DoorKeyPressed());
}

TEST_F(CalendarTest, AnswersThatAreNoPlayableDayAndOnlyZeroLeaves) {
    SetToday(2025, 3, 10);
    for (const char* answer : {"\r", "00\r", "32\r", "11\r"}) {
        AnsiReset();
        ConsolePushKeys(std::string(answer) + "0\r");
        GetCalendar();
        EXPECT_EQ(TextAt(35, 21, 13), "Not Playable!") << answer;
        EXPECT_EQ(AttrAt(35, 21), 0x0C) << answer;
        EXPECT_FALSE(DoorKeyPressed()) << answer;
    }
    EXPECT_EQ(BobsScores(), std::vector<std::string>{});
}

// Another node plays day 4 for the caller while the calendar waits for the answer.
bool PlayDayFourElsewhere(char) {
    SqlConnection conn(GameDatabaseFile);
    conn.Exec("INSERT INTO tblScores VALUES ('Bob', '2025-03-04', 160)");
    return true; // the key is swallowed
}

TEST_F(CalendarTest, ADayPlayedElsewhereMeanwhileKeepsItsScore) {
    SetToday(2025, 3, 10);
    DoorOnSysopKey = &PlayDayFourElsewhere;
    // F10 runs the hook once the grid is drawn. Were day 4 played, "crane" would win it.
    ConsolePushKeys(std::string("\0\x44", 2) + "4\rcrane\rkk0\r");
    GetCalendar();
    DoorOnSysopKey = nullptr;
    EXPECT_EQ(TextAt(35, 21, 13), "Not Playable!");
    EXPECT_EQ(BobsScores(), std::vector<std::string>{"2025-03-04|160"});
}

} // namespace
