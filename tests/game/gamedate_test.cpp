// The game date from the kit's clock, month lengths, letter-state colours and header art.
#include "gamedb_fixture.h"

#include <tuple>

TEST_F(GameDbTest, GetTodayTakesTheLocalDateAndMonthsTheirLength) {
    SetToday(2024, 3, 5);
    GetToday();
    EXPECT_EQ(std::tuple(Year, Month, Day), std::tuple(2024, 3, 5));
    SetToday(2024, 12, 31, 23, 59, 59);
    GetToday();
    EXPECT_EQ(DateKey(Year, Month, Day), "2024-12-31");
    SetToday(2025, 1, 1, 0, 0, 0);
    GetToday();
    EXPECT_EQ(DateKey(Year, Month, Day), "2025-01-01");

    const std::tuple<int, int, int> lengths[] = {{2024, 2, 29}, {2025, 2, 28}, {1900, 2, 28},
                                                 {2000, 2, 29}, {2024, 4, 30}, {2024, 12, 31},
                                                 {2024, 13, 0}};
    for (const auto& [year, month, days] : lengths)
        EXPECT_EQ(DaysInMonth(year, month), days) << year << "-" << month;
}

TEST(ShownName, CutsAndMasksControlBytesAndPipeCodes) {
    EXPECT_EQ(ShownName("ABCDEFGHIJKLMNOPQRSTUVWXYZ", 17), "ABCDEFGHIJKLMNOPQ");
    EXPECT_EQ(ShownName("Bob", 24), "Bob");
    EXPECT_EQ(ShownName("", 5), "");
    // Control bytes become '?', one for one; CP437 glyphs, 0xFF included, stay as they are.
    EXPECT_EQ(ShownName("A\x1b[2J\r\n\x7f\xb0\xff\x01", 19), "A?[2J???\xb0\xff?");
    // A bar can never start a pipe colour code, however the name is cut or followed.
    EXPECT_EQ(ShownName("|1FRed|", 7), "\xB3"
                                       "1FRed\xB3");
    EXPECT_EQ(ShownName("ab|0", 3), "ab\xB3");
}

TEST_F(GameDbTest, LetterStatesAndHeaders) {
    SetGreen();
    EXPECT_EQ(LocalScreen().TextAttr(), 0x20);
    SetOrange();
    const std::string orange = Received();
    EXPECT_NE(orange.find("43"), std::string::npos) << orange; // brown background on the wire
    EXPECT_EQ(LocalScreen().TextAttr(), 0x60);
    SetGray();
    EXPECT_EQ(LocalScreen().TextAttr(), 0x70);

    // The headers draw their art, read from the working directory, from the top left in cyan.
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(Dir);
    std::ofstream("header.ans", std::ios::binary) << "GAME\r\nhead";
    std::ofstream("del_glimra.ans", std::ios::binary) << "MENU";
    DoorWrite("\x1b[10;10H");
    DisplayHeader();
    EXPECT_EQ(Row(1).substr(0, 4), "GAME");
    EXPECT_EQ(Row(2), "head");
    EXPECT_EQ(LocalScreen().AttrAt(1, 1) & 0x0F, 3); // cyan text
    Received();
    DisplayNewHeader();
    EXPECT_EQ(Received(), AnsiGotoXY(0, 0) + AnsiTextColour(19) + "MENU");
    std::filesystem::current_path(saved);
}
