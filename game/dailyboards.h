// The daily score boards of the current month: today's top ten beside the month's totals, the
// top ten of one day, and each day's champion. Results of a day the caller has not played stay
// hidden from the caller.
#pragma once

#include <string>

// Placeholders of a day the caller has not played, and the notice below its list.
inline constexpr const char* HIDDEN_NAME = "DAY NOT PLAYED";
inline constexpr const char* HIDDEN_SCORE = "XXX";
inline constexpr const char* HIDDEN_NOTICE = "SCORES WILL DISPLAY AFTER TAKING TURN FOR THIS DAY";

// Today's top ten (names hidden until the caller has played today) beside the month's top ten
// totals with the number of days each caller played. Waits for a key.
void GetTodayScores();

// The top ten of day SelectDay of the current month ("5" and "05" are the same day). Returns
// at once, showing nothing, when SelectDay is empty, not a number or no day of the month;
// otherwise waits for a key.
void GetOneDayScores(const std::string& SelectDay);

// One line per day of the current month: the day's best caller and score, or how many callers
// share the best score. Waits for a key.
void GetDailyScores();

// The whole number a typed day text holds ("05" is 5), or -1 when it is empty, holds anything
// but the digits 0 to 9, or is too big for a 32-bit number.
int TypedDayNumber(const std::string& AText);
