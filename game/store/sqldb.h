// A thin RAII layer over SQLite 3: a connection, a prepared statement with bound values, and a
// transaction. Every failure is raised as GameDatabaseError naming the database file.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// What a database failure means to a caller, who is told no more than that.
enum class TDatabaseFault { Busy, Full, Damaged, Missing, NotWritable, Other };

// A database failure: the file is missing, not set up, locked too long, or a statement failed.
// what() is the whole story for the sysop (file, statement, SQLite's words); a caller is shown
// CallerText() alone.
class GameDatabaseError : public std::runtime_error {
  public:
    // A text meant for the caller as it is (CallerText() returns it), with SQLite's result code
    // when there is one.
    explicit GameDatabaseError(const std::string& AWhat, int ACode = 0)
        : std::runtime_error(AWhat), FCode(ACode) {}
    // A failure for the sysop: AWhat names the file and says why; the caller gets AFault's
    // sentence.
    GameDatabaseError(TDatabaseFault AFault, const std::string& AWhat)
        : std::runtime_error(AWhat), FCode(0), FFault(AFault) {}
    // A statement on AFile failed with SQLite's AReason and result code ACode.
    GameDatabaseError(const std::string& AFile, std::string_view AStatement,
                      const std::string& AReason, int ACode);
    // SQLite's primary result code of the failure; 0 when SQLite reported none.
    int Code() const { return FCode & 0xFF; }
    // True for a failure that may pass if the step is tried again later: another process held
    // the file too long (busy, locked), the disk is full, a read or write of the file failed, or
    // the file was replaced under the open connection (Replaced).
    bool Transient() const;
    TDatabaseFault Fault() const;
    // SQLite's words for a failed statement; what() for any other failure.
    std::string Reason() const { return FReason.empty() ? what() : FReason; }
    // One plain sentence for the caller: never a file name, a statement or SQLite's words.
    std::string CallerText() const;
    // what() with the statement cut to at most AMaxStatement characters, so that a log line's
    // cap never cuts off the reason, which comes after it.
    std::string LogText(std::size_t AMaxStatement = 160) const;
    // True when the file was moved or replaced (a restore with mv) while the connection had it
    // open: only a new connection reaches the file now under the name.
    bool Replaced() const;

  private:
    int FCode;
    std::optional<TDatabaseFault> FFault;
    std::string FFile, FStatement, FReason; // set for a failed statement
};

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
