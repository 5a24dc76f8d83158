// Score records and played days of the session's caller.
#include "game/scores.h"

#include "door/door.h"
#include "game/database.h"
#include "game/sqldb.h"

#include <charconv>
#include <stdexcept>

TDaysArray DaysPlayed;

namespace {

std::int32_t ParseDatePart(const std::string& AText) {
    std::int32_t value = 0;
    auto [end, ec] = std::from_chars(AText.data(), AText.data() + AText.size(), value);
    if (AText.empty() || ec != std::errc() || end != AText.data() + AText.size())
        throw std::invalid_argument("date part \"" + AText + "\" is not a whole number");
    return value;
}

// The date key. Padding the number (not the text) keeps "05" from turning into "005".
std::string ScoreDateKey(const std::string& AMonth, const std::string& ADay,
                         const std::string& AYear) {
    std::int32_t day = ParseDatePart(ADay);
    std::int32_t month = ParseDatePart(AMonth);
    ParseDatePart(AYear);
    return AYear + "-" + TwoDigits(month) + "-" + TwoDigits(day);
}

bool HasScoreRow(SqlConnection& AConn, const std::string& AKey) {
    SqlStatement query(AConn, "SELECT * FROM tblScores where dtDate=? and strUserName=?");
    query.Bind(1, AKey).Bind(2, DoorDropInfo.Alias);
    return query.Step();
}

} // namespace

bool DayPlayedCheck(const std::string& AMonth, const std::string& ADay, const std::string& AYear) {
    std::string key = ScoreDateKey(AMonth, ADay, AYear);
    return HasScoreRow(OpenGameDatabase(), key);
}

void SetScore(std::int32_t AScore, const std::string& AMonth, const std::string& ADay,
              const std::string& AYear) {
    std::string key = ScoreDateKey(AMonth, ADay, AYear);
    SqlConnection& conn = OpenGameDatabase();
    SqlTransaction trans(conn);
    if (!HasScoreRow(conn, key)) {
        SqlStatement insert(
            conn, "insert into tblScores (strUserName, dtDate, intScore) values (?, ?, ?);");
        insert.Bind(1, DoorDropInfo.Alias).Bind(2, key).Bind(3, std::int64_t{AScore});
        insert.Execute();
    } else {
        SqlStatement update(
            conn, "update tblScores set intScore = ? where strUserName = ? and dtDate = ?;");
        update.Bind(1, std::int64_t{AScore}).Bind(2, DoorDropInfo.Alias).Bind(3, key);
        update.Execute();
    }
    trans.Commit();
}

void TrackPlayerDays(std::int32_t AMonth, std::int32_t AYear, TDaysArray& ADaysPlayed) {
    const std::string month = std::to_string(AMonth);
    const std::string year = std::to_string(AYear);
    for (std::int32_t d = 1; d <= 31; ++d)
        ADaysPlayed[d] = DayPlayedCheck(month, std::to_string(d), year) ? 1 : 0;
}
