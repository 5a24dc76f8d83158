// The game database on real SQLite files: score rows and played days, the totals against plain
// sums over the scores, the word of each day, files that are missing or bare, and several
// processes at once.
#include "game/scores.h"
#include "game/totals.h"
#include "tests/support/kit_fixture.h"

#include <sys/wait.h>

#include <map>
#include <random>
#include <thread>

namespace {

using DatabaseTest = KitTest;

TEST_F(DatabaseTest, ScoreRowsPerCallerAndDayStoredAndMatchedExactly) {
    MakeDatabase({});
    const std::vector<std::string> aliases = {"Bob\" OR \"1\"=\"1",
                                              "x\"); DROP TABLE tblScores; --",
                                              "strUserName",
                                              "caf\xFF",
                                              "",
                                              "bob",
                                              "Bob"};
    DoorDropInfo.Alias = "Carol"; // a spliced alias read as a column or an OR would match it
    SetScore(320, "3", "5", "2024");
    std::vector<std::string> expected = {"Carol|320"};
    for (std::size_t i = 0; i < aliases.size(); ++i) {
        DoorDropInfo.Alias = aliases[i];
        EXPECT_FALSE(DayPlayedCheck("3", "5", "2024")) << i;
        SetScore(0, "3", "5", "2024");
        SetScore(static_cast<std::int32_t>(i + 1), "03", "05", "2024"); // replaces it
        EXPECT_TRUE(DayPlayedCheck("3", "05", "2024")) << i;
        expected.push_back(aliases[i] + "|" + std::to_string(i + 1));
    }
    EXPECT_EQ(Sql("SELECT strUserName, intScore FROM tblScores ORDER BY rowid"), expected);
    SetScore(40, "12", "31", "2024");
    EXPECT_EQ(TempDay + "/" + TempMonth, "31/12");
    for (const char* day : {"1", "2", "30"}) SetScore(10, "4", day, "2024");
    SetScore(10, "5", "1", "2024");
    DoorDropInfo.Alias = "bob";
    SetScore(10, "4", "3", "2024");
    DoorDropInfo.Alias = "Bob";
    TDaysArray days;
    days[5] = 7;
    TrackPlayerDays(4, 2024, days);
    std::string flags;
    for (int d = 1; d <= 31; ++d) flags += char('0' + days[d]);
    EXPECT_EQ(flags, "1100000000000000000000000000010");
    EXPECT_THROW(days[32], std::out_of_range);
    EXPECT_THROW(DayPlayedCheck("3", "x", "2024"), std::invalid_argument); // before the database
    EXPECT_THROW(SetScore(10, "", "5", "2024"), std::invalid_argument);
}

// 300 games of callers with few distinct totals, so that most ranks are ties; some play a date
// twice and two aliases differ only in case.
void PlayRandomMonths(std::uint32_t ASeed) {
    std::mt19937 random(ASeed);
    const char* names[] = {"Bob",  "bob", "Zed",   "amy", "Amy", "Carl",
                           "dora", "Eve", "Frank", "gus", "Hal", "Ian"};
    for (int game = 0; game < 300; ++game) {
        DoorDropInfo.Alias = names[random() % 12];
        SetScore(static_cast<int>(random() % 3) * 10, std::to_string(1 + random() % 3),
                 std::to_string(1 + random() % 28), "2024");
    }
}

// The rankings as plain sums over every score give them, in the sums' order among ties.
std::vector<std::string> Sums(const std::string& AMonth, int ALimit) {
    return KitTest::Sql("select strUserName, sum(intScore) as p" +
                        (AMonth.empty()
                             ? " from tblScores"
                             : ", COUNT(DISTINCT dtDate) from tblScores where dtDate between '" +
                                   AMonth + "-01' and '" + AMonth + "-31'") +
                        " group by strUserName order by p desc limit " + std::to_string(ALimit));
}

std::vector<std::string> Rows(const std::vector<TScoreTotal>& ATotals, bool ADays) {
    std::vector<std::string> rows;
    for (const auto& t : ATotals)
        rows.push_back(t.UserName + "|" + std::to_string(t.Total) +
                       (ADays ? "|" + std::to_string(t.Days) : ""));
    return rows;
}

void ExpectRankingsAsSums(const std::string& AWhat) {
    for (int limit : {1, 3, 5, 34}) {
        EXPECT_EQ(Rows(TopAllTimeTotals(OpenGameDatabase(), limit), false), Sums("", limit))
            << AWhat;
        for (int month : {1, 2, 4})
            EXPECT_EQ(Rows(TopMonthTotals(OpenGameDatabase(), 2024, month, limit), true),
                      Sums("2024-0" + std::to_string(month), limit))
                << AWhat << " " << limit << " " << month;
    }
}

std::vector<std::string> Totals() {
    auto rows = KitTest::Sql("SELECT * FROM tblTotals ORDER BY 1");
    for (auto& row : KitTest::Sql("SELECT * FROM tblMonthTotals ORDER BY 1, 2"))
        rows.push_back(row);
    return rows;
}

TEST_F(DatabaseTest, TotalsRankAsTheSumsOverTheScoresWhoeverWritesThem) {
    MakeDatabase({});
    for (std::uint32_t seed : {1u, 2u}) {
        Sql("DELETE FROM tblScores");
        PlayRandomMonths(seed);
        ExpectRankingsAsSums("seed " + std::to_string(seed));
    }
    // Plain statements on the scores keep the totals as a rebuild would make them.
    OpenGameDatabase().Exec(
        "INSERT INTO tblScores VALUES ('Bob', '2024-01-01', 7), ('Bob', '2024-01-01', 3), ('New', "
        "'2024-02-29', 1);"
        "UPDATE tblScores SET intScore = intScore + 1 WHERE dtDate LIKE '2024-02-1%';"
        "UPDATE tblScores SET strUserName = 'Renamed' WHERE strUserName = 'gus';"
        "UPDATE tblScores SET dtDate = '2024-04-01' WHERE strUserName = 'Hal' AND dtDate < "
        "'2024-01-10';"
        "DELETE FROM tblScores WHERE strUserName = 'Ian' OR dtDate LIKE '2024-03-0%';");
    const auto kept = Totals();
    RebuildScoreTotals(OpenGameDatabase());
    EXPECT_EQ(Totals(), kept);
    EXPECT_GT(kept.size(), 40u);
}

TEST_F(DatabaseTest, AFileOfBareTablesWorksAndMissingOnesAreNamed) {
    const auto error = [] {
        try {
            CloseGameDatabase();
            OpenGameDatabase();
        } catch (const GameDatabaseError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    GameDatabaseFile = "glimradb.db";
    EXPECT_NE(error().find("The game database \"glimradb.db\" was not found"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists("glimradb.db")) << "never created";
    SqlConnection(GameDatabaseFile, SqlConnection::TOpenMode::Create)
        .Exec("CREATE TABLE tblWords (strWord); CREATE TABLE tblAllWords (strWord);"
              "CREATE TABLE tblWordsByDate (strWord, dtDate);");
    EXPECT_NE(error().find("\"glimradb.db\" is not set up: it has no table tblScores"),
              std::string::npos);
    Sql("CREATE TABLE tblScores (intScore, dtDate, strUserName)");
    OpenGameDatabase().Exec("PRAGMA synchronous=OFF");
    PlayRandomMonths(11);
    EXPECT_FALSE(HasScoreTotals(OpenGameDatabase()));
    ExpectRankingsAsSums("no totals tables: the sums themselves");
    OpenGameDatabase().Exec(
        ReadFile(std::string(GLIMRA_SOURCE_DIR) + "/data/schema.sql")); // makedb --add
    RebuildScoreTotals(OpenGameDatabase());
    ExpectRankingsAsSums("upgraded");

    Word = "Cider"; // an empty pool refuses to give a date a blank word and leaves Word alone
    GetRandomWord();
    EXPECT_EQ(Word, "Cider");
    EXPECT_THROW(AssignDayWord(2024, 11, 1), GameDatabaseError);
    Sql("INSERT INTO tblWords VALUES ('Slate')");
    EXPECT_TRUE(AssignDayWord(2025, 1, 1));
    EXPECT_FALSE(AssignDayWord(2025, 1, 1));
    Sql("INSERT INTO tblWordsByDate (dtDate, strWord) VALUES ('2025-01-02', 'first'), "
        "('2025-01-02', 'second')");
    std::string words;
    for (int day : {1, 2, 3}) {
        Year = 2025, Month = 1, Day = day;
        GetWord(); // a date without a word keeps the last; of two rows the last returned wins
        words += Word + " ";
    }
    EXPECT_EQ(words, "Slate second second ");
    std::ofstream("glimradb.db", std::ios::trunc) << "this is not a database\n";
    EXPECT_NE(error().find("not a database"), std::string::npos);
}

TEST_F(DatabaseTest, DBCheckGivesEveryDayOfTheMonthOneWordOnceEvenFromEightNodes) {
    MakeDatabase({"apple", "cider", "crane", "slate"});
    Connect();
    const std::string heading = AnsiTextColour(19) + "Database Maintenance\r\n";
    Sql("INSERT INTO tblWordsByDate VALUES ('2024-02-02', 'mound'), ('2024-02-28', 'stale')");
    SetToday(2024, 2, 10);
    DBCheck();
    EXPECT_EQ(Received(), heading + "+." + std::string(25, '+') + ".+" + AnsiClrScr());
    const auto filled = Sql("SELECT dtDate, strWord FROM tblWordsByDate ORDER BY dtDate");
    DBCheck();
    EXPECT_EQ(Received(), heading + std::string(29, '.') + AnsiClrScr());
    EXPECT_EQ(Sql("SELECT dtDate, strWord FROM tblWordsByDate ORDER BY dtDate"), filled);
    EXPECT_EQ(filled.size() * 100 + NumberOfDays, 2929u);
    EXPECT_EQ(filled[1] + filled[27], "2024-02-02|mound2024-02-28|stale");
    Day = 17;
    GetWord();
    EXPECT_EQ("2024-02-17|" + Word + TempDay + TempMonth, filled[16] + "1702");
    std::map<std::string, int> drawn; // evenly from the pool: 500 each expected, sd about 19
    for (int i = 0; i < 2000; ++i, ++drawn[Word]) GetRandomWord();
    for (const auto& [word, count] : drawn)
        EXPECT_TRUE(count > 400 && count < 600) << word << count;

    SqlConnection other(GameDatabaseFile); // another node's lock is waited for, not a failure
    other.Exec("BEGIN IMMEDIATE");
    std::thread release(
        [&] { std::this_thread::sleep_for(std::chrono::milliseconds(300)), other.Exec("COMMIT"); });
    EXPECT_NO_THROW(AssignDayWord(2024, 3, 5));
    release.join();

    SetToday(2024, 10, 12);
    CloseGameDatabase(); // a connection must not cross fork()
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    for (int node = 0; node < 8; ++node)
        if (::fork() == 0) {
            ::close(gate[1]);
            (void)!::read(gate[0], gate, 1); // every node starts together
            try {
                DBCheck();
            } catch (...) {
                ::_exit(1);
            }
            ::_exit(0);
        }
    ::close(gate[0]), ::close(gate[1]);
    for (int node = 0, status = 0; node < 8; ++node)
        EXPECT_TRUE(::wait(&status) > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Sql("SELECT COUNT(*), COUNT(DISTINCT dtDate) FROM tblWordsByDate WHERE dtDate LIKE "
                  "'2024-10%'"),
              std::vector<std::string>{"31|31"});
    for (const char* sql : {"SELECT * FROM tblWordsByDate where dtDate=?", // an index, not a scan
                            "SELECT * FROM tblScores where dtDate=? and strUserName=?",
                            "SELECT COUNT(*) FROM tblAllWords WHERE strWord=? COLLATE NOCASE"}) {
        std::string plan;
        for (const auto& step : Sql(std::string("EXPLAIN QUERY PLAN ") + sql)) plan += step + "; ";
        EXPECT_EQ(plan.find("SCAN tbl"), std::string::npos) << sql << " -> " << plan;
    }
}

} // namespace
