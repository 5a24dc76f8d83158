// The daily score boards of the current month: today's top ten beside the month's totals, the
// top ten of one day, and each day's champion. Results of a day the caller has not played stay
// hidden from the caller.
#pragma once

#include "game/store/scores.h"

#include <cstddef>
#include <cstdint>
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

// The column heads of the boards that show a row per day (daily champions, last month).
inline constexpr const char* DAY_BOARD_HEADS =
    "  Day         Player            Score      Day         Player            Score";

// The head of a ranked board, from the cursor on: the upper rule, then AHeads in yellow on row
// ARow, then the lower rule.
void DrawBoardHeads(std::uint8_t ARow, const char* AHeads);

// Where and how a board draws its day rows: days 1 to 16 in the left block, 17 on in the right.
struct TDayRowLayout {
    std::uint8_t LeftColumn;  // date column of the left block; the score stands 32 columns on
    std::uint8_t RightColumn; // date column of the right block
    int LeftRow;              // day d of the left block is on row LeftRow + d
    int RightRow;             // day d of the right block is on row RightRow + d
    std::size_t NameWidth;    // the best caller's name is cut to this many characters
    const char* TiedText;     // follows the number of callers who share the best score
    bool TiedDateBrown;       // a shared best shows its date in brown too
    bool BlanksForNobody;     // a day nobody played gets blanks where a name would stand
};

// One day row: the date (month/day), the day's best caller padded to 27 columns or the count of
// callers who share the best score, then the best score. The caller's own best (not shared) is
// yellow on green, a shared one brown; AShown false hides the name and score behind the
// placeholders.
void DrawDayRow(const TDayRowLayout& ALayout, std::int32_t ADay, const TDayBest& ABest,
                bool AShown);

// The whole number a typed day text holds ("05" is 5), or -1 when it is empty, holds anything
// but the digits 0 to 9, or is too big for a 32-bit number.
int TypedDayNumber(const std::string& AText);
