// makedb (installed as glimra-makedb): builds the game database glimradb.db from the schema and
// the word lists, adds new words to an existing one, or sets up a whole door directory; with
// --league, builds a league's PostgreSQL database and adds or removes its boards. Exit code 0 on
// success, 1 on failure or refusal, 2 on bad usage.
#include "data/makedb/makedb.h"
#include "game/store/storeerror.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

// The installed data directory relative to the directory of the installed program.
#ifndef GLIMRA_DATA_FROM_BIN
#define GLIMRA_DATA_FROM_BIN "../share/glimra"
#endif

std::string Me = "makedb";

namespace {

namespace fs = std::filesystem;

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
           "  --schema FILE      schema script (default: DATA/schema.sql, with --league\n"
           "                     DATA/league.sql)\n"
           "  --answers FILE     answer words, one a line (default: DATA/words/answers.txt)\n"
           "  --allowed FILE     words accepted as guesses, one a line\n"
           "                     (default: DATA/words/allowed.txt)\n"
           "  --add              add the lists' new words to an existing database, keeping\n"
           "                     its scores and the words of its dates; adds missing tables\n"
           "                     and computes the score totals afresh from the scores\n"
           "  --force            replace an existing database even if it holds scores\n"
           "  --league CONNINFO  work on a league's PostgreSQL database instead of a file,\n"
           "                     connecting as its administrator (a libpq connection string)\n"
           "  --add-board TAG    with --league: give board TAG (1 to 8 of A-Z and 0-9) its\n"
           "                     login role, or a new password for it; the last line printed\n"
           "                     is the connection string for line 4 of its bbsglimra.cfg\n"
           "  --password PW      with --add-board: this password instead of a generated one\n"
           "  --remove-board TAG with --league: take the board's login away; its scores stay\n"
           "  -h, --help         show this text\n"
           "\n"
           "Without --add or --force, " +
           Me + " will not replace a database that holds scores.\n";
}

const char* const kTagLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

int UsageError(const std::string& AWhy) {
    std::cerr << Me << ": " << AWhy << "\n" << Usage();
    return EXIT_USAGE;
}

// The options that do not go together; EXIT_OK when these do.
int CheckCombination(const TOptions& AOptions) {
    const bool board = !AOptions.AddBoard.empty() || !AOptions.RemoveBoard.empty();
    if (AOptions.Add && AOptions.Force) return UsageError("--add and --force exclude each other");
    if (!AOptions.SetupDir.empty() && (AOptions.Add || AOptions.Force || AOptions.OutputNamed))
        return UsageError("--setup keeps what is there and names its own database; it takes no "
                          "--add, --force or --output");
    if (AOptions.Output.empty()) return UsageError("the output file name is empty");
    if (board && AOptions.League.empty())
        return UsageError("--add-board and --remove-board need --league");
    if (!AOptions.League.empty() && (!AOptions.SetupDir.empty() || AOptions.OutputNamed))
        return UsageError("--league takes no --setup or --output");
    if (!AOptions.AddBoard.empty() && !AOptions.RemoveBoard.empty())
        return UsageError("--add-board and --remove-board exclude each other");
    if (board && (AOptions.Add || AOptions.Force))
        return UsageError("--add-board and --remove-board take no --add or --force");
    if (AOptions.PasswordGiven && AOptions.AddBoard.empty())
        return UsageError("--password goes with --add-board");
    if (AOptions.PasswordGiven && AOptions.Password.empty())
        return UsageError("the password is empty");
    return EXIT_OK;
}

// Returns the exit code (-1 after --help); fills AOptions from the arguments.
int ParseArguments(int argc, char** argv, TOptions& AOptions) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string* field = nullptr;
        if (arg == "-h" || arg == "--help") {
            std::cout << Usage();
            return -1;
        } else if (arg == "--add") {
            AOptions.Add = true;
        } else if (arg == "--force") {
            AOptions.Force = true;
        } else if (arg == "--setup") {
            field = &AOptions.SetupDir;
        } else if (arg == "-o" || arg == "--output") {
            field = &AOptions.Output;
            AOptions.OutputNamed = true;
        } else if (arg == "--schema") {
            field = &AOptions.Schema;
        } else if (arg == "--answers") {
            field = &AOptions.Answers;
        } else if (arg == "--allowed") {
            field = &AOptions.Allowed;
        } else if (arg == "--league") {
            field = &AOptions.League;
        } else if (arg == "--add-board") {
            field = &AOptions.AddBoard;
        } else if (arg == "--remove-board") {
            field = &AOptions.RemoveBoard;
        } else if (arg == "--password") {
            field = &AOptions.Password;
            AOptions.PasswordGiven = true;
        } else {
            return UsageError("unknown option " + arg);
        }
        if (field && i + 1 >= argc) return UsageError(arg + " needs a value");
        if (field) *field = argv[++i];
    }
    for (const std::string* tag : {&AOptions.AddBoard, &AOptions.RemoveBoard})
        if (!tag->empty() &&
            (tag->size() > 8 || tag->find_first_not_of(kTagLetters) != std::string::npos))
            return UsageError("a board's tag is 1 to 8 of A-Z and 0-9, not \"" + *tag + "\"");
    return CheckCombination(AOptions);
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

int Run(TOptions AOptions, const char* AArgv0) {
    const fs::path data = DataDir(AArgv0);
    if (!AOptions.League.empty()) return RunLeague(AOptions, data);
    if (AOptions.Schema.empty()) AOptions.Schema = (data / "schema.sql").string();
    if (AOptions.Answers.empty()) AOptions.Answers = (data / "words/answers.txt").string();
    if (AOptions.Allowed.empty()) AOptions.Allowed = (data / "words/allowed.txt").string();
    const std::string schema = ReadFile(AOptions.Schema);
    const auto answers = ReadWords(AOptions.Answers);
    const auto allowed = ReadWords(AOptions.Allowed);
    if (answers.empty()) throw TFailure{AOptions.Answers + " holds no answer words"};
    if (!AOptions.SetupDir.empty())
        return SetUpDoor(AOptions, data / "art", schema, answers, allowed);
    return RunFile(AOptions, schema, answers, allowed);
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
