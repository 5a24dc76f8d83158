// The SQLite RAII layer: open, prepare, bind, step, read columns, transactions.
#include "game/store/sqlite/sqldb.h"

#include "game/store/host.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <sqlite3.h>

namespace {

std::string Quoted(const std::string& AFileName) {
    return "\"" + AFileName + "\"";
}

// SQLite's busy handler: waits in short steps while another node holds the lock, gives up after
// the connection's limit, and at once when the door is ending (the statement then fails as busy).
template <class TWait> int WaitWhileBusy(void* AWait, int ACount) {
    using namespace std::chrono;
    auto& wait = *static_cast<TWait*>(AWait);
    const auto now = steady_clock::now();
    if (ACount == 0) wait.Since = now;
    const auto waited = duration_cast<milliseconds>(now - wait.Since).count();
    if (waited >= wait.LimitMs || (wait.KeepWaiting && !wait.KeepWaiting(static_cast<int>(waited))))
        return 0;
    const auto step = std::min<long long>(std::min(5 * (ACount + 1), 100), wait.LimitMs - waited);
    return StoreHost().Sleep(static_cast<std::int32_t>(step)) ? 1 : 0;
}

std::string StatementFailure(const std::string& AFile, std::string_view AStatement,
                             const std::string& AReason) {
    return "Database " + Quoted(AFile) + ": " + std::string(AStatement) + " failed: " + AReason;
}

} // namespace

GameDatabaseError::GameDatabaseError(const std::string& AFile, std::string_view AStatement,
                                     const std::string& AReason, int ACode)
    : std::runtime_error(StatementFailure(AFile, AStatement, AReason)), FCode(ACode), FFile(AFile),
      FStatement(AStatement), FReason(AReason) {}

bool GameDatabaseError::Transient() const {
    if (FFault == TDatabaseFault::Busy || FFault == TDatabaseFault::Unreachable) return true;
    switch (Code()) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_FULL:
    case SQLITE_IOERR: return true;
    default: return Replaced();
    }
}

TDatabaseFault GameDatabaseError::Fault() const {
    if (FFault) return *FFault;
    switch (Code()) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return TDatabaseFault::Busy;
    case SQLITE_FULL: return TDatabaseFault::Full;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return TDatabaseFault::Damaged;
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return TDatabaseFault::NotWritable;
    default: return TDatabaseFault::Other;
    }
}

std::string GameDatabaseError::CallerText() const {
    if (!FCallerText.empty()) return FCallerText;
    if (!FFault && FCode == 0 && FStatement.empty()) return what();
    switch (Fault()) {
    case TDatabaseFault::Busy: return "The game database is busy; please try again later.";
    case TDatabaseFault::Full: return "The game database is full: its disk has no room left.";
    case TDatabaseFault::Damaged: return "The game database is damaged.";
    case TDatabaseFault::Missing: return "The game database is missing or not set up.";
    case TDatabaseFault::NotWritable: return "The game database cannot be opened or written.";
    case TDatabaseFault::Unreachable:
        return "The league's server cannot be reached; please try again later.";
    case TDatabaseFault::Other: break;
    }
    return "The game database could not be used.";
}

std::string GameDatabaseError::LogText(std::size_t AMaxStatement) const {
    if (FStatement.size() <= AMaxStatement) return what();
    return StatementFailure(FFile, FStatement.substr(0, AMaxStatement) + "...", FReason);
}

bool GameDatabaseError::Replaced() const {
    return FCode == SQLITE_READONLY_DBMOVED;
}

SqlConnection::SqlConnection(const std::string& AFileName, TOpenMode AMode) : FFileName(AFileName) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (AMode == TOpenMode::Create) flags |= SQLITE_OPEN_CREATE;
    int rc = sqlite3_open_v2(AFileName.c_str(), &FDb, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string why = FDb ? sqlite3_errmsg(FDb) : sqlite3_errstr(rc);
        sqlite3_close(FDb);
        FDb = nullptr;
        throw GameDatabaseError(FFileName, "opening the file", why, rc & 0xFF);
    }
    sqlite3_extended_result_codes(FDb, 1);
    sqlite3_busy_handler(FDb, WaitWhileBusy<TBusyWait>, &FBusy);
}

// close_v2: a statement left alive (the program ending in mid-step) cannot keep the file open.
SqlConnection::~SqlConnection() {
    sqlite3_close_v2(FDb);
}

std::string SqlConnection::LastError() const {
    return sqlite3_errmsg(FDb);
}

void SqlConnection::Fail(std::string_view AWhat) const {
    int rc = sqlite3_errcode(FDb);
    std::string why = sqlite3_errmsg(FDb);
    if ((rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED)
        why += " (another node held it for more than " + std::to_string(FBusy.LimitMs / 1000) +
               " seconds)";
    throw GameDatabaseError(FFileName, AWhat, why, rc);
}

void SqlConnection::Exec(const std::string& ASql) {
    if (sqlite3_exec(FDb, ASql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) Fail(ASql);
}

bool SqlConnection::HasTable(std::string_view ATable) {
    SqlStatement q(*this, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=? "
                          "COLLATE NOCASE");
    q.Bind(1, ATable);
    return q.Step();
}

bool SqlConnection::FileMoved() const {
    int moved = 0;
    return sqlite3_file_control(FDb, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK &&
           moved != 0;
}

int SqlConnection::Changes() const {
    return sqlite3_changes(FDb);
}

SqlStatement::SqlStatement(SqlConnection& AConn, std::string_view ASql) : FConn(AConn) {
    if (ASql.size() > INT_MAX ||
        sqlite3_prepare_v2(FConn.Handle(), ASql.data(), static_cast<int>(ASql.size()), &FStmt,
                           nullptr) != SQLITE_OK)
        FConn.Fail(ASql);
}

SqlStatement::~SqlStatement() {
    sqlite3_finalize(FStmt);
}

SqlStatement& SqlStatement::Bind(int AIndex, std::string_view AText) {
    if (AText.size() > INT_MAX)
        throw GameDatabaseError(TDatabaseFault::Other,
                                "Database " + Quoted(FConn.FileName()) + ": value too long");
    // A bound text is stored byte for byte, whatever quotes or non-UTF-8 bytes it holds.
    if (sqlite3_bind_text(FStmt, AIndex, AText.data(), static_cast<int>(AText.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK)
        FConn.Fail("binding a value");
    return *this;
}

SqlStatement& SqlStatement::Bind(int AIndex, std::int64_t AValue) {
    if (sqlite3_bind_int64(FStmt, AIndex, AValue) != SQLITE_OK) FConn.Fail("binding a value");
    return *this;
}

bool SqlStatement::Step() {
    int rc = sqlite3_step(FStmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    FConn.Fail(sqlite3_sql(FStmt));
}

void SqlStatement::Execute() {
    while (Step()) {
    }
}

void SqlStatement::Reset() {
    sqlite3_reset(FStmt);
    sqlite3_clear_bindings(FStmt);
}

std::string SqlStatement::ColumnText(int AColumn) const {
    auto text = reinterpret_cast<const char*>(sqlite3_column_text(FStmt, AColumn));
    int size = sqlite3_column_bytes(FStmt, AColumn);
    return text ? std::string(text, static_cast<std::size_t>(size)) : std::string();
}

std::string SqlStatement::ColumnText(std::string_view AName) const {
    return ColumnText(ColumnIndex(AName));
}

std::int64_t SqlStatement::ColumnInt(int AColumn) const {
    return sqlite3_column_int64(FStmt, AColumn);
}

std::int64_t SqlStatement::ColumnInt(std::string_view AName) const {
    return ColumnInt(ColumnIndex(AName));
}

int SqlStatement::ColumnCount() const {
    return sqlite3_column_count(FStmt);
}

int SqlStatement::ColumnIndex(std::string_view AName) const {
    int count = sqlite3_column_count(FStmt);
    for (int i = 0; i < count; ++i) {
        std::string_view name = sqlite3_column_name(FStmt, i);
        if (name.size() == AName.size() &&
            sqlite3_strnicmp(name.data(), AName.data(), static_cast<int>(name.size())) == 0)
            return i;
    }
    throw GameDatabaseError(TDatabaseFault::Damaged, "Database " + Quoted(FConn.FileName()) +
                                                         ": no column " + std::string(AName) +
                                                         " in " + sqlite3_sql(FStmt));
}

SqlTransaction::SqlTransaction(SqlConnection& AConn, TKind AKind) : FConn(AConn) {
    FConn.Exec(AKind == TKind::Write ? "BEGIN IMMEDIATE" : "BEGIN");
    FOpen = true;
}

SqlTransaction::~SqlTransaction() {
    if (FOpen) sqlite3_exec(FConn.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqlTransaction::Commit() {
    FConn.Exec("COMMIT");
    FOpen = false;
}
