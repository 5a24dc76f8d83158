// The game date from the replaceable clock, and month lengths.
#include "gamedb_fixture.h"

TEST_F(GameDbTest, GetTodayTakesTheLocalDateFromOneReading) {
    SetToday(2024, 3, 5);
    GetToday();
    EXPECT_EQ(Day, 5);
    EXPECT_EQ(Month, 3);
    EXPECT_EQ(Year, 2024);
    SetToday(2024, 12, 31, 23, 59, 59);
    GetToday();
    EXPECT_EQ(Day, 31);
    EXPECT_EQ(Month, 12);
    EXPECT_EQ(Year, 2024);
    SetToday(2025, 1, 1, 0, 0, 0);
    GetToday();
    EXPECT_EQ(Day, 1);
    EXPECT_EQ(Month, 1);
    EXPECT_EQ(Year, 2025);
}

TEST(DaysInMonth, GregorianLengths) {
    EXPECT_EQ(DaysInMonth(2024, 2), 29);
    EXPECT_EQ(DaysInMonth(2025, 2), 28);
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
    EXPECT_EQ(DaysInMonth(2024, 4), 30);
    EXPECT_EQ(DaysInMonth(2024, 12), 31);
    EXPECT_EQ(DaysInMonth(2024, 0), 0);
    EXPECT_EQ(DaysInMonth(2024, 13), 0);
}

TEST_F(GameSessionTest, LetterStatesSendTheirBackgroundWithBlackText) {
    SetGreen();
    EXPECT_EQ(Received(), AnsiTextBackground(2) + AnsiTextColour(0));
    EXPECT_EQ(LocalScreen().TextAttr(), 0x20);
    SetOrange();
    const std::string orange = Received();
    EXPECT_EQ(orange, AnsiTextBackground(14) + AnsiTextColour(0));
    EXPECT_NE(orange.find("43"), std::string::npos) << orange; // brown background on the wire
    EXPECT_EQ(LocalScreen().TextAttr(), 0x60);
    SetGray();
    EXPECT_EQ(Received(), AnsiTextBackground(7) + AnsiTextColour(0));
    EXPECT_EQ(LocalScreen().TextAttr(), 0x70);
}

// The headers read their art from the working directory.
class HeaderTest : public GameSessionTest {
  protected:
    void SetUp() override {
        GameSessionTest::SetUp();
        Saved = std::filesystem::current_path();
        std::filesystem::current_path(Dir);
    }
    void TearDown() override {
        std::filesystem::current_path(Saved);
        GameSessionTest::TearDown();
    }
    std::filesystem::path Saved;
};

TEST_F(HeaderTest, HeadersDrawTheirArtFromTheTopLeftInCyan) {
    std::ofstream("header.ans", std::ios::binary) << "GAME\r\nhead";
    std::ofstream("del_glimra.ans", std::ios::binary) << "MENU";
    DoorWrite("\x1b[10;10Hmoved");
    Received();
    DisplayHeader();
    EXPECT_EQ(Received(), AnsiGotoXY(0, 0) + AnsiTextColour(19) + "GAME\r\nhead");
    EXPECT_EQ(Row(1).substr(0, 4), "GAME");
    EXPECT_EQ(Row(2), "head");
    EXPECT_EQ(LocalScreen().AttrAt(1, 1), 3); // cyan on black
    DisplayNewHeader();
    EXPECT_EQ(Received(), AnsiGotoXY(0, 0) + AnsiTextColour(19) + "MENU");
    EXPECT_EQ(Row(1), "MENU");
}

TEST_F(HeaderTest, MissingHeaderArtIsReportedAndWaitsForAKey) {
    Send("x");
    DisplayHeader();
    const std::string sent = Received();
    EXPECT_NE(sent.find("Error reading \"header.ans\""), std::string::npos) << sent;
    EXPECT_NE(sent.find("Hit a key to continue\r\n"), std::string::npos) << sent;
    EXPECT_EQ(DoorLastKey.Ch, 'x');
}
