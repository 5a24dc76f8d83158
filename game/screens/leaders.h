// The leader summary: who leads the game date, the game month (and its top five), the month
// before it and all time, read afresh from the store; and the menu's leader panel.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// Names are the stored strUserName cut to 14 characters, or "NOBODY" where the standing has
// no player; scores are 0 then. Written only by SetMonthlyAndDaily.
extern std::string StrDailyLeader;
extern std::int32_t IntDailyLeader;
extern std::string StrMonthlyLeader;
extern std::int32_t IntMonthlyLeader;
// The game month's top five totals, best first; entries without a player hold "" and 0.
extern std::array<std::string, 5> ArrMonthlyLeaders;
extern std::array<std::int32_t, 5> ArrMonthlyScores;
extern std::string StrLastMonthLeader;
extern std::int32_t IntLastMonthLeader;
extern std::string StrAllTimeLeader;
extern std::int32_t IntAllTimeLeader;
extern std::string StrAllTimeLeader2;
extern std::int32_t IntAllTimeLeader2;

// The placeholder name of a standing without a player.
inline constexpr const char* NOBODY_NAME = "NOBODY";
// Names are kept and shown with at most this many characters.
inline constexpr std::size_t LEADER_NAME_LENGTH = 14;

// Fills every value above for the game date (Day, Month, Year). Among equal scores or totals
// the row the database returns first leads. A busy database is waited for (RetryDatabase).
void SetMonthlyAndDaily();

// Paints the leader panel of the main menu in columns 58 (names) and 73 (scores), rows 10 to
// 21, from the values above. APlayedToday tells whether the caller has a score row for today
// (the game date); until then the daily standing, and on the 1st the monthly one, read
// "DAY NOT PLAYED".
void DrawLeaderPanel(bool APlayedToday);
