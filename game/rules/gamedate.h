// The game date (Day, Month, Year) with the clock it is read from, date arithmetic shared by the
// screens, the two header art operations, the colours of the three letter states, the named
// colours and the small drawing helpers every screen uses, and the one way every screen and
// bulletin shows a stored player name.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// The game date: 0 until GetToday sets it to the local date; the calendar and the monthly
// boards may move it.
extern std::int32_t Day;
extern std::int32_t Month;
extern std::int32_t Year;

// A date as the game passes it around; it becomes text only in a date key (DateKey).
struct TGameDate {
    std::int32_t Year = 0;
    std::int32_t Month = 0;
    std::int32_t Day = 0;
};

// Day ADay of the month of the game date.
TGameDate GameDay(std::int32_t ADay);

// N 32-bit numbers indexed from 1 to N, all 0 at first. An index outside raises
// std::out_of_range instead of touching other memory.
template <std::size_t N> struct TOneBasedArray {
    std::array<std::int32_t, N> Items{};
    std::int32_t& operator[](std::int32_t AIndex) {
        return Items.at(static_cast<std::size_t>(AIndex - 1));
    }
    std::int32_t operator[](std::int32_t AIndex) const {
        return Items.at(static_cast<std::size_t>(AIndex - 1));
    }
};

// Sets Day, Month and Year from one reading of the kit's clock (DoorNow), in local time.
void GetToday();

// Number of days of AMonth (1-12) in AYear, Gregorian calendar; 0 for a month out of range.
std::int32_t DaysInMonth(std::int32_t AYear, std::int32_t AMonth);

// Steps AMonth and AYear one month back (January goes to December of the year before).
void StepMonthBack(std::int32_t& AMonth, std::int32_t& AYear);

// The colour numbers the game's screens pass to DoorTextColour and DoorTextBackground.
constexpr std::uint8_t COLOUR_BLACK = 0;
constexpr std::uint8_t COLOUR_GREEN = 2;
constexpr std::uint8_t COLOUR_CYAN = 3;
constexpr std::uint8_t COLOUR_BROWN = 6;
constexpr std::uint8_t COLOUR_LIGHT_GRAY = 7;
constexpr std::uint8_t COLOUR_DARK_GRAY = 8;
constexpr std::uint8_t COLOUR_LIGHT_BLUE = 9; // shown as blue when used as a background
constexpr std::uint8_t COLOUR_LIGHT_GREEN = 10;
constexpr std::uint8_t COLOUR_LIGHT_CYAN = 11;
constexpr std::uint8_t COLOUR_LIGHT_RED = 12;
constexpr std::uint8_t COLOUR_YELLOW = 14;
constexpr std::uint8_t COLOUR_WHITE = 15;
constexpr std::uint8_t COLOUR_HEADING = 19; // cyan: the kit takes 16 off text colours above 15
// The attribute of every input field: white on blue.
constexpr std::uint8_t ATTR_INPUT_FIELD = 31;

// CP437 block and line characters the screens draw with.
constexpr char UPPER_HALF_BLOCK = '\xDF';
constexpr char LOWER_HALF_BLOCK = '\xDC';
constexpr char RIGHT_HALF_BLOCK = '\xDE';
constexpr char LEFT_HALF_BLOCK = '\xDD';
constexpr char DOUBLE_LINE = '\xCD';

// Moves the cursor to (AX, AY) and writes AText there.
void WriteAt(std::uint8_t AX, std::uint8_t AY, const std::string& AText);
// One blank and 78 copies of ABar in green, at the cursor: the rules that frame the boards.
void DrawRule(char ABar);
// The last line of the boards: PRESS_ANY_KEY in yellow centred on the cursor's row; then black
// text and one key.
inline constexpr const char* PRESS_ANY_KEY = "Press Any Key to Continue";
void PressAnyKeyToContinue();

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
// The name cell of the ranked boards: ShownName(AName, AWidth), then as many blanks as the whole
// stored name falls short of AColumns.
std::string ShownNameCell(const std::string& AName, std::size_t AWidth, std::size_t AColumns);
