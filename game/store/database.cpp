// The game database: its one connection, date keys, and the word of each date.
#include "game/store/database.h"

#include "door/doorlog.h"
#include "game/rules/gamedate.h"
#include "game/store/host.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>

std::string Word;
std::int32_t NumberOfDays = 0;

std::string GameDatabaseFile = "glimradb.db";
TDatabaseRetry DatabaseRetry;

namespace {

std::unique_ptr<SqlConnection> TheConnection;

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

// The one-line wait the caller sees while a step waits for the database, and its removal.
std::string Notice(TDatabaseStep AKind) {
    return AKind == TDatabaseStep::Score ? "Saving your score, please wait..."
                                         : "The database is busy, please wait...";
}

// The step RetryDatabase runs now (none outside it), and whether its wait line is up.
std::optional<TDatabaseStep> FRunningStep;
bool FNoticeUp = false;

void ShowNotice(TDatabaseStep AKind, bool AShow) {
    FNoticeUp = AShow;
    StoreHost().ShowWaitLine(AShow ? Notice(AKind) : std::string(Notice(AKind).size(), ' '));
}

// Whether a wait for the database goes on: no ending signal, the caller there with time left.
// A step kept waiting for a lock (AWaitedMs so far) for over a second puts its wait line up
// then, not only after the busy timeout, so that a caller never faces ten silent seconds.
bool CallerWaits(int AWaitedMs) {
    if (FRunningStep && !FNoticeUp && AWaitedMs >= 1000) ShowNotice(*FRunningStep, true);
    return StoreHost().MayKeepWaiting();
}

// The wait ends without the step: logged (a score as lost, with the caller's alias), then the
// door ends for whatever ended the wait. A hook that lets the door go on gets a failure.
[[noreturn]] void GiveUp(TDatabaseStep AKind, const std::string& AWhat, int AAttempts,
                         const GameDatabaseError& AError) {
    const bool score = AKind == TDatabaseStep::Score;
    const char* why = StoreHost().WhyWaitEnded();
    DoorLog(AWhat + (score ? " of " + StoreHost().CallerAlias() + " lost" : " given up") +
            " after " + std::to_string(AAttempts) + " attempts, " + why + ": " + AError.LogText());
    StoreHost().EndSession();
    throw GameDatabaseError(score ? "your score could not be saved: the game database stayed busy. "
                                    "The sysop's log has the details."
                                  : "the game database stayed busy. The sysop's log has the "
                                    "details.");
}

} // namespace

void RetryDatabase(TDatabaseStep AKind, const std::string& AWhat,
                   const std::function<void(SqlConnection&)>& AStep) {
    struct TRunning {
        explicit TRunning(TDatabaseStep AStepKind) { FRunningStep = AStepKind; }
        ~TRunning() { FRunningStep.reset(); }
    } running(AKind);
    for (int attempt = 1;; ++attempt) {
        try {
            // A file restored with mv: the connection would go on reading the old one.
            if (TheConnection && TheConnection->FileMoved()) {
                DoorLog(GameDatabaseFile + " was replaced: opened afresh");
                CloseGameDatabase();
            }
            AStep(OpenGameDatabase());
            if (attempt > 1)
                DoorLog(AWhat + (AKind == TDatabaseStep::Score ? " saved" : " done") +
                        " at attempt " + std::to_string(attempt));
            if (FNoticeUp) {
                ShowNotice(AKind, false);
                // The caller waited for the database, not idled: the idle limit starts afresh.
                StoreHost().CallerWaited();
            }
            return;
        } catch (const GameDatabaseError& error) {
            // A full disk is waited out for a score only: anything else would keep the caller
            // at a wait line for the rest of their time, where a plain failure tells them now.
            if (!error.Transient() ||
                (AKind != TDatabaseStep::Score && error.Fault() == TDatabaseFault::Full))
                throw;
            if (error.Replaced()) CloseGameDatabase();
            if (attempt == 1) DoorLog(AWhat + " waits: " + error.LogText());
            // Shown again at every attempt: a write to a caller who hung up is what finds out.
            ShowNotice(AKind, true);
            if (!CallerWaits(0)) GiveUp(AKind, AWhat, attempt, error);
            StoreHost().Pause(DatabaseRetry.PauseMs);
        }
    }
}

void RetryDatabase(TDatabaseStep AKind, const std::string& AWhat,
                   const std::function<void()>& AStep) {
    RetryDatabase(AKind, AWhat, [&](SqlConnection&) { AStep(); });
}

SqlConnection& OpenGameDatabase() {
    if (TheConnection) return *TheConnection;
    std::error_code ec;
    if (!std::filesystem::exists(GameDatabaseFile, ec))
        throw GameDatabaseError(TDatabaseFault::Missing, "The game database \"" + GameDatabaseFile +
                                                             "\" was not found." + BuildHint());
    auto conn = std::make_unique<SqlConnection>(GameDatabaseFile);
    conn->SetBusyCheck(CallerWaits);
    CheckSetUp(*conn);
    TheConnection = std::move(conn);
    return *TheConnection;
}

void CloseGameDatabase() {
    TheConnection.reset();
}

std::string DateKey(std::int32_t AYear, std::int32_t AMonth, std::int32_t ADay) {
    return std::to_string(AYear) + "-" + KeyDigits(AMonth) + "-" + KeyDigits(ADay);
}

// A uniform draw from tblWords; false when the table is empty.
static bool DrawRandomWord(SqlConnection& AConn, std::string& AWord) {
    // A random row number, then that row: as uniform as sorting the pool by RANDOM() but
    // without sorting it, which DBCheck would otherwise do for every day of a new month.
    SqlStatement query(AConn, "SELECT * FROM tblWords LIMIT 1 OFFSET (SELECT "
                              "COALESCE((RANDOM() % COUNT(*) + COUNT(*)) % COUNT(*), 0) "
                              "FROM tblWords);");
    bool found = false;
    while (query.Step()) {
        AWord = query.ColumnText("strWord");
        found = true;
    }
    return found;
}

void GetRandomWord() {
    RetryDatabase(TDatabaseStep::Other, "word draw",
                  [](SqlConnection& AConn) { DrawRandomWord(AConn, Word); });
}

// The word rows of a date.
constexpr const char* WORD_OF_DATE_SQL = "SELECT * FROM tblWordsByDate where dtDate=?";

// The word of a date as GetWord reads it (the last row returned); nothing without a row.
static std::optional<std::string> StoredWord(SqlConnection& AConn, const std::string& AKey) {
    SqlStatement query(AConn, WORD_OF_DATE_SQL);
    query.Bind(1, AKey);
    std::optional<std::string> word;
    while (query.Step()) word = query.ColumnText("strWord");
    return word;
}

static bool DayHasPlayableWord(SqlConnection& AConn, const std::string& AKey) {
    const auto word = StoredWord(AConn, AKey);
    return word && IsPlayableWord(*word);
}

bool IsPlayableWord(const std::string& AWord) {
    return AWord.size() == 5 && std::all_of(AWord.begin(), AWord.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
           });
}

static std::int32_t Count(SqlConnection& AConn, const char* ASql, const std::string& AGuess) {
    SqlStatement query(AConn, ASql);
    query.Bind(1, AGuess);
    std::int64_t found = 0;
    while (query.Step()) found = query.ColumnInt("findword");
    return static_cast<std::int32_t>(found);
}

std::int32_t WordListMatches(const std::string& AGuess) {
    std::int32_t matches = 0;
    RetryDatabase(TDatabaseStep::Other, "word check", [&](SqlConnection& AConn) {
        matches = Count(
            AConn, "SELECT COUNT(*) as findword FROM tblAllWords WHERE strWord=? COLLATE NOCASE",
            AGuess);
        // The answer words are compared without regard to case as well: the answer typed in
        // capitals must never be refused while the same word in small letters is accepted.
        if (matches == 0)
            matches = Count(
                AConn, "SELECT COUNT(*) as findword FROM tblWords WHERE strWord=? COLLATE NOCASE",
                AGuess);
    });
    return matches;
}

void GetWord() {
    const std::string key = DateKey(Year, Month, Day);
    RetryDatabase(TDatabaseStep::Other, "word of " + key, [&](SqlConnection& AConn) {
        if (const auto word = StoredWord(AConn, key)) Word = *word;
    });
}

// One attempt of AssignMonthWords.
static std::vector<bool> AssignWords(SqlConnection& conn, std::int32_t AYear, std::int32_t AMonth,
                                     std::int32_t ADays) {
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
        if (!DrawRandomWord(conn, Word))
            throw GameDatabaseError(TDatabaseFault::Missing,
                                    "The game database \"" + GameDatabaseFile +
                                        "\" has no answer words: table tblWords is empty." +
                                        BuildHint());
        SqlStatement insert(conn, "insert into tblWOrdsByDate (dtDate, strWord) values (?,?);");
        insert.Bind(1, key).Bind(2, Word);
        insert.Execute();
        added[static_cast<std::size_t>(d - 1)] = true;
    }
    trans.Commit();
    return added;
}

void CheckGameDatabaseWritable() {
    SqlConnection& conn = OpenGameDatabase();
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

std::vector<bool> AssignMonthWords(std::int32_t AYear, std::int32_t AMonth, std::int32_t ADays) {
    std::vector<bool> added;
    RetryDatabase(TDatabaseStep::Other, "words of " + DateKey(AYear, AMonth, 1).substr(0, 7),
                  [&](SqlConnection& AConn) { added = AssignWords(AConn, AYear, AMonth, ADays); });
    return added;
}
