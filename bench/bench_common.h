// Shared by the benchmarks of the menu and of the standings: the command line giving the size
// of the scores table, a scratch door directory, and a large scores table built in it.
#pragma once

#include "game/rules/gamedate.h"
#include "game/store/database.h"
#include "game/store/sqlite/sqlitestore.h"

#include <stdlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

namespace glimra_bench {

// The whole of a file; throws when it cannot be read.
inline std::string ReadFile(const std::string& APath) {
    std::ifstream in(APath, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + APath);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::string SourceFile(const std::string& ARelative) {
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / ARelative).string();
}

// The size of the scores table: CALLERS callers, each playing a day with PLAY_PERCENT % chance,
// over YEARS years.
struct TScoresSize {
    int Callers = 1000;
    int Years = 10;
    int PlayPercent = 30;
};

// Reads "AName [CALLERS [YEARS [PLAY_PERCENT]]]"; prints the usage and returns false when bad.
inline bool ParseScoresSize(int argc, char** argv, const char* AName, TScoresSize& ASize) {
    if (argc > 1) ASize.Callers = std::atoi(argv[1]);
    if (argc > 2) ASize.Years = std::atoi(argv[2]);
    if (argc > 3) ASize.PlayPercent = std::atoi(argv[3]);
    if (ASize.Callers < 1 || ASize.Years < 1 || ASize.PlayPercent < 1 || ASize.PlayPercent > 100) {
        std::fprintf(stderr, "usage: %s [CALLERS [YEARS [PLAY_PERCENT]]]\n", AName);
        return false;
    }
    return true;
}

// A fresh directory under /tmp holding the given art files, made the current directory;
// empty when it cannot be made.
inline std::filesystem::path EnterScratchDir(std::initializer_list<const char*> AArt) {
    char pattern[] = "/tmp/glimra-bench-XXXXXX";
    if (!mkdtemp(pattern)) return {};
    const std::filesystem::path dir = pattern;
    for (const char* art : AArt)
        std::filesystem::copy_file(SourceFile(std::string("data/art/") + art), dir / art);
    std::filesystem::current_path(dir);
    return dir;
}

// Closes the game database and removes ADir with everything in it.
inline void LeaveScratchDir(const std::filesystem::path& ADir) {
    CloseGameDatabase();
    std::filesystem::current_path("/");
    std::filesystem::remove_all(ADir);
}

// The game database in the current directory: the schema, then ASetupSql, then every caller
// playing each day of the years up to ALastYear with the given chance, scoring as a real game
// would. Prints how many score rows it made and how long that took.
inline long BuildScores(const TScoresSize& ASize, int ALastYear, const char* ASetupSql = "") {
    const auto start = std::chrono::steady_clock::now();
    SqlConnection conn(GameDatabaseFile, SqlConnection::TOpenMode::Create);
    std::ifstream in(SourceFile("data/schema.sql"));
    std::ostringstream schema;
    schema << in.rdbuf();
    conn.Exec(schema.str());
    if (*ASetupSql) conn.Exec(ASetupSql);
    conn.Exec("BEGIN");
    SqlStatement insert(conn,
                        "insert into tblScores (strUserName, dtDate, intScore) values (?,?,?)");
    std::mt19937 random(7);
    std::uniform_int_distribution<int> percent(1, 100), guesses(1, 7);
    long rows = 0;
    for (int year = ALastYear - ASize.Years + 1; year <= ALastYear; ++year)
        for (int month = 1; month <= 12; ++month)
            for (int day = 1; day <= DaysInMonth(year, month); ++day) {
                const std::string key = DateKey(year, month, day);
                for (int caller = 0; caller < ASize.Callers; ++caller) {
                    if (percent(random) > ASize.PlayPercent) continue;
                    const int guess = guesses(random); // 7: lost
                    insert.Bind(1, "Caller" + std::to_string(caller)).Bind(2, key);
                    insert.Bind(3, std::int64_t{guess == 7 ? 0 : 320 >> (guess - 1)});
                    insert.Execute();
                    insert.Reset();
                    ++rows;
                }
            }
    conn.Exec("COMMIT");
    std::printf("%ld score rows (%d callers, %d years, %d %% of days) built in %.1f s\n", rows,
                ASize.Callers, ASize.Years, ASize.PlayPercent,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return rows;
}

} // namespace glimra_bench
