// Per-player score totals, all-time and per month, ranked by the store (on SQLite from totals
// tables kept in step with the scores, so that a board reads one row per player instead of
// summing years of scores).
#pragma once

#include "game/store/store.h"

#include <cstdint>
#include <vector>

// The ALimit best all-time totals, best first.
std::vector<TScoreTotal> TopAllTimeTotals(int ALimit);
// The ALimit best totals of a month, best first, with each player's number of dates.
std::vector<TScoreTotal> TopMonthTotals(std::int32_t AYear, std::int32_t AMonth, int ALimit);
