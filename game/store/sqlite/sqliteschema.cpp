// The SQLite file's score totals (kept in step with tblScores by the schema's triggers, so that
// the boards that rank totals read one row per player instead of summing years of scores) and
// the start-up upgrade of a file made by an earlier version.
#include "door/doorlog.h"
#include "game/store/host.h"
#include "game/store/schema_sql.h"
#include "game/store/sqlite/sqlitestore.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>

namespace {

std::vector<TScoreTotal> ReadTotals(SqlStatement& AQuery, bool AHasDays) {
    std::vector<TScoreTotal> totals;
    while (AQuery.Step())
        totals.push_back(
            {AQuery.ColumnText(0), AQuery.ColumnInt(1), AHasDays ? AQuery.ColumnInt(2) : 0, {}});
    return totals;
}

// SQLite's names ignore case (ASCII).
bool SameName(const std::string& A, const std::string& B) {
    return std::equal(A.begin(), A.end(), B.begin(), B.end(), [](char AOne, char ATwo) {
        return std::tolower(static_cast<unsigned char>(AOne)) ==
               std::tolower(static_cast<unsigned char>(ATwo));
    });
}

struct TSchemaObject {
    std::string Type;
    std::string Name;
};

std::vector<TSchemaObject> SchemaObjects(SqlConnection& AConn) {
    SqlStatement query(AConn, "SELECT type, name FROM sqlite_master WHERE type IN "
                              "('table', 'index', 'trigger') AND name NOT LIKE 'sqlite_%'");
    std::vector<TSchemaObject> objects;
    while (query.Step()) objects.push_back({query.ColumnText(0), query.ColumnText(1)});
    return objects;
}

// What the schema makes in an empty database, read once per process.
const std::vector<TSchemaObject>& ExpectedObjects() {
    static const std::vector<TSchemaObject> objects = [] {
        SqlConnection memory(":memory:");
        memory.Exec(GLIMRA_SCHEMA_SQL);
        return SchemaObjects(memory);
    }();
    return objects;
}

std::vector<TSchemaObject> Missing(SqlConnection& AConn) {
    const auto present = SchemaObjects(AConn);
    std::vector<TSchemaObject> missing;
    for (const auto& wanted : ExpectedObjects()) {
        const bool found = std::any_of(present.begin(), present.end(), [&](const auto& AHave) {
            return AHave.Type == wanted.Type && SameName(AHave.Name, wanted.Name);
        });
        if (!found) missing.push_back(wanted);
    }
    return missing;
}

} // namespace

bool HasScoreTotals(SqlConnection& AConn) {
    return AConn.HasTable("tblTotals") && AConn.HasTable("tblMonthTotals");
}

std::string RebuildScoreTotals(SqlConnection& AConn) {
    // Files of earlier versions allow NULLs in tblScores. A row without a name belongs to no
    // player and one without a date to no month; a score without points counts as 0.
    AConn.Exec("DELETE FROM tblTotals;"
               "DELETE FROM tblMonthTotals;"
               "INSERT INTO tblTotals (strUserName, intTotal) "
               "SELECT strUserName, COALESCE(SUM(intScore), 0) FROM tblScores "
               "WHERE strUserName IS NOT NULL GROUP BY strUserName;"
               "INSERT INTO tblMonthTotals (strMonth, strUserName, intTotal, intDays) "
               "SELECT substr(dtDate, 1, length(dtDate) - 3), strUserName, "
               "COALESCE(SUM(intScore), 0), COUNT(DISTINCT dtDate) FROM tblScores "
               "WHERE strUserName IS NOT NULL AND dtDate IS NOT NULL GROUP BY 1, 2;");
    SqlStatement query(AConn, "SELECT TOTAL(strUserName IS NULL), "
                              "TOTAL(strUserName IS NOT NULL AND dtDate IS NULL), "
                              "TOTAL(intScore IS NULL) FROM tblScores");
    query.Step();
    const char* const what[] = {" without a name left out of the totals",
                                " without a date left out of the monthly totals",
                                " without points counted as 0"};
    std::string skipped;
    for (int i = 0; i < 3; ++i) {
        const std::int64_t count = query.ColumnInt(i);
        if (count == 0) continue;
        skipped += (skipped.empty() ? "" : "; ") + std::to_string(count) +
                   (count == 1 ? " score" : " scores") + what[i];
    }
    return skipped.empty() ? skipped : "tblScores: " + skipped;
}

// Among equal totals SQLite returns the sums of tblScores by name, ascending over all dates
// and descending within a month (the plans of those statements on this schema); the second
// sort keys below keep exactly that order. A file without the totals tables is summed as it is.

std::vector<TScoreTotal> TSqliteStore::TopAllTimeTotals(int ALimit) {
    SqlConnection& conn = Connection();
    if (!HasScoreTotals(conn)) {
        SqlStatement query(conn, "select strUserName, sum (intScore) as p from tblScores "
                                 "group by strUserName order by p desc limit ?");
        query.Bind(1, std::int64_t{ALimit});
        return ReadTotals(query, false);
    }
    SqlStatement query(conn, "SELECT strUserName, intTotal FROM tblTotals "
                             "ORDER BY intTotal DESC, strUserName ASC LIMIT ?");
    query.Bind(1, std::int64_t{ALimit});
    return ReadTotals(query, false);
}

std::vector<TScoreTotal> TSqliteStore::TopMonthTotals(std::int32_t AYear, std::int32_t AMonth,
                                                      int ALimit) {
    SqlConnection& conn = Connection();
    const std::string month = std::to_string(AYear) + "-" + KeyDigits(AMonth);
    if (!HasScoreTotals(conn)) {
        SqlStatement query(conn,
                           "select strUserName, sum(intScore) as p, COUNT(DISTINCT dtDate) AS "
                           "NumberOfDays from tblScores where dtDate between ?  and ? "
                           "group by strUserName order by p desc LIMIT ?;");
        query.Bind(1, month + "-01").Bind(2, month + "-31").Bind(3, std::int64_t{ALimit});
        return ReadTotals(query, true);
    }
    SqlStatement query(conn, "SELECT strUserName, intTotal, intDays FROM tblMonthTotals "
                             "WHERE strMonth = ? ORDER BY intTotal DESC, strUserName DESC "
                             "LIMIT ?");
    query.Bind(1, month).Bind(2, std::int64_t{ALimit});
    return ReadTotals(query, true);
}

std::vector<std::string> MissingSchemaObjects(SqlConnection& AConn) {
    std::vector<std::string> names;
    for (const auto& object : Missing(AConn)) names.push_back(object.Type + " " + object.Name);
    return names;
}

// When the file lacks any object of the built-in schema (data/schema.sql), adds them all and
// computes the score totals afresh, in one immediate transaction, with a line on the local
// console. Nodes that start at once upgrade it once: each looks again once it holds the write
// lock. The scores and words are not touched. A missing file is left to the first read to report.
bool TSqliteStore::Upgrade() {
    std::error_code ec;
    if (!std::filesystem::exists(GameDatabaseFile, ec)) return false;
    SqlConnection& conn = Connection();
    // Most starts find nothing missing and take no write lock.
    if (Missing(conn).empty()) return false;
    SqlTransaction trans(conn);
    // Another node may have upgraded the file since the look.
    const auto missing = Missing(conn);
    if (missing.empty()) return false;
    std::string skipped;
    StoreHost().LocalNotice("Upgrading " + GameDatabaseFile + " for this version (" +
                            std::to_string(missing.size()) + " indexes, tables and triggers)... ");
    const auto start = std::chrono::steady_clock::now();
    conn.Exec(GLIMRA_SCHEMA_SQL);
    // A totals table or trigger that was missing leaves the totals short of some scores.
    if (std::any_of(missing.begin(), missing.end(),
                    [](const TSchemaObject& AObject) { return AObject.Type != "index"; }))
        skipped = RebuildScoreTotals(conn);
    trans.Commit();
    if (!skipped.empty()) DoorLog("upgrade of " + GameDatabaseFile + ": " + skipped);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char done[64];
    std::snprintf(done, sizeof done, "done in %.1f s\r\n", seconds);
    StoreHost().LocalNotice(done);
    return true;
}
