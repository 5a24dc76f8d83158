// Timings of the door's start-up to the main menu and of each menu drawing (leader standings,
// panel, art) on a large scores table: CALLERS callers playing over YEARS years.
//   menu [CALLERS [YEARS [PLAY_PERCENT]]]   (default 1000 callers, 10 years, 30 %)
#include "door/ansi.h"
#include "door/console.h"
#include "door/door.h"
#include "game/config.h"
#include "game/database.h"
#include "game/gamedate.h"
#include "game/program.h"
#include "game/sqldb.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string SourceFile(const char* ARelative) {
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / ARelative).string();
}

// The schema, a few answer words, and every caller playing each day with the given chance.
long BuildDatabase(int ACallers, int AYears, int APlayPercent, int ALastYear) {
    SqlConnection conn(GameDatabaseFile, SqlConnection::TOpenMode::Create);
    std::ifstream in(SourceFile("data/schema.sql"));
    std::ostringstream schema;
    schema << in.rdbuf();
    conn.Exec(schema.str());
    conn.Exec("INSERT INTO tblWords (strWord) VALUES ('cider'), ('crane'), ('sloth');");
    conn.Exec("BEGIN");
    SqlStatement insert(conn,
                        "insert into tblScores (strUserName, dtDate, intScore) values (?,?,?)");
    std::mt19937 random(7);
    std::uniform_int_distribution<int> percent(1, 100), guesses(1, 7);
    long rows = 0;
    for (int year = ALastYear - AYears + 1; year <= ALastYear; ++year)
        for (int month = 1; month <= 12; ++month)
            for (int day = 1; day <= DaysInMonth(year, month); ++day) {
                const std::string key = DateKey(year, month, day);
                for (int caller = 0; caller < ACallers; ++caller) {
                    if (percent(random) > APlayPercent) continue;
                    const int guess = guesses(random); // 7: lost
                    insert.Bind(1, "Caller" + std::to_string(caller)).Bind(2, key);
                    insert.Bind(3, std::int64_t{guess == 7 ? 0 : 320 >> (guess - 1)});
                    insert.Execute();
                    insert.Reset();
                    ++rows;
                }
            }
    conn.Exec("COMMIT");
    return rows;
}

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
    const int callers = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int years = argc > 2 ? std::atoi(argv[2]) : 10;
    const int play = argc > 3 ? std::atoi(argv[3]) : 30;
    if (callers < 1 || years < 1 || play < 1 || play > 100) {
        std::fprintf(stderr, "usage: menu [CALLERS [YEARS [PLAY_PERCENT]]]\n");
        return 2;
    }

    char pattern[] = "/tmp/glimra-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::filesystem::path dir = pattern;
    for (const char* art : {"del_glimra.ans", "menu.ans"})
        std::filesystem::copy_file(SourceFile((std::string("data/art/") + art).c_str()), dir / art);
    std::filesystem::current_path(dir);
    std::ofstream("bbsglimra.cfg") << "0\n300\nSplendid!\n";
    ConsoleUseHeadless();
    DoorDropInfo.Alias = "Caller1";

    GetToday();
    const auto start = Clock::now();
    const long rows = BuildDatabase(callers, years, play, Year);
    std::printf("%ld score rows (%d callers, %d years, %d %% of days) built in %.1f s\n", rows,
                callers, years, play, std::chrono::duration<double>(Clock::now() - start).count());

    std::printf("%-34s %8.1f ms\n", "start-up to menu, month without words",
                Milliseconds(StartUpToMenu));
    Time("start-up to menu", StartUpToMenu);
    Time("Menu", Menu);

    CloseGameDatabase();
    std::filesystem::current_path("/");
    std::filesystem::remove_all(dir);
}
