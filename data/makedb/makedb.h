// What the parts of makedb share: its options, the failure it reports, the word lists, and the
// two kinds of database it builds (a door's SQLite file in files.cpp, a league's PostgreSQL
// database in league_pq.cpp; league_none.cpp on builds without libpq).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

// The name this program was started by ("makedb" in the build tree, "glimra-makedb" installed).
extern std::string Me;

struct TOptions {
    std::string Output = "glimradb.db";
    std::string Schema; // empty: from the data directory
    std::string Answers;
    std::string Allowed;
    std::string SetupDir; // empty: no --setup
    bool Add = false;
    bool Force = false;
    bool OutputNamed = false;
    std::string League;      // --league: the admin's connection string; empty for a file
    std::string AddBoard;    // --add-board TAG
    std::string RemoveBoard; // --remove-board TAG
    std::string Password;    // --password; empty: one is generated
    bool PasswordGiven = false;
};

// A failure to report: the message, then exit code 1.
struct TFailure {
    std::string Message;
};

// The whole of a file; a failure naming it when it cannot be read.
std::string ReadFile(const std::string& APath);
// One five-letter word a line, lowercased, each once; blank lines and lines starting with # are
// skipped. Anything else is a failure naming the file and line.
std::vector<std::string> ReadWords(const std::string& APath);

// The game's file: built, replaced or added to (files.cpp).
int RunFile(const TOptions& AOptions, const std::string& ASchema,
            const std::vector<std::string>& AAnswers, const std::vector<std::string>& AAllowed);
// --setup: the art, the configuration and the database in the door directory (files.cpp).
int SetUpDoor(const TOptions& AOptions, const std::filesystem::path& AArtDir,
              const std::string& ASchema, const std::vector<std::string>& AAnswers,
              const std::vector<std::string>& AAllowed);

// --league, with --add-board or --remove-board: the league's database on its server. Reports
// its own failures (without the connection string or any password) and returns the exit code.
// ASchema and the lists are read only when the database itself is built.
int RunLeague(const TOptions& AOptions, const std::filesystem::path& ADataDir);
