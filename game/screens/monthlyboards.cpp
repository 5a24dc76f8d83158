// Last month's board, the all-time board and the recent monthly winners, drawn from the store.
#include "game/screens/monthlyboards.h"

#include "door/door.h"
#include "game/rules/gamedate.h"
#include "game/screens/dailyboards.h"
#include "game/screens/theme.h"
#include "game/screens/today.h"
#include "game/store/database.h"
#include "game/store/scores.h"
#include "game/store/totals.h"

#include <string>

namespace {

constexpr TDayRowLayout LAST_MONTH_ROWS = {3, 44, 5, -11, 24, " Tied", false, true};

// Puts the game date back on today and measures the current month, however the board ends.
class TodayRestorer {
  public:
    TodayRestorer() = default;
    TodayRestorer(const TodayRestorer&) = delete;
    TodayRestorer& operator=(const TodayRestorer&) = delete;
    ~TodayRestorer() {
        GetToday();
        if (FMeasureMonth) NumberOfDays = DaysInMonth(Year, Month);
    }
    void MeasureMonth() { FMeasureMonth = true; }

  private:
    bool FMeasureMonth = false;
};

// The closing rule and key of both ranked boards.
void CloseRankedBoard() {
    DoorGotoXY(0, 22);
    DrawRule(LOWER_HALF_BLOCK);
    DoorGotoXY(0, 23);
    PressAnyKeyToContinue();
}

// "Name (total)" of the month's k-th best total, or empty when the month had no such total.
std::string ChampionText(const std::vector<TScoreTotal>& ATotals, std::size_t AIndex) {
    if (AIndex >= ATotals.size()) return {};
    return PlayerName(ATotals[AIndex].UserName, ATotals[AIndex].Board, 17) + " (" +
           std::to_string(ATotals[AIndex].Total) + ")";
}

void LastMonthHeading() {
    const auto best = TopMonthTotals(Year, Month, 2);
    DoorGotoXY(1, 2);
    DoorTextColour(COLOUR_YELLOW);
    DoorWriteCentered("Grand Champion: " + ChampionText(best, 0) +
                      "   Runner Up: " + ChampionText(best, 1));
    DoorGotoXY(1, 3);
    DrawBoardHeads(4, DAY_BOARD_HEADS);
}

// One rank of the all-time board: ranks 1-17 in the left column, 18-34 in the right one.
void DrawAllTimeRank(int ARank, const TScoreTotal& ATotal) {
    const std::uint8_t column = ARank <= 17 ? 3 : 43;
    const std::uint8_t row = static_cast<std::uint8_t>(ARank <= 17 ? 4 + ARank : ARank - 13);
    DoorGotoXY(column, row);
    if (IsCaller(ATotal.UserName, ATotal.Board)) {
        DoorTextColour(COLOUR_YELLOW);
        DoorTextBackground(COLOUR_GREEN);
    }
    DoorWrite((ARank < 10 ? "  " : " ") + std::to_string(ARank) + "   " +
              PlayerNameCell(ATotal.UserName, ATotal.Board, 23, 25));
    DoorGotoXY(static_cast<std::uint8_t>(column + 30), row);
    // The total and its blanks fill five columns.
    std::string total = std::to_string(ATotal.Total);
    for (std::int64_t limit : {10000, 1000, 100, 10})
        if (ATotal.Total < limit) total += ' ';
    DoorWrite(total);
    DoorTextBackground(COLOUR_BLACK);
    DoorTextColour(COLOUR_LIGHT_GREEN);
}

// The three best totals of the month in Month/Year as one block of recent winners; ALine is the
// block's line counter, moved past the block and the gap after it.
void DrawRecentMonth(std::uint8_t AColumn, int& ALine) {
    const auto best = TopMonthTotals(Year, Month, 3);
    DoorGotoXY(34, 10);
    DoorTextColour(COLOUR_GREEN);
    DoorWrite("Recent Winners");
    bool first = true;
    for (const TScoreTotal& total : best) {
        if (first) {
            DoorGotoXY(AColumn, static_cast<std::uint8_t>(ALine + 11));
            DoorTextColour(COLOUR_GREEN);
            DoorWrite(std::to_string(Month) + "/" + std::to_string(Year));
            DoorWriteLn();
            first = false;
        }
        DoorTextColour(IsCaller(total.UserName, total.Board) ? COLOUR_YELLOW : COLOUR_LIGHT_GREEN);
        DoorGotoXY(AColumn, static_cast<std::uint8_t>(ALine + 12));
        DoorWrite(" " + PlayerName(total.UserName, total.Board, 19));
        DoorGotoXY(static_cast<std::uint8_t>(AColumn + 25), static_cast<std::uint8_t>(ALine + 12));
        DoorWrite(std::to_string(total.Total));
        DoorTextColour(COLOUR_LIGHT_GREEN);
        ++ALine;
    }
    ALine += 2;
}

} // namespace

void GetLastMonthScores() {
    TodayRestorer restore;
    restore.MeasureMonth();
    GetToday();
    StepMonthBack(Month, Year);

    DoorClrScr();
    DoorTextColour(COLOUR_WHITE);
    DoorWriteCentered("- BBS Contestria Last Month's Scores -");
    DoorWriteLn();
    LastMonthHeading();

    NumberOfDays = DaysInMonth(Year, Month);
    for (std::int32_t d = 1; d <= NumberOfDays; ++d)
        DrawDayRow(LAST_MONTH_ROWS, d, ReadDayBest(GameDay(d)), true);
    CloseRankedBoard();
}

void GetAllTimeScores() {
    TodayRestorer restore;
    restore.MeasureMonth();
    DoorClrScr();
    DoorGotoXY(0, 0);
    DoorTextColour(COLOUR_WHITE);
    DoorWriteCentered("- BBS Contestria Glimra All-Time Leader Board -");
    DoorWriteLn();
    DrawBoardHeads(
        3, "  Rank        Player            Score      Rank        Player            Score");

    DoorTextColour(COLOUR_LIGHT_GREEN);
    int rank = 0;
    for (const TScoreTotal& total : TopAllTimeTotals(34)) DrawAllTimeRank(++rank, total);
    CloseRankedBoard();
}

void RecentMonthlyChamps() {
    TodayRestorer restore;
    GetToday();
    DoorClrScr();
    DoorGotoXY(0, 0);
    DisplayNewHeader();

    std::uint8_t column = 10;
    int line = 1;
    for (int k = 1; k <= 4; ++k) {
        // The two most recent months stand in the left block, the two before in the right one.
        if (k == 3) {
            column = 46;
            line = 1;
        }
        StepMonthBack(Month, Year);
        DrawRecentMonth(column, line);
    }

    DoorGotoXY(1, 24);
    PressAnyKeyToContinue();
}
