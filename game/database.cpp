// The game database: its one connection, date keys, and the word of each date.
#include "game/database.h"

#include "game/gamedate.h"

#include "door/door.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

std::string Word;
std::string TempDay;
std::string TempMonth;
std::int32_t NumberOfDays = 0;

std::string GameDatabaseFile = "glimradb.db";

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
        } catch (const GameDatabaseError&) {
            throw GameDatabaseError("The game database \"" + GameDatabaseFile +
                                    "\" cannot be read: " + AConn.LastError() + "." + BuildHint());
        }
        if (!found)
            throw GameDatabaseError("The game database \"" + GameDatabaseFile +
                                    "\" is not set up: it has no table " + table + "." +
                                    BuildHint());
    }
}

} // namespace

SqlConnection& OpenGameDatabase() {
    if (TheConnection) return *TheConnection;
    std::error_code ec;
    if (!std::filesystem::exists(GameDatabaseFile, ec))
        throw GameDatabaseError("The game database \"" + GameDatabaseFile + "\" was not found." +
                                BuildHint());
    auto conn = std::make_unique<SqlConnection>(GameDatabaseFile);
    CheckSetUp(*conn);
    TheConnection = std::move(conn);
    return *TheConnection;
}

void CloseGameDatabase() {
    TheConnection.reset();
}

std::string TwoDigits(std::int32_t AValue) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", static_cast<int>(AValue));
    return text;
}

std::string DateKey(std::int32_t AYear, std::int32_t AMonth, std::int32_t ADay) {
    return std::to_string(AYear) + "-" + TwoDigits(AMonth) + "-" + TwoDigits(ADay);
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
    DrawRandomWord(OpenGameDatabase(), Word);
}

// True when the date has a row in tblWordsByDate.
static bool DayHasWord(SqlConnection& AConn, const std::string& AKey) {
    SqlStatement query(AConn, "SELECT * FROM tblWordsByDate where dtDate=?");
    query.Bind(1, AKey);
    return query.Step();
}

bool AssignDayWord(std::int32_t AYear, std::int32_t AMonth, std::int32_t ADay) {
    SqlConnection& conn = OpenGameDatabase();
    TempDay = TwoDigits(ADay);
    TempMonth = TwoDigits(AMonth);
    const std::string key = std::to_string(AYear) + "-" + TempMonth + "-" + TempDay;
    // A day that has its word needs no write lock: most starts look and leave.
    if (DayHasWord(conn, key)) return false;
    SqlTransaction trans(conn);
    // Another node may have given the day its word since the look above.
    if (DayHasWord(conn, key)) return false;
    // Without answer words every day would get a blank (or a stale) word for good.
    if (!DrawRandomWord(conn, Word))
        throw GameDatabaseError("The game database \"" + GameDatabaseFile +
                                "\" has no answer words: table tblWords is empty." + BuildHint());
    SqlStatement insert(conn, "insert into tblWOrdsByDate (dtDate, strWord) values (?,?);");
    insert.Bind(1, key).Bind(2, Word);
    insert.Execute();
    trans.Commit();
    return true;
}

void GetWord() {
    TempDay = TwoDigits(Day);
    TempMonth = TwoDigits(Month);
    SqlStatement query(OpenGameDatabase(), "SELECT * FROM tblWordsByDate where dtDate=?");
    query.Bind(1, std::to_string(Year) + "-" + TempMonth + "-" + TempDay);
    while (query.Step()) Word = query.ColumnText("strWord");
}

std::vector<bool> AssignMonthWords(std::int32_t AYear, std::int32_t AMonth, std::int32_t ADays) {
    SqlConnection& conn = OpenGameDatabase();
    std::vector<bool> added(static_cast<std::size_t>(std::max(ADays, 0)), false);
    std::vector<std::string> missing;
    for (std::int32_t d = 1; d <= ADays; ++d) {
        const std::string key = DateKey(AYear, AMonth, d);
        if (!DayHasWord(conn, key)) missing.push_back(key);
    }
    // Most starts find every day given and take no write lock.
    if (missing.empty()) return added;
    // One transaction for the whole month: a single write to disk instead of one per day.
    SqlTransaction trans(conn);
    for (std::int32_t d = 1; d <= ADays; ++d) {
        const std::string key = DateKey(AYear, AMonth, d);
        // Another node may have given the day its word since the look above.
        if (DayHasWord(conn, key)) continue;
        if (!DrawRandomWord(conn, Word))
            throw GameDatabaseError("The game database \"" + GameDatabaseFile +
                                    "\" has no answer words: table tblWords is empty." +
                                    BuildHint());
        SqlStatement insert(conn, "insert into tblWOrdsByDate (dtDate, strWord) values (?,?);");
        insert.Bind(1, key).Bind(2, Word);
        insert.Execute();
        added[static_cast<std::size_t>(d - 1)] = true;
    }
    trans.Commit();
    TempDay = TwoDigits(ADays);
    TempMonth = TwoDigits(AMonth);
    return added;
}

void DBCheck() {
    GetToday();
    NumberOfDays = DaysInMonth(Year, Month);
    DoorTextColour(19);
    DoorWriteLn("Database Maintenance");
    // The marks go out after the transaction ends, so no lock is held while writing to a caller.
    for (bool added : AssignMonthWords(Year, Month, NumberOfDays)) DoorWrite(added ? "+" : ".");
    DoorClrScr();
}
