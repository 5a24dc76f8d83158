// The game date (Day, Month, Year) and the date arithmetic shared by the screens and the store:
// month lengths and the step back to the month before.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

// The game date: 0 until GetToday sets it to the local date; the calendar and the monthly
// boards may move it.
extern std::int32_t Day;
extern std::int32_t Month;
extern std::int32_t Year;

// A date as the game passes it around; it becomes text only in a date key (DateKey).
struct TGameDate {
    std::int32_t Year = 0;
    std::int32_t Month = 0;
    std::int32_t Day = 0;
};

// Day ADay of the month of the game date.
TGameDate GameDay(std::int32_t ADay);

// N 32-bit numbers indexed from 1 to N, all 0 at first. An index outside raises
// std::out_of_range instead of touching other memory.
template <std::size_t N> struct TOneBasedArray {
    std::array<std::int32_t, N> Items{};
    std::int32_t& operator[](std::int32_t AIndex) {
        return Items.at(static_cast<std::size_t>(AIndex - 1));
    }
    std::int32_t operator[](std::int32_t AIndex) const {
        return Items.at(static_cast<std::size_t>(AIndex - 1));
    }
};

// Sets Day, Month and Year from one broken-down local time, so a reading at midnight cannot mix
// two dates.
void SetGameDate(const std::tm& ALocal);

// Number of days of AMonth (1-12) in AYear, Gregorian calendar; 0 for a month out of range.
std::int32_t DaysInMonth(std::int32_t AYear, std::int32_t AMonth);

// A month or a day as a date key writes it: two digits ("05"); a larger number as it is.
std::string KeyDigits(std::int32_t AValue);

// Steps AMonth and AYear one month back (January goes to December of the year before).
void StepMonthBack(std::int32_t& AMonth, std::int32_t& AYear);
