// The game database on real SQLite files: date keys, the word of each day, opening failures,
// and several processes filling a new month at once.
#include "gamedb_fixture.h"

#include <map>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// "date|word" rows as a map from date to word.
std::map<std::string, std::string> WordsByDate(const std::vector<std::string>& ARows) {
    std::map<std::string, std::string> words;
    for (const auto& row : ARows) {
        auto bar = row.find('|');
        words[row.substr(0, bar)] = row.substr(bar + 1);
    }
    return words;
}

} // namespace

TEST(DateKey, ZeroPadsMonthAndDay) {
    EXPECT_EQ(DateKey(2024, 3, 5), "2024-03-05");
    EXPECT_EQ(DateKey(2024, 10, 31), "2024-10-31");
    EXPECT_EQ(DateKey(2025, 1, 1), "2025-01-01");
    EXPECT_EQ(DateKey(2024, 12, 12), "2024-12-12");
    EXPECT_EQ(TwoDigits(9), "09");
    EXPECT_EQ(TwoDigits(10), "10");
}

TEST_F(GameDbTest, MonthIsFilledOnceAndEveryDayKeepsItsWord) {
    MakeDatabase({"cider", "apple", "crane", "slate", "mound"});
    for (auto [year, days] : {std::pair{2024, 29}, std::pair{2025, 28}}) {
        for (int d = 1; d <= days; ++d) EXPECT_TRUE(AssignDayWord(year, 2, d)) << year << " " << d;
        const std::string like = "'" + std::to_string(year) + "-02-%'";
        auto first = Rows("SELECT dtDate, strWord FROM tblWordsByDate WHERE dtDate LIKE " + like);
        ASSERT_EQ(first.size(), static_cast<std::size_t>(days));
        auto words = WordsByDate(first);
        EXPECT_EQ(words.size(), static_cast<std::size_t>(days)); // one row per date
        EXPECT_EQ(words.begin()->first, DateKey(year, 2, 1));
        EXPECT_EQ(words.rbegin()->first, DateKey(year, 2, days));
        for (const auto& [date, word] : words)
            EXPECT_TRUE(
                std::set<std::string>({"cider", "apple", "crane", "slate", "mound"}).count(word))
                << date << " got " << word;

        // A second pass adds nothing and changes nothing.
        for (int d = 1; d <= days; ++d) EXPECT_FALSE(AssignDayWord(year, 2, d));
        auto second = Rows("SELECT dtDate, strWord FROM tblWordsByDate WHERE dtDate LIKE " + like);
        EXPECT_EQ(WordsByDate(second), words);

        // GetWord returns the stored word of the game date, every time.
        Day = 17;
        Month = 2;
        Year = year;
        for (int i = 0; i < 3; ++i) {
            Word = "stale";
            GetWord();
            EXPECT_EQ(Word, words[DateKey(year, 2, 17)]);
        }
        EXPECT_EQ(TempDay, "17");
        EXPECT_EQ(TempMonth, "02");
    }
}

TEST_F(GameDbTest, GetWordWithoutARowLeavesWordAlone) {
    MakeDatabase({"cider"});
    Exec("INSERT INTO tblWordsByDate VALUES ('2024-03-05', 'apple')");
    Day = 6;
    Month = 3;
    Year = 2024;
    Word = "";
    GetWord();
    EXPECT_EQ(Word, "");
    Word = "crane";
    GetWord();
    EXPECT_EQ(Word, "crane");
    Day = 5;
    GetWord();
    EXPECT_EQ(Word, "apple");
    EXPECT_EQ(TempDay, "05");
    EXPECT_EQ(TempMonth, "03");
}

TEST_F(GameDbTest, OneWordPoolGivesEveryDayThatWord) {
    MakeDatabase({"Cider"});
    for (int d = 1; d <= 31; ++d) AssignDayWord(2024, 10, d);
    auto rows = Rows("SELECT DISTINCT strWord FROM tblWordsByDate");
    EXPECT_EQ(rows, std::vector<std::string>{"Cider"}); // stored as drawn, case kept
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblWordsByDate")[0], "31");
    GetRandomWord();
    EXPECT_EQ(Word, "Cider");
}

TEST_F(GameDbTest, EmptyWordPoolIsReportedAndWritesNothing) {
    MakeDatabase({});
    Word = "keep";
    GetRandomWord();
    EXPECT_EQ(Word, "keep");
    try {
        AssignDayWord(2024, 3, 1);
        FAIL() << "an empty tblWords must not give a date a word";
    } catch (const GameDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("tblWords"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("makedb"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblWordsByDate")[0], "0");
    // The failed day's lock is gone: another connection can write at once.
    Exec("INSERT INTO tblWords VALUES ('cider')");
    EXPECT_TRUE(AssignDayWord(2024, 3, 1));
}

TEST_F(GameDbTest, MissingOrUnsetUpDatabaseIsNamedAndNeverCreated) {
    try {
        OpenGameDatabase();
        FAIL() << "a missing database must not open";
    } catch (const GameDatabaseError& e) {
        std::string what = e.what();
        EXPECT_NE(what.find(GameDatabaseFile), std::string::npos) << what;
        EXPECT_NE(what.find("makedb"), std::string::npos) << what;
    }
    EXPECT_FALSE(std::filesystem::exists(GameDatabaseFile));
    Day = 5, Month = 3, Year = 2024;
    EXPECT_THROW(GetWord(), GameDatabaseError);
    EXPECT_FALSE(std::filesystem::exists(GameDatabaseFile));

    {
        SqlConnection conn(GameDatabaseFile, SqlConnection::TOpenMode::Create);
        conn.Exec("CREATE TABLE tblWords (strWord); CREATE TABLE tblAllWords (strWord);"
                  "CREATE TABLE tblWordsByDate (dtDate, strWord);");
    }
    try {
        OpenGameDatabase();
        FAIL() << "a database without tblScores must not open";
    } catch (const GameDatabaseError& e) {
        std::string what = e.what();
        EXPECT_NE(what.find("tblScores"), std::string::npos) << what;
        EXPECT_NE(what.find(GameDatabaseFile), std::string::npos) << what;
    }

    std::filesystem::remove(GameDatabaseFile);
    std::ofstream(GameDatabaseFile) << "this is not a database, just a text file\n";
    try {
        OpenGameDatabase();
        FAIL() << "a text file must not open as the database";
    } catch (const GameDatabaseError& e) {
        std::string what = e.what();
        EXPECT_NE(what.find("not a database"), std::string::npos) << what;
        EXPECT_NE(what.find(GameDatabaseFile), std::string::npos) << what;
    }
}

TEST_F(GameDbTest, BareTablesInAnyColumnOrderAreEnough) {
    {
        SqlConnection conn(GameDatabaseFile, SqlConnection::TOpenMode::Create);
        conn.Exec("CREATE TABLE tblWords (strWord); CREATE TABLE tblAllWords (strWord);"
                  "CREATE TABLE tblWordsByDate (strWord, dtDate);"
                  "CREATE TABLE tblScores (intScore, dtDate, strUserName);"
                  "INSERT INTO tblWords VALUES ('slate');");
    }
    EXPECT_TRUE(AssignDayWord(2025, 1, 1));
    EXPECT_FALSE(AssignDayWord(2025, 1, 1));
    Day = 1, Month = 1, Year = 2025;
    GetWord();
    EXPECT_EQ(Word, "slate");

    // Two rows for one date (left by an older version racing): the last one returned wins.
    Exec("INSERT INTO tblWordsByDate (dtDate, strWord) VALUES ('2025-01-02', 'first'),"
         "('2025-01-02', 'second')");
    Day = 2;
    GetWord();
    EXPECT_EQ(Word, "second");
}

TEST_F(GameDbTest, WaitsForAnotherNodesLockInsteadOfFailing) {
    MakeDatabase({"cider"});
    SqlConnection other(GameDatabaseFile);
    other.Exec("BEGIN IMMEDIATE");
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        other.Exec("COMMIT");
    });
    bool added = false;
    EXPECT_NO_THROW(added = AssignDayWord(2024, 3, 5));
    release.join();
    EXPECT_TRUE(added);
    EXPECT_EQ(Rows("SELECT strWord FROM tblWordsByDate WHERE dtDate = '2024-03-05'"),
              std::vector<std::string>{"cider"});
}

TEST_F(GameDbTest, EightNodesFillingOneNewMonthGiveEachDateOneWord) {
    std::vector<std::string> pool;
    for (char a = 'a'; a <= 'z'; ++a)
        for (char b = 'a'; b <= 'z'; ++b) pool.push_back(std::string("qq") + a + b + "x");
    MakeDatabase(pool);
    SetToday(2024, 10, 12);
    CloseGameDatabase(); // a connection must not cross fork()

    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < 8; ++i) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(gate[1]);
            char byte;
            (void)!read(gate[0], &byte, 1); // returns at EOF: every node starts together
            int rc = 0;
            try {
                DBCheck();
            } catch (...) {
                rc = 1;
            }
            CloseGameDatabase();
            _exit(rc);
        }
        children.push_back(pid);
    }
    close(gate[0]);
    close(gate[1]);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    EXPECT_EQ(Rows("SELECT COUNT(*), COUNT(DISTINCT dtDate), MIN(dtDate), MAX(dtDate) FROM "
                   "tblWordsByDate"),
              std::vector<std::string>{"31|31|2024-10-01|2024-10-31"});
}

TEST_F(GameSessionTest, DBCheckShowsOneMarkPerDayOfTheMonth) {
    MakeDatabase({"cider", "apple", "crane"});
    const std::string heading = AnsiTextColour(19) + "Database Maintenance\r\n";
    SetToday(2024, 2, 10);
    DBCheck();
    EXPECT_EQ(Received(), heading + std::string(29, '+') + AnsiClrScr());
    EXPECT_EQ(NumberOfDays, 29);
    EXPECT_EQ(Day, 10);
    EXPECT_EQ(Month, 2);
    EXPECT_EQ(Year, 2024);
    EXPECT_EQ(Row(1), ""); // cleared once the month is done
    auto filled = Rows("SELECT dtDate, strWord FROM tblWordsByDate ORDER BY dtDate");
    EXPECT_EQ(filled.size(), 29u);

    DBCheck();
    EXPECT_EQ(Received(), heading + std::string(29, '.') + AnsiClrScr());
    EXPECT_EQ(Rows("SELECT dtDate, strWord FROM tblWordsByDate ORDER BY dtDate"), filled);

    // A month with some days given already: only the empty ones are filled, in day order.
    Exec("INSERT INTO tblWordsByDate VALUES ('2025-02-02', 'mound'), ('2025-02-28', 'slate')");
    SetToday(2025, 2, 1);
    DBCheck();
    EXPECT_EQ(Received(), heading + "+." + std::string(25, '+') + "." + AnsiClrScr());
    EXPECT_EQ(NumberOfDays, 28);
    EXPECT_EQ(Rows("SELECT strWord FROM tblWordsByDate WHERE dtDate IN ('2025-02-02', "
                   "'2025-02-28') ORDER BY dtDate"),
              (std::vector<std::string>{"mound", "slate"}));
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblWordsByDate WHERE dtDate LIKE '2025-02-%'")[0], "28");
}

TEST_F(GameSessionTest, DBCheckOnAMissingDatabaseStopsAfterItsHeading) {
    SetToday(2024, 3, 5);
    EXPECT_THROW(DBCheck(), GameDatabaseError);
    EXPECT_EQ(Received(), AnsiTextColour(19) + "Database Maintenance\r\n");
    EXPECT_FALSE(std::filesystem::exists(GameDatabaseFile));
}

TEST_F(GameDbTest, SchemaIndexesServeTheGamesLookups) {
    MakeDatabase({"cider"});
    SqlConnection conn(GameDatabaseFile);
    // Each lookup must search an index, not scan a table that grows every day.
    for (const char* sql :
         {"SELECT * FROM tblWordsByDate where dtDate=?",
          "SELECT * FROM tblScores where dtDate=? and strUserName=?",
          "SELECT COUNT(*) as findword FROM tblAllWords WHERE strWord=? COLLATE NOCASE",
          "SELECT COUNT(*) as findword FROM tblWords WHERE strWord=?",
          "select strUserName, sum(intScore) as p from tblScores where dtDate between ? and ? "
          "group by strUserName order by p desc LIMIT 10;",
          "SELECT strUserName, intScore FROM tblScores WHERE dtDate=? ORDER BY intScore DESC "
          "LIMIT 10"}) {
        SqlStatement plan(conn, std::string("EXPLAIN QUERY PLAN ") + sql);
        std::string steps;
        while (plan.Step()) steps += plan.ColumnText("detail") + "; ";
        EXPECT_NE(steps.find("USING "), std::string::npos) << sql << " -> " << steps;
        EXPECT_EQ(steps.find("SCAN tbl"), std::string::npos) << sql << " -> " << steps;
    }
}
