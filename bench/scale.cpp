// scale: times the database work of every screen on a large database (see gen_scores), then the
// same on a copy whose indexes are dropped, and prints both with their ratio.
//   scale FILE [REPEATS]
// Each screen runs REPEATS times (default 20) after one warm-up; the table shows the median and
// the slowest run in milliseconds. Screens draw to a headless local console.
#include "door/ansi.h"
#include "door/console.h"
#include "door/door.h"
#include "game/database.h"
#include "game/gamedate.h"
#include "game/scores.h"
#include "game/sqldb.h"
#include "game/totals.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// ---- The database work of each screen --------------------------------------------------------

std::string Today() {
    return DateKey(Year, Month, Day);
}

// Rows of a statement with one bound text, read front to back as a screen reads them.
int ReadRows(const char* ASql, const std::string& AValue) {
    SqlStatement query(OpenGameDatabase(), ASql);
    query.Bind(1, AValue);
    int rows = 0;
    while (query.Step()) ++rows;
    return rows;
}

// The best score of a date and how many share it.
void DayBest(const std::string& AKey) {
    SqlConnection& conn = OpenGameDatabase();
    SqlStatement best(conn,
                      "select * from tblScores where dtDate=? order by intScore desc LIMIT 1");
    best.Bind(1, AKey);
    const std::int64_t top = best.Step() ? best.ColumnInt("intScore") : 0;
    SqlStatement count(conn, "SELECT COUNT(*) as HS FROM tblScores WHERE  dtDate=? and intScore=?");
    count.Bind(1, AKey).Bind(2, top);
    count.Step();
}

void PreviousMonth(std::int32_t& AYear, std::int32_t& AMonth) {
    if (--AMonth == 0) {
        AMonth = 12;
        --AYear;
    }
}

void SetMonthlyAndDailyWork() {
    SqlConnection& conn = OpenGameDatabase();
    ReadRows("select * from tblScores where dtDate=? order by intScore desc LIMIT 1", Today());
    TopMonthTotals(conn, Year, Month, 1);
    TopMonthTotals(conn, Year, Month, 5);
    std::int32_t y = Year, m = Month;
    PreviousMonth(y, m);
    TopMonthTotals(conn, y, m, 1);
    TopAllTimeTotals(conn, 2);
}

void MenuWork() {
    GetToday();
    DayPlayedCheck(std::to_string(Month), std::to_string(Day), std::to_string(Year));
    SetMonthlyAndDailyWork();
}

void StartupToMenu() {
    CloseGameDatabase(); // a new process opens the file afresh
    GetToday();
    DBCheck();
    MenuWork();
}

void TodayScoresWork() {
    GetToday();
    DayPlayedCheck(std::to_string(Month), std::to_string(Day), std::to_string(Year));
    ReadRows("select * from tblScores where dtDate=? order by intScore desc LIMIT 10", Today());
    TopMonthTotals(OpenGameDatabase(), Year, Month, 10);
}

void OneDayScoresWork() {
    GetToday();
    DayPlayedCheck(std::to_string(Month), "1", std::to_string(Year));
    ReadRows("select * from tblScores where dtDate=? order by intScore desc LIMIT 10",
             DateKey(Year, Month, 1));
}

void DailyScoresWork() {
    GetToday();
    TrackPlayerDays(Month, Year, DaysPlayed);
    for (std::int32_t d = 1; d <= DaysInMonth(Year, Month); ++d) DayBest(DateKey(Year, Month, d));
}

void LastMonthScoresWork() {
    GetToday();
    std::int32_t y = Year, m = Month;
    PreviousMonth(y, m);
    TopMonthTotals(OpenGameDatabase(), y, m, 2);
    for (std::int32_t d = 1; d <= DaysInMonth(y, m); ++d) DayBest(DateKey(y, m, d));
}

void AllTimeScoresWork() {
    TopAllTimeTotals(OpenGameDatabase(), 34);
}

void RecentChampsWork() {
    GetToday();
    std::int32_t y = Year, m = Month;
    for (int k = 1; k <= 4; ++k) {
        PreviousMonth(y, m);
        TopMonthTotals(OpenGameDatabase(), y, m, 3);
    }
}

void BulletinsWork() {
    GetToday();
    for (int file = 0; file < 2; ++file) {
        ReadRows("select * from tblScores where dtDate=? order by intScore desc LIMIT 5", Today());
        TopMonthTotals(OpenGameDatabase(), Year, Month, 5);
        TopAllTimeTotals(OpenGameDatabase(), 5);
    }
}

const char* const kNewcomer = "Bench Newcomer";

// A newcomer's game today: played check, the 0 score, the leaders, the word, six guesses
// looked up in both lists, the winning score, then the day's board.
void GameWork() {
    const std::string caller = DoorDropInfo.Alias;
    DoorDropInfo.Alias = kNewcomer;
    GetToday();
    const std::string m = std::to_string(Month), d = std::to_string(Day), y = std::to_string(Year);
    DayPlayedCheck(m, d, y);
    SetScore(0, m, d, y);
    SetMonthlyAndDailyWork();
    GetWord();
    for (const char* guess : {"crane", "slate", "QQQQQ", "pious", "MOUNT", "cider"}) {
        ReadRows("SELECT COUNT(*) as findword FROM tblAllWords WHERE strWord=? COLLATE NOCASE",
                 guess);
        ReadRows("SELECT COUNT(*) as findword FROM tblWords WHERE strWord=? COLLATE NOCASE", guess);
    }
    SetScore(40, m, d, y);
    OneDayScoresWork();
    DoorDropInfo.Alias = caller;
}

void ForgetNewcomer() {
    SqlConnection& conn = OpenGameDatabase();
    for (const char* table : {"tblScores", "tblTotals", "tblMonthTotals"}) {
        if (!conn.HasTable(table)) continue;
        SqlStatement(conn, std::string("DELETE FROM ") + table + " WHERE strUserName=?")
            .Bind(1, kNewcomer)
            .Execute();
    }
}

// DBCheck in a month that has no words yet: the kit's clock is moved past the data.
TDateTime LastDayNow{};
TDateTime NewMonthNow{};
TDateTime (*RealNow)() = nullptr;

void DBCheckNewMonth() {
    DoorNow = [] { return NewMonthNow; };
    DBCheck();
    DoorNow = RealNow;
}

void ForgetNewMonth() {
    DoorNow = [] { return NewMonthNow; };
    GetToday();
    const std::string prefix = std::to_string(Year) + "-" + TwoDigits(Month) + "-";
    DoorNow = RealNow;
    SqlStatement(OpenGameDatabase(), "DELETE FROM tblWordsByDate WHERE dtDate BETWEEN ? AND ?")
        .Bind(1, prefix + "01")
        .Bind(2, prefix + "31")
        .Execute();
}

// Local noon of a date; a month past 12 runs on into the next year.
TDateTime Noon(int AYear, int AMonth, int ADay) {
    std::tm tm{};
    tm.tm_year = AYear - 1900;
    tm.tm_mon = AMonth - 1;
    tm.tm_mday = ADay;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

// ---- Timing --------------------------------------------------------------------------------

struct TScreenWork {
    const char* Name;
    std::function<void()> Work;
    std::function<void()> After; // undoes what Work wrote, outside the timing
};

struct TTiming {
    double Median = 0;
    double Max = 0;
};

TTiming Time(const TScreenWork& AScreen, int ARepeats) {
    std::vector<double> ms;
    for (int i = 0; i <= ARepeats; ++i) {
        const auto start = Clock::now();
        AScreen.Work();
        const auto stop = Clock::now();
        if (AScreen.After) AScreen.After();
        if (i > 0) ms.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

std::vector<TScreenWork> Screens() {
    return {
        {"start-up to menu", StartupToMenu, nullptr},
        {"DBCheck, new month", DBCheckNewMonth, ForgetNewMonth},
        {"menu (SetMonthlyAndDaily)", MenuWork, nullptr},
        {"game", GameWork, ForgetNewcomer},
        {"2 today's scores", TodayScoresWork, nullptr},
        {"3 daily champions", DailyScoresWork, nullptr},
        {"4 one day's scores", OneDayScoresWork, nullptr},
        {"5 last month", LastMonthScoresWork, nullptr},
        {"6 all-time", AllTimeScoresWork, nullptr},
        {"7 recent winners", RecentChampsWork, nullptr},
        {"Q bulletins", BulletinsWork, nullptr},
    };
}

std::vector<TTiming> TimeAll(const std::string& AFile, int ARepeats) {
    CloseGameDatabase();
    GameDatabaseFile = AFile;
    std::vector<TTiming> timings;
    for (const auto& screen : Screens()) timings.push_back(Time(screen, ARepeats));
    CloseGameDatabase();
    return timings;
}

void DropIndexes(const std::string& AFile) {
    SqlConnection conn(AFile);
    std::vector<std::string> names;
    {
        SqlStatement query(conn, "SELECT name FROM sqlite_master WHERE type='index' AND sql "
                                 "IS NOT NULL");
        while (query.Step()) names.push_back(query.ColumnText(0));
    }
    for (const auto& name : names) conn.Exec("DROP INDEX \"" + name + "\"");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: scale FILE [REPEATS]\n";
        return 2;
    }
    const std::string file = argv[1];
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    try {
        ConsoleUseHeadless();
        DoorDropInfo.Alias = "Caller 0500";
        // The kit's clock stands at noon of the last day of play; DBCheck's new month is two
        // months later, one no session has started in.
        GameDatabaseFile = file;
        std::string last;
        {
            SqlStatement query(OpenGameDatabase(), "SELECT MAX(dtDate) FROM tblWordsByDate");
            query.Step();
            last = query.ColumnText(0);
        }
        LastDayNow = Noon(std::stoi(last.substr(0, 4)), std::stoi(last.substr(5, 2)),
                          std::stoi(last.substr(8, 2)));
        NewMonthNow = Noon(std::stoi(last.substr(0, 4)), std::stoi(last.substr(5, 2)) + 2, 15);
        DoorNow = [] { return LastDayNow; };
        RealNow = DoorNow;
        const auto indexed = TimeAll(file, repeats);

        const std::string bare = file + ".noindex";
        std::filesystem::copy_file(file, bare, std::filesystem::copy_options::overwrite_existing);
        DropIndexes(bare);
        const auto unindexed = TimeAll(bare, std::max(1, repeats / 10));
        std::filesystem::remove(bare);

        std::printf("%-28s %10s %10s %14s %9s\n", "screen (database work)", "median ms", "max ms",
                    "no indexes ms", "ratio");
        const auto screens = Screens();
        for (std::size_t i = 0; i < screens.size(); ++i)
            std::printf("%-28s %10.2f %10.2f %14.1f %8.0fx\n", screens[i].Name, indexed[i].Median,
                        indexed[i].Max, unindexed[i].Median,
                        unindexed[i].Median / std::max(indexed[i].Median, 0.001));
    } catch (const std::exception& error) {
        std::cerr << "scale: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
