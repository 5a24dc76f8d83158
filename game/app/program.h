// The door as a whole: start-up, the main menu with its leader panel and version line, the main
// loop that opens one screen per key, the two boxes drawn over the menu, and quit.
#pragma once

#include <string>

// The log every node appends to, in the door's directory.
inline constexpr const char* GLIMRA_LOG_FILE = "bbsglimra.log";

// The last menu key read, and the day number typed in the day-select box.
extern char MenuSelect;
extern std::string DaySelect;

// Draws the main menu: leader panel, version line, update check, header and menu art.
void Menu();

// Acts on one menu key (already upper-cased). True when a screen was opened, so the menu is to
// be drawn again; false for quit and for keys that do nothing.
bool MenuKey(char AKey);

// Key 1 on a day already played: the question box over a dimmed menu; Y opens the calendar.
void AlreadyPlayedBox();
// Key 4: the day-select box over a dimmed menu; a typed day shows that day's scores.
void DaySelectBox();

// Reads menu keys until Q (or q), redrawing the menu after every screen.
void MainLoop();
// Writes the bulletins and hands the caller back to the BBS; the session is logged as quit once
// the bulletins are written (a failure in them is logged as one).
void Quit();

// False until start-up has checked the database and given the month its words: a failure
// before then ends a start-up, and the BBS is told too.
extern bool GlimraStarted;

// The whole program after the command line: start-up, menu, main loop, quit.
void GlimraMain(int argc, const char* const* argv);
