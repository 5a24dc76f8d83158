// What every screen draws with: the named colours, the colours of the three letter states, the
// CP437 glyphs, the small drawing helpers, the two header art operations, and the one way every
// screen and bulletin shows a stored player name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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

// A player as the screens name them, cut to AWidth: the alias alone on a board of its own
// (ABoard empty), "Ada@ALPHA" in a league, where the alias is cut and "@TAG" kept whole.
// PlayerText leaves the bytes as stored; PlayerName shows them safely as ShownName does.
std::string PlayerText(const std::string& AUserName, const std::string& ABoard, std::size_t AWidth);
std::string PlayerName(const std::string& AUserName, const std::string& ABoard, std::size_t AWidth);
// ShownNameCell for a player: PlayerName, then as many blanks as the whole name with its tag
// falls short of AColumns.
std::string PlayerNameCell(const std::string& AUserName, const std::string& ABoard,
                           std::size_t AWidth, std::size_t AColumns);
