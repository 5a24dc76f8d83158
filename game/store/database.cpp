// The game's steps on its store and how a step waits for a database that is busy or away.
#include "game/store/database.h"

#include "door/doorlog.h"
#include "game/rules/gamedate.h"
#include "game/store/host.h"

#include <algorithm>
#include <chrono>
#include <optional>

std::string Word;
std::int32_t NumberOfDays = 0;

TDatabaseRetry DatabaseRetry;

namespace {

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

// A score the store kept for a league server that is away, as the log words it.
bool KeptScore(TDatabaseStep AKind, const GameDatabaseError& AError, const TGameStore& AStore) {
    return AKind == TDatabaseStep::Score && AError.Fault() == TDatabaseFault::Unreachable &&
           AStore.KeepsUnsentScores();
}

// The wait ends without the step: logged (a score as lost, or kept, with the caller's alias),
// then the door ends for whatever ended the wait. A hook that lets the door go on gets a failure.
[[noreturn]] void GiveUp(TDatabaseStep AKind, const std::string& AWhat, int AAttempts,
                         const GameDatabaseError& AError, const TGameStore& AStore) {
    const bool score = AKind == TDatabaseStep::Score;
    const char* why = StoreHost().WhyWaitEnded();
    const std::string outcome = KeptScore(AKind, AError, AStore) ? " spooled" : " lost";
    DoorLog(AWhat + (score ? " of " + StoreHost().CallerAlias() + outcome : " given up") +
            " after " + std::to_string(AAttempts) + " attempts, " + why + ": " + AError.LogText());
    StoreHost().EndSession();
    throw GameDatabaseError(score ? "your score could not be saved: the game database stayed busy. "
                                    "The sysop's log has the details."
                                  : "the game database stayed busy. The sysop's log has the "
                                    "details.");
}

// A league server that stayed away for DatabaseRetry.ServerWaitMs: the caller is told in one
// plain line (a kept score first on row 24), the log has the reason, and the door hands back.
[[noreturn]] void ServerAway(TDatabaseStep AKind, const std::string& AWhat, int AAttempts,
                             const GameDatabaseError& AError, const TGameStore& AStore) {
    const std::string after = " after " + std::to_string(AAttempts) + " attempts: ";
    const bool kept = KeptScore(AKind, AError, AStore);
    if (AKind == TDatabaseStep::Score)
        DoorLog(AWhat + " of " + StoreHost().CallerAlias() + (kept ? " spooled" : " lost") + after +
                AError.LogText());
    if (kept)
        StoreHost().ShowWaitLine("Your score is kept: it counts once the league's server is back.");
    throw GameDatabaseError(TDatabaseFault::Unreachable,
                            AWhat + " given up" + after + AError.LogText());
}

} // namespace

bool DatabaseWaitGoesOn(int AWaitedMs) {
    // A step kept waiting for a lock for over a second puts its wait line up then, not only after
    // the busy timeout, so that a caller never faces ten silent seconds.
    if (FRunningStep && !FNoticeUp && AWaitedMs >= 1000) ShowNotice(*FRunningStep, true);
    return StoreHost().MayKeepWaiting();
}

void RetryDatabase(TDatabaseStep AKind, const std::string& AWhat,
                   const std::function<void(TGameStore&)>& AStep) {
    // A step within a step (the leader figures' reads) gives the outer one its place back.
    struct TRunning {
        std::optional<TDatabaseStep> Outer = FRunningStep;
        explicit TRunning(TDatabaseStep AStepKind) { FRunningStep = AStepKind; }
        ~TRunning() { FRunningStep = Outer; }
    } running(AKind);
    // Since when, and for how many pauses, a league server has been away.
    std::optional<std::chrono::steady_clock::time_point> awaySince;
    std::int64_t awayPausedMs = 0;
    for (int attempt = 1;; ++attempt) {
        TGameStore& store = GameStore();
        try {
            AStep(store);
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
            const bool away = error.Fault() == TDatabaseFault::Unreachable;
            // The next attempt opens afresh: the file under the name, the server once it is back.
            if (error.Replaced() || away) store.Disconnect();
            if (attempt == 1) DoorLog(AWhat + " waits: " + error.LogText());
            if (away) {
                const auto now = std::chrono::steady_clock::now();
                if (!awaySince) awaySince = now;
                const auto waited =
                    std::chrono::duration_cast<std::chrono::milliseconds>(now - *awaySince);
                if (std::max<std::int64_t>(waited.count(), awayPausedMs) >=
                    DatabaseRetry.ServerWaitMs)
                    ServerAway(AKind, AWhat, attempt, error, store);
                awayPausedMs += DatabaseRetry.PauseMs;
            }
            // Shown again at every attempt: a write to a caller who hung up is what finds out.
            ShowNotice(AKind, true);
            if (!DatabaseWaitGoesOn(0)) GiveUp(AKind, AWhat, attempt, error, store);
            StoreHost().Pause(DatabaseRetry.PauseMs);
        }
    }
}

void RetryDatabase(TDatabaseStep AKind, const std::string& AWhat,
                   const std::function<void()>& AStep) {
    RetryDatabase(AKind, AWhat, [&](TGameStore&) { AStep(); });
}

std::string DateKey(std::int32_t AYear, std::int32_t AMonth, std::int32_t ADay) {
    return std::to_string(AYear) + "-" + KeyDigits(AMonth) + "-" + KeyDigits(ADay);
}

bool IsPlayableWord(const std::string& AWord) {
    return AWord.size() == 5 && std::all_of(AWord.begin(), AWord.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
           });
}

void GetRandomWord() {
    RetryDatabase(TDatabaseStep::Other, "word draw", [](TGameStore& AStore) {
        if (auto word = AStore.DrawWord()) Word = std::move(*word);
    });
}

std::int32_t WordListMatches(const std::string& AGuess) {
    std::int32_t matches = 0;
    RetryDatabase(TDatabaseStep::Other, "word check",
                  [&](TGameStore& AStore) { matches = AStore.WordMatches(AGuess); });
    return matches;
}

void GetWord() {
    const TGameDate date{Year, Month, Day};
    RetryDatabase(TDatabaseStep::Other, "word of " + DateKey(Year, Month, Day),
                  [&](TGameStore& AStore) {
                      if (auto word = AStore.WordOfDate(date)) Word = std::move(*word);
                  });
}

void CheckGameDatabaseWritable() {
    GameStore().CheckWritable();
}

void SendKeptScores() {
    GameStore().SendKept();
}

std::vector<bool> AssignMonthWords(std::int32_t AYear, std::int32_t AMonth, std::int32_t ADays) {
    std::vector<bool> added;
    RetryDatabase(
        TDatabaseStep::Other, "words of " + DateKey(AYear, AMonth, 1).substr(0, 7),
        [&](TGameStore& AStore) { added = AStore.AssignMonthWords(AYear, AMonth, ADays); });
    return added;
}
