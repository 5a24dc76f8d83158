// league: times every screen's database work through the league back-end, on a league database
// that gen_league filled, as scale does on a board's file.
//   league CONNINFO BOARD ADMIN_CONNINFO [REPEATS]
// CONNINFO and BOARD are a board's lines 4 and 5 of bbsglimra.cfg (gen_league prints board B01's);
// ADMIN_CONNINFO takes back what the timed writes added. Each screen runs REPEATS times (default
// 20) after one warm-up; the table shows the median and the slowest run in milliseconds. Screens
// draw to a headless local console.
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

using Clock = std::chrono::steady_clock;

std::unique_ptr<TPgConnection> Admin;
TDateTime LastDayNow{}, NewMonthNow{};

TDateTime Noon(int AYear, int AMonth, int ADay) {
    std::tm tm{};
    tm.tm_year = AYear - 1900, tm.tm_mon = AMonth - 1, tm.tm_mday = ADay, tm.tm_hour = 12;
    tm.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

void Menu() {
    GetToday();
    DayPlayedCheck(std::to_string(Month), std::to_string(Day), std::to_string(Year));
    SetMonthlyAndDaily();
}

// A new door process: a new connection, its checks, the spool, the month's words, the menu.
void StartupToMenu() {
    SetGameStore(nullptr);
    GetToday();
    UpgradeGameDatabase();
    CheckGameDatabaseWritable();
    SendKeptScores();
    DBCheck();
    Menu();
}

void Board(void (*AScreen)()) {
    ConsolePushKeys(" ");
    AScreen();
}

void OneDay() {
    ConsolePushKeys(" ");
    GetToday();
    GetOneDayScores(std::to_string(Day));
}

const char* const kNewcomer = "Bench Newcomer";

struct TAsNewcomer {
    std::string Caller = DoorDropInfo.Alias;
    TAsNewcomer() { DoorDropInfo.Alias = kNewcomer; }
    ~TAsNewcomer() { DoorDropInfo.Alias = Caller; }
};

void NewcomerScore(std::int32_t AScore) {
    TAsNewcomer as;
    GetToday();
    SetScore(AScore, std::to_string(Month), std::to_string(Day), std::to_string(Year));
}

void GameStart() {
    TAsNewcomer as;
    GetToday();
    DayPlayedCheck(std::to_string(Month), std::to_string(Day), std::to_string(Year));
    NewcomerScore(0);
    SetMonthlyAndDaily();
    GetWord();
}

void GameEnd() {
    NewcomerScore(40);
    OneDay();
}

void WholeGame() {
    TAsNewcomer as;
    while (ConsoleKeyPressed()) ConsoleReadKey();
    ConsolePushKeys("crane\rslate\rpious\rmount\rcider\rtoast\r  ");
    GetToday();
    Game();
    GetOneDayScores(std::to_string(Day));
    while (ConsoleKeyPressed()) ConsoleReadKey();
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
    Menu();
}

struct TScreenWork {
    const char* Name;
    std::function<void()> Work, After, Before;
};

std::vector<TScreenWork> Screens() {
    return {
        {"start-up to menu", StartupToMenu, nullptr, nullptr},
        {"DBCheck, new month", NewMonth, ForgetNewMonth, nullptr},
        {"menu (SetMonthlyAndDaily)", Menu, nullptr, nullptr},
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
        char dir[] = "/tmp/glimra-league-XXXXXX";
        if (::mkdtemp(dir) == nullptr) throw std::runtime_error("cannot make a working directory");
        for (const auto& art :
             std::filesystem::directory_iterator(std::string(GLIMRA_SOURCE_DIR) + "/data/art"))
            std::filesystem::copy_file(art.path(),
                                       std::filesystem::path(dir) / art.path().filename());
        std::filesystem::current_path(dir);
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
            std::vector<double> ms;
            for (int i = 0; i <= repeats; ++i) {
                if (screen.Before) screen.Before();
                const auto start = Clock::now();
                screen.Work();
                const auto stop = Clock::now();
                if (screen.After) screen.After();
                if (i > 0)
                    ms.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
            }
            std::sort(ms.begin(), ms.end());
            std::printf("%-28s %10.2f %10.2f\n", screen.Name, ms[ms.size() / 2], ms.back());
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
