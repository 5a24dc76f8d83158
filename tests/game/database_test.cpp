// The game database on real SQLite files: date keys, the word of each day, opening failures,
// and several processes filling a new month at once.
#include "gamedb_fixture.h"

#include <map>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

TEST_F(GameDbTest, DBCheckFillsEachDayOnceAndDaysKeepTheirWords) {
    MakeDatabase({"cider", "apple", "crane"});
    const std::string heading = AnsiTextColour(19) + "Database Maintenance\r\n";
    SetToday(2024, 2, 10);
    DBCheck();
    EXPECT_EQ(Received(), heading + std::string(29, '+') + AnsiClrScr());
    EXPECT_EQ(NumberOfDays, 29);
    EXPECT_EQ(DateKey(Year, Month, Day), "2024-02-10");
    const auto filled = Sql("SELECT dtDate, strWord FROM tblWordsByDate ORDER BY dtDate");
    ASSERT_EQ(filled.size(), 29u);
    EXPECT_EQ(Sql("SELECT COUNT(DISTINCT dtDate), MIN(dtDate), MAX(dtDate) FROM tblWordsByDate"),
              std::vector<std::string>{"29|2024-02-01|2024-02-29"});

    DBCheck();
    EXPECT_EQ(Received(), heading + std::string(29, '.') + AnsiClrScr());
    EXPECT_EQ(Sql("SELECT dtDate, strWord FROM tblWordsByDate ORDER BY dtDate"), filled);
    Day = 17;
    GetWord();
    EXPECT_EQ("2024-02-17|" + Word, filled[16]);
    Word = "stale";
    Month = 3; // a date without a word
    GetWord();
    EXPECT_EQ(Word, "stale");

    // Days given already keep their words; only the empty ones get one.
    Sql("INSERT INTO tblWordsByDate VALUES ('2025-02-02', 'mound'), ('2025-02-28', 'slate')");
    SetToday(2025, 2, 1);
    DBCheck();
    EXPECT_EQ(Received(), heading + "+." + std::string(25, '+') + "." + AnsiClrScr());
    EXPECT_EQ(Sql("SELECT strWord FROM tblWordsByDate WHERE dtDate IN ('2025-02-02', "
                  "'2025-02-28') ORDER BY dtDate"),
              (std::vector<std::string>{"mound", "slate"}));
    EXPECT_EQ(Sql("SELECT COUNT(*) FROM tblWordsByDate WHERE dtDate LIKE '2025-02-%'")[0], "28");
}

TEST_F(GameDbTest, WordPoolOfOneWordOrNone) {
    MakeDatabase({"Cider"});
    AssignMonthWords(2024, 10, 31);
    EXPECT_EQ(Sql("SELECT COUNT(*), MIN(strWord), MAX(strWord) FROM tblWordsByDate"),
              std::vector<std::string>{"31|Cider|Cider"}); // stored as drawn, case kept

    Sql("DELETE FROM tblWords");
    GetRandomWord();
    EXPECT_EQ(Word, "Cider"); // an empty pool leaves Word alone
    // A blank word would stick to the date for good: refuse, write nothing, hold no lock.
    ExpectDbError([] { AssignMonthWords(2024, 11, 1); }, {"tblWords", "makedb"});
    Sql("INSERT INTO tblWords VALUES ('slate')");
    EXPECT_TRUE(AssignMonthWords(2024, 11, 1)[0]);
    EXPECT_EQ(Sql("SELECT COUNT(*) FROM tblWordsByDate")[0], "32");
}

TEST_F(GameDbTest, RandomWordIsDrawnEvenlyFromThePool) {
    MakeDatabase({"apple", "cider", "crane", "slate"});
    std::map<std::string, int> drawn;
    for (int i = 0; i < 2000; ++i) {
        GetRandomWord();
        ++drawn[Word];
    }
    // 500 each expected (standard deviation about 19): no word favoured or left out.
    ASSERT_EQ(drawn.size(), 4u);
    for (const auto& [word, count] : drawn)
        EXPECT_TRUE(count > 400 && count < 600) << word << count;
}

TEST_F(GameDbTest, MissingOrUnsetUpDatabaseIsNamedAndNeverCreated) {
    ExpectDbError([] { OpenGameDatabase(); }, {GameDatabaseFile, "not found", "makedb"});
    Day = 5, Month = 3, Year = 2024;
    EXPECT_THROW(GetWord(), GameDatabaseError);
    EXPECT_FALSE(std::filesystem::exists(GameDatabaseFile));

    SqlConnection(GameDatabaseFile, SqlConnection::TOpenMode::Create)
        .Exec("CREATE TABLE tblWords (strWord); CREATE TABLE tblAllWords (strWord);"
              "CREATE TABLE tblWordsByDate (dtDate, strWord);");
    ExpectDbError([] { OpenGameDatabase(); }, {GameDatabaseFile, "no table tblScores", "makedb"});

    std::filesystem::remove(GameDatabaseFile);
    std::ofstream(GameDatabaseFile) << "this is not a database, just a text file\n";
    ExpectDbError([] { OpenGameDatabase(); }, {GameDatabaseFile, "not a database"});
}

TEST_F(GameDbTest, BareTablesInAnyColumnOrderAreEnough) {
    SqlConnection(GameDatabaseFile, SqlConnection::TOpenMode::Create)
        .Exec("CREATE TABLE tblWords (strWord); CREATE TABLE tblAllWords (strWord);"
              "CREATE TABLE tblWordsByDate (strWord, dtDate);"
              "CREATE TABLE tblScores (intScore, dtDate, strUserName);"
              "INSERT INTO tblWords VALUES ('slate');");
    EXPECT_TRUE(AssignMonthWords(2025, 1, 1)[0]);
    EXPECT_FALSE(AssignMonthWords(2025, 1, 1)[0]);
    Day = 1, Month = 1, Year = 2025;
    GetWord();
    EXPECT_EQ(Word, "slate");
    // Two rows for one date (a file an older version raced on): the last one returned wins.
    Sql("INSERT INTO tblWordsByDate (dtDate, strWord) VALUES ('2025-01-02', 'first'),"
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
    EXPECT_NO_THROW(AssignMonthWords(2024, 3, 1));
    release.join();
    EXPECT_EQ(Sql("SELECT strWord FROM tblWordsByDate"), std::vector<std::string>{"cider"});
}

TEST_F(GameDbTest, EightNodesRunningDBCheckOnANewMonthGiveEachDateOneWord) {
    std::vector<std::string> pool;
    for (char a = 'a'; a <= 'z'; ++a) pool.push_back(std::string("qqq") + a + "x");
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
    EXPECT_EQ(Sql("SELECT COUNT(*), COUNT(DISTINCT dtDate), MIN(dtDate), MAX(dtDate) FROM "
                  "tblWordsByDate"),
              std::vector<std::string>{"31|31|2024-10-01|2024-10-31"});
}

TEST_F(GameDbTest, SchemaIndexesServeTheGamesLookups) {
    MakeDatabase({});
    SqlConnection conn(GameDatabaseFile);
    // Each lookup must search an index, not scan a table that grows every day.
    for (const char* sql :
         {"SELECT * FROM tblWordsByDate where dtDate=?",
          "SELECT * FROM tblScores where dtDate=? and strUserName=?",
          "SELECT COUNT(*) FROM tblAllWords WHERE strWord=? COLLATE NOCASE",
          "SELECT COUNT(*) FROM tblWords WHERE strWord=?",
          "select strUserName, sum(intScore) as p from tblScores where dtDate between ? and ? "
          "group by strUserName order by p desc LIMIT 10;"}) {
        SqlStatement plan(conn, std::string("EXPLAIN QUERY PLAN ") + sql);
        std::string steps;
        while (plan.Step()) steps += plan.ColumnText("detail") + "; ";
        EXPECT_EQ(steps.find("SCAN tbl"), std::string::npos) << sql << " -> " << steps;
    }
}
