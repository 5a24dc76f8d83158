// The program's spine: start-up in order, the main menu, the key table of the main loop, the
// already-played and day-select boxes, and quit.
#include "game/app/program.h"

#include "door/door.h"
#include "door/doorlog.h"
#include "door/stringutils.h"
#include "game/app/config.h"
#include "game/app/updatecheck.h"
#include "game/rules/gamedate.h"
#include "game/screens/about.h"
#include "game/screens/bulletins.h"
#include "game/screens/calendar.h"
#include "game/screens/dailyboards.h"
#include "game/screens/gameplay.h"
#include "game/screens/leaders.h"
#include "game/screens/maintenance.h"
#include "game/screens/monthlyboards.h"
#include "game/screens/theme.h"
#include "game/screens/today.h"
#include "game/store/database.h"
#include "game/store/scores.h"
#include "game/store/upgrade.h"

#include <cstdint>
#include <string>

char MenuSelect = 0;
bool GlimraStarted = false;
std::string DaySelect;

namespace {

// Greys out the menu entries the game labels, so a box drawn over the menu stands out.
void DimMenuEntries() {
    DoorTextColour(COLOUR_DARK_GRAY);
    WriteAt(29, 12, "[1] Play Glimra");
    WriteAt(29, 13, "[2] Score Card");
    WriteAt(29, 14, "[3] Daily Champs");
    WriteAt(29, 18, "[7] Recent Champs");
    WriteAt(29, 19, "[Q] Quit");
    WriteAt(29, 20, "[A] About/Instructions");
}

// A frame of half blocks from column ALeft to ARight around row 16: the top edge on row 15,
// the sides on rows 15 to 17. The bottom edge is drawn by the caller after the box's content.
void BoxTopAndSides(std::uint8_t ALeft, std::uint8_t ARight) {
    DoorTextColour(COLOUR_LIGHT_GREEN);
    WriteAt(ALeft + 1, 15, std::string(ARight - ALeft - 1, UPPER_HALF_BLOCK));
    for (std::uint8_t row = 15; row <= 17; ++row)
        WriteAt(ALeft, row, std::string(1, RIGHT_HALF_BLOCK));
    for (std::uint8_t row = 15; row <= 17; ++row)
        WriteAt(ARight, row, std::string(1, LEFT_HALF_BLOCK));
}

void BoxBottom(std::uint8_t ALeft, std::uint8_t ARight) {
    DoorTextColour(COLOUR_LIGHT_GREEN);
    WriteAt(ALeft + 1, 17, std::string(ARight - ALeft - 1, LOWER_HALF_BLOCK));
}

// Key 1: today's game, or the already-played box.
void PlayToday() {
    GetToday();
    if (PlayedDay(Day)) {
        AlreadyPlayedBox();
        return;
    }
    const std::string today = std::to_string(Day);
    Game();
    GetOneDayScores(today);
}

} // namespace

void AlreadyPlayedBox() {
    DimMenuEntries();
    BoxTopAndSides(13, 68);
    DoorTextColour(COLOUR_LIGHT_GREEN);
    WriteAt(15, 16, "Day already played! Make up day or play ahead? (Y/N) ");
    BoxBottom(13, 68);
    DoorGotoXY(0, 0);
    DoorTextColour(COLOUR_BLACK);
    char answer = DoorReadKey();
    if (UpperCase(answer) == 'Y') GetCalendar();
}

void DaySelectBox() {
    DimMenuEntries();
    BoxTopAndSides(28, 53);
    DoorTextColour(COLOUR_YELLOW);
    WriteAt(52, 16, " ");
    BoxBottom(28, 53);
    DoorTextColour(COLOUR_LIGHT_GREEN);
    WriteAt(29, 16, " Select day to view: ");
    DaySelect = DoorInput("", "1234567890", 0, 2, 2, ATTR_INPUT_FIELD);
    if (!DaySelect.empty()) GetOneDayScores(DaySelect);
}

void Menu() {
    GetToday();
    bool played = PlayedDay(Day);
    DoorClrScr();
    SetMonthlyAndDaily();
    DrawLeaderPanel(played);
    DoorTextColour(COLOUR_DARK_GRAY);
    WriteAt(32, 23, std::string("Version ") + GLIMRA_VERSION);
    DoorGotoXY(25, 24);
    if (CheckVersion) UpdateCheck();
    DoorTextColour(COLOUR_HEADING);
    DoorGotoXY(0, 0);
    DisplayNewHeader();
    DoorDisplayFile("menu.ans");
    DoorGotoXY(0, 24);
    DoorTextColour(COLOUR_BLACK);
}

bool MenuKey(char AKey) {
    switch (AKey) {
    case '1': PlayToday(); return true;
    case '2': GetTodayScores(); return true;
    case '3': GetDailyScores(); return true;
    case '4': DaySelectBox(); return true;
    case '5': GetLastMonthScores(); return true;
    case '6': GetAllTimeScores(); return true;
    case '7': RecentMonthlyChamps(); return true;
    case 'A': About(); return true;
    default: return false;
    }
}

void MainLoop() {
    do {
        MenuSelect = DoorReadKey();
        if (MenuSelect == 'q') MenuSelect = 'Q';
        if (MenuKey(UpperCase(MenuSelect))) {
            DoorClrScr();
            Menu();
        }
    } while (MenuSelect != 'Q');
    Quit();
}

void Quit() {
    WriteBulletin();
    DoorLogEnding("quit");
    DoorShutdown();
}

void GlimraMain(int argc, const char* const* argv) {
    // The sysop's status bar names the door that runs, not the kit.
    DoorProgramNameAndVersion = std::string("Glimra ") + GLIMRA_VERSION;
    DoorLogFileName = GLIMRA_LOG_FILE;
    DoorStartup(argc, argv);
    ReadConfiguration();
    GetToday();
    UpgradeGameDatabase();
    CheckGameDatabaseWritable();
    SendKeptScores();
    DBCheck();
    GlimraStarted = true;
    DoorClrScr();
    Menu();
    MainLoop();
}
