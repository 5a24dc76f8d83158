// gen_scores: fills a game database for the speed benchmarks with years of play: every caller
// plays every day, each date has its word, and the schema and word lists are the real ones.
//   gen_scores [-o FILE] [--callers N] [--years N] [--end YYYY-MM-DD] [--four-tables]
// The default is 1,000 callers over the 10 years that end yesterday (about 3.6 million rows).
// --four-tables leaves out every index and the totals, as in a file of an earlier version.
#include "bench/bench_common.h"
#include "game/store/sqlite/sqlitestore.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using glimra_bench::ReadFile;
using namespace std::chrono;

std::vector<std::string> ReadWords(const std::string& APath) {
    std::istringstream in(ReadFile(APath));
    std::vector<std::string> words;
    for (std::string line; std::getline(in, line);)
        if (line.size() == 5) words.push_back(line);
    return words;
}

std::string Key(year_month_day ADate) {
    char text[16];
    std::snprintf(text, sizeof text, "%d-%02u-%02u", static_cast<int>(ADate.year()),
                  static_cast<unsigned>(ADate.month()), static_cast<unsigned>(ADate.day()));
    return text;
}

// Points of a finished game: mostly wins on guesses three to five, some losses.
std::int64_t DrawScore(std::mt19937& ARandom) {
    static const std::int64_t points[] = {320, 160, 80, 40, 20, 10, 0};
    static std::discrete_distribution<int> pick({2, 12, 28, 26, 14, 6, 12});
    return points[pick(ARandom)];
}

struct TOptions {
    std::string Output = "bench-glimradb.db";
    int Callers = 1000;
    int Years = 10;
    year_month_day End = year_month_day{floor<days>(system_clock::now()) - days{1}};
    bool FourTables = false;
};

bool ParseDate(const std::string& AText, year_month_day& ADate) {
    int y = 0;
    unsigned m = 0, d = 0;
    if (std::sscanf(AText.c_str(), "%d-%u-%u", &y, &m, &d) != 3) return false;
    ADate = year{y} / month{m} / day{d};
    return ADate.ok();
}

bool ParseOptions(int argc, char** argv, TOptions& AOptions) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--four-tables") {
            AOptions.FourTables = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const std::string value = argv[++i];
        if (arg == "-o") {
            AOptions.Output = value;
        } else if (arg == "--callers") {
            AOptions.Callers = std::atoi(value.c_str());
        } else if (arg == "--years") {
            AOptions.Years = std::atoi(value.c_str());
        } else if (arg == "--end") {
            if (!ParseDate(value, AOptions.End)) return false;
        } else {
            return false;
        }
    }
    return AOptions.Callers > 0 && AOptions.Years > 0;
}

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (!ParseOptions(argc, argv, options)) {
        std::cerr << "usage: gen_scores [-o FILE] [--callers N] [--years N] [--end YYYY-MM-DD] "
                     "[--four-tables]\n";
        return 2;
    }
    try {
        const std::string source = GLIMRA_SOURCE_DIR;
        std::filesystem::remove(options.Output);
        SqlConnection conn(options.Output, SqlConnection::TOpenMode::Create);
        conn.Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-262144;");
        conn.Exec("BEGIN");
        const std::string schema = ReadFile(source + "/data/schema.sql");
        conn.Exec(schema);
        // Totals are summed once at the end rather than row by row; the schema then puts the
        // triggers back.
        for (const char* trigger : {"trgScoresInsert", "trgScoresDelete", "trgScoresUpdate"})
            conn.Exec(std::string("DROP TRIGGER ") + trigger);
        const auto answers = ReadWords(source + "/data/words/answers.txt");
        const auto allowed = ReadWords(source + "/data/words/allowed.txt");
        {
            SqlStatement answer(conn, "INSERT INTO tblWords (strWord) VALUES (?)");
            for (const auto& w : answers) answer.Bind(1, w).Execute(), answer.Reset();
            SqlStatement guess(conn, "INSERT INTO tblAllWords (strWord) VALUES (?)");
            for (const auto* list : {&answers, &allowed})
                for (const auto& w : *list) guess.Bind(1, w).Execute(), guess.Reset();
        }

        std::vector<std::string> callers;
        for (int c = 1; c <= options.Callers; ++c) {
            char name[32];
            std::snprintf(name, sizeof name, "Caller %04d", c);
            callers.push_back(name);
        }
        std::mt19937 random(20241002);
        const sys_days last{options.End};
        const sys_days first = last - days{365 * options.Years + options.Years / 4};
        SqlStatement word(conn, "INSERT INTO tblWordsByDate (dtDate, strWord) VALUES (?, ?)");
        SqlStatement score(
            conn, "INSERT INTO tblScores (strUserName, dtDate, intScore) VALUES (?, ?, ?)");
        long long rows = 0;
        for (sys_days d = first + days{1}; d <= last; d += days{1}) {
            const std::string key = Key(year_month_day{d});
            word.Bind(1, key).Bind(2, answers[random() % answers.size()]).Execute();
            word.Reset();
            for (const auto& caller : callers) {
                score.Bind(1, caller).Bind(2, key).Bind(3, DrawScore(random)).Execute();
                score.Reset();
                ++rows;
            }
        }
        if (options.FourTables) {
            std::vector<std::string> drops;
            SqlStatement extra(conn, "SELECT type, name FROM sqlite_master WHERE name NOT LIKE "
                                     "'sqlite_%' AND (type = 'index' OR name IN "
                                     "('tblTotals', 'tblMonthTotals'))");
            while (extra.Step())
                drops.push_back("DROP " + extra.ColumnText(0) + " IF EXISTS " +
                                extra.ColumnText(1));
            extra.Reset();
            for (const auto& drop : drops) conn.Exec(drop);
        } else {
            RebuildScoreTotals(conn);
            conn.Exec(schema);
        }
        conn.Exec("COMMIT");
        // An earlier version's file never held the indexes: no free pages where they were.
        if (options.FourTables) conn.Exec("VACUUM");
        std::cout << options.Output << ": " << rows << " score rows, " << callers.size()
                  << " callers, up to " << Key(options.End) << "\n";
    } catch (const std::exception& error) {
        std::cerr << "gen_scores: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
