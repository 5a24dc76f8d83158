// The game date, month lengths and the digits of a date key.
#include "game/rules/gamedate.h"

#include <cstdio>

std::int32_t Day = 0;
std::int32_t Month = 0;
std::int32_t Year = 0;

TGameDate GameDay(std::int32_t ADay) {
    return {Year, Month, ADay};
}

void SetGameDate(const std::tm& ALocal) {
    Day = ALocal.tm_mday;
    Month = ALocal.tm_mon + 1;
    Year = ALocal.tm_year + 1900;
}

std::int32_t DaysInMonth(std::int32_t AYear, std::int32_t AMonth) {
    static constexpr std::int32_t LENGTHS[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (AMonth < 1 || AMonth > 12) return 0;
    bool leap = (AYear % 4 == 0 && AYear % 100 != 0) || AYear % 400 == 0;
    return AMonth == 2 && leap ? 29 : LENGTHS[AMonth - 1];
}

std::string KeyDigits(std::int32_t AValue) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", static_cast<int>(AValue));
    return text;
}

void StepMonthBack(std::int32_t& AMonth, std::int32_t& AYear) {
    if (--AMonth == 0) {
        AMonth = 12;
        --AYear;
    }
}
