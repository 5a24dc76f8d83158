// scale: times the database work of every screen on a large database (see gen_scores), then the
// same on a copy whose indexes are dropped, and prints both with their ratio.
//   scale FILE [REPEATS]
// Each screen runs REPEATS times (default 20) after one warm-up; the table shows the median and
// the slowest run in milliseconds. Screens draw to a headless local console.
#include "door/door.h"
#include "door/stringutils.h"
#include "door/term/ansi.h"
#include "door/term/console.h"
#include "game/rules/gamedate.h"
#include "game/screens/bulletins.h"
#include "game/screens/dailyboards.h"
#include "game/screens/gameplay.h"
#include "game/screens/leaders.h"
#include "game/screens/maintenance.h"
#include "game/screens/monthlyboards.h"
#include "game/screens/today.h"
#include "game/store/database.h"
#include "game/store/scores.h"
#include "game/store/sqlite/sqlitestore.h"
#include "game/store/totals.h"
#include "game/store/upgrade.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <stdexcept>

#include <filesystem>
#include <functional>
#include <iostream>
#include <stdlib.h>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// ---- The database work of each screen --------------------------------------------------------

void MenuWork() {
    GetToday();
    DayPlayedCheck(std::to_string(Month), std::to_string(Day), std::to_string(Year));
    SetMonthlyAndDaily();
}

// The start-up's look for a database to upgrade; left out on the copy without indexes, which
// it would upgrade.
bool LookForUpgrade = true;

void StartupToMenu() {
    CloseGameDatabase(); // a new process opens the file afresh
    GetToday();
    if (LookForUpgrade) UpgradeGameDatabase();
    DBCheck();
    MenuWork();
}

// A board waits for a key at its end: one is queued for it.
void Board(void (*AScreen)()) {
    ConsolePushKeys(" ");
    AScreen();
}

void TodayScoresWork() {
    Board(GetTodayScores);
}

void OneDayScoresWork() {
    ConsolePushKeys(" ");
    GetToday();
    GetOneDayScores(std::to_string(Day));
}

void DailyScoresWork() {
    Board(GetDailyScores);
}

void LastMonthScoresWork() {
    Board(GetLastMonthScores);
}

void AllTimeScoresWork() {
    Board(GetAllTimeScores);
}

void RecentChampsWork() {
    Board(RecentMonthlyChamps);
}

void BulletinsWork() {
    WriteBulletin();
}

const char* const kNewcomer = "Bench Newcomer";

// A newcomer's game today, in its three moments: the start (played check, the 0 score, the
// leaders, the word), each guess (looked up in both lists) and the end (the winning score, then
// the day's board).
struct TAsNewcomer {
    std::string Caller = DoorDropInfo.Alias;
    TAsNewcomer() { DoorDropInfo.Alias = kNewcomer; }
    ~TAsNewcomer() { DoorDropInfo.Alias = Caller; }
};

void StoreNewcomerScore(std::int32_t AScore) {
    GetToday();
    SetScore(AScore, std::to_string(Month), std::to_string(Day), std::to_string(Year));
}

void GameStart() {
    TAsNewcomer as;
    GetToday();
    DayPlayedCheck(std::to_string(Month), std::to_string(Day), std::to_string(Year));
    StoreNewcomerScore(0);
    SetMonthlyAndDaily();
    GetWord();
}

void GameGuess(const char* AGuess) {
    GuessInWordLists(AGuess);
}

void GameEnd() {
    TAsNewcomer as;
    StoreNewcomerScore(40);
    OneDayScoresWork();
}

// The whole game as a caller plays it: six guesses typed, a key after the word is shown, a key
// on the day's board.
void WholeGame() {
    TAsNewcomer as;
    while (ConsoleKeyPressed()) ConsoleReadKey();
    ConsolePushKeys("crane\rslate\rpious\rmount\rcider\rtoast\r  ");
    GetToday();
    Game();
    GetOneDayScores(std::to_string(Day));
    while (ConsoleKeyPressed()) ConsoleReadKey();
}

// The floor of every write: one immediate transaction with one row, made durable.
void OneCommit() {
    SqlConnection& conn = OpenGameDatabase();
    SqlTransaction trans(conn);
    SqlStatement(conn, "INSERT INTO tblWordsByDate (dtDate, strWord) VALUES ('bench', 'bench')")
        .Execute();
    trans.Commit();
}

void ForgetCommit() {
    SqlStatement(OpenGameDatabase(), "DELETE FROM tblWordsByDate WHERE dtDate = 'bench'").Execute();
}

void NewcomerStarted() {
    TAsNewcomer as;
    StoreNewcomerScore(0);
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
    std::function<void()> After;  // undoes what Work wrote, outside the timing
    std::function<void()> Before; // prepares the database for Work, outside the timing
};

struct TTiming {
    double Median = 0;
    double Max = 0;
};

TTiming Time(const TScreenWork& AScreen, int ARepeats) {
    std::vector<double> ms;
    for (int i = 0; i <= ARepeats; ++i) {
        if (AScreen.Before) AScreen.Before();
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
        {"one commit (disk floor)", OneCommit, ForgetCommit, nullptr},
        {"start-up to menu", StartupToMenu, nullptr, nullptr},
        {"DBCheck, new month", DBCheckNewMonth, ForgetNewMonth, nullptr},
        {"menu (SetMonthlyAndDaily)", MenuWork, nullptr, nullptr},
        {"game start", GameStart, ForgetNewcomer, nullptr},
        {"game, one guess", [] { GameGuess("crane"); }, nullptr, nullptr},
        {"game end (winning guess)", GameEnd, ForgetNewcomer, NewcomerStarted},
        {"game, all of it", WholeGame, ForgetNewcomer, nullptr},
        {"2 today's scores", TodayScoresWork, nullptr, nullptr},
        {"3 daily champions", DailyScoresWork, nullptr, nullptr},
        {"4 one day's scores", OneDayScoresWork, nullptr, nullptr},
        {"5 last month", LastMonthScoresWork, nullptr, nullptr},
        {"6 all-time", AllTimeScoresWork, nullptr, nullptr},
        {"7 recent winners", RecentChampsWork, nullptr, nullptr},
        {"Q bulletins", BulletinsWork, nullptr, nullptr},
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
    const std::string file = std::filesystem::absolute(argv[1]).string();
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    try {
        ConsoleUseHeadless();
        // The door's working directory: the art files the screens show, and the bulletins.
        char dir[] = "/tmp/glimra-scale-XXXXXX";
        if (::mkdtemp(dir) == nullptr) throw std::runtime_error("cannot make a working directory");
        for (const auto& art :
             std::filesystem::directory_iterator(std::string(GLIMRA_SOURCE_DIR) + "/data/art"))
            std::filesystem::copy_file(art.path(),
                                       std::filesystem::path(dir) / art.path().filename());
        std::filesystem::current_path(dir);
        DoorDropInfo.Alias = "Caller 0500";
        // The kit's clock stands at noon of the last day of play; DBCheck's new month is two
        // months later, one no session has started in.
        GameDatabaseFile = file;
        // A file of an earlier version is upgraded first, as the door's first start does.
        const auto upgradeStart = Clock::now();
        if (UpgradeGameDatabase())
            std::printf("upgrade at start-up: %.1f s\n",
                        std::chrono::duration<double>(Clock::now() - upgradeStart).count());
        else
            std::printf("upgrade at start-up: none needed\n");
        // Every later start only looks: the median of that look on a fresh connection.
        const auto look = Time({"look",
                                [] {
                                    CloseGameDatabase();
                                    UpgradeGameDatabase();
                                },
                                nullptr, nullptr},
                               repeats);
        std::printf("start-up's look for an upgrade: %.2f ms median, %.2f ms max\n", look.Median,
                    look.Max);
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
        LookForUpgrade = false;
        const auto unindexed = TimeAll(bare, std::max(1, repeats / 10));
        std::filesystem::remove(bare);
        std::filesystem::current_path("/");
        std::filesystem::remove_all(dir);

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
