// Score totals per caller, all-time and per month, read by the boards in place of sums over the
// whole scores table.
#include "game/store/totals.h"

#include "game/rules/gamedate.h"
#include "game/store/database.h"

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

std::string RebuildScoreTotals(SqlConnection& AConn) {
    // Files of earlier versions allow NULLs in tblScores. A row without a name belongs to no
    // player and one without a date to no month; a score without points counts as 0.
    AConn.Exec("DELETE FROM tblTotals;"
               "DELETE FROM tblMonthTotals;"
               "INSERT INTO tblTotals (strUserName, intTotal) "
               "SELECT strUserName, COALESCE(SUM(intScore), 0) FROM tblScores "
               "WHERE strUserName IS NOT NULL GROUP BY strUserName;"
               "INSERT INTO tblMonthTotals (strMonth, strUserName, intTotal, intDays) "
               "SELECT substr(dtDate, 1, length(dtDate) - 3), strUserName, "
               "COALESCE(SUM(intScore), 0), COUNT(DISTINCT dtDate) FROM tblScores "
               "WHERE strUserName IS NOT NULL AND dtDate IS NOT NULL GROUP BY 1, 2;");
    SqlStatement query(AConn, "SELECT TOTAL(strUserName IS NULL), "
                              "TOTAL(strUserName IS NOT NULL AND dtDate IS NULL), "
                              "TOTAL(intScore IS NULL) FROM tblScores");
    query.Step();
    const char* const what[] = {" without a name left out of the totals",
                                " without a date left out of the monthly totals",
                                " without points counted as 0"};
    std::string skipped;
    for (int i = 0; i < 3; ++i) {
        const std::int64_t count = query.ColumnInt(i);
        if (count == 0) continue;
        skipped += (skipped.empty() ? "" : "; ") + std::to_string(count) +
                   (count == 1 ? " score" : " scores") + what[i];
    }
    return skipped.empty() ? skipped : "tblScores: " + skipped;
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
    const std::string month = std::to_string(AYear) + "-" + KeyDigits(AMonth);
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

std::vector<TScoreTotal> TopAllTimeTotals(int ALimit) {
    return TopAllTimeTotals(OpenGameDatabase(), ALimit);
}

std::vector<TScoreTotal> TopMonthTotals(std::int32_t AYear, std::int32_t AMonth, int ALimit) {
    return TopMonthTotals(OpenGameDatabase(), AYear, AMonth, ALimit);
}
