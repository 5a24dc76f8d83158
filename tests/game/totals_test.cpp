// Score totals: the rankings read from the totals must equal, row for row and in the same
// order among ties, the sums over tblScores that they replace; and a file without the totals
// still ranks the same way.
#include "gamedb_fixture.h"

#include "game/scores.h"
#include "game/totals.h"

#include <random>

namespace {

const char* const kAllTime = "select strUserName, sum (intScore) as p from tblScores "
                             "group by strUserName order by p desc limit ";
const char* const kMonth = "select strUserName, sum(intScore) as p from tblScores where dtDate "
                           "between \"{M}-01\"  and \"{M}-31\" group by strUserName "
                           "order by p desc LIMIT ";
const char* const kMonthDays =
    "select strUserName, sum(intScore) as p, COUNT(DISTINCT dtDate) AS NumberOfDays from "
    "tblScores where dtDate between \"{M}-01\"  and \"{M}-31\" group by strUserName "
    "order by p desc LIMIT ";

std::string WithMonth(std::string ASql, const std::string& AMonth) {
    for (auto at = ASql.find("{M}"); at != std::string::npos; at = ASql.find("{M}"))
        ASql.replace(at, 3, AMonth);
    return ASql;
}

std::vector<std::string> AsRows(const std::vector<TScoreTotal>& ATotals, bool ADays) {
    std::vector<std::string> rows;
    for (const auto& t : ATotals)
        rows.push_back(t.UserName + "|" + std::to_string(t.Total) +
                       (ADays ? "|" + std::to_string(t.Days) : ""));
    return rows;
}

// Callers with few distinct totals, so that most ranks are ties; some play a date twice (the
// second score replaces the first) and two aliases differ only in case.
void PlayRandomMonths(std::uint32_t ASeed) {
    std::mt19937 random(ASeed);
    const std::vector<std::string> names = {"Bob", "bob",   "Zed", "amy", "Amy", "Carl", "dora",
                                            "Eve", "Frank", "gus", "Hal", "Ian", "Jo",   "Kim"};
    for (int game = 0; game < 300; ++game) {
        DoorDropInfo.Alias = names[random() % names.size()];
        const int month = 1 + static_cast<int>(random() % 3);
        const int day = 1 + static_cast<int>(random() % 28);
        const int score = static_cast<int>(random() % 3) * 10;
        SetScore(score, std::to_string(month), std::to_string(day), "2024");
    }
}

} // namespace

class ScoreTotals : public GameDbTest {
  protected:
    // Runs SQL text of several statements on a connection of its own.
    void Exec(const std::string& ASql) { SqlConnection(GameDatabaseFile).Exec(ASql); }

    static std::string Schema() {
        std::ifstream in(std::string(GLIMRA_SOURCE_DIR) + "/data/schema.sql");
        std::ostringstream schema;
        schema << in.rdbuf();
        return schema.str();
    }
};

TEST_F(ScoreTotals, RankingsEqualTheSumsOverAllScoresTiesIncluded) {
    MakeDatabase({"cider"});
    for (std::uint32_t seed : {1u, 2u, 3u, 4u}) {
        Exec("DELETE FROM tblScores; DELETE FROM tblTotals; DELETE FROM tblMonthTotals;");
        PlayRandomMonths(seed);
        SqlConnection& conn = OpenGameDatabase();
        for (int limit : {1, 2, 3, 5, 10, 34, 100}) {
            const std::string lim = std::to_string(limit);
            EXPECT_EQ(AsRows(TopAllTimeTotals(conn, limit), false), Sql(kAllTime + lim))
                << "seed " << seed << " limit " << limit;
            for (const char* month : {"2024-01", "2024-02", "2024-03", "2024-04"}) {
                EXPECT_EQ(AsRows(TopMonthTotals(conn, 2024, month[6] - '0', limit), false),
                          Sql(WithMonth(kMonth, month) + lim))
                    << "seed " << seed << " limit " << limit << " " << month;
                EXPECT_EQ(AsRows(TopMonthTotals(conn, 2024, month[6] - '0', limit), true),
                          Sql(WithMonth(kMonthDays, month) + lim))
                    << "seed " << seed << " limit " << limit << " " << month;
            }
        }
    }
}

TEST_F(ScoreTotals, PlainStatementsOnTheScoresKeepTheTotalsAsARebuildWouldMakeThem) {
    MakeDatabase({"cider"});
    PlayRandomMonths(7);
    // Whatever else writes the scores: new rows (one a second row for a date), changed scores,
    // names and dates, and rows taken away.
    Exec("INSERT INTO tblScores VALUES ('Bob', '2024-01-01', 7), ('Bob', '2024-01-01', 3),"
         "('Newcomer', '2024-02-29', 160);"
         "UPDATE tblScores SET intScore = intScore + 1 WHERE dtDate LIKE '2024-02-1%';"
         "UPDATE tblScores SET strUserName = 'Renamed' WHERE strUserName = 'gus';"
         "UPDATE tblScores SET dtDate = '2024-04-01' WHERE strUserName = 'Hal' AND "
         "dtDate < '2024-01-10';"
         "DELETE FROM tblScores WHERE strUserName = 'Kim' OR dtDate LIKE '2024-03-0%';"
         "DELETE FROM tblScores WHERE rowid IN (SELECT rowid FROM tblScores WHERE "
         "strUserName = 'Bob' AND dtDate = '2024-01-01' LIMIT 1);");
    const auto kept = Sql("SELECT * FROM tblTotals ORDER BY strUserName");
    const auto keptMonths = Sql("SELECT * FROM tblMonthTotals ORDER BY strMonth, strUserName");
    ASSERT_GT(kept.size(), 10u);
    ASSERT_GT(keptMonths.size(), 30u);
    RebuildScoreTotals(OpenGameDatabase());
    EXPECT_EQ(Sql("SELECT * FROM tblTotals ORDER BY strUserName"), kept);
    EXPECT_EQ(Sql("SELECT * FROM tblMonthTotals ORDER BY strMonth, strUserName"), keptMonths);
    EXPECT_EQ(Sql("SELECT COUNT(*) FROM tblTotals WHERE strUserName IN ('Kim', 'gus')")[0], "0");
}

TEST_F(ScoreTotals, AFileWithoutTotalsKeepsWorkingAndGainsThemOnUpgrade) {
    {
        SqlConnection conn(GameDatabaseFile, SqlConnection::TOpenMode::Create);
        conn.Exec("CREATE TABLE tblWords (strWord); CREATE TABLE tblAllWords (strWord);"
                  "CREATE TABLE tblWordsByDate (dtDate, strWord);"
                  "CREATE TABLE tblScores (strUserName, dtDate, intScore);");
    }
    PlayRandomMonths(11);
    SqlConnection& conn = OpenGameDatabase();
    ASSERT_FALSE(HasScoreTotals(conn));
    EXPECT_EQ(TopAllTimeTotals(conn, 5).size(), 5u);
    EXPECT_EQ(TopMonthTotals(conn, 2024, 2, 5).size(), 5u);
    EXPECT_TRUE(TopMonthTotals(conn, 2024, 7, 5).empty());

    // What makedb --add does to such a file: the schema's tables and indexes, the totals filled
    // from the scores. Ties then rank as the sums do on the indexed file.
    conn.Exec(Schema());
    RebuildScoreTotals(conn);
    ASSERT_TRUE(HasScoreTotals(conn));
    EXPECT_EQ(AsRows(TopAllTimeTotals(conn, 5), false), Sql(kAllTime + std::string("5")));
    EXPECT_EQ(AsRows(TopMonthTotals(conn, 2024, 2, 5), true),
              Sql(WithMonth(kMonthDays, "2024-02") + "5"));
}
