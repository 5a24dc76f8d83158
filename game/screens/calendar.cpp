// The play-ahead calendar: draws the month grid with playable days in yellow and the others
// in dark gray, reads a day and plays it.
#include "game/screens/calendar.h"

#include "door/door.h"
#include "game/rules/gamedate.h"
#include "game/screens/dailyboards.h"
#include "game/screens/gameplay.h"
#include "game/screens/theme.h"
#include "game/screens/today.h"
#include "game/store/database.h"
#include "game/store/scores.h"

#include <chrono>

TCalendarArray AryCalendar;
TCalendarArray AryNotPlayable;
std::string CalendarSelect;

namespace {

// From the 20th on, the rest of the month may be played ahead.
constexpr std::int32_t PLAY_AHEAD_FROM_DAY = 20;

// One grid cell: four columns, the day left-aligned with an x when played.
void DrawDay(std::int32_t ADay) {
    const bool played = PlayedDay(ADay);
    if (played || (Day < PLAY_AHEAD_FROM_DAY && ADay > Day)) {
        DoorTextColour(COLOUR_DARK_GRAY);
        AryNotPlayable[ADay] = 1;
    } else {
        DoorTextColour(COLOUR_YELLOW);
    }
    DoorWrite(std::to_string(ADay) + (played ? "x " : "  ") + (ADay < 10 ? " " : ""));
}

// Today's month as a grid under the header, the notes and the prompt.
void DrawCalendar() {
    GetToday();
    DoorTextColour(COLOUR_HEADING);
    DoorGotoXY(0, 0);
    DisplayHeader();

    const std::int32_t offset = CalendarOffset(Year, Month);
    NumberOfDays = DaysInMonth(Year, Month);
    // Filled afresh on every pass: a call that runs into the next month must not keep the
    // old month's days in cells the new month leaves empty.
    AryCalendar = {};
    for (std::int32_t d = 1; d <= NumberOfDays; ++d) AryCalendar[d + offset] = d;
    // Refusals too: a calendar left open across midnight (or into the 20th) gains days.
    AryNotPlayable = {};

    DoorGotoXY(28, 8);
    DoorTextBackground(COLOUR_LIGHT_BLUE);
    DoorTextColour(COLOUR_YELLOW);
    DoorWriteLn(std::string(10, ' ') + std::to_string(Month) + "/" + std::to_string(Year) +
                std::string(10, ' '));
    DoorTextBackground(COLOUR_BLACK);
    DoorTextColour(COLOUR_WHITE);
    WriteAt(28, 9, "S   M   T   W   T   F   S");
    DoorGotoXY(28, 10);
    for (std::int32_t cell = 1; cell <= 42; ++cell) {
        if (AryCalendar[cell] != 0)
            DrawDay(AryCalendar[cell]);
        else
            DoorWrite("    ");
        // After each week, the next grid row.
        if (cell % 7 == 0) DoorGotoXY(28, static_cast<std::uint8_t>(10 + cell / 7));
    }

    DoorTextColour(COLOUR_BROWN);
    WriteAt(23, 18, "Play ahead dates become available");
    WriteAt(23, 19, "after the 20th of each month.");
    DoorGotoXY(23, 17);
    DoorTextColour(COLOUR_YELLOW);
    DoorWrite("Select Availble Day or 0 to quit: ");
}

} // namespace

std::int32_t CalendarOffset(std::int32_t AYear, std::int32_t AMonth) {
    using namespace std::chrono;
    const weekday first{sys_days{year{AYear} / month{static_cast<unsigned>(AMonth)} / 1}};
    // c_encoding: Sunday 0, Monday 1, ... Saturday 6; Sunday moves to the end.
    const auto offset = static_cast<std::int32_t>(first.c_encoding());
    return offset == 0 ? 7 : offset;
}

void GetCalendar() {
    DoorClrScr();
    AryCalendar = {};
    do {
        DrawCalendar();
        CalendarSelect = DoorInput("", "1234567890", 0, 2, 2, ATTR_INPUT_FIELD);
        if (CalendarSelect.empty()) CalendarSelect = "99";
        const int day = TypedDayNumber(CalendarSelect);
        // The played check is asked again: the caller may have played the day on another node
        // since the grid was drawn, and a new game would overwrite that score with 0.
        if (day >= 1 && day <= NumberOfDays && AryNotPlayable[day] != 1 && !PlayedDay(day)) {
            Day = day;
            Game();
            GetOneDayScores(CalendarSelect);
            DoorClrScr();
        } else if (CalendarSelect != "0") {
            DoorGotoXY(35, 21);
            DoorTextColour(COLOUR_LIGHT_RED);
            DoorWrite("Not Playable!");
        }
        DoorWriteLn();
    } while (CalendarSelect != "0");
}
