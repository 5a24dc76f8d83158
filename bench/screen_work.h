// Shared by the benchmarks that time each screen's database work (scale on a board's file,
// league through the league's back-end): the work itself, and its timing.
#pragma once

#include "door/door.h"
#include "door/term/console.h"
#include "game/rules/gamedate.h"
#include "game/screens/dailyboards.h"
#include "game/screens/gameplay.h"
#include "game/screens/leaders.h"
#include "game/screens/today.h"
#include "game/store/database.h"
#include "game/store/scores.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace glimra_bench {

// Local noon of a date; a month past 12 runs on into the next year.
inline TDateTime Noon(int AYear, int AMonth, int ADay) {
    std::tm tm{};
    tm.tm_year = AYear - 1900;
    tm.tm_mon = AMonth - 1;
    tm.tm_mday = ADay;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

// The menu's reads: has the caller played today, and the leader figures.
inline void MenuWork() {
    GetToday();
    DayPlayedCheck(std::to_string(Month), std::to_string(Day), std::to_string(Year));
    SetMonthlyAndDaily();
}

// A board waits for a key at its end: one is queued for it.
inline void Board(void (*AScreen)()) {
    ConsolePushKeys(" ");
    AScreen();
}

// A caller who has not played today, for the game's timings; the database work they leave is
// undone outside the timing.
inline const char* const kNewcomer = "Bench Newcomer";

struct TAsNewcomer {
    std::string Caller = DoorDropInfo.Alias;
    TAsNewcomer() { DoorDropInfo.Alias = kNewcomer; }
    ~TAsNewcomer() { DoorDropInfo.Alias = Caller; }
};

inline void NewcomerScore(std::int32_t AScore) {
    TAsNewcomer as;
    GetToday();
    SetScore(AScore, std::to_string(Month), std::to_string(Day), std::to_string(Year));
}

// The start of a game: the played-day check, the 0 that marks the day, the leaders, the word.
inline void GameStart() {
    TAsNewcomer as;
    GetToday();
    DayPlayedCheck(std::to_string(Month), std::to_string(Day), std::to_string(Year));
    NewcomerScore(0);
    SetMonthlyAndDaily();
    GetWord();
}

// The whole game as a caller plays it: six guesses typed, a key after the word is shown, a key
// on the day's board.
inline void WholeGame() {
    TAsNewcomer as;
    while (ConsoleKeyPressed()) ConsoleReadKey();
    ConsolePushKeys("crane\rslate\rpious\rmount\rcider\rtoast\r  ");
    GetToday();
    Game();
    GetOneDayScores(std::to_string(Day));
    while (ConsoleKeyPressed()) ConsoleReadKey();
}

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

// AScreen's work ARepeats times after one unmeasured run that warms the caches.
inline TTiming Time(const TScreenWork& AScreen, int ARepeats) {
    std::vector<double> ms;
    for (int i = 0; i <= ARepeats; ++i) {
        if (AScreen.Before) AScreen.Before();
        const auto start = std::chrono::steady_clock::now();
        AScreen.Work();
        const auto stop = std::chrono::steady_clock::now();
        if (AScreen.After) AScreen.After();
        if (i > 0) ms.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

} // namespace glimra_bench
