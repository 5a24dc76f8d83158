// The league's back-end: TGameStore over one PostgreSQL connection, as the board of line 5.
// Scores go through the score spool (game/store/postgres/spool.h).
#pragma once

#include "game/store/postgres/pgconn.h"
#include "game/store/postgres/spool.h"
#include "game/store/store.h"

#include <unordered_map>

class TLeagueStore final : public TGameStore {
  public:
    explicit TLeagueStore(const TStoreSetting& ASetting);

    std::string Name() const override { return FConn.Name(); }
    std::string Board() const override { return FBoard; }

    bool Upgrade() override;
    void CheckWritable() override;
    void SendKept() override;

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

    void Disconnect() override { FConn.Disconnect(); }
    bool KeepsUnsentScores() const override { return true; }

  private:
    // The connection, opened and checked (schema there, role is this board) on first use.
    TPgConnection& Db();
    TPgResult Run(const TPgStatement& AStatement, const std::vector<std::string>& AParams);
    void CheckBoard();
    // Sends one spool entry: counted once, however often it is sent.
    void Apply(const TSpoolEntry& AEntry);
    std::string PlayerBoard(const TPlayer& APlayer) const;

    TPgConnection FConn;
    std::string FBoard;
    TScoreSpool FSpool;
    // Every word a guess may be, lower case, with how often it stands in its list.
    std::optional<std::unordered_map<std::string, std::int32_t>> FWordLists;
};
