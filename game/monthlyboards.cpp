// Last month's board, the all-time board and the recent monthly winners, drawn from tblScores.
#include "game/monthlyboards.h"

#include "door/door.h"
#include "game/database.h"
#include "game/gamedate.h"
#include "game/sqldb.h"
#include "game/totals.h"

#include <sqlite3.h>

#include <string>

namespace {

const std::string PRESS_ANY_KEY = "Press Any Key to Continue";

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

// A deferred transaction: the statements inside read one snapshot without taking the write lock
// that other nodes need for their scores. Rolled back unless committed.
class ReadTransaction {
  public:
    explicit ReadTransaction(SqlConnection& AConn) : FConn(AConn) {
        FConn.Exec("BEGIN");
        FOpen = true;
    }
    ReadTransaction(const ReadTransaction&) = delete;
    ReadTransaction& operator=(const ReadTransaction&) = delete;
    ~ReadTransaction() {
        if (FOpen) sqlite3_exec(FConn.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void Commit() {
        FConn.Exec("COMMIT");
        FOpen = false;
    }

  private:
    SqlConnection& FConn;
    bool FOpen = false;
};

// One blank and 78 copies of ABar in green: the frame of the two ranked boards.
void Rule(char ABar) {
    DoorTextColour(COLOUR_GREEN);
    DoorWrite(" " + std::string(78, ABar));
}

void UpperRule() {
    Rule(LOWER_HALF_BLOCK);
}

void LowerRule() {
    Rule(DOUBLE_LINE);
}

std::string Blanks(long ACount) {
    return ACount > 0 ? std::string(static_cast<std::size_t>(ACount), ' ') : std::string();
}

// The last line of both ranked boards and of recent winners: a key ends the screen.
void PressAnyKey() {
    DoorTextColour(COLOUR_YELLOW);
    DoorWriteCentered(PRESS_ANY_KEY);
    DoorTextColour(COLOUR_BLACK);
    DoorReadKey();
}

bool IsCaller(const std::string& AStoredName) {
    return AStoredName == DoorDropInfo.Alias;
}

// "Name (total)" of the month's k-th best total, or empty when the month had no such total.
std::string ChampionText(const std::vector<TScoreTotal>& ATotals, std::size_t AIndex) {
    if (AIndex >= ATotals.size()) return {};
    return ShownName(ATotals[AIndex].UserName, 17) + " (" + std::to_string(ATotals[AIndex].Total) +
           ")";
}

void LastMonthHeading() {
    const auto best = TopMonthTotals(OpenGameDatabase(), Year, Month, 2);
    const std::string champion = ChampionText(best, 0);
    const std::string runnerUp = ChampionText(best, 1);

    DoorGotoXY(1, 2);
    DoorTextColour(COLOUR_YELLOW);
    DoorWriteCentered("Grand Champion: " + champion + "   Runner Up: " + runnerUp);
    DoorGotoXY(1, 3);
    UpperRule();
    DoorGotoXY(1, 4);
    DoorTextColour(COLOUR_YELLOW);
    DoorWrite("  Day         Player            Score      Day         Player            Score");
    DoorWriteLn();
    LowerRule();
}

// The best score of a day of the board month: who holds it and how many share it.
struct TDayBest {
    bool Found = false;
    std::string Name;
    std::int64_t Score = 0;
    std::int64_t Holders = 0; // rows of the day with that score
};

TDayBest ReadDayBest(SqlConnection& AConn, std::int32_t ADay) {
    TDayBest best;
    const std::string key = DateKey(Year, Month, ADay);
    ReadTransaction trans(AConn);
    {
        SqlStatement top(AConn,
                         "select * from tblScores where dtDate=? order by intScore desc LIMIT 1");
        top.Bind(1, key);
        // A day nobody played reads as an empty name and 0.
        if (top.Step()) {
            best.Found = true;
            best.Name = top.ColumnText("strUserName");
            best.Score = top.ColumnInt("intScore");
        }
        SqlStatement ties(AConn,
                          "SELECT COUNT(*) as HS FROM tblScores WHERE  dtDate=? and intScore=?");
        ties.Bind(1, key).Bind(2, best.Score);
        if (ties.Step()) best.Holders = ties.ColumnInt("HS");
    }
    trans.Commit();
    return best;
}

// One day line: days 1-16 in the left block, 17 on in the right block.
void DrawDayLine(std::int32_t ADay, const TDayBest& ABest) {
    const std::uint8_t column = ADay <= 16 ? 3 : 44;
    const std::uint8_t row = static_cast<std::uint8_t>(ADay <= 16 ? 5 + ADay : ADay - 11);
    const bool tied = ABest.Holders > 1;
    const bool own = ABest.Found && IsCaller(ABest.Name);
    const std::string date =
        std::to_string(Month) + "/" + std::to_string(ADay) + (ADay < 10 ? "  " : " ");

    DoorGotoXY(column, row);
    DoorTextColour(COLOUR_LIGHT_GREEN);
    if (tied) {
        DoorWrite(date);
        DoorTextColour(COLOUR_BROWN);
        DoorWrite(std::to_string(ABest.Holders) + " Tied");
    } else {
        if (own) {
            DoorTextColour(COLOUR_YELLOW);
            DoorTextBackground(COLOUR_GREEN);
        }
        DoorWrite(date);
        DoorWrite(ShownName(ABest.Name, 24));
        DoorWrite(Blanks(27 - static_cast<long>(ABest.Name.size())));
    }

    DoorGotoXY(static_cast<std::uint8_t>(column + 32), row);
    if (own) {
        DoorTextColour(COLOUR_YELLOW);
        DoorTextBackground(COLOUR_GREEN);
    }
    if (tied) {
        DoorTextBackground(COLOUR_BLACK);
        DoorTextColour(COLOUR_BROWN);
    }
    std::string score = std::to_string(ABest.Score);
    if (ABest.Score < 100) score += ' ';
    if (ABest.Score < 10) score += ' ';
    DoorWrite(score);
    DoorTextBackground(COLOUR_BLACK);
}

// One rank of the all-time board: ranks 1-17 in the left column, 18-34 in the right one.
void DrawAllTimeRank(int ARank, const std::string& AName, std::int64_t ATotal) {
    const std::uint8_t column = ARank <= 17 ? 3 : 43;
    const std::uint8_t row = static_cast<std::uint8_t>(ARank <= 17 ? 4 + ARank : ARank - 13);
    DoorGotoXY(column, row);
    if (IsCaller(AName)) {
        DoorTextColour(COLOUR_YELLOW);
        DoorTextBackground(COLOUR_GREEN);
    }
    DoorWrite((ARank < 10 ? "  " : " ") + std::to_string(ARank) + "   " + ShownName(AName, 23) +
              Blanks(25 - static_cast<long>(AName.size())));
    DoorGotoXY(static_cast<std::uint8_t>(column + 30), row);
    // The total and its blanks fill five columns.
    std::string total = std::to_string(ATotal);
    for (std::int64_t limit : {10000, 1000, 100, 10})
        if (ATotal < limit) total += ' ';
    DoorWrite(total);
    DoorTextBackground(COLOUR_BLACK);
    DoorTextColour(COLOUR_LIGHT_GREEN);
}

// The three best totals of the month in Month/Year as one block of recent winners; ALine is the
// block's line counter, moved past the block and the gap after it.
void DrawRecentMonth(SqlConnection& AConn, std::uint8_t AColumn, int& ALine) {
    const auto best = TopMonthTotals(AConn, Year, Month, 3);
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
        const std::string& name = total.UserName;
        DoorTextColour(IsCaller(name) ? COLOUR_YELLOW : COLOUR_LIGHT_GREEN);
        DoorGotoXY(AColumn, static_cast<std::uint8_t>(ALine + 12));
        DoorWrite(" " + ShownName(name, 19));
        DoorGotoXY(static_cast<std::uint8_t>(AColumn + 25), static_cast<std::uint8_t>(ALine + 12));
        DoorWrite(std::to_string(total.Total));
        DoorTextColour(COLOUR_LIGHT_GREEN);
        ++ALine;
    }
    ALine += 2;
}

} // namespace

void StepMonthBack(std::int32_t& AMonth, std::int32_t& AYear) {
    if (--AMonth == 0) {
        AMonth = 12;
        --AYear;
    }
}

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
    SqlConnection& conn = OpenGameDatabase();
    for (std::int32_t d = 1; d <= NumberOfDays; ++d) DrawDayLine(d, ReadDayBest(conn, d));

    DoorGotoXY(0, 22);
    UpperRule();
    DoorGotoXY(0, 23);
    PressAnyKey();
}

void GetAllTimeScores() {
    TodayRestorer restore;
    restore.MeasureMonth();
    DoorClrScr();
    DoorGotoXY(0, 0);
    DoorTextColour(COLOUR_WHITE);
    DoorWriteCentered("- BBS Contestria Glimra All-Time Leader Board -");
    DoorWriteLn();
    UpperRule();
    DoorGotoXY(0, 3);
    DoorTextColour(COLOUR_YELLOW);
    DoorWrite("  Rank        Player            Score      Rank        Player            Score");
    DoorWriteLn();
    LowerRule();

    DoorTextColour(COLOUR_LIGHT_GREEN);
    int rank = 0;
    for (const TScoreTotal& total : TopAllTimeTotals(OpenGameDatabase(), 34))
        DrawAllTimeRank(++rank, total.UserName, total.Total);

    DoorGotoXY(0, 22);
    UpperRule();
    DoorGotoXY(0, 23);
    PressAnyKey();
}

void RecentMonthlyChamps() {
    TodayRestorer restore;
    GetToday();
    DoorClrScr();
    DoorGotoXY(0, 0);
    DisplayNewHeader();

    SqlConnection& conn = OpenGameDatabase();
    std::uint8_t column = 10;
    int line = 1;
    for (int k = 1; k <= 4; ++k) {
        // The two most recent months stand in the left block, the two before in the right one.
        if (k == 3) {
            column = 46;
            line = 1;
        }
        StepMonthBack(Month, Year);
        DrawRecentMonth(conn, column, line);
    }

    DoorGotoXY(1, 24);
    PressAnyKey();
}
