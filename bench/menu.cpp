// Timings of the door's start-up to the main menu and of each menu drawing (leader standings,
// panel, art) on a large scores table: CALLERS callers playing over YEARS years.
//   menu [CALLERS [YEARS [PLAY_PERCENT]]]   (default 1000 callers, 10 years, 30 %)
#include "bench/bench_common.h"
#include "door/door.h"
#include "door/term/ansi.h"
#include "door/term/console.h"
#include "game/app/config.h"
#include "game/app/program.h"
#include "game/rules/gamedate.h"
#include "game/screens/maintenance.h"
#include "game/screens/today.h"
#include "game/store/database.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// What the program does from reading its configuration to the first menu.
void StartUpToMenu() {
    ReadConfiguration();
    GetToday();
    DBCheck();
    DoorClrScr();
    Menu();
}

double Milliseconds(void (*AStep)()) {
    AnsiReset();
    const auto start = Clock::now();
    AStep();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Runs AStep five times and prints the median and the slowest run.
void Time(const char* AName, void (*AStep)()) {
    std::vector<double> ms;
    for (int run = 0; run < 5; ++run) ms.push_back(Milliseconds(AStep));
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s median %8.1f ms   slowest %8.1f ms\n", AName, ms[2], ms.back());
}

} // namespace

int main(int argc, char** argv) {
    glimra_bench::TScoresSize size;
    if (!glimra_bench::ParseScoresSize(argc, argv, "menu", size)) return 2;

    const auto dir = glimra_bench::EnterScratchDir({"del_glimra.ans", "menu.ans"});
    if (dir.empty()) return 1;
    std::ofstream("bbsglimra.cfg") << "0\n300\nSplendid!\n";
    ConsoleUseHeadless();
    DoorDropInfo.Alias = "Caller1";

    GetToday();
    // A few answer words besides the scores.
    glimra_bench::BuildScores(
        size, Year, "INSERT INTO tblWords (strWord) VALUES ('cider'), ('crane'), ('sloth');");

    std::printf("%-34s %8.1f ms\n", "start-up to menu, month without words",
                Milliseconds(StartUpToMenu));
    Time("start-up to menu", StartUpToMenu);
    Time("Menu", Menu);

    glimra_bench::LeaveScratchDir(dir);
}
