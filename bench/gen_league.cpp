// gen_league: fills a league database on PostgreSQL for the speed benchmarks, as gen_scores does
// a board's file: the league schema and the real word lists, a word for every date, and every
// player of every board playing every day.
//   gen_league ADMIN_CONNINFO [--boards N] [--players N] [--years N]
// ADMIN_CONNINFO names an empty database and a role that may create roles. The default is 40
// boards of 25 players over the 10 years that end yesterday (about 3.65 million rows). Board
// B01's role is bench_b01 with the password "bench"; the last line printed is its connection
// string, for `scale --league`.
#include "bench/bench_common.h"
#include "game/store/host.h"
#include "game/store/postgres/pgconn.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

using glimra_bench::ReadFile;
using namespace std::chrono;

// The five-letter lines of a word list, one comma-separated text.
std::string WordList(const std::string& APath) {
    std::istringstream in(ReadFile(APath));
    std::string list;
    for (std::string line; std::getline(in, line);)
        if (line.size() == 5) list += (list.empty() ? "" : ",") + line;
    return list;
}

void Step(TPgConnection& AConn, const char* AWhat, const std::string& ASql) {
    const auto start = steady_clock::now();
    AConn.RunPlain(AWhat, ASql.c_str());
    std::printf("%-28s %7.1f s\n", AWhat, duration<double>(steady_clock::now() - start).count());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: gen_league ADMIN_CONNINFO [--boards N] [--players N] [--years N]\n";
        return 2;
    }
    int boards = 40, players = 25, years = 10;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        const int value = std::atoi(argv[i + 1]);
        (arg == "--boards" ? boards : arg == "--players" ? players : years) = value;
    }
    try {
        const std::string source = GLIMRA_SOURCE_DIR;
        TPgConnection::StatementLimitMs = 3600 * 1000;
        StoreHost().MayKeepWaiting = [] { return true; }; // no caller to wait for
        TPgConnection conn(argv[1]);
        Step(conn, "schema", ReadFile(source + "/data/league.sql"));
        const std::string n = std::to_string(boards);
        Step(conn, "boards and roles",
             "DO $$ BEGIN FOR i IN 1.." + n +
                 " LOOP IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = "
                 "format('bench_b%s', to_char(i, 'FM00'))) THEN EXECUTE "
                 "format('CREATE ROLE bench_b%s LOGIN PASSWORD %L IN ROLE glimra_board', "
                 "to_char(i, 'FM00'), 'bench'); END IF; END LOOP; END $$;"
                 "INSERT INTO tblBoards SELECT 'B' || to_char(i, 'FM00'), "
                 "'bench_b' || to_char(i, 'FM00') FROM generate_series(1, " +
                 n + ") i ON CONFLICT DO NOTHING");
        conn.Run({"answers", "INSERT INTO tblWords SELECT unnest(string_to_array($1::text, ',')) "
                             "ON CONFLICT DO NOTHING"},
                 {WordList(source + "/data/words/answers.txt")});
        conn.Run({"allowed", "INSERT INTO tblAllWords SELECT unnest(string_to_array($1::text, "
                             "',')) ON CONFLICT DO NOTHING"},
                 {WordList(source + "/data/words/allowed.txt")});
        const std::string first = "current_date - interval '" + std::to_string(years) + " years'",
                          last = "current_date - 1";
        Step(conn, "words of the dates",
             "INSERT INTO tblWordsByDate SELECT d::date, (SELECT strWord FROM tblWords "
             "ORDER BY strWord OFFSET floor(random() * (SELECT count(*) FROM tblWords))::bigint "
             "+ 0 * extract(day FROM d)::bigint LIMIT 1) FROM generate_series(" +
                 first + ", " + last + ", interval '1 day') d ON CONFLICT DO NOTHING");
        // Scores drawn as gen_scores draws them (mostly wins on guesses three to five); the
        // totals are summed once at the end instead of row by row.
        Step(conn, "scores",
             "ALTER TABLE tblScores DISABLE TRIGGER trgScoresTotals;"
             "INSERT INTO tblScores SELECT b.strBoard, 'Caller' || c, d::date, "
             "(ARRAY[320, 160, 80, 40, 20, 10, 0])[1 + width_bucket(random(), "
             "ARRAY[0.02, 0.14, 0.42, 0.68, 0.82, 0.88])] FROM tblBoards b, "
             "generate_series(1, " +
                 std::to_string(players) + ") c, generate_series(" + first + ", " + last +
                 ", interval '1 day') d ON CONFLICT DO NOTHING");
        Step(conn, "totals",
             "TRUNCATE tblTotals, tblMonthTotals;"
             "INSERT INTO tblTotals SELECT strBoard, strUserName, sum(intScore) FROM tblScores "
             "GROUP BY 1, 2;"
             "INSERT INTO tblMonthTotals SELECT to_char(dtDate, 'YYYY-MM'), strBoard, "
             "strUserName, sum(intScore), count(*) FROM tblScores GROUP BY 1, 2, 3;"
             "ALTER TABLE tblScores ENABLE TRIGGER trgScoresTotals");
        Step(conn, "vacuum analyze", "VACUUM ANALYZE");
        std::printf("%s score rows\n",
                    conn.RunPlain("count", "SELECT count(*) FROM tblScores").Text(0, 0).c_str());
        // Board B01's string: the admin's, with the board's role and password after it.
        std::printf("%s user=bench_b01 password=bench\n", argv[1]);
    } catch (const std::exception& error) {
        std::cerr << "gen_league: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
