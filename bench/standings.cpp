// Timings of the monthly boards and the bulletin writer on a large scores table: builds a
// database of CALLERS callers playing over YEARS years, then runs each screen a few times.
//   standings [CALLERS [YEARS [PLAY_PERCENT]]]   (default 1000 callers, 10 years, 30 %)
#include "bench/bench_common.h"
#include "door/door.h"
#include "door/term/ansi.h"
#include "door/term/console.h"
#include "game/rules/gamedate.h"
#include "game/screens/bulletins.h"
#include "game/screens/monthlyboards.h"
#include "game/screens/today.h"
#include "game/store/database.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Runs AScreen five times and prints the median and the slowest run.
template <typename F> void Time(const char* AName, F AScreen) {
    std::vector<double> ms;
    for (int run = 0; run < 5; ++run) {
        AnsiReset();
        ConsolePushKeys("x");
        const auto start = Clock::now();
        AScreen();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-22s median %8.1f ms   slowest %8.1f ms\n", AName, ms[2], ms.back());
}

} // namespace

int main(int argc, char** argv) {
    glimra_bench::TScoresSize size;
    if (!glimra_bench::ParseScoresSize(argc, argv, "standings", size)) return 2;

    const auto dir = glimra_bench::EnterScratchDir({"del_glimra.ans"});
    if (dir.empty()) return 1;
    ConsoleUseHeadless();
    DoorDropInfo.Alias = "Caller1";

    GetToday();
    glimra_bench::BuildScores(size, Year);

    Time("GetLastMonthScores", GetLastMonthScores);
    Time("GetAllTimeScores", GetAllTimeScores);
    Time("RecentMonthlyChamps", RecentMonthlyChamps);
    Time("WriteBulletin", WriteBulletin);

    glimra_bench::LeaveScratchDir(dir);
}
