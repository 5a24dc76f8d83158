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
