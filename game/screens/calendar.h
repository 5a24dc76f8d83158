// The play-ahead calendar: the current month as a grid, from which a caller who has played
// today makes up a missed day or, from the 20th on, plays the rest of the month ahead.
#pragma once

#include "game/rules/gamedate.h"

#include <cstdint>
#include <string>

// 42 numbers indexed 1 to 42: the cells of the month grid, or the days of the month.
using TCalendarArray = TOneBasedArray<42>;

// The month grid, six weeks of seven days, Sunday first: each cell holds its day or 0.
extern TCalendarArray AryCalendar;
// By day of month: 1 when the day was drawn as not playable, worked out afresh at every drawing.
extern TCalendarArray AryNotPlayable;
// What the caller typed at the prompt.
extern std::string CalendarSelect;

// The offset of day 1 in the month's grid (day d sits in cell d + offset): Monday 1, Tuesday 2,
// ... Saturday 6 and Sunday 7 for the weekday of its first day, so a month beginning on a Sunday
// starts in the grid's second row.
std::int32_t CalendarOffset(std::int32_t AYear, std::int32_t AMonth);

// Shows the calendar of the current month and plays the days the caller picks, each followed
// by that day's scores, until the caller types 0.
void GetCalendar();
