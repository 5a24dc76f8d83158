// makedb: builds the game database glimradb.db from data/schema.sql and the word lists, or adds
// new words to an existing one. Exit code 0 on success, 1 on failure or refusal, 2 on bad usage.
#include "game/sqldb.h"
#include "game/totals.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

const char* const USAGE =
    "Usage: makedb [options]\n"
    "Builds the Glimra game database from the schema and the word lists.\n"
    "Run it in the Glimra source directory, or name the input files.\n"
    "\n"
    "  -o, --output FILE  database to write (default: glimradb.db)\n"
    "  --schema FILE      schema script (default: data/schema.sql)\n"
    "  --answers FILE     answer words, one a line (default: data/words/answers.txt)\n"
    "  --allowed FILE     words accepted as guesses, one a line\n"
    "                     (default: data/words/allowed.txt)\n"
    "  --add              add the lists' new words to an existing database, keeping\n"
    "                     its scores and the words of its dates; adds missing tables\n"
    "                     and computes the score totals afresh from the scores\n"
    "  --force            replace an existing database even if it holds scores\n"
    "  -h, --help         show this text\n"
    "\n"
    "Without --add or --force, makedb will not replace a database that holds scores.\n";

struct TOptions {
    std::string Output = "glimradb.db";
    std::string Schema = "data/schema.sql";
    std::string Answers = "data/words/answers.txt";
    std::string Allowed = "data/words/allowed.txt";
    bool Add = false;
    bool Force = false;
};

// A failure to report: the message, then exit code 1.
struct TFailure {
    std::string Message;
};

std::string ReadFile(const std::string& APath) {
    std::ifstream in(APath, std::ios::binary);
    if (!in)
        throw TFailure{"cannot read " + APath +
                       " (run makedb in the Glimra source directory, or name the file)"};
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
    RebuildScoreTotals(conn);
    trans.Commit();
    return counts;
}

// Returns the exit code; fills AOptions from the arguments.
int ParseArguments(int argc, char** argv, TOptions& AOptions) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& AField) {
            if (i + 1 >= argc) {
                std::cerr << "makedb: " << arg << " needs a file name\n" << USAGE;
                return false;
            }
            AField = argv[++i];
            return true;
        };
        if (arg == "-h" || arg == "--help") {
            std::cout << USAGE;
            return -1;
        } else if (arg == "--add") {
            AOptions.Add = true;
        } else if (arg == "--force") {
            AOptions.Force = true;
        } else if (arg == "-o" || arg == "--output") {
            if (!value(AOptions.Output)) return EXIT_USAGE;
        } else if (arg == "--schema") {
            if (!value(AOptions.Schema)) return EXIT_USAGE;
        } else if (arg == "--answers") {
            if (!value(AOptions.Answers)) return EXIT_USAGE;
        } else if (arg == "--allowed") {
            if (!value(AOptions.Allowed)) return EXIT_USAGE;
        } else {
            std::cerr << "makedb: unknown option " << arg << "\n" << USAGE;
            return EXIT_USAGE;
        }
    }
    if (AOptions.Add && AOptions.Force) {
        std::cerr << "makedb: --add and --force exclude each other\n" << USAGE;
        return EXIT_USAGE;
    }
    if (AOptions.Output.empty()) {
        std::cerr << "makedb: the output file name is empty\n" << USAGE;
        return EXIT_USAGE;
    }
    return EXIT_OK;
}

int Run(const TOptions& AOptions) {
    const std::string schema = ReadFile(AOptions.Schema);
    const auto answers = ReadWords(AOptions.Answers);
    const auto allowed = ReadWords(AOptions.Allowed);
    if (answers.empty()) throw TFailure{AOptions.Answers + " holds no answer words"};

    std::error_code ec;
    const bool exists = fs::exists(AOptions.Output, ec);
    TCounts counts;
    if (exists && AOptions.Add) {
        counts = AddTo(AOptions, schema, answers, allowed);
        std::cout << "makedb: added " << counts.Answers << " answer words and " << counts.Guesses
                  << " accepted guesses to " << AOptions.Output
                  << "; its scores and the words of its dates are kept\n";
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
    std::cout << "makedb: " << (exists ? "replaced " : "built ") << AOptions.Output << " with "
              << counts.Answers << " answer words and " << counts.Guesses << " accepted guesses\n";
    return EXIT_OK;
}

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    int rc = ParseArguments(argc, argv, options);
    if (rc < 0) return EXIT_OK;
    if (rc != EXIT_OK) return rc;
    try {
        return Run(options);
    } catch (const TFailure& failure) {
        std::cerr << "makedb: " << failure.Message << "\n";
    } catch (const GameDatabaseError& error) {
        std::cerr << "makedb: " << error.what() << "\n";
    } catch (const std::exception& error) {
        std::cerr << "makedb: " << error.what() << "\n";
    }
    return EXIT_FAILED;
}
