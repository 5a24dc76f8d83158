// The daily score boards: today's and one day's top ten, the month's totals and the daily
// champions, read afresh from tblScores each time a board is drawn.
#include "game/dailyboards.h"

#include "door/door.h"
#include "door/stringutils.h"
#include "game/database.h"
#include "game/gamedate.h"
#include "game/scores.h"
#include "game/sqldb.h"
#include "game/totals.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

// A day's top ten, best first; equal scores in the order SQLite returns them.
constexpr const char* DAY_TOP_TEN_SQL =
    "select * from tblScores where dtDate=? order by intScore desc LIMIT 10";
constexpr const char* DAY_BEST_SQL =
    "select * from tblScores where dtDate=? order by intScore desc LIMIT 1";
constexpr const char* DAY_BEST_COUNT_SQL =
    "SELECT COUNT(*) as HS FROM tblScores WHERE  dtDate=? and intScore=?";

struct TScoreRow {
    std::string Name;
    std::int64_t Score = 0;
    std::int64_t Days = 0; // days played this month (month totals only)
};

bool IsCaller(const std::string& AName) {
    return AName == DoorDropInfo.Alias;
}

void WriteAt(std::uint8_t AX, std::uint8_t AY, const std::string& AText) {
    DoorGotoXY(AX, AY);
    DoorWrite(AText);
}

bool PlayedDay(std::int32_t ADay) {
    return DayPlayedCheck(std::to_string(Month), std::to_string(ADay), std::to_string(Year));
}

std::vector<TScoreRow> DayTopTen(std::int32_t ADay) {
    SqlStatement query(OpenGameDatabase(), DAY_TOP_TEN_SQL);
    query.Bind(1, DateKey(Year, Month, ADay));
    std::vector<TScoreRow> rows;
    while (query.Step())
        rows.push_back({query.ColumnText("strUserName"), query.ColumnInt("intScore")});
    return rows;
}

// The month's top ten totals with each caller's days played, from the kept month totals.
std::vector<TScoreRow> MonthTopTen() {
    std::vector<TScoreRow> rows;
    for (const TScoreTotal& total : TopMonthTotals(OpenGameDatabase(), Year, Month, 10))
        rows.push_back({total.UserName, total.Total, total.Days});
    return rows;
}

// A top-ten list with names at ANameCol and scores at AScoreCol, row r on screen row
// ATopRow + r. AHidden shows placeholders instead of names and scores.
void DrawTopTen(const std::vector<TScoreRow>& ARows, std::uint8_t ANameCol, std::uint8_t AScoreCol,
                std::uint8_t ATopRow, bool AHidden) {
    DoorTextBackground(COLOUR_BLACK);
    DoorTextColour(COLOUR_LIGHT_GREEN);
    std::uint8_t row = ATopRow;
    for (const TScoreRow& entry : ARows) {
        ++row;
        if (IsCaller(entry.Name)) DoorTextColour(COLOUR_YELLOW);
        WriteAt(ANameCol, row, AHidden ? HIDDEN_NAME : ShownName(entry.Name, 19));
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
    WriteAt(30, 24, "Press Any Key to Continue");
    DoorTextColour(COLOUR_BLACK);
    DoorReadKey();
}

// One day of the champions board, in the block that holds it.
struct TChampionDay {
    bool Found = false; // somebody played the day
    std::string Name;
    std::int64_t Best = 0;
    std::int64_t Tied = 0; // callers with the best score (HS)
};

// Sets the colours of a champions board cell: light green, yellow on green for the caller's
// own best, brown when the best score is shared.
void ChampionColours(const TChampionDay& AChampion) {
    DoorTextColour(COLOUR_LIGHT_GREEN);
    DoorTextBackground(COLOUR_BLACK);
    if (AChampion.Found && IsCaller(AChampion.Name)) {
        DoorTextColour(COLOUR_YELLOW);
        DoorTextBackground(COLOUR_GREEN);
    }
    if (AChampion.Tied > 1) {
        DoorTextColour(COLOUR_BROWN);
        DoorTextBackground(COLOUR_BLACK);
    }
}

void DrawChampionDay(std::int32_t ADay, const TChampionDay& AChampion, bool APlayed) {
    const bool right = ADay > 16;
    const std::uint8_t dateCol = right ? 43 : 2;
    const std::uint8_t scoreCol = right ? 75 : 34;
    const auto row = static_cast<std::uint8_t>(right ? ADay - 12 : ADay + 4);

    ChampionColours(AChampion);
    WriteAt(dateCol, row,
            std::to_string(Month) + "/" + std::to_string(ADay) + (ADay < 10 ? "  " : " "));
    if (AChampion.Tied == 1) {
        if (APlayed) {
            std::string name = ShownName(AChampion.Name, 25);
            const auto width = static_cast<std::int64_t>(AChampion.Name.size());
            if (27 - width > 0) name.append(static_cast<std::size_t>(27 - width), ' ');
            DoorWrite(name);
        } else {
            DoorWrite(HIDDEN_NAME);
        }
    } else if (AChampion.Tied > 1) {
        DoorTextBackground(COLOUR_BLACK);
        if (APlayed) {
            DoorTextColour(COLOUR_BROWN);
            DoorWrite(std::to_string(AChampion.Tied) + " Tied Today");
        } else {
            DoorWrite(HIDDEN_NAME);
        }
    } else {
        DoorTextColour(COLOUR_LIGHT_GRAY);
    }

    ChampionColours(AChampion);
    std::string score = APlayed ? std::to_string(AChampion.Best) : HIDDEN_SCORE;
    if (AChampion.Best < 100) score += ' ';
    if (AChampion.Best < 10) score += ' ';
    WriteAt(scoreCol, row, score);
    DoorTextBackground(COLOUR_BLACK);
}

} // namespace

int TypedDayNumber(const std::string& AText) {
    return ReadInteger(AText, TIntegerText::Digits).value_or(-1);
}

void GetTodayScores() {
    GetToday();
    const bool hidden = !PlayedDay(Day);
    BoardHeader();

    const std::vector<TScoreRow> today = DayTopTen(Day);
    DoorTextColour(COLOUR_GREEN);
    WriteAt(13, 11, "TODAY'S HIGH SCORES");
    DrawTopTen(today, 11, 31, 12, hidden);
    DoorWriteLn();
    DoorWriteLn();

    const std::vector<TScoreRow> month = MonthTopTen();
    DoorTextColour(COLOUR_GREEN);
    WriteAt(43, 11, "TOP TEN SCORES FOR " + std::to_string(Month) + "/" + std::to_string(Year));
    DoorTextColour(COLOUR_LIGHT_GREEN);
    std::uint8_t row = 12;
    for (const TScoreRow& entry : month) {
        ++row;
        DoorGotoXY(40, row);
        if (IsCaller(entry.Name)) DoorTextColour(COLOUR_YELLOW);
        // Only on the 1st would the totals give away today's results.
        if (hidden && Day == 1) {
            DoorWrite(HIDDEN_NAME);
        } else {
            DoorWrite(ShownName(entry.Name, 22) + " (" + std::to_string(entry.Days) + ")");
            WriteAt(68, row, std::to_string(entry.Score));
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

    const std::vector<TScoreRow> rows = DayTopTen(day);
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
    DoorTextColour(COLOUR_GREEN);
    DoorWrite(" " + std::string(78, LOWER_HALF_BLOCK));
    DoorTextColour(COLOUR_YELLOW);
    DoorGotoXY(1, 3);
    DoorWriteLn("  Day         Player            Score      Day         Player            Score");
    DoorTextColour(COLOUR_GREEN);
    DoorWrite(" " + std::string(78, DOUBLE_LINE));

    TrackPlayerDays(Month, Year, DaysPlayed);
    SqlConnection& conn = OpenGameDatabase();
    SqlStatement bestQuery(conn, DAY_BEST_SQL);
    SqlStatement countQuery(conn, DAY_BEST_COUNT_SQL);
    for (std::int32_t d = 1; d <= NumberOfDays; ++d) {
        const std::string key = DateKey(Year, Month, d);
        TChampionDay champion;
        bestQuery.Reset();
        bestQuery.Bind(1, key);
        if (bestQuery.Step()) {
            champion.Found = true;
            champion.Name = bestQuery.ColumnText("strUserName");
            champion.Best = bestQuery.ColumnInt("intScore");
        }
        bestQuery.Reset();
        countQuery.Reset();
        countQuery.Bind(1, key).Bind(2, champion.Best);
        if (countQuery.Step()) champion.Tied = countQuery.ColumnInt(0);
        countQuery.Reset();
        DrawChampionDay(d, champion, DaysPlayed[d] == 1);
    }

    DoorTextColour(COLOUR_GREEN);
    WriteAt(1, 21, " " + std::string(78, LOWER_HALF_BLOCK));
    DoorGotoXY(1, 22);
    DoorWriteCentered("SCORES HIDDEN ON DAYS NOT PLAYED");
    DoorTextColour(COLOUR_YELLOW);
    DoorGotoXY(1, 23);
    DoorWriteCentered("Press Any Key to Continue");
    DoorTextColour(COLOUR_BLACK);
    DoorReadKey();
}
