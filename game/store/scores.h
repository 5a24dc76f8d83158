// Score records: one row per player (the caller's alias, compared exactly, on this board) and
// date; a caller has played a day when such a row exists. Also the two readings of a day's scores
// that the boards, the leaders and the bulletins share.
#pragma once

#include "game/rules/gamedate.h"
#include "game/store/store.h"

#include <cstdint>
#include <string>
#include <vector>

// Played-day flags of one month, indexed by day 1 to 31: 1 played, 0 not.
using TDaysArray = TOneBasedArray<31>;

// Filled by TrackPlayerDays, read by the daily score board.
extern TDaysArray DaysPlayed;

// The session's caller as the store knows them: their alias on this board.
TPlayer Caller();
// True when a stored player is the caller: the whole stored name, exactly, on the caller's own
// board (a league's same alias on another board is somebody else).
bool IsCaller(const std::string& AUserName, const std::string& ABoard = {});

// True when the caller has a score row for the date (a busy database is waited for).
bool DayPlayedCheck(const TGameDate& ADate);
// True when the caller has played day ADay of the month of the game date.
bool PlayedDay(std::int32_t ADay);
// Stores AScore for the caller and the date: adds the row, or replaces the score of the row
// already there (one immediate transaction, so the caller never gets two rows for a date).
// A busy database is waited for as RetryDatabase (game/store/database.h) says, the score's own line
// "Saving your score, please wait..." shown meanwhile, a score never stored logged as lost.
void SetScore(std::int32_t AScore, const TGameDate& ADate);

// The same two with the date as decimal texts ("3", "12", "2024"; note the order month, day,
// year). A part that is not a whole number raises std::invalid_argument before the database is
// touched.
bool DayPlayedCheck(const std::string& AMonth, const std::string& ADay, const std::string& AYear);
void SetScore(std::int32_t AScore, const std::string& AMonth, const std::string& ADay,
              const std::string& AYear);

// Fills all 31 entries of ADaysPlayed for the month; days the month lacks get 0.
void TrackPlayerDays(std::int32_t AMonth, std::int32_t AYear, TDaysArray& ADaysPlayed);

// The ALimit best scores of the date, best first; equal scores in the order the store returns
// them.
std::vector<TDayScore> DayTopScores(const TGameDate& ADate, int ALimit);
// The day's best row and the count of rows that share its score, from one snapshot.
TDayBest ReadDayBest(const TGameDate& ADate);
