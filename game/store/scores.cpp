// Score records and played days of the session's caller, and the best scores of a day.
#include "game/store/scores.h"

#include "door/doorlog.h"
#include "game/store/database.h"
#include "game/store/host.h"

#include <charconv>
#include <stdexcept>

TDaysArray DaysPlayed;

namespace {

std::int32_t ParseDatePart(const std::string& AText) {
    std::int32_t value = 0;
    const char* end = AText.data() + AText.size();
    const auto [at, error] = std::from_chars(AText.data(), end, value);
    if (error != std::errc{} || at != end || AText[0] == '-') // digits alone, in range
        throw std::invalid_argument("date part \"" + AText + "\" is not a whole number");
    return value;
}

TGameDate ParseDate(const std::string& AMonth, const std::string& ADay, const std::string& AYear) {
    return {ParseDatePart(AYear), ParseDatePart(AMonth), ParseDatePart(ADay)};
}

std::string Key(const TGameDate& ADate) {
    return DateKey(ADate.Year, ADate.Month, ADate.Day);
}

bool HasScoreRow(SqlConnection& AConn, const std::string& AKey) {
    SqlStatement query(AConn, "SELECT * FROM tblScores where dtDate=? and strUserName=?");
    query.Bind(1, AKey).Bind(2, StoreHost().CallerAlias());
    return query.Step();
}

// The score row of the caller and the date: added, or its score replaced, in one immediate
// transaction.
void WriteScore(SqlConnection& AConn, const std::string& AKey, std::int32_t AScore) {
    SqlTransaction trans(AConn);
    if (!HasScoreRow(AConn, AKey)) {
        SqlStatement insert(
            AConn, "insert into tblScores (strUserName, dtDate, intScore) values (?, ?, ?);");
        insert.Bind(1, StoreHost().CallerAlias()).Bind(2, AKey).Bind(3, std::int64_t{AScore});
        insert.Execute();
    } else {
        SqlStatement update(
            AConn, "update tblScores set intScore = ? where strUserName = ? and dtDate = ?;");
        update.Bind(1, std::int64_t{AScore}).Bind(2, StoreHost().CallerAlias()).Bind(3, AKey);
        update.Execute();
    }
    trans.Commit();
}

} // namespace

bool IsCaller(const std::string& AUserName) {
    return AUserName == StoreHost().CallerAlias();
}

bool DayPlayedCheck(const TGameDate& ADate) {
    const std::string key = Key(ADate);
    bool played = false;
    RetryDatabase(TDatabaseStep::Other, "played-day check for " + key,
                  [&](SqlConnection& AConn) { played = HasScoreRow(AConn, key); });
    return played;
}

bool PlayedDay(std::int32_t ADay) {
    return DayPlayedCheck(GameDay(ADay));
}

void SetScore(std::int32_t AScore, const TGameDate& ADate) {
    const std::string key = Key(ADate);
    RetryDatabase(TDatabaseStep::Score, "score " + std::to_string(AScore) + " for " + key,
                  [&](SqlConnection& AConn) { WriteScore(AConn, key, AScore); });
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

std::vector<TDayScore> DayTopScores(const TGameDate& ADate, int ALimit) {
    return DayTopScores(OpenGameDatabase(), ADate, ALimit);
}

TDayBest ReadDayBest(const TGameDate& ADate) {
    return ReadDayBest(OpenGameDatabase(), ADate);
}
