// makedb's SQLite side: the game file built beside its target and renamed into place, added to
// with --add, and the door directory of --setup.
#include "data/makedb/makedb.h"
#include "game/app/config.h"
#include "game/store/sqlite/sqlitestore.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;

namespace {

// The art files a door directory holds.
const char* const ART_FILES[] = {"header.ans", "del_glimra.ans", "menu.ans", "box.ans"};
// The configuration a new door directory gets: update check off, 300 seconds idle limit, no
// winner text; the door's own defaults, written out for the sysop to edit.
const char* const DEFAULT_CONFIG = "0\n300\n\n";

struct TCounts {
    int Answers = 0;
    int Guesses = 0;
    std::string Skipped; // score rows of an older file left out of the totals, "" for none
};

// Adds the words each table lacks. Every answer also goes into tblAllWords, whose lookup
// ignores case, so a guess of an answer is accepted however the caller types it.
TCounts InsertWords(SqlConnection& AConn, const std::vector<std::string>& AAnswers,
                    const std::vector<std::string>& AAllowed) {
    TCounts counts;
    SqlStatement answer(AConn, "INSERT INTO tblWords (strWord) SELECT ?1 WHERE NOT EXISTS "
                               "(SELECT 1 FROM tblWords WHERE strWord = ?1)");
    SqlStatement guess(AConn, "INSERT INTO tblAllWords (strWord) SELECT ?1 WHERE NOT EXISTS "
                              "(SELECT 1 FROM tblAllWords WHERE strWord = ?1 COLLATE NOCASE)");
    for (const auto& word : AAnswers) {
        answer.Bind(1, word).Execute();
        counts.Answers += AConn.Changes();
        answer.Reset();
    }
    for (const auto* list : {&AAnswers, &AAllowed})
        for (const auto& word : *list) {
            guess.Bind(1, word).Execute();
            counts.Guesses += AConn.Changes();
            guess.Reset();
        }
    return counts;
}

// Number of score rows in an existing file; -1 when it cannot be read as a game database.
long long CountScores(const std::string& APath) {
    try {
        SqlConnection conn(APath);
        if (!conn.HasTable("tblScores")) return 0;
        SqlStatement query(conn, "SELECT COUNT(*) FROM tblScores");
        return query.Step() ? query.ColumnInt(0) : 0;
    } catch (const GameDatabaseError&) {
        return -1;
    }
}

void RemoveQuietly(const fs::path& APath) {
    std::error_code ec;
    fs::remove(APath, ec);
}

// Builds a complete database beside the target and renames it into place, so a failure never
// leaves a half-built file under the game's name.
TCounts Build(const TOptions& AOptions, const std::string& ASchema,
              const std::vector<std::string>& AAnswers, const std::vector<std::string>& AAllowed) {
    const fs::path target = AOptions.Output;
    const fs::path temp = AOptions.Output + ".makedb-tmp";
    RemoveQuietly(temp);
    RemoveQuietly(temp.string() + "-journal");
    TCounts counts;
    try {
        SqlConnection conn(temp.string(), SqlConnection::TOpenMode::Create);
        SqlTransaction trans(conn);
        conn.Exec(ASchema);
        counts = InsertWords(conn, AAnswers, AAllowed);
        RebuildScoreTotals(conn);
        trans.Commit();
    } catch (...) {
        RemoveQuietly(temp);
        throw;
    }
    // A journal left by the replaced file would be played back into the new one.
    for (const char* suffix : {"-journal", "-wal", "-shm"}) RemoveQuietly(target.string() + suffix);
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) {
        RemoveQuietly(temp);
        throw TFailure{"cannot move the new database into place as " + target.string() + ": " +
                       ec.message()};
    }
    return counts;
}

// Adds missing tables, indexes and words to an existing database; nothing is removed.
TCounts AddTo(const TOptions& AOptions, const std::string& ASchema,
              const std::vector<std::string>& AAnswers, const std::vector<std::string>& AAllowed) {
    SqlConnection conn(AOptions.Output);
    SqlTransaction trans(conn);
    conn.Exec(ASchema);
    TCounts counts = InsertWords(conn, AAnswers, AAllowed);
    // A file from before the totals, or one whose scores were edited by hand, gets them afresh.
    counts.Skipped = RebuildScoreTotals(conn);
    trans.Commit();
    return counts;
}

// One line of what --setup did to a file of the door directory.
void Say(const fs::path& AFile, const std::string& AWhat) {
    std::cout << Me << ": " << AFile.string() << ": " << AWhat << "\n";
}

constexpr const char* GAME_TABLES[] = {"tblWords", "tblAllWords", "tblWordsByDate", "tblScores"};

// What --setup does with a database already in the door directory, said in one line. A file the
// door can play on is kept as it is. A file with some of the game tables, or with no tables at
// all (a build or a copy cut short), lacks what the door refuses to start without: it is
// completed as --add does, its scores kept. Anything else is refused, untouched.
std::string KeepOrComplete(const TOptions& AOptions, const std::string& ASchema,
                           const std::vector<std::string>& AAnswers,
                           const std::vector<std::string>& AAllowed) {
    const std::string& file = AOptions.Output;
    std::string lacks;
    long long scores = 0;
    bool tables = false;
    try {
        SqlConnection conn(file);
        int have = 0;
        for (const char* table : GAME_TABLES) {
            if (conn.HasTable(table)) {
                ++have;
            } else {
                lacks += std::string(lacks.empty() ? "" : ", ") + table;
            }
        }
        tables = SqlStatement(conn, "SELECT 1 FROM sqlite_master WHERE type = 'table'").Step();
        if (have == 0 && tables)
            throw TFailure{file + " holds no game tables; not touching it (move it away, and " +
                           Me + " --setup builds a new one)"};
        if (conn.HasTable("tblScores")) {
            SqlStatement query(conn, "SELECT COUNT(*) FROM tblScores");
            scores = query.Step() ? query.ColumnInt(0) : 0;
        }
        if (lacks.empty() && !SqlStatement(conn, "SELECT 1 FROM tblWords").Step())
            lacks = "answer words";
        if (lacks.empty()) {
            std::string what =
                "kept, it holds " + std::to_string(scores) + (scores == 1 ? " score" : " scores");
            if (!MissingSchemaObjects(conn).empty())
                what +=
                    "; the door adds this version's indexes and score totals at its first start";
            return what;
        }
    } catch (const GameDatabaseError& error) {
        const std::string why = error.what();
        throw TFailure{file + " is not a readable game database; not touching it (" + why + ")"};
    }
    const TCounts counts = AddTo(AOptions, ASchema, AAnswers, AAllowed);
    return "completed, it lacked " + (tables ? lacks : std::string("every table")) + ": added " +
           std::to_string(counts.Answers) + " answer words and " + std::to_string(counts.Guesses) +
           " accepted guesses, kept its " + std::to_string(scores) +
           (scores == 1 ? " score" : " scores") +
           (counts.Skipped.empty() ? "" : "; " + counts.Skipped);
}

} // namespace

// --setup: the art, the configuration and the database in the door directory. A file that is
// there already stays as it is, whatever it holds.
int SetUpDoor(const TOptions& AOptions, const fs::path& AArtDir, const std::string& ASchema,
              const std::vector<std::string>& AAnswers, const std::vector<std::string>& AAllowed) {
    const fs::path dir = AOptions.SetupDir;
    std::error_code ec;
    for (const char* art : ART_FILES)
        if (!fs::is_regular_file(AArtDir / art, ec))
            throw TFailure{"cannot read " + (AArtDir / art).string() +
                           " (run this in the Glimra source directory, or install Glimra)"};
    fs::create_directories(dir, ec);
    if (ec) throw TFailure{"cannot make the directory " + dir.string() + ": " + ec.message()};

    for (const char* art : ART_FILES) {
        const fs::path to = dir / art;
        // Without overwrite options copy_file fails on a file that is there, even one made
        // since the look.
        if (fs::copy_file(AArtDir / art, to, ec)) {
            Say(to, "copied");
        } else if (ec == std::errc::file_exists) {
            Say(to, "kept");
        } else {
            throw TFailure{"cannot copy " + (AArtDir / art).string() + " to " + to.string() + ": " +
                           ec.message()};
        }
    }

    const fs::path config = dir / CONFIG_FILE_NAME;
    // "x": the file is made only when it is not there.
    if (std::FILE* file = std::fopen(config.string().c_str(), "wx")) {
        const bool written = std::fputs(DEFAULT_CONFIG, file) >= 0;
        if (std::fclose(file) != 0 || !written) throw TFailure{"cannot write " + config.string()};
        Say(config, "written with the defaults (update check off, 300 seconds idle limit)");
    } else if (errno == EEXIST) {
        Say(config, "kept");
    } else {
        throw TFailure{"cannot write " + config.string() + ": " + std::strerror(errno)};
    }

    TOptions build = AOptions;
    build.Output = (dir / "glimradb.db").string();
    if (fs::exists(build.Output, ec)) {
        Say(build.Output, KeepOrComplete(build, ASchema, AAnswers, AAllowed));
    } else {
        const TCounts counts = Build(build, ASchema, AAnswers, AAllowed);
        Say(build.Output, "built with " + std::to_string(counts.Answers) + " answer words and " +
                              std::to_string(counts.Guesses) + " accepted guesses");
    }
    std::cout << Me << ": the door directory " << fs::absolute(dir, ec).string()
              << " is ready: the BBS starts bbsglimra with it as the current directory\n";
    return EXIT_OK;
}

int RunFile(const TOptions& AOptions, const std::string& ASchema,
            const std::vector<std::string>& AAnswers, const std::vector<std::string>& AAllowed) {
    std::error_code ec;
    const bool exists = fs::exists(AOptions.Output, ec);
    TCounts counts;
    if (exists && AOptions.Add) {
        counts = AddTo(AOptions, ASchema, AAnswers, AAllowed);
        std::cout << Me << ": added " << counts.Answers << " answer words and " << counts.Guesses
                  << " accepted guesses to " << AOptions.Output
                  << "; its scores and the words of its dates are kept\n";
        if (!counts.Skipped.empty()) std::cout << Me << ": " << counts.Skipped << "\n";
        return EXIT_OK;
    }
    if (exists && !AOptions.Force) {
        long long scores = CountScores(AOptions.Output);
        if (scores < 0)
            throw TFailure{AOptions.Output +
                           " exists and is not a readable game database; not replacing it "
                           "(use --force to replace it)"};
        if (scores > 0)
            throw TFailure{AOptions.Output + " holds " + std::to_string(scores) +
                           (scores == 1 ? " score" : " scores") +
                           "; not replacing it (use --add to add new words and keep "
                           "everything, or --force to replace it and lose the scores)"};
    }
    counts = Build(AOptions, ASchema, AAnswers, AAllowed);
    std::cout << Me << ": " << (exists ? "replaced " : "built ") << AOptions.Output << " with "
              << counts.Answers << " answer words and " << counts.Guesses << " accepted guesses\n";
    return EXIT_OK;
}
