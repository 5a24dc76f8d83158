// The three ranked boards of the main menu beside the daily ones: last month's day-by-day board,
// the all-time board and the recent monthly winners. Each reads the store and waits for a key.
#pragma once

// Key 5: last month's champion and runner-up, then the best player of every day of that month.
// Today's date and NumberOfDays hold the current month again when it returns.
void GetLastMonthScores();
// Key 6: the 34 best totals over all dates in two columns of 17.
void GetAllTimeScores();
// Key 7: the three best totals of each of the four months before the current one.
void RecentMonthlyChamps();
