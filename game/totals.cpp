// Score totals per caller, all-time and per month, read by the boards in place of sums over the
// whole scores table.
#include "game/totals.h"

#include "door/stringutils.h"
#include "game/database.h"

namespace {

std::vector<TScoreTotal> ReadTotals(SqlStatement& AQuery, bool AHasDays) {
    std::vector<TScoreTotal> totals;
    while (AQuery.Step())
        totals.push_back(
            {AQuery.ColumnText(0), AQuery.ColumnInt(1), AHasDays ? AQuery.ColumnInt(2) : 0});
    return totals;
}

} // namespace

bool HasScoreTotals(SqlConnection& AConn) {
    return AConn.HasTable("tblTotals") && AConn.HasTable("tblMonthTotals");
}

void RebuildScoreTotals(SqlConnection& AConn) {
    AConn.Exec("DELETE FROM tblTotals;"
               "DELETE FROM tblMonthTotals;"
               "INSERT INTO tblTotals (strUserName, intTotal) "
               "SELECT strUserName, SUM(intScore) FROM tblScores GROUP BY strUserName;"
               "INSERT INTO tblMonthTotals (strMonth, strUserName, intTotal, intDays) "
               "SELECT substr(dtDate, 1, length(dtDate) - 3), strUserName, SUM(intScore), "
               "COUNT(DISTINCT dtDate) FROM tblScores GROUP BY 1, 2;");
}

// Among equal totals SQLite returns the sums of tblScores by name, ascending over all dates
// and descending within a month (the plans of those statements on this schema); the second
// sort keys below keep exactly that order.

std::vector<TScoreTotal> TopAllTimeTotals(SqlConnection& AConn, int ALimit) {
    if (!HasScoreTotals(AConn)) {
        SqlStatement query(AConn, "select strUserName, sum (intScore) as p from tblScores "
                                  "group by strUserName order by p desc limit ?");
        query.Bind(1, std::int64_t{ALimit});
        return ReadTotals(query, false);
    }
    SqlStatement query(AConn, "SELECT strUserName, intTotal FROM tblTotals "
                              "ORDER BY intTotal DESC, strUserName ASC LIMIT ?");
    query.Bind(1, std::int64_t{ALimit});
    return ReadTotals(query, false);
}

std::vector<TScoreTotal> TopMonthTotals(SqlConnection& AConn, std::int32_t AYear,
                                        std::int32_t AMonth, int ALimit) {
    const std::string month = std::to_string(AYear) + "-" + TwoDigits(AMonth);
    if (!HasScoreTotals(AConn)) {
        SqlStatement query(AConn,
                           "select strUserName, sum(intScore) as p, COUNT(DISTINCT dtDate) AS "
                           "NumberOfDays from tblScores where dtDate between ?  and ? "
                           "group by strUserName order by p desc LIMIT ?;");
        query.Bind(1, month + "-01").Bind(2, month + "-31").Bind(3, std::int64_t{ALimit});
        return ReadTotals(query, true);
    }
    SqlStatement query(AConn, "SELECT strUserName, intTotal, intDays FROM tblMonthTotals "
                              "WHERE strMonth = ? ORDER BY intTotal DESC, strUserName DESC "
                              "LIMIT ?");
    query.Bind(1, month).Bind(2, std::int64_t{ALimit});
    return ReadTotals(query, true);
}
