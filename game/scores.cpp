// Score records and played days of the session's caller, and the best scores of a day.
#include "game/scores.h"

#include "door/door.h"
#include "door/doorlog.h"
#include "door/stringutils.h"
#include "game/database.h"

#include <stdexcept>

TDaysArray DaysPlayed;
TScoreRetry ScoreRetry;

namespace {

std::int32_t ParseDatePart(const std::string& AText) {
    const auto value = ReadInteger(AText, TIntegerText::Digits);
    if (!value) throw std::invalid_argument("date part \"" + AText + "\" is not a whole number");
    return *value;
}

TGameDate ParseDate(const std::string& AMonth, const std::string& ADay, const std::string& AYear) {
    return {ParseDatePart(AYear), ParseDatePart(AMonth), ParseDatePart(ADay)};
}

std::string Key(const TGameDate& ADate) {
    return DateKey(ADate.Year, ADate.Month, ADate.Day);
}

bool HasScoreRow(SqlConnection& AConn, const std::string& AKey) {
    SqlStatement query(AConn, "SELECT * FROM tblScores where dtDate=? and strUserName=?");
    query.Bind(1, AKey).Bind(2, DoorDropInfo.Alias);
    return query.Step();
}

// The score row of the caller and the date: added, or its score replaced, in one immediate
// transaction.
void WriteScore(SqlConnection& AConn, const std::string& AKey, std::int32_t AScore) {
    SqlTransaction trans(AConn);
    if (!HasScoreRow(AConn, AKey)) {
        SqlStatement insert(
            AConn, "insert into tblScores (strUserName, dtDate, intScore) values (?, ?, ?);");
        insert.Bind(1, DoorDropInfo.Alias).Bind(2, AKey).Bind(3, std::int64_t{AScore});
        insert.Execute();
    } else {
        SqlStatement update(
            AConn, "update tblScores set intScore = ? where strUserName = ? and dtDate = ?;");
        update.Bind(1, std::int64_t{AScore}).Bind(2, DoorDropInfo.Alias).Bind(3, AKey);
        update.Execute();
    }
    trans.Commit();
}

// The one-line wait the caller sees while the score waits for the database, and its removal.
constexpr std::uint8_t NOTICE_X = 2, NOTICE_Y = 24;
const std::string SAVING_NOTICE = "Saving your score, please wait...";

void ShowSavingNotice(bool AShow) {
    DoorGotoXY(NOTICE_X, NOTICE_Y);
    DoorTextBackground(COLOUR_BLACK);
    DoorTextColour(COLOUR_YELLOW);
    DoorWrite(AShow ? SAVING_NOTICE : std::string(SAVING_NOTICE.size(), ' '));
}

// Whether a score that met a busy or full database is tried again: while the caller is there
// and has time left, then for ScoreRetry.AfterCallerSeconds more.
class TScoreWait {
  public:
    bool KeepTrying() {
        if (DoorCarrier() && DoorSecondsLeft() > 0) return true;
        const TDateTime now = DoorSteadyNow();
        if (FCallerGone == TDateTime{}) {
            FCallerGone = now;
            DoorLogEnding(DoorCarrier() ? "time up" : "dropped carrier");
            DoorLog("score: the caller is gone or out of time; trying for " +
                    std::to_string(ScoreRetry.AfterCallerSeconds) + " s more");
        }
        return now - FCallerGone < std::chrono::seconds(ScoreRetry.AfterCallerSeconds);
    }

  private:
    TDateTime FCallerGone{};
};

} // namespace

bool IsCaller(const std::string& AUserName) {
    return AUserName == DoorDropInfo.Alias;
}

bool DayPlayedCheck(const TGameDate& ADate) {
    return HasScoreRow(OpenGameDatabase(), Key(ADate));
}

bool PlayedDay(std::int32_t ADay) {
    return DayPlayedCheck(GameDay(ADay));
}

void SetScore(std::int32_t AScore, const TGameDate& ADate) {
    const std::string key = Key(ADate);
    const std::string what = "score " + std::to_string(AScore) + " for " + key;
    TScoreWait wait;
    for (int attempt = 1;; ++attempt) {
        try {
            WriteScore(OpenGameDatabase(), key, AScore);
            if (attempt > 1) {
                DoorLog(what + " saved at attempt " + std::to_string(attempt));
                ShowSavingNotice(false);
                // The caller waited for the database, not idled: the idle limit starts afresh.
                DoorLastKey.Time = DoorSteadyNow();
            }
            return;
        } catch (const GameDatabaseError& error) {
            DoorEndIfSignalled(); // a wait cut short by an ending signal: the door ends
            if (!error.Transient()) throw;
            if (attempt == 1) DoorLog(what + " waits: " + error.what());
            // Shown again at every attempt: a write to a caller who hung up is what finds out.
            ShowSavingNotice(true);
            if (!wait.KeepTrying()) {
                DoorLog(what + " lost after " + std::to_string(attempt) +
                        " attempts: " + error.what());
                throw GameDatabaseError("your score could not be saved: the game database stayed "
                                        "busy or full. The sysop's log has the details.");
            }
            DoorDelay(ScoreRetry.PauseMs);
            DoorEndIfSignalled();
        }
    }
}

bool DayPlayedCheck(const std::string& AMonth, const std::string& ADay, const std::string& AYear) {
    return DayPlayedCheck(ParseDate(AMonth, ADay, AYear));
}

void SetScore(std::int32_t AScore, const std::string& AMonth, const std::string& ADay,
              const std::string& AYear) {
    SetScore(AScore, ParseDate(AMonth, ADay, AYear));
}

void TrackPlayerDays(std::int32_t AMonth, std::int32_t AYear, TDaysArray& ADaysPlayed) {
    for (std::int32_t d = 1; d <= 31; ++d)
        ADaysPlayed[d] = DayPlayedCheck(TGameDate{AYear, AMonth, d}) ? 1 : 0;
}

std::vector<TDayScore> DayTopScores(SqlConnection& AConn, const TGameDate& ADate, int ALimit) {
    SqlStatement query(AConn,
                       "select * from tblScores where dtDate=? order by intScore desc LIMIT ?");
    query.Bind(1, Key(ADate)).Bind(2, std::int64_t{ALimit});
    std::vector<TDayScore> rows;
    while (query.Step())
        rows.push_back({query.ColumnText("strUserName"), query.ColumnInt("intScore")});
    return rows;
}

TDayBest ReadDayBest(SqlConnection& AConn, const TGameDate& ADate) {
    TDayBest best;
    SqlTransaction trans(AConn, SqlTransaction::TKind::Read);
    const auto top = DayTopScores(AConn, ADate, 1);
    if (!top.empty()) best = {true, top[0].UserName, top[0].Score, 0};
    {
        SqlStatement ties(AConn,
                          "SELECT COUNT(*) as HS FROM tblScores WHERE  dtDate=? and intScore=?");
        ties.Bind(1, Key(ADate)).Bind(2, best.Score);
        if (ties.Step()) best.Holders = ties.ColumnInt("HS");
    }
    trans.Commit();
    return best;
}
