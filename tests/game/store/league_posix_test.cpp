// The league's database on a real PostgreSQL server that the test program starts itself
// (tests/support/pgserver.h): makedb --league and the board roles, and the rights the server
// itself enforces on each board.
#include "tests/support/pgserver.h"
#include "tests/support/platform.h"

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

namespace {

// A league database of its own, and makedb run on it as its administrator.
class LeagueTest : public testing::Test {
  protected:
    TPgServer& Server = PgServer();
    const std::string Db = Server.FreshDatabase();
    const std::string Admin = Server.AdminConnection(Db);
    const std::filesystem::path Dir = TestScratchDir();
    std::string Output;

    int MakeDb(std::vector<std::string> AArgs) {
        AArgs.insert(AArgs.begin(),
                     {GLIMRA_MAKEDB, "--league", Admin, "--schema",
                      GLIMRA_SOURCE_DIR "/data/league.sql", "--answers",
                      (Dir / "answers.txt").string(), "--allowed", (Dir / "allowed.txt").string()});
        auto [code, text] = RunProgram(AArgs);
        Output = text;
        return code;
    }
    void Lists(const char* AAnswers, const char* AAllowed) {
        std::ofstream(Dir / "answers.txt") << AAnswers;
        std::ofstream(Dir / "allowed.txt") << AAllowed;
    }
    std::vector<std::string> Sql(const std::string& ASql) { return PgRows(Admin, ASql); }
    // --add-board's last line: the board's connection string.
    std::string AddBoard(std::vector<std::string> AArgs) {
        AArgs.insert(AArgs.begin(), "--add-board");
        EXPECT_EQ(MakeDb(AArgs), 0) << Output;
        const auto from = Output.rfind('\n', Output.size() - 2) + 1;
        return Output.substr(from, Output.size() - from - 1);
    }
    // Everything a board could change, as the administrator sees it.
    std::vector<std::string> Everything() {
        std::string sql = "SELECT ";
        for (const char* table : {"tblScores", "tblTotals", "tblMonthTotals", "tblBoards",
                                  "tblWordsByDate", "tblSpoolApplied", "tblWords", "tblAllWords"})
            sql +=
                std::string("(SELECT array_agg(t::text ORDER BY t::text) FROM ") + table + " t), ";
        return Sql(sql + "(SELECT array_agg((relname, relrowsecurity)::text ORDER BY relname) FROM "
                         "pg_class WHERE relnamespace = 'public'::regnamespace), (SELECT "
                         "md5(prosrc) FROM pg_proc WHERE proname = 'fnmyboard')");
    }
};

TEST_F(LeagueTest, MakeDbBuildsRefusesKeepsScoresAndBoards) {
    Lists("cider\nApple\n", "aahed\nCIDER\n");
    ASSERT_EQ(MakeDb({}), 0) << Output;
    EXPECT_EQ(Sql("SELECT strWord FROM tblWords ORDER BY 1"),
              (std::vector<std::string>{"apple", "cider"}));
    EXPECT_EQ(Sql("SELECT count(*) FROM tblAllWords")[0], "3");
    AddBoard({"ALPHA"});
    Sql("INSERT INTO tblScores VALUES ('ALPHA', 'Bob', '2024-03-05', 160)");
    Sql("INSERT INTO tblWordsByDate VALUES ('2024-03-05', 'cider')");
    EXPECT_TRUE(MakeDb({}) == 1 && Output.find("holds 1 score;") != std::string::npos) << Output;
    // Totals gone wrong, and a board's right to connect lost (a restore into a new database).
    const std::string role = "glimra_" + Db + "_alpha";
    Sql("UPDATE tblTotals SET intTotal = 5; DELETE FROM tblMonthTotals");
    Sql("REVOKE CONNECT ON DATABASE " + Db + " FROM " + role);
    Lists("cider\nslate\n", "mound\nAAHED\n");
    ASSERT_EQ(MakeDb({"--add"}), 0) << Output;
    EXPECT_NE(Output.find("1 answer word and 2 accepted guesses"), std::string::npos) << Output;
    EXPECT_EQ(Sql("SELECT intTotal::text FROM tblTotals UNION ALL SELECT intDays::text FROM "
                  "tblMonthTotals UNION ALL SELECT strWord FROM tblWordsByDate"),
              (std::vector<std::string>{"160", "1", "cider"}));
    const std::string connect = "', current_database(), 'CONNECT')";
    EXPECT_EQ(Sql("SELECT has_database_privilege('public" + connect + ", has_database_privilege('" +
                  role + connect)[0],
              "f|t");
    ASSERT_EQ(MakeDb({"--force"}), 0) << Output;
    EXPECT_EQ(Sql("SELECT (SELECT count(*) FROM tblScores) + (SELECT count(*) FROM tblTotals) + "
                  "(SELECT count(*) FROM tblWordsByDate) || strBoard FROM tblBoards"),
              std::vector<std::string>{"0ALPHA"});
    for (const auto& args : std::vector<std::vector<std::string>>{{"--add-board", "alpha"},
                                                                  {"--add-board", "ABCDEFGHI"},
                                                                  {"--remove-board", "A", "--add"},
                                                                  {"--password", "x"}})
        EXPECT_EQ(MakeDb(args), 2) << args[0] << " " << args[1];
    EXPECT_EQ(MakeDb({"--remove-board", "NOPE"}), 1) << Output;
}

TEST_F(LeagueTest, ABoardsRoleMayDoOnlyWhatTheServerAllows) {
    Lists("cider\napple\n", "");
    ASSERT_EQ(MakeDb({}), 0) << Output;
    const std::string alpha = AddBoard({"ALPHA"}), addOutput = Output;
    const std::string beta = AddBoard({"BETA", "--password", "p@ss w:rd/'x"});
    const std::string password = alpha.substr(alpha.find(':', 13) + 1, 32);
    ASSERT_EQ(addOutput.find(password),
              addOutput.rfind('\n', addOutput.size() - 2) + 1 + alpha.find(password))
        << "the password shows once, on the last line:\n"
        << addOutput;
    PgRows(beta, "INSERT INTO tblScores VALUES ('BETA', 'Ada', '2024-03-05', 90)");
    PgRows(beta, "INSERT INTO tblWordsByDate VALUES ('2024-03-05', 'cider')");
    for (const char* allowed :
         {"INSERT INTO tblScores VALUES ('ALPHA', 'Ada', '2024-03-05', 120)",
          "INSERT INTO tblScores VALUES ('ALPHA', 'Ada', '2024-03-05', 130) ON CONFLICT "
          "(strBoard, strUserName, dtDate) DO UPDATE SET intScore = excluded.intScore",
          "UPDATE tblScores SET intScore = intScore + 10 WHERE strUserName = 'Ada'",
          "INSERT INTO tblWordsByDate VALUES ('2024-03-06', 'apple')",
          "INSERT INTO tblSpoolApplied (strBoard, strEntry) VALUES ('ALPHA', 'e1')",
          "SELECT * FROM tblBoards, tblWords, tblAllWords, tblWordsByDate, tblScores, tblTotals, "
          "tblMonthTotals"})
        EXPECT_NO_THROW(PgRows(alpha, allowed)) << allowed;
    EXPECT_EQ(Sql("SELECT strBoard || intTotal FROM tblTotals ORDER BY 1"),
              (std::vector<std::string>{"ALPHA140", "BETA90"}));
    const auto before = Everything();
    for (const char* refused :
         {"INSERT INTO tblScores VALUES ('BETA', 'Eve', '2024-03-06', 1)",
          "UPDATE tblScores SET intScore = 1 WHERE strBoard = 'BETA'",
          "UPDATE tblScores SET strBoard = 'BETA'", "UPDATE tblScores SET strUserName = 'Eve'",
          "DELETE FROM tblScores", "TRUNCATE tblScores", "UPDATE tblWords SET strWord = 'zzzzz'",
          "DELETE FROM tblWords", "INSERT INTO tblWords VALUES ('zzzzz')",
          "DELETE FROM tblAllWords", "UPDATE tblWordsByDate SET strWord = 'apple'",
          "DELETE FROM tblWordsByDate", "INSERT INTO tblWordsByDate VALUES ('2024-03-05', 'apple')",
          "UPDATE tblTotals SET intTotal = 0", "DELETE FROM tblMonthTotals",
          "INSERT INTO tblTotals VALUES ('ALPHA', 'Eve', 9)",
          "INSERT INTO tblBoards VALUES ('GAMMA', 'glimra_x')",
          "UPDATE tblBoards SET strRole = current_user WHERE strBoard = 'BETA'",
          "INSERT INTO tblSpoolApplied (strBoard, strEntry) VALUES ('BETA', 'e2')",
          "DROP TABLE tblScores", "CREATE TABLE public.tblMine (a int)",
          // A table of its own in front of tblBoards, to pass as another board.
          "CREATE TEMP TABLE tblBoards AS SELECT 'BETA'::text AS strBoard, current_user AS "
          "strRole; INSERT INTO tblScores VALUES ('BETA', 'Eve', '2024-03-06', 1)",
          "ALTER TABLE tblScores DISABLE ROW LEVEL SECURITY",
          "CREATE OR REPLACE FUNCTION fnMyBoard() RETURNS text LANGUAGE sql AS $$ SELECT "
          "'BETA' $$"}) {
        try {
            PgRows(alpha, refused);
        } catch (const std::runtime_error&) {
        }
        EXPECT_EQ(Everything(), before) << refused;
    }
    ASSERT_EQ(MakeDb({"--remove-board", "ALPHA"}), 0) << Output;
    EXPECT_THROW(PgRows(alpha, "SELECT 1"), std::runtime_error);
    EXPECT_EQ(Sql("SELECT count(*) FROM tblScores WHERE strBoard = 'ALPHA'")[0], "1");
    const std::string again = AddBoard({"ALPHA"});
    EXPECT_THROW(PgRows(alpha, "SELECT 1"), std::runtime_error) << "the old password is gone";
    EXPECT_EQ(PgRows(again, "SELECT fnMyBoard()")[0], "ALPHA");
}

TEST_F(LeagueTest, NoPasswordInMakeDbsErrors) {
    const std::string password = Admin.substr(Admin.find("password='") + 10, 24);
    const std::string uri = "postgresql://postgres:" + password + "@/" + Db;
    for (const std::string& bad : {Admin + " port=1", uri + "?port=x", uri + "?host=/nowhere",
                                   "postgresql://postgres:" + password + "@[::1]x/" + Db,
                                   Admin + " sslmode=verify-full", Admin + " nonsense"}) {
        auto [code, text] = RunProgram({GLIMRA_MAKEDB, "--league", bad, "--add-board", "A"});
        EXPECT_EQ(code, 1) << text;
        EXPECT_EQ(text.find(password), std::string::npos) << text;
        EXPECT_EQ(text.find(bad), std::string::npos) << text;
    }
}

} // namespace
