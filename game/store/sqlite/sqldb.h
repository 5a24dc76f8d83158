// A thin RAII layer over SQLite 3: a connection, a prepared statement with bound values, and a
// transaction. Every failure is raised as GameDatabaseError naming the database file.
#pragma once

#include "game/store/storeerror.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

class SqlConnection {
  public:
    // Existing opens a file that must already be there (read and write, never created);
    // Create makes the file when it is missing (the database builder only).
    enum class TOpenMode { Existing, Create };

    // How long a statement waits for another process's lock before it fails; an ending signal
    // cuts the wait short.
    static constexpr int BUSY_TIMEOUT_MS = 10000;

    explicit SqlConnection(const std::string& AFileName, TOpenMode AMode = TOpenMode::Existing);
    ~SqlConnection();
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;

    sqlite3* Handle() const { return FDb; }
    // How long a statement on this connection waits for a lock (BUSY_TIMEOUT_MS unless changed).
    void SetBusyTimeout(int AMilliseconds) { FBusy.LimitMs = AMilliseconds; }
    // Asked between the short sleeps of a wait for a lock: false ends the wait at once (the
    // statement then fails as busy). nullptr: the wait goes on to its limit.
    void SetBusyCheck(bool (*ACheck)(int AWaitedMs)) { FBusy.KeepWaiting = ACheck; }
    // True when the file under the connection's name is no longer the one it has open.
    bool FileMoved() const;
    const std::string& FileName() const { return FFileName; }

    // Runs SQL text without values (transaction control, a schema script).
    void Exec(const std::string& ASql);
    bool HasTable(std::string_view ATable);
    // Rows changed by the last INSERT, UPDATE or DELETE.
    int Changes() const;
    // SQLite's text for the last failure on this connection.
    std::string LastError() const;
    // Raises GameDatabaseError for the last failure on this connection.
    [[noreturn]] void Fail(std::string_view AWhat) const;

  private:
    sqlite3* FDb = nullptr;
    std::string FFileName;
    struct TBusyWait {
        std::chrono::steady_clock::time_point Since; // when the current wait for a lock began
        int LimitMs = BUSY_TIMEOUT_MS;
        bool (*KeepWaiting)(int AWaitedMs) = nullptr;
    } FBusy;
};

// One prepared statement. Values are bound by position (1-based), never spliced into the text.
// A statement holds its read lock until it has stepped to the end or is destroyed, and other
// nodes cannot write meanwhile: keep statements short-lived.
class SqlStatement {
  public:
    SqlStatement(SqlConnection& AConn, std::string_view ASql);
    ~SqlStatement();
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    SqlStatement& Bind(int AIndex, std::string_view AText);
    SqlStatement& Bind(int AIndex, std::int64_t AValue);

    // Advances to the next row: true when a row is ready, false when the statement is done.
    bool Step();
    // Runs a statement that returns no rows.
    void Execute();
    // Makes the statement ready to run again with new values.
    void Reset();

    // Columns of the current row, by 0-based position or by name (as SELECT * gives them).
    std::string ColumnText(int AColumn) const;
    std::string ColumnText(std::string_view AName) const;
    std::int64_t ColumnInt(int AColumn) const;
    std::int64_t ColumnInt(std::string_view AName) const;
    int ColumnIndex(std::string_view AName) const;
    int ColumnCount() const;

  private:
    SqlConnection& FConn;
    sqlite3_stmt* FStmt = nullptr;
};

// A transaction, rolled back unless committed. Write (BEGIN IMMEDIATE) takes the write lock
// before anything is read, so a look-then-write cannot interleave with another process's. Read
// (a deferred BEGIN) lets its statements read one snapshot without taking the write lock that
// other nodes need for their scores.
class SqlTransaction {
  public:
    enum class TKind { Write, Read };

    explicit SqlTransaction(SqlConnection& AConn, TKind AKind = TKind::Write);
    ~SqlTransaction();
    SqlTransaction(const SqlTransaction&) = delete;
    SqlTransaction& operator=(const SqlTransaction&) = delete;

    void Commit();

  private:
    SqlConnection& FConn;
    bool FOpen = false;
};
