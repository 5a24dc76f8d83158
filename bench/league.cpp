// league: times every screen's database work through the league back-end, on a league database
// that gen_league filled, as scale does on a board's file.
//   league CONNINFO BOARD ADMIN_CONNINFO [REPEATS]
// CONNINFO and BOARD are a board's lines 4 and 5 of bbsglimra.cfg (gen_league prints board B01's);
// ADMIN_CONNINFO takes back what the timed writes added. Each screen runs REPEATS times (default
// 20) after one warm-up; the table shows the median and the slowest run in milliseconds. Screens
// draw to a headless local console.
#include "bench/bench_common.h"
#include "bench/screen_work.h"
#include "door/door.h"
#include "door/stringutils.h"
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
#include "game/store/host.h"
#include "game/store/postgres/pgconn.h"
#include "game/store/scores.h"
#include "game/store/upgrade.h"

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace glimra_bench;

std::unique_ptr<TPgConnection> Admin;
TDateTime LastDayNow{}, NewMonthNow{};

// A new door process: a new connection, its checks, the spool, the month's words, the menu.
void StartupToMenu() {
    SetGameStore(nullptr);
    GetToday();
    UpgradeGameDatabase();
    CheckGameDatabaseWritable();
    SendKeptScores();
    DBCheck();
    MenuWork();
}

void OneDay() {
    ConsolePushKeys(" ");
    GetToday();
    GetOneDayScores(std::to_string(Day));
}

void GameEnd() {
    NewcomerScore(40);
    OneDay();
}

void ForgetNewcomer() {
    Admin->RunPlain("forget", "DELETE FROM tblScores WHERE strUserName = 'Bench Newcomer'");
}

void NewMonth() {
    DoorNow = [] { return NewMonthNow; };
    DBCheck();
    DoorNow = [] { return LastDayNow; };
}

void ForgetNewMonth() {
    Admin->RunPlain("forget", "DELETE FROM tblWordsByDate WHERE dtDate >= "
                              "date_trunc('month', current_date) + interval '3 months'");
}

// A door that has shown its menu and not yet read the word lists.
void FreshDoor() {
    SetGameStore(nullptr);
    MenuWork();
}

std::vector<TScreenWork> Screens() {
    return {
        {"start-up to menu", StartupToMenu, nullptr, nullptr},
        {"DBCheck, new month", NewMonth, ForgetNewMonth, nullptr},
        {"menu (SetMonthlyAndDaily)", MenuWork, nullptr, nullptr},
        {"game start", GameStart, ForgetNewcomer, nullptr},
        {"game, first guess (lists)", [] { GuessInWordLists("crane"); }, nullptr, FreshDoor},
        {"game, one guess", [] { GuessInWordLists("crane"); }, nullptr, nullptr},
        {"game end (winning guess)", GameEnd, ForgetNewcomer, [] { NewcomerScore(0); }},
        {"game, all of it", WholeGame, ForgetNewcomer, nullptr},
        {"2 today's scores", [] { Board(GetTodayScores); }, nullptr, nullptr},
        {"3 daily champions", [] { Board(GetDailyScores); }, nullptr, nullptr},
        {"4 one day's scores", OneDay, nullptr, nullptr},
        {"5 last month", [] { Board(GetLastMonthScores); }, nullptr, nullptr},
        {"6 all-time", [] { Board(GetAllTimeScores); }, nullptr, nullptr},
        {"7 recent winners", [] { Board(RecentMonthlyChamps); }, nullptr, nullptr},
        {"Q bulletins", WriteBulletin, nullptr, nullptr},
    };
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::cerr << "usage: league CONNINFO BOARD ADMIN_CONNINFO [REPEATS]\n";
        return 2;
    }
    const int repeats = argc > 4 ? std::max(1, std::atoi(argv[4])) : 20;
    try {
        ConsoleUseHeadless();
        StoreHost().MayKeepWaiting = [] { return true; }; // no caller who could leave
        const std::filesystem::path dir =
            EnterScratchDir({"header.ans", "del_glimra.ans", "menu.ans", "box.ans"});
        if (dir.empty()) throw std::runtime_error("cannot make a working directory");
        DoorDropInfo.Alias = "Caller13";
        GameStoreSetting = {argv[1], argv[2]};
        Admin = std::make_unique<TPgConnection>(argv[3]);
        // The kit's clock at noon of the last day of play; the new month is one no data reaches.
        const std::string last =
            Admin->RunPlain("last day", "SELECT max(dtDate) FROM tblScores").Text(0, 0);
        const int year = std::stoi(last.substr(0, 4)), month = std::stoi(last.substr(5, 2));
        LastDayNow = Noon(year, month, std::stoi(last.substr(8, 2)));
        NewMonthNow = Noon(year, month + 3, 15);
        DoorNow = [] { return LastDayNow; };
        std::printf("%-28s %10s %10s\n", "screen (database work)", "median ms", "max ms");
        for (const TScreenWork& screen : Screens()) {
            const TTiming timing = Time(screen, repeats);
            std::printf("%-28s %10.2f %10.2f\n", screen.Name, timing.Median, timing.Max);
        }
        SetGameStore(nullptr);
        std::filesystem::current_path("/");
        std::filesystem::remove_all(dir);
    } catch (const std::exception& error) {
        std::cerr << "league: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
