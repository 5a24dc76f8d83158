// makedb (installed as glimra-makedb): builds the game database glimradb.db from the schema and
// the word lists, adds new words to an existing one, or sets up a whole door directory. Exit
// code 0 on success, 1 on failure or refusal, 2 on bad usage.
#include "game/app/config.h"
#include "game/store/sqlite/sqlitestore.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

// The installed data directory relative to the directory of the installed program.
#ifndef GLIMRA_DATA_FROM_BIN
#define GLIMRA_DATA_FROM_BIN "../share/glimra"
#endif

namespace {

namespace fs = std::filesystem;

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

// The name this program was started by ("makedb" in the build tree, "glimra-makedb" installed).
std::string Me = "makedb";

// The art files a door directory holds.
const char* const ART_FILES[] = {"header.ans", "del_glimra.ans", "menu.ans", "box.ans"};
// The configuration a new door directory gets: update check off, 300 seconds idle limit, no
// winner text; the door's own defaults, written out for the sysop to edit.
const char* const DEFAULT_CONFIG = "0\n300\n\n";

std::string Usage() {
    return "Usage: " + Me +
           " [options]\n"
           "Builds the Glimra game database from the schema and the word lists, or sets up\n"
           "a door directory. The schema, lists and art are read from data/ in the current\n"
           "directory when it has data/schema.sql, else from the installation's data\n"
           "directory (share/glimra beside the bin/ this program is in).\n"
           "\n"
           "  --setup DIR        set up the door directory DIR (made if missing): the\n"
           "                     database glimradb.db, the four art files and a\n"
           "                     bbsglimra.cfg with the defaults; files already there are\n"
           "                     kept, but a database that lacks game tables or answer\n"
           "                     words is completed as --add does\n"
           "  -o, --output FILE  database to write (default: glimradb.db)\n"
           "  --schema FILE      schema script (default: DATA/schema.sql)\n"
           "  --answers FILE     answer words, one a line (default: DATA/words/answers.txt)\n"
           "  --allowed FILE     words accepted as guesses, one a line\n"
           "                     (default: DATA/words/allowed.txt)\n"
           "  --add              add the lists' new words to an existing database, keeping\n"
           "                     its scores and the words of its dates; adds missing tables\n"
           "                     and computes the score totals afresh from the scores\n"
           "  --force            replace an existing database even if it holds scores\n"
           "  -h, --help         show this text\n"
           "\n"
           "Without --add or --force, " +
           Me + " will not replace a database that holds scores.\n";
}

struct TOptions {
    std::string Output = "glimradb.db";
    std::string Schema; // empty: from the data directory
    std::string Answers;
    std::string Allowed;
    std::string SetupDir; // empty: no --setup
    bool Add = false;
    bool Force = false;
    bool OutputNamed = false;
};

// A failure to report: the message, then exit code 1.
struct TFailure {
    std::string Message;
};

std::string ReadFile(const std::string& APath) {
    std::ifstream in(APath, std::ios::binary);
    if (!in)
        throw TFailure{"cannot read " + APath +
                       " (run this in the Glimra source directory, install Glimra, or name the "
                       "file)"};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool IsWord(const std::string& AText) {
    if (AText.size() != 5) return false;
    for (char c : AText)
        if (c < 'a' || c > 'z') return false;
    return true;
}

// One five-letter word a line, lowercased; blank lines and lines starting with # are skipped.
// Anything else is an error naming the file and line: a bad list must not half-fill a database.
std::vector<std::string> ReadWords(const std::string& APath) {
    std::istringstream in(ReadFile(APath));
    std::vector<std::string> words;
    std::set<std::string> seen;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') continue;
        auto last = line.find_last_not_of(" \t\r");
        std::string word = line.substr(first, last - first + 1);
        for (char& c : word)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (!IsWord(word))
            throw TFailure{APath + ":" + std::to_string(number) + ": \"" + word +
                           "\" is not a five-letter word"};
        if (seen.insert(word).second) words.push_back(word);
    }
    return words;
}

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

// Returns the exit code; fills AOptions from the arguments.
int ParseArguments(int argc, char** argv, TOptions& AOptions) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& AField) {
            if (i + 1 >= argc) {
                std::cerr << Me << ": " << arg << " needs a file name\n" << Usage();
                return false;
            }
            AField = argv[++i];
            return true;
        };
        if (arg == "-h" || arg == "--help") {
            std::cout << Usage();
            return -1;
        } else if (arg == "--add") {
            AOptions.Add = true;
        } else if (arg == "--force") {
            AOptions.Force = true;
        } else if (arg == "--setup") {
            if (!value(AOptions.SetupDir)) return EXIT_USAGE;
        } else if (arg == "-o" || arg == "--output") {
            if (!value(AOptions.Output)) return EXIT_USAGE;
            AOptions.OutputNamed = true;
        } else if (arg == "--schema") {
            if (!value(AOptions.Schema)) return EXIT_USAGE;
        } else if (arg == "--answers") {
            if (!value(AOptions.Answers)) return EXIT_USAGE;
        } else if (arg == "--allowed") {
            if (!value(AOptions.Allowed)) return EXIT_USAGE;
        } else {
            std::cerr << Me << ": unknown option " << arg << "\n" << Usage();
            return EXIT_USAGE;
        }
    }
    if (AOptions.Add && AOptions.Force) {
        std::cerr << Me << ": --add and --force exclude each other\n" << Usage();
        return EXIT_USAGE;
    }
    if (!AOptions.SetupDir.empty() && (AOptions.Add || AOptions.Force || AOptions.OutputNamed)) {
        std::cerr << Me << ": --setup keeps what is there and names its own database; it takes "
                  << "no --add, --force or --output\n"
                  << Usage();
        return EXIT_USAGE;
    }
    if (AOptions.Output.empty()) {
        std::cerr << Me << ": the output file name is empty\n" << Usage();
        return EXIT_USAGE;
    }
    return EXIT_OK;
}

// The installation's data directory, from this program's own file: PREFIX/bin/glimra-makedb
// reads PREFIX/share/glimra (the path between them is fixed when building). Empty when the
// program's file cannot be found.
fs::path InstalledDataDir(const char* AArgv0) {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) {
        // Without /proc: the name it was started by, when that names a directory.
        if (std::string(AArgv0).find('/') == std::string::npos) return {};
        self = fs::absolute(AArgv0, ec);
    }
    return (self.parent_path() / GLIMRA_DATA_FROM_BIN).lexically_normal();
}

// data/ of the current directory (the source tree) when it has the schema, else the
// installation's data directory.
fs::path DataDir(const char* AArgv0) {
    std::error_code ec;
    if (fs::exists("data/schema.sql", ec)) return "data";
    return InstalledDataDir(AArgv0);
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

int Run(TOptions AOptions, const char* AArgv0) {
    const fs::path data = DataDir(AArgv0);
    if (AOptions.Schema.empty()) AOptions.Schema = (data / "schema.sql").string();
    if (AOptions.Answers.empty()) AOptions.Answers = (data / "words/answers.txt").string();
    if (AOptions.Allowed.empty()) AOptions.Allowed = (data / "words/allowed.txt").string();
    const std::string schema = ReadFile(AOptions.Schema);
    const auto answers = ReadWords(AOptions.Answers);
    const auto allowed = ReadWords(AOptions.Allowed);
    if (answers.empty()) throw TFailure{AOptions.Answers + " holds no answer words"};
    if (!AOptions.SetupDir.empty())
        return SetUpDoor(AOptions, data / "art", schema, answers, allowed);

    std::error_code ec;
    const bool exists = fs::exists(AOptions.Output, ec);
    TCounts counts;
    if (exists && AOptions.Add) {
        counts = AddTo(AOptions, schema, answers, allowed);
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
    counts = Build(AOptions, schema, answers, allowed);
    std::cout << Me << ": " << (exists ? "replaced " : "built ") << AOptions.Output << " with "
              << counts.Answers << " answer words and " << counts.Guesses << " accepted guesses\n";
    return EXIT_OK;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 0 && *argv[0]) Me = fs::path(argv[0]).filename().string();
    TOptions options;
    int rc = ParseArguments(argc, argv, options);
    if (rc < 0) return EXIT_OK;
    if (rc != EXIT_OK) return rc;
    try {
        return Run(options, argc > 0 ? argv[0] : "");
    } catch (const TFailure& failure) {
        std::cerr << Me << ": " << failure.Message << "\n";
    } catch (const GameDatabaseError& error) {
        std::cerr << Me << ": " << error.what() << "\n";
    } catch (const std::exception& error) {
        std::cerr << Me << ": " << error.what() << "\n";
    }
    return EXIT_FAILED;
}
