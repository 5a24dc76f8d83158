// scale: times the database work of every screen on a large database (see gen_scores), then the
// same on a copy whose indexes are dropped, and prints both with their ratio.
//   scale FILE [REPEATS]
// Each screen runs REPEATS times (default 20) after one warm-up; the table shows the median and
// the slowest run in milliseconds. Screens draw to a headless local console.
#include "bench/screen_work.h"
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

using namespace glimra_bench;

using Clock = std::chrono::steady_clock;

// ---- The database work of each screen --------------------------------------------------------

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

void GameGuess(const char* AGuess) {
    GuessInWordLists(AGuess);
}

void GameEnd() {
    TAsNewcomer as;
    NewcomerScore(40);
    OneDayScoresWork();
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
    NewcomerScore(0);
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

// ---- Timing --------------------------------------------------------------------------------

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
