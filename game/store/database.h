// The game's steps on its store (GameStore()): each waited for through RetryDatabase, the word of
// each date (DBCheck fills the current month at start-up) and the shared word of the game date.
#pragma once

#include "game/store/store.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The word of the game date as stored (GetWord), or the word last drawn (GetRandomWord).
extern std::string Word;
// Days of the month last measured (DBCheck, the calendar).
extern std::int32_t NumberOfDays;

// Start-up: fails (GameDatabaseError) when the door cannot write what it must (on SQLite the
// file and its directory, where the journal goes), so that no caller finds out at the first
// score. A database busy past the timeout passes.
void CheckGameDatabaseWritable();
// Start-up, before DBCheck: hands over what the store kept while its database was away (a
// league's score spool; nothing on SQLite).
void SendKeptScores();

// How a database step that meets a busy file is tried again. Tests shorten the pause.
struct TDatabaseRetry {
    std::int32_t PauseMs = 1000; // between two attempts (each also waits for a lock)
    // How long in all a league server that cannot be reached is tried again: a server that
    // restarts is back within it.
    std::int32_t ServerWaitMs = 10000;
};
extern TDatabaseRetry DatabaseRetry;

// A caller's score, whose loss is logged as such, or any other step.
enum class TDatabaseStep { Other, Score };

// Runs AStep on the game database until it succeeds: every step a game depends on goes through
// here. A file that is busy or locked (a backup, a database browser, another node's commit),
// full (for a score only), failing to read or write, or replaced under the open connection
// (then opened afresh) is tried again every DatabaseRetry.PauseMs for as long as the caller is
// there and has time left, with a line on row 24 meanwhile ("Saving your score, please wait..." for
// a score); each wait, its outcome and a step given up (a score with the caller's alias) are
// logged. An ending signal, a hang-up or the end of the caller's time ends the door the usual way,
// noticed within a second also in the midst of a wait for a lock. AStep must keep no state of a
// failed attempt. Other failures are raised (GameDatabaseError).
// A league server that cannot be reached (TDatabaseFault::Unreachable) is tried again, the
// connection dropped first, for DatabaseRetry.ServerWaitMs in all; then a score the store keeps
// (KeepsUnsentScores) is told to the caller as kept, and any step fails with the plain line.
void RetryDatabase(TDatabaseStep AKind, const std::string& AWhat,
                   const std::function<void(TGameStore&)>& AStep);
// The same for a step made of the store's own reads of the game database.
void RetryDatabase(TDatabaseStep AKind, const std::string& AWhat,
                   const std::function<void()>& AStep);

// Asked by a back-end between the short sleeps of its wait for a lock (AWaitedMs so far): false
// ends the wait (the door is ending, the caller gone or out of time).
bool DatabaseWaitGoesOn(int AWaitedMs);

// The text form of every date in the database: 2024-03-05. Dates become text only here, where
// they meet SQL.
std::string DateKey(std::int32_t AYear, std::int32_t AMonth, std::int32_t ADay);

// Gives every day from 1 to ADays of the month without a playable word one (an unplayable word
// is deleted and logged), in one immediate transaction
// (none when every day has its word), and says, per day, whether it was given one. Two nodes can
// never give one date two words. DBCheck's work, and the game's for a month that began during
// the session or a date whose word cannot be played.
std::vector<bool> AssignMonthWords(std::int32_t AYear, std::int32_t AMonth, std::int32_t ADays);
// True for a word that can be played: five letters A to Z, in either case.
bool IsPlayableWord(const std::string& AWord);

// Draws a word uniformly from tblWords into Word; Word is unchanged when tblWords is empty.
void GetRandomWord();
// How often AGuess stands in the accepted words (any letter case), or else in the answer words
// (any letter case too): 0 when in neither. A busy database is waited for (RetryDatabase).
std::int32_t WordListMatches(const std::string& AGuess);
// Loads the word of the game date (Day, Month, Year) into Word; unchanged when the date has
// no word. With several rows for a date the last one returned wins.
void GetWord();
