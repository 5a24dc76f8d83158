// The game's one store: every read and write of words, scores and totals goes through TGameStore,
// whose back-end is the board's own SQLite file or a league's PostgreSQL database. Nothing above
// this header knows which of the two it talks to.
#pragma once

#include "game/rules/gamedate.h"
#include "game/store/storeerror.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A player: the alias on the board that played. Board is the board's tag in a league, empty on a
// board of its own; the same alias on two boards is two players.
struct TPlayer {
    std::string UserName;
    std::string Board;
};

// One score row of a day.
struct TDayScore {
    std::string UserName;
    std::int64_t Score = 0;
    std::string Board; // the player's board tag in a league; empty otherwise
};

// The best score of a day and how many players share it.
struct TDayBest {
    bool Found = false;       // somebody played the day
    std::string UserName;     // of the first best row; empty when nobody played
    std::int64_t Score = 0;   // 0 when nobody played
    std::int64_t Holders = 0; // rows of the day with that score; 0 when nobody played
    std::string Board;        // the first best row's board tag in a league; empty otherwise
};

// One ranked total: the player, the sum of their scores and the number of dates they have.
struct TScoreTotal {
    std::string UserName;
    std::int64_t Total = 0;
    std::int64_t Days = 0;
    std::string Board; // the player's board tag in a league; empty otherwise
};

// One back-end. Every method is one attempt: a failure is raised as GameDatabaseError (see
// game/store/storeerror.h for its faults) and RetryDatabase decides whether to try again. A method
// keeps no state of a failed attempt. Dates are TGameDate; each back-end keeps them in its own
// form.
class TGameStore {
  public:
    virtual ~TGameStore() = default;

    // What the log and the sysop's messages call the database: the file name, or the league's
    // host and database (never a password).
    virtual std::string Name() const = 0;
    // Board tag of this board in a league; empty for a board of its own.
    virtual std::string Board() const = 0;

    // Start-up, in this order: bring the database up to this version where the back-end may
    // (true when it did), make sure this door may write what it must, and hand over what was
    // kept while the database was away (a league's score spool). Each raises GameDatabaseError
    // with the reason for the sysop when the door cannot play.
    virtual bool Upgrade() = 0;
    virtual void CheckWritable() = 0;
    virtual void SendKept() = 0;

    // The word of a date; nothing when the date has none.
    virtual std::optional<std::string> WordOfDate(const TGameDate& ADate) = 0;
    // Gives every day 1..ADays of the month that lacks a playable word one, atomically, so that
    // two nodes (or two boards) never give one date two words; per day, whether it was given one.
    virtual std::vector<bool> AssignMonthWords(std::int32_t AYear, std::int32_t AMonth,
                                               std::int32_t ADays) = 0;
    // A word drawn uniformly from the answer words; nothing when there are none.
    virtual std::optional<std::string> DrawWord() = 0;
    // How often AGuess stands in the accepted words (any letter case), else in the answer words
    // (any letter case); 0 when in neither.
    virtual std::int32_t WordMatches(const std::string& AGuess) = 0;

    // True when APlayer has a score row for the date.
    virtual bool HasScore(const TPlayer& APlayer, const TGameDate& ADate) = 0;
    // Per day 1..31 of the month, whether APlayer has a score row (one read).
    virtual std::vector<bool> PlayedDays(const TPlayer& APlayer, std::int32_t AYear,
                                         std::int32_t AMonth) = 0;
    // Adds APlayer's row for the date or replaces its score, atomically: never two rows.
    virtual void WriteScore(const TPlayer& APlayer, const TGameDate& ADate,
                            std::int32_t AScore) = 0;

    // The ALimit best scores of a date, best first.
    virtual std::vector<TDayScore> DayTopScores(const TGameDate& ADate, int ALimit) = 0;
    // The best row of a date and how many rows share its score, from one snapshot.
    virtual TDayBest DayBest(const TGameDate& ADate) = 0;
    // The ALimit best all-time totals, best first.
    virtual std::vector<TScoreTotal> TopAllTimeTotals(int ALimit) = 0;
    // The ALimit best totals of a month, best first, with each player's number of dates.
    virtual std::vector<TScoreTotal> TopMonthTotals(std::int32_t AYear, std::int32_t AMonth,
                                                    int ALimit) = 0;

    // Drops the connection, so that the next method opens it afresh (a file replaced under it,
    // a server that went away).
    virtual void Disconnect() = 0;

    // True when a score that cannot reach the database now is kept on this machine (a league's
    // spool, written before the score is sent) and counts once the database is back. A
    // WriteScore that fails as TDatabaseFault::Unreachable has then left its score kept.
    virtual bool KeepsUnsentScores() const { return false; }
};

// Which database the process uses, from the configuration: no connection string, the SQLite file
// GameDatabaseFile; with one, the league's PostgreSQL database as board Board.
struct TStoreSetting {
    std::string Connection; // a libpq connection string; empty for the SQLite file
    std::string Board;      // the board's tag, 1 to 8 of A-Z and 0-9 (a league only)
};
extern TStoreSetting GameStoreSetting;

// The process's store, made on first use from GameStoreSetting; tests and tools may set their
// own. Making a league store on a build without league support raises GameDatabaseError saying
// so (never the local file instead, which would split the league).
TGameStore& GameStore();
void SetGameStore(std::unique_ptr<TGameStore> AStore);

// The league back-end, built on platforms that have libpq; elsewhere a stand-in that refuses.
std::unique_ptr<TGameStore> MakeLeagueStore(const TStoreSetting& ASetting);
