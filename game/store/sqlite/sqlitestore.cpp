// The SQLite back-end: the board's own file, its words, scores and the start-up checks.
#include "game/store/sqlite/sqlitestore.h"

#include "door/doorlog.h"
#include "game/store/database.h"

#include <algorithm>
#include <filesystem>

std::string GameDatabaseFile = "glimradb.db";

namespace {

constexpr const char* GAME_TABLES[] = {"tblWords", "tblAllWords", "tblWordsByDate", "tblScores"};

std::string BuildHint() {
    return " The sysop builds it with the database tool: \"glimra-makedb --setup .\" in the door's"
           " directory (\"glimra-makedb --add -o " +
           GameDatabaseFile + "\" completes an existing file and keeps its scores).";
}

// A missing file would otherwise be created empty by the first statement; refuse it instead.
void CheckSetUp(SqlConnection& AConn) {
    for (const char* table : GAME_TABLES) {
        bool found = false;
        try {
            found = AConn.HasTable(table);
        } catch (const GameDatabaseError& error) {
            // A lock passes (a backup, another node's upgrade): building the file would not help.
            if (error.Transient())
                throw GameDatabaseError(TDatabaseFault::Busy,
                                        "The game database \"" + GameDatabaseFile +
                                            "\" is busy: another program is using it (" +
                                            AConn.LastError() + ").");
            throw GameDatabaseError(error.Fault(), "The game database \"" + GameDatabaseFile +
                                                       "\" cannot be read: " + AConn.LastError() +
                                                       "." + BuildHint());
        }
        if (!found)
            throw GameDatabaseError(TDatabaseFault::Missing,
                                    "The game database \"" + GameDatabaseFile +
                                        "\" is not set up: it has no table " + table + "." +
                                        BuildHint());
    }
}

std::string Key(const TGameDate& ADate) {
    return DateKey(ADate.Year, ADate.Month, ADate.Day);
}

// A uniform draw from tblWords; nothing when the table is empty.
std::optional<std::string> DrawRandomWord(SqlConnection& AConn) {
    // A random row number, then that row: as uniform as sorting the pool by RANDOM() but
    // without sorting it, which DBCheck would otherwise do for every day of a new month.
    SqlStatement query(AConn, "SELECT * FROM tblWords LIMIT 1 OFFSET (SELECT "
                              "COALESCE((RANDOM() % COUNT(*) + COUNT(*)) % COUNT(*), 0) "
                              "FROM tblWords);");
    std::optional<std::string> word;
    while (query.Step()) word = query.ColumnText("strWord");
    return word;
}

// The word of a date as GetWord reads it (the last row returned); nothing without a row.
std::optional<std::string> StoredWord(SqlConnection& AConn, const std::string& AKey) {
    SqlStatement query(AConn, "SELECT * FROM tblWordsByDate where dtDate=?");
    query.Bind(1, AKey);
    std::optional<std::string> word;
    while (query.Step()) word = query.ColumnText("strWord");
    return word;
}

bool DayHasPlayableWord(SqlConnection& AConn, const std::string& AKey) {
    const auto word = StoredWord(AConn, AKey);
    return word && IsPlayableWord(*word);
}

std::int32_t Count(SqlConnection& AConn, const char* ASql, const std::string& AGuess) {
    SqlStatement query(AConn, ASql);
    query.Bind(1, AGuess);
    std::int64_t found = 0;
    while (query.Step()) found = query.ColumnInt("findword");
    return static_cast<std::int32_t>(found);
}

bool HasScoreRow(SqlConnection& AConn, const std::string& AUserName, const std::string& AKey) {
    SqlStatement query(AConn, "SELECT * FROM tblScores where dtDate=? and strUserName=?");
    query.Bind(1, AKey).Bind(2, AUserName);
    return query.Step();
}

std::vector<TDayScore> TopScores(SqlConnection& AConn, const TGameDate& ADate, int ALimit) {
    SqlStatement query(AConn,
                       "select * from tblScores where dtDate=? order by intScore desc LIMIT ?");
    query.Bind(1, Key(ADate)).Bind(2, std::int64_t{ALimit});
    std::vector<TDayScore> rows;
    while (query.Step())
        rows.push_back({query.ColumnText("strUserName"), query.ColumnInt("intScore"), {}});
    return rows;
}

} // namespace

SqlConnection& TSqliteStore::Connection() {
    // A file restored with mv: the connection would go on reading the old one.
    if (FConn && FConn->FileMoved()) {
        DoorLog(GameDatabaseFile + " was replaced: opened afresh");
        FConn.reset();
    }
    if (FConn) return *FConn;
    std::error_code ec;
    if (!std::filesystem::exists(GameDatabaseFile, ec))
        throw GameDatabaseError(TDatabaseFault::Missing, "The game database \"" + GameDatabaseFile +
                                                             "\" was not found." + BuildHint());
    auto conn = std::make_unique<SqlConnection>(GameDatabaseFile);
    conn->SetBusyCheck(DatabaseWaitGoesOn);
    CheckSetUp(*conn);
    FConn = std::move(conn);
    return *FConn;
}

void TSqliteStore::CheckWritable() {
    SqlConnection& conn = Connection();
    try {
        SqlTransaction trans(conn);
        std::int64_t version = 0;
        {
            SqlStatement query(conn, "PRAGMA user_version");
            if (query.Step()) version = query.ColumnInt(0);
        }
        // Writing page 1 makes SQLite open its journal beside the file; the rollback leaves the
        // file as it was.
        conn.Exec("PRAGMA user_version = " + std::to_string(version));
    } catch (const GameDatabaseError& error) {
        // Another node writing for longer than the busy timeout says nothing about the rights.
        if (error.Fault() == TDatabaseFault::Busy) return;
        throw GameDatabaseError(error.Fault(), "The game database \"" + GameDatabaseFile +
                                                   "\" cannot be written: " + error.Reason() +
                                                   " (the door needs to write the file and, for "
                                                   "SQLite's journal, its directory).");
    }
}

std::optional<std::string> TSqliteStore::WordOfDate(const TGameDate& ADate) {
    return StoredWord(Connection(), Key(ADate));
}

std::optional<std::string> TSqliteStore::DrawWord() {
    return DrawRandomWord(Connection());
}

std::vector<bool> TSqliteStore::AssignMonthWords(std::int32_t AYear, std::int32_t AMonth,
                                                 std::int32_t ADays) {
    SqlConnection& conn = Connection();
    std::vector<bool> added(static_cast<std::size_t>(std::max(ADays, 0)), false);
    // Most starts find every day given and take no write lock.
    std::int32_t first = 1;
    while (first <= ADays && DayHasPlayableWord(conn, DateKey(AYear, AMonth, first))) ++first;
    if (first > ADays) return added;
    // One transaction for the whole month: a single write to disk instead of one per day.
    SqlTransaction trans(conn);
    for (std::int32_t d = first; d <= ADays; ++d) {
        const std::string key = DateKey(AYear, AMonth, d);
        // Another node may have given the day its word since the look above.
        const auto stored = StoredWord(conn, key);
        if (stored && IsPlayableWord(*stored)) continue;
        // A word nobody can play (edited by hand: "café", "12345", six letters) is replaced
        // like a missing one.
        if (stored) {
            SqlStatement remove(conn, "DELETE FROM tblWordsByDate WHERE dtDate=?");
            remove.Bind(1, key);
            remove.Execute();
            DoorLog("word of " + key + " \"" + *stored +
                    "\" cannot be played (not five letters A to Z): replaced");
        }
        // Without answer words every day would get a blank (or a stale) word for good.
        const auto word = DrawRandomWord(conn);
        if (!word)
            throw GameDatabaseError(TDatabaseFault::Missing,
                                    "The game database \"" + GameDatabaseFile +
                                        "\" has no answer words: table tblWords is empty." +
                                        BuildHint());
        SqlStatement insert(conn, "insert into tblWOrdsByDate (dtDate, strWord) values (?,?);");
        insert.Bind(1, key).Bind(2, *word);
        insert.Execute();
        added[static_cast<std::size_t>(d - 1)] = true;
    }
    trans.Commit();
    return added;
}

std::int32_t TSqliteStore::WordMatches(const std::string& AGuess) {
    SqlConnection& conn = Connection();
    const std::int32_t matches =
        Count(conn, "SELECT COUNT(*) as findword FROM tblAllWords WHERE strWord=? COLLATE NOCASE",
              AGuess);
    if (matches != 0) return matches;
    // The answer words are compared without regard to case as well: the answer typed in
    // capitals must never be refused while the same word in small letters is accepted.
    return Count(conn, "SELECT COUNT(*) as findword FROM tblWords WHERE strWord=? COLLATE NOCASE",
                 AGuess);
}

bool TSqliteStore::HasScore(const TPlayer& APlayer, const TGameDate& ADate) {
    return HasScoreRow(Connection(), APlayer.UserName, Key(ADate));
}

std::vector<bool> TSqliteStore::PlayedDays(const TPlayer& APlayer, std::int32_t AYear,
                                           std::int32_t AMonth) {
    SqlConnection& conn = Connection();
    std::vector<bool> played(31, false);
    for (std::int32_t d = 1; d <= 31; ++d)
        played[static_cast<std::size_t>(d - 1)] =
            HasScoreRow(conn, APlayer.UserName, DateKey(AYear, AMonth, d));
    return played;
}

// The row is added, or its score replaced, in one immediate transaction.
void TSqliteStore::WriteScore(const TPlayer& APlayer, const TGameDate& ADate, std::int32_t AScore) {
    SqlConnection& conn = Connection();
    const std::string key = Key(ADate);
    SqlTransaction trans(conn);
    if (!HasScoreRow(conn, APlayer.UserName, key)) {
        SqlStatement insert(
            conn, "insert into tblScores (strUserName, dtDate, intScore) values (?, ?, ?);");
        insert.Bind(1, APlayer.UserName).Bind(2, key).Bind(3, std::int64_t{AScore});
        insert.Execute();
    } else {
        SqlStatement update(
            conn, "update tblScores set intScore = ? where strUserName = ? and dtDate = ?;");
        update.Bind(1, std::int64_t{AScore}).Bind(2, APlayer.UserName).Bind(3, key);
        update.Execute();
    }
    trans.Commit();
}

// Equal scores come in the order SQLite returns them.
std::vector<TDayScore> TSqliteStore::DayTopScores(const TGameDate& ADate, int ALimit) {
    return TopScores(Connection(), ADate, ALimit);
}

// Read in one deferred transaction, so that the row and the count come from one snapshot.
TDayBest TSqliteStore::DayBest(const TGameDate& ADate) {
    SqlConnection& conn = Connection();
    TDayBest best;
    SqlTransaction trans(conn, SqlTransaction::TKind::Read);
    const auto top = TopScores(conn, ADate, 1);
    if (!top.empty()) best = {true, top[0].UserName, top[0].Score, 0, {}};
    {
        SqlStatement ties(conn,
                          "SELECT COUNT(*) as HS FROM tblScores WHERE  dtDate=? and intScore=?");
        ties.Bind(1, Key(ADate)).Bind(2, best.Score);
        if (ties.Step()) best.Holders = ties.ColumnInt("HS");
    }
    trans.Commit();
    return best;
}

SqlConnection& OpenGameDatabase() {
    return dynamic_cast<TSqliteStore&>(GameStore()).Connection();
}

void CloseGameDatabase() {
    GameStore().Disconnect();
}
