// A PostgreSQL server of the test program's own (Linux only): initdb and pg_ctl from the newest
// /usr/lib/postgresql/*/bin in a scratch directory under /tmp, reached through a Unix socket only,
// run as the postgres user when the tests run as root (initdb refuses root). It starts at the
// first PgServer() and stops when the program ends. Local connections need the password
// (scram-sha-256), so that a board role's generated password is really checked.
//
// With no PostgreSQL installed, PgServer() raises std::runtime_error saying how to install it:
// a test that needs the server fails, it is never skipped.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class TPgServer {
  public:
    TPgServer(const TPgServer&) = delete;
    TPgServer& operator=(const TPgServer&) = delete;
    ~TPgServer();

    // The directory that holds the server's socket (libpq's host) and the port in its name.
    const std::filesystem::path& SocketDir() const { return FDir; }
    int Port() const { return FPort; }

    // A new, empty database with a name of its own (lower case, usable in a role name).
    std::string FreshDatabase();
    // The superuser's libpq connection string (key=value, password included) for ADatabase.
    std::string AdminConnection(const std::string& ADatabase = "postgres") const;
    // The connection string of role ARole with password APassword for ADatabase.
    std::string Connection(const std::string& ADatabase, const std::string& ARole,
                           const std::string& APassword) const;

    // Stops the server (fast shutdown: sessions are ended) and starts it again on the same
    // socket, with the same databases; Start waits until it takes connections.
    void Stop();
    void Start();
    bool Running() const { return FRunning; }

  private:
    friend TPgServer& PgServer();
    TPgServer();
    void RunAsOwner(const std::vector<std::string>& AArgs, const char* AWhat) const;

    std::filesystem::path FBin; // the server's programs
    std::filesystem::path FDir; // scratch directory: the socket, data/, server.log
    std::string FPassword;      // the superuser's
    int FPort = 5432;
    bool FRunning = false;
    long FOwnerPid = 0; // the process that started the server (not a forked child)
    int FDatabases = 0;
};

// The program's one server, started on first use.
TPgServer& PgServer();

// Runs ASql (with $1.. bound to AParams; without parameters, one statement or several) on a
// connection of its own to AConnection; the rows as "a|b|c" texts (NULL as an empty field). Raises
// std::runtime_error with the server's message when the statement fails.
std::vector<std::string> PgRows(const std::string& AConnection, const std::string& ASql,
                                const std::vector<std::string>& AParams = {});

// Runs the program AArgs[0] (looked up in PATH) with the arguments AArgs, no shell between; its
// exit code (-1 when it did not end normally) and what it wrote to stdout and stderr.
std::pair<int, std::string> RunProgram(const std::vector<std::string>& AArgs);
