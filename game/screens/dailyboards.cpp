// The daily score boards: today's and one day's top ten, the month's totals and the daily
// champions, read afresh from the store each time a board is drawn; and the day rows that last
// month's board draws as well.
#include "game/screens/dailyboards.h"

#include "door/door.h"
#include "door/stringutils.h"
#include "game/rules/gamedate.h"
#include "game/screens/theme.h"
#include "game/screens/today.h"
#include "game/store/database.h"
#include "game/store/totals.h"

#include <string>
#include <vector>

namespace {

constexpr TDayRowLayout CHAMPION_ROWS = {2, 43, 4, -12, 25, " Tied Today", true, false};

std::vector<TDayScore> DayTopTen(std::int32_t ADay) {
    return DayTopScores(GameDay(ADay), 10);
}

// A top-ten list with names at ANameCol and scores at AScoreCol, row r on screen row
// ATopRow + r. AHidden shows placeholders instead of names and scores.
void DrawTopTen(const std::vector<TDayScore>& ARows, std::uint8_t ANameCol, std::uint8_t AScoreCol,
                std::uint8_t ATopRow, bool AHidden) {
    DoorTextBackground(COLOUR_BLACK);
    DoorTextColour(COLOUR_LIGHT_GREEN);
    std::uint8_t row = ATopRow;
    for (const TDayScore& entry : ARows) {
        ++row;
        if (IsCaller(entry.UserName, entry.Board)) DoorTextColour(COLOUR_YELLOW);
        WriteAt(ANameCol, row, AHidden ? HIDDEN_NAME : PlayerName(entry.UserName, entry.Board, 19));
        WriteAt(AScoreCol, row, AHidden ? HIDDEN_SCORE : std::to_string(entry.Score));
        DoorTextColour(COLOUR_LIGHT_GREEN);
    }
}

// The board's header art at the top of a cleared screen.
void BoardHeader() {
    DoorClrScr();
    DoorTextColour(COLOUR_HEADING);
    DoorGotoXY(0, 0);
    DisplayNewHeader();
}

// The two closing lines of the top-ten boards, then one key.
void CloseTopTenBoard(bool AHidden) {
    DoorWriteLn();
    DoorWriteLn();
    if (AHidden) {
        DoorTextColour(COLOUR_GREEN);
        WriteAt(17, 23, HIDDEN_NOTICE);
    }
    DoorTextColour(COLOUR_YELLOW);
    WriteAt(30, 24, PRESS_ANY_KEY);
    DoorTextColour(COLOUR_BLACK);
    DoorReadKey();
}

// The colours of a day row's cells: brown on black for a shared best score (light green where
// ATiedBrown is off), else yellow on green for the caller's own, else light green on black.
void DayCellColours(const TDayBest& ABest, bool ATiedBrown) {
    DoorTextColour(COLOUR_LIGHT_GREEN);
    DoorTextBackground(COLOUR_BLACK);
    if (ABest.Holders > 1) {
        if (ATiedBrown) DoorTextColour(COLOUR_BROWN);
    } else if (ABest.Found && IsCaller(ABest.UserName, ABest.Board)) {
        DoorTextColour(COLOUR_YELLOW);
        DoorTextBackground(COLOUR_GREEN);
    }
}

} // namespace

void DrawBoardHeads(std::uint8_t ARow, const char* AHeads) {
    DrawRule(LOWER_HALF_BLOCK);
    DoorGotoXY(1, ARow);
    DoorTextColour(COLOUR_YELLOW);
    DoorWriteLn(AHeads);
    DrawRule(DOUBLE_LINE);
}

void DrawDayRow(const TDayRowLayout& ALayout, std::int32_t ADay, const TDayBest& ABest,
                bool AShown) {
    const bool right = ADay > 16;
    const std::uint8_t column = right ? ALayout.RightColumn : ALayout.LeftColumn;
    const auto row = static_cast<std::uint8_t>((right ? ALayout.RightRow : ALayout.LeftRow) + ADay);

    DayCellColours(ABest, ALayout.TiedDateBrown);
    WriteAt(column, row,
            std::to_string(Month) + "/" + std::to_string(ADay) + (ADay < 10 ? "  " : " "));
    if (!AShown && ABest.Holders > 0) {
        DoorWrite(HIDDEN_NAME);
    } else if (ABest.Holders > 1) {
        DoorTextColour(COLOUR_BROWN);
        DoorWrite(std::to_string(ABest.Holders) + ALayout.TiedText);
    } else if (ABest.Found || ALayout.BlanksForNobody) {
        DoorWrite(PlayerNameCell(ABest.UserName, ABest.Board, ALayout.NameWidth, 27));
    }

    DayCellColours(ABest, true);
    std::string score = AShown ? std::to_string(ABest.Score) : HIDDEN_SCORE;
    if (ABest.Score < 100) score += ' ';
    if (ABest.Score < 10) score += ' ';
    WriteAt(static_cast<std::uint8_t>(column + 32), row, score);
    DoorTextBackground(COLOUR_BLACK);
}

int TypedDayNumber(const std::string& AText) {
    return ReadInteger(AText, TIntegerText::Digits).value_or(-1);
}

void GetTodayScores() {
    GetToday();
    const bool hidden = !PlayedDay(Day);
    BoardHeader();

    const std::vector<TDayScore> today = DayTopTen(Day);
    DoorTextColour(COLOUR_GREEN);
    WriteAt(13, 11, "TODAY'S HIGH SCORES");
    DrawTopTen(today, 11, 31, 12, hidden);
    DoorWriteLn();
    DoorWriteLn();

    const auto month = TopMonthTotals(Year, Month, 10);
    DoorTextColour(COLOUR_GREEN);
    WriteAt(43, 11, "TOP TEN SCORES FOR " + std::to_string(Month) + "/" + std::to_string(Year));
    DoorTextColour(COLOUR_LIGHT_GREEN);
    std::uint8_t row = 12;
    for (const TScoreTotal& entry : month) {
        ++row;
        DoorGotoXY(40, row);
        if (IsCaller(entry.UserName, entry.Board)) DoorTextColour(COLOUR_YELLOW);
        // Only on the 1st would the totals give away today's results.
        if (hidden && Day == 1) {
            DoorWrite(HIDDEN_NAME);
        } else {
            DoorWrite(PlayerName(entry.UserName, entry.Board, 22) + " (" +
                      std::to_string(entry.Days) + ")");
            WriteAt(68, row, std::to_string(entry.Total));
        }
        DoorTextColour(COLOUR_LIGHT_GREEN);
    }
    CloseTopTenBoard(hidden);
}

void GetOneDayScores(const std::string& SelectDay) {
    GetToday();
    NumberOfDays = DaysInMonth(Year, Month);
    const int day = TypedDayNumber(SelectDay);
    if (day < 1 || day > NumberOfDays) return;
    const bool hidden = !PlayedDay(day);
    BoardHeader();

    const std::vector<TDayScore> rows = DayTopTen(day);
    DoorTextColour(COLOUR_GREEN);
    WriteAt(31, 10,
            "TOP TEN FOR " + TwoDigits(Month) + "/" + TwoDigits(day) + "/" + std::to_string(Year));
    DrawTopTen(rows, 31, 51, 11, hidden);
    CloseTopTenBoard(hidden);
}

void GetDailyScores() {
    GetToday();
    NumberOfDays = DaysInMonth(Year, Month);
    DoorClrScr();
    DoorTextColour(COLOUR_WHITE);
    DoorWriteCentered("- BBS Contestria Glimra Daily Scores -");
    DoorWriteLn();
    DrawBoardHeads(3, DAY_BOARD_HEADS);

    TrackPlayerDays(Month, Year, DaysPlayed);
    for (std::int32_t d = 1; d <= NumberOfDays; ++d)
        DrawDayRow(CHAMPION_ROWS, d, ReadDayBest(GameDay(d)), DaysPlayed[d] == 1);

    DoorGotoXY(1, 21);
    DrawRule(LOWER_HALF_BLOCK);
    DoorGotoXY(1, 22);
    DoorWriteCentered("SCORES HIDDEN ON DAYS NOT PLAYED");
    DoorGotoXY(1, 23);
    PressAnyKeyToContinue();
}
