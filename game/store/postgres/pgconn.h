// One libpq connection to the league's database: opened with bounded waits, statements prepared
// once per connection and run asynchronously, every failure raised as GameDatabaseError with the
// connection string's password scrubbed from its text.
#pragma once

#include "game/store/storeerror.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

// A statement of the back-end: its prepared name and its SQL, parameters as $1.. with casts.
struct TPgStatement {
    const char* Name;
    const char* Sql;
};

// The rows of one statement, read as text.
class TPgResult {
  public:
    explicit TPgResult(pg_result* AResult) : FResult(AResult) {}
    ~TPgResult();
    TPgResult(TPgResult&& AOther) noexcept : FResult(AOther.FResult) { AOther.FResult = nullptr; }
    TPgResult(const TPgResult&) = delete;
    TPgResult& operator=(const TPgResult&) = delete;
    TPgResult& operator=(TPgResult&&) = delete;

    int Rows() const;
    bool IsNull(int ARow, int ACol) const;
    std::string Text(int ARow, int ACol) const;
    std::int64_t Int(int ARow, int ACol) const;

  private:
    pg_result* FResult;
};

class TPgConnection {
  public:
    // The longest a statement may take before the server counts as away (tests shorten it).
    static std::int32_t StatementLimitMs;

    // Reads AConnInfo (a URI or key=value words); nothing is connected yet. A string libpq cannot
    // read fails at Connect.
    explicit TPgConnection(const std::string& AConnInfo);
    ~TPgConnection();
    TPgConnection(const TPgConnection&) = delete;
    TPgConnection& operator=(const TPgConnection&) = delete;

    // "host:port/database" as the string names them, never the password.
    const std::string& Name() const { return FName; }
    bool Connected() const { return FConn != nullptr; }
    // Opens the connection, when there is none (connect_timeout and keepalives unless the string
    // sets its own).
    // A server that cannot be reached raises TDatabaseFault::Unreachable.
    void Connect();
    void Disconnect();

    // Runs AStatement with AParams (text, each cast in the SQL), preparing it first on this
    // connection; waits in slices while the store's host lets it, cancelling when it does not.
    TPgResult Run(const TPgStatement& AStatement, const std::vector<std::string>& AParams);
    // Runs plain SQL without parameters (the connection's checks).
    TPgResult RunPlain(const char* AWhat, const char* ASql);

    // AText with the password and the whole connection string blanked out.
    std::string Scrub(std::string AText) const;

  private:
    std::string AwaitConnect(pg_conn* AConn);
    void Await(const char* AWhat);
    TPgResult Collect(const char* AWhat);
    [[noreturn]] void Broken(const char* AWhat, const std::string& AReason);
    [[noreturn]] void Refused(const char* AWhat, pg_result* AResult);

    std::string FConnInfo, FName;
    std::string FUnreadable; // libpq's reason when the string cannot be read
    std::vector<std::string> FSecrets;
    pg_conn* FConn = nullptr;
    std::set<std::string> FPrepared;
};
