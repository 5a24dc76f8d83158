// The store of a board of its own: the SQLite file "glimradb.db" beside the door, shared by the
// board's nodes. One connection per process, opened on first use and again after Disconnect or a
// restore that replaced the file under it (mv).
#pragma once

#include "game/store/sqlite/sqldb.h"
#include "game/store/store.h"

#include <memory>
#include <string>
#include <vector>

// The database file, opened by this name relative to the working directory (read at every open,
// so that a tool or a test may point the store elsewhere and Disconnect).
extern std::string GameDatabaseFile;

class TSqliteStore : public TGameStore {
  public:
    std::string Name() const override { return GameDatabaseFile; }
    std::string Board() const override { return {}; }

    bool Upgrade() override;
    void CheckWritable() override;
    void SendKept() override {}

    std::optional<std::string> WordOfDate(const TGameDate& ADate) override;
    std::vector<bool> AssignMonthWords(std::int32_t AYear, std::int32_t AMonth,
                                       std::int32_t ADays) override;
    std::optional<std::string> DrawWord() override;
    std::int32_t WordMatches(const std::string& AGuess) override;

    bool HasScore(const TPlayer& APlayer, const TGameDate& ADate) override;
    std::vector<bool> PlayedDays(const TPlayer& APlayer, std::int32_t AYear,
                                 std::int32_t AMonth) override;
    void WriteScore(const TPlayer& APlayer, const TGameDate& ADate, std::int32_t AScore) override;

    std::vector<TDayScore> DayTopScores(const TGameDate& ADate, int ALimit) override;
    TDayBest DayBest(const TGameDate& ADate) override;
    std::vector<TScoreTotal> TopAllTimeTotals(int ALimit) override;
    std::vector<TScoreTotal> TopMonthTotals(std::int32_t AYear, std::int32_t AMonth,
                                            int ALimit) override;

    void Disconnect() override { FConn.reset(); }

    // The connection, opened when there is none. The file must exist (it is never created) and
    // hold the four tables; otherwise GameDatabaseError says which file is wrong and how the
    // sysop builds it. A file that was replaced under the open connection is opened afresh.
    // Every statement runs in autocommit unless wrapped in a SqlTransaction.
    SqlConnection& Connection();

  private:
    std::unique_ptr<SqlConnection> FConn;
};

// The process's SQLite connection (GameStore(), which must be the SQLite store): for tests, tools
// and benchmarks that reach the file directly.
SqlConnection& OpenGameDatabase();
// Drops the process store's connection (the next use opens the file again).
void CloseGameDatabase();

// True when the file has tblTotals and tblMonthTotals (a file holding only the four game tables
// lacks them; the totals are then read from tblScores alone).
bool HasScoreTotals(SqlConnection& AConn);
// Computes both totals afresh from tblScores (makedb; a file from before the totals). Returns
// what it left out or counted as 0 (rows of an older file with NULLs), "" when nothing.
std::string RebuildScoreTotals(SqlConnection& AConn);
// The objects of the built-in schema (tables, indexes, triggers) that AConn's file lacks, each
// as its type and name ("index idxScoresDateScore"), in the schema's order.
std::vector<std::string> MissingSchemaObjects(SqlConnection& AConn);
