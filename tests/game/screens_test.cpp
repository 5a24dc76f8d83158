// The instructions screen around the guess board, and the two about pages.
#include "game/screens.h"

#include "game/leaders.h"
#include "gamedb_fixture.h"

namespace {

class ScreensTest : public GameDbTest {
  protected:
    void SetUp() override {
        GameDbTest::SetUp();
        DoorDropInfo.ComType = 0; // the local screen alone, unless a test adds a caller
        ArrMonthlyLeaders = {"Ann", "Bob", "Cy", "Dee", "Eve"};
        ArrMonthlyScores = {490, 320, 160, 80, 40};
    }
};

TEST_F(ScreensTest, InstructionsShowDateLeadersChartAndLegend) {
    GameDate(2024, 3, 5);
    Instructions();
    EXPECT_EQ(TextAt(51, 8, 20), "Playing for 3/5/2024");
    EXPECT_EQ(AttrAt(51, 8), 0x03); // colour 19 shows as cyan
    EXPECT_EQ(TextAt(51, 10, 15), "Monthly Leaders");
    EXPECT_EQ(AttrAt(51, 10), 0x1E); // yellow on light blue, shown as blue
    // Four entries at most, each on its own row, names at 51 and scores at 70.
    EXPECT_EQ(TextAt(51, 11, 22) + TextAt(51, 12, 22) + TextAt(51, 13, 22) + TextAt(51, 14, 22),
              "Ann                490"
              "Bob                320"
              "Cy                 160"
              "Dee                80 ");
    EXPECT_EQ(AttrAt(70, 11), 0x03);
    EXPECT_EQ(Row(15).find("Eve"), std::string::npos);

    EXPECT_EQ(TextAt(11, 8, 12), "Letter Chart");
    EXPECT_EQ(TextAt(12, 10, 10), "QWERTYUIOP");
    EXPECT_EQ(TextAt(12, 11, 9), "ASDFGHJKL");
    EXPECT_EQ(TextAt(12, 12, 8), " ZXCVBNM");
    EXPECT_EQ(AttrAt(21, 10), 0x08); // dark gray until used
    EXPECT_EQ(AttrAt(13, 12), 0x08);

    EXPECT_EQ(TextAt(12, 18, 39), "Instructions: Enter a five letter word.");
    EXPECT_EQ(Row(19), std::string(25, ' ') + "Green means letter is in the right space.");
    EXPECT_EQ(Row(20), std::string(25, ' ') + "Orange means correct letter in wrong space.");
    EXPECT_EQ(Row(21), std::string(25, ' ') + "Gray means the letter is not in the word.");
    EXPECT_EQ(AttrAt(26, 19), 0x20); // black on green
    EXPECT_EQ(AttrAt(26, 20), 0x60); // black on yellow, shown as brown
    EXPECT_EQ(AttrAt(26, 21), 0x70); // black on light gray
    EXPECT_EQ(AttrAt(31, 19), 0x0E); // the meaning in yellow on black
    // The game goes on from here in yellow on black.
    EXPECT_EQ(LocalScreen().TextAttr(), 0x0E);
    EXPECT_EQ(LocalScreen().CursorRow(), 22);
}

TEST_F(ScreensTest, InstructionsSkipZeroScoresAndShowTwoDigitDates) {
    GameDate(2024, 11, 12);
    ArrMonthlyLeaders = {"Ann", "Bob", "", "", ""};
    ArrMonthlyScores = {0, 320, 0, 0, 0}; // Ann started a game and has not won it
    Instructions();
    EXPECT_EQ(TextAt(51, 8, 22), "Playing for 11/12/2024");
    EXPECT_EQ(TextAt(51, 11, 25), std::string(25, ' '));
    EXPECT_EQ(TextAt(51, 12, 22), "Bob                320");
    EXPECT_EQ(TextAt(51, 13, 25), std::string(25, ' '));
    EXPECT_EQ(TextAt(51, 14, 25), std::string(25, ' '));
}

TEST_F(ScreensTest, InstructionsOnTheFirstShowNoLeaders) {
    GameDate(2024, 3, 1);
    Instructions();
    EXPECT_EQ(TextAt(51, 10, 18), "Top Scores Display");
    EXPECT_EQ(TextAt(51, 11, 18), "After 1st Day     ");
    EXPECT_EQ(AttrAt(51, 10), 0x0E); // yellow on black
    for (int row = 12; row <= 14; ++row) EXPECT_EQ(TextAt(51, row, 25), std::string(25, ' '));
    EXPECT_EQ(Row(11).find("Ann"), std::string::npos);
}

TEST_F(ScreensTest, AboutHasTwoPagesEachEndedByAKey) {
    DoorDropInfo.ComType = 2;
    TReadAlong caller(Caller);
    Send("xy");
    About();
    const std::string bytes = caller.Bytes();
    const std::string clear = AnsiClrScr();
    const auto page2 = bytes.find(clear, bytes.find(clear) + 1);
    ASSERT_NE(page2, std::string::npos);
    EXPECT_EQ(DoorLastKey.Ch, 'y'); // both keys were read

    Replay(bytes.substr(0, page2));
    EXPECT_EQ(TextAt(5, 4, 31), "word.  Each guess must be a val");
    EXPECT_EQ(Row(6), "    how close your guess was to the word.");
    EXPECT_EQ(Row(8), std::string(18, ' ') + "Green means letter is in the right space.");
    EXPECT_EQ(AttrAt(19, 9), 0x60);
    EXPECT_EQ(Row(14), "    them.                         Example:");
    // The worked example for ARMED, each letter in the colours of its state.
    const char* rows[] = {"Guess 1-> PLANK", "Guess 2-> RANGE", "Guess 3-> TREAT",
                          "Guess 4-> AROSE", "WIN!   -> ARMED"};
    const char* states[] = {"XXOXX", "OOXXO", "XGOOX", "GGXXO", "GGGGG"};
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(TextAt(32, 16 + r, 15), rows[r]);
        EXPECT_EQ(AttrAt(32, 16 + r), 0x0E);
        for (int i = 0; i < 5; ++i) {
            const char state = states[r][i];
            const std::uint8_t attr = state == 'G' ? 0x20 : state == 'O' ? 0x60 : 0x70;
            EXPECT_EQ(AttrAt(42 + i, 16 + r), attr) << rows[r] << " letter " << i;
        }
    }
    EXPECT_EQ(TextAt(33, 22, 13), "Press Any Key"); // (80 - 13) div 2
    // Letters of one state that follow each other share one colour change.
    const std::string example = bytes.substr(bytes.find("Guess 1-> "));
    EXPECT_NE(example.find("PL"), std::string::npos);
    EXPECT_NE(example.find("NK"), std::string::npos);
    EXPECT_NE(example.find("ARMED"), std::string::npos);

    Replay(bytes.substr(page2));
    EXPECT_EQ(TextAt(33, 13, 13), "Press Any Key");
    for (int row : {2, 3, 4, 5, 6, 7, 8, 10, 11})
        EXPECT_EQ(Row(row).find_first_not_of(' '), 4u) << row; // text from column 5
    for (int row : {1, 9, 12}) EXPECT_EQ(Row(row), "") << row;
}

} // namespace
