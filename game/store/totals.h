// Per-caller score totals, all-time and per month, kept in step with tblScores by the schema's
// triggers, so that the boards that rank totals read one row per caller instead of summing
// years of scores.
#pragma once

#include "game/store/sqldb.h"

#include <cstdint>
#include <string>
#include <vector>

// One ranked total: the stored alias, the sum of its scores and the number of dates it has.
struct TScoreTotal {
    std::string UserName;
    std::int64_t Total = 0;
    std::int64_t Days = 0;
};

// True when the file has tblTotals and tblMonthTotals (a file holding only the four game tables
// lacks them; every operation below then works on tblScores alone).
bool HasScoreTotals(SqlConnection& AConn);

// Computes both totals afresh from tblScores (makedb; a file from before the totals). Returns
// what it left out or counted as 0 (rows of an older file with NULLs), "" when nothing.
std::string RebuildScoreTotals(SqlConnection& AConn);

// The ALimit best all-time totals, best first: the rows, in the order, of
//   select strUserName, sum (intScore) as p from tblScores group by strUserName
//   order by p desc limit ALimit
std::vector<TScoreTotal> TopAllTimeTotals(SqlConnection& AConn, int ALimit);
// The same on the game database (OpenGameDatabase).
std::vector<TScoreTotal> TopAllTimeTotals(int ALimit);

// The ALimit best totals of a month, best first, with each caller's number of dates: the rows,
// in the order, of
//   select strUserName, sum(intScore) as p, COUNT(DISTINCT dtDate) from tblScores
//   where dtDate between "YYYY-MM-01" and "YYYY-MM-31" group by strUserName
//   order by p desc LIMIT ALimit
std::vector<TScoreTotal> TopMonthTotals(SqlConnection& AConn, std::int32_t AYear,
                                        std::int32_t AMonth, int ALimit);
// The same on the game database (OpenGameDatabase).
std::vector<TScoreTotal> TopMonthTotals(std::int32_t AYear, std::int32_t AMonth, int ALimit);
