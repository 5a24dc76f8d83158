// The game date (Day, Month, Year) with the clock it is read from, date arithmetic shared by the
// screens, the two header art operations, the colours of the three letter states and the one
// way every screen and bulletin shows a stored player name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The game date: 0 until GetToday sets it to the local date; the calendar and the monthly
// boards may move it.
extern std::int32_t Day;
extern std::int32_t Month;
extern std::int32_t Year;

// Sets Day, Month and Year from one reading of the kit's clock (DoorNow), in local time.
void GetToday();

// Number of days of AMonth (1-12) in AYear, Gregorian calendar; 0 for a month out of range.
std::int32_t DaysInMonth(std::int32_t AYear, std::int32_t AMonth);

// Cursor home, cyan heading colour, then the art file "header.ans" (game and calendar screens).
void DisplayHeader();
// Cursor home, cyan heading colour, then the art file "del_glimra.ans" (menu and boards).
void DisplayNewHeader();

// Black text on the background of a letter state: green right place, orange (shown as brown)
// elsewhere in the word, gray not in the word.
void SetGreen();
void SetOrange();
void SetGray();

// A stored player name as every screen and bulletin shows it: its first AWidth bytes, with
// control bytes (ESC above all) shown as '?' and the vertical bar as the CP437 line 0xB3 that
// looks like it. A name can thus never carry escape sequences, line ends or pipe colour codes
// onto another caller's screen or into a bulletin file.
std::string ShownName(const std::string& AName, std::size_t AWidth);
