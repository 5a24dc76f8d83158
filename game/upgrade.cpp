// Brings a database from an earlier version up to the built-in schema at start-up.
#include "game/upgrade.h"

#include "door/doorlog.h"
#include "door/term/ansi.h"
#include "game/database.h"
#include "game/schema_sql.h"
#include "game/totals.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>

namespace {

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

std::vector<std::string> MissingSchemaObjects(SqlConnection& AConn) {
    std::vector<std::string> names;
    for (const auto& object : Missing(AConn)) names.push_back(object.Type + " " + object.Name);
    return names;
}

bool UpgradeGameDatabase() {
    // A missing file is left to OpenGameDatabase to report, after the start-up's other steps.
    std::error_code ec;
    if (!std::filesystem::exists(GameDatabaseFile, ec)) return false;
    bool upgraded = false;
    // Waits for another node's upgrade, or a backup's lock, as every other step does.
    RetryDatabase(TDatabaseStep::Other, "start-up look for an upgrade", [&](SqlConnection& conn) {
        // Most starts find nothing missing and take no write lock.
        if (Missing(conn).empty()) return;
        SqlTransaction trans(conn);
        // Another node may have upgraded the file since the look.
        const auto missing = Missing(conn);
        if (missing.empty()) return;
        std::string skipped;
        AnsiWrite("Upgrading " + GameDatabaseFile + " for this version (" +
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
        AnsiWrite(done);
        upgraded = true;
    });
    return upgraded;
}
