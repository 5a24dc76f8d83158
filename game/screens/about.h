// The fixed screens that tell the caller how the game works: the two about pages, and the
// static part of the game screen around the guess board.
#pragma once

// Page 1: the rules, the colour legend and a worked example; page 2: credits. Waits for a key
// on each page.
void About();

// Clears the screen and draws the date being played, the month's leaders (from the first four
// top-five entries, which SetMonthlyAndDaily has just filled), the letter chart and the colour
// legend. Returns at once, leaving yellow on black set for the game.
void Instructions();
