// Score records: one tblScores row per caller (DoorDropInfo.Alias, compared exactly) and date;
// a caller has played a day when such a row exists.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// Played-day flags of one month, indexed by day 1 to 31: 1 played, 0 not.
struct TDaysArray {
    std::array<std::int32_t, 31> Days{};
    // Out-of-range days raise std::out_of_range instead of touching other memory.
    std::int32_t& operator[](std::int32_t ADay) {
        return Days.at(static_cast<std::size_t>(ADay - 1));
    }
    std::int32_t operator[](std::int32_t ADay) const {
        return Days.at(static_cast<std::size_t>(ADay - 1));
    }
};

// Filled by TrackPlayerDays, read by the daily score board.
extern TDaysArray DaysPlayed;

// Date parts are decimal texts ("3", "12", "2024"); note the order month, day, year. A part
// that is not a whole number raises std::invalid_argument before the database is touched.

// True when the caller has a score row for the date.
bool DayPlayedCheck(const std::string& AMonth, const std::string& ADay, const std::string& AYear);
// Stores AScore for the caller and the date: adds the row, or replaces the score of the row
// already there (one immediate transaction, so the caller never gets two rows for a date).
void SetScore(std::int32_t AScore, const std::string& AMonth, const std::string& ADay,
              const std::string& AYear);
// Fills all 31 entries of ADaysPlayed for the month; days the month lacks get 0.
void TrackPlayerDays(std::int32_t AMonth, std::int32_t AYear, TDaysArray& ADaysPlayed);
