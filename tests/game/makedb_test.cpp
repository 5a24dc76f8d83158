// The makedb tool run as a program on small word lists: building, refusing to replace scores,
// adding words, bad input; and the game's word lookups on what it built.
#include "gamedb_fixture.h"

#include "game/scores.h"

#include <algorithm>
#include <sys/wait.h>

class MakeDbTest : public GameDbTest {
  protected:
    std::string Answers, Allowed;

    void SetUp() override {
        GameDbTest::SetUp();
        Answers = (Dir / "answers.txt").string();
        Allowed = (Dir / "allowed.txt").string();
    }

    static void Write(const std::string& APath, const std::string& AText) {
        std::ofstream(APath, std::ios::binary) << AText;
    }

    // Runs makedb on the committed schema, the test's lists and database, plus AArgs; returns
    // the exit code and fills Output with what it printed.
    int Run(const std::string& AArgs) {
        const std::string out = (Dir / "makedb.out").string();
        const std::string command = std::string("'") + GLIMRA_BINARY_DIR + "/makedb' --schema '" +
                                    GLIMRA_SOURCE_DIR + "/data/schema.sql' --answers '" + Answers +
                                    "' --allowed '" + Allowed + "' -o '" + GameDatabaseFile + "' " +
                                    AArgs + " > '" + out + "' 2>&1";
        const int status = std::system(command.c_str());
        std::ifstream in(out);
        Output.assign(std::istreambuf_iterator<char>(in), {});
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // The game's guess check: the accepted words ignoring case, then the answers exactly.
    static bool Accepted(const std::string& AGuess) {
        SqlStatement all(OpenGameDatabase(),
                         "SELECT COUNT(*) as findword FROM tblAllWords WHERE strWord=? "
                         "COLLATE NOCASE");
        SqlStatement answers(OpenGameDatabase(),
                             "SELECT COUNT(*) as findword FROM tblWords WHERE strWord=?");
        return (all.Bind(1, AGuess).Step() && all.ColumnInt("findword") > 0) ||
               (answers.Bind(1, AGuess).Step() && answers.ColumnInt("findword") > 0);
    }

    static std::string Upper(std::string AText) {
        for (char& c : AText) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return AText;
    }

    std::string Output;
};

TEST_F(MakeDbTest, BuildsKeepsScoresUnlessToldAndAddsOnlyNewWords) {
    Write(Answers, "cider\r\nApple\n\n# a comment\ncider\n");
    Write(Allowed, "  aahed\nzymic\n");
    ASSERT_EQ(Run(""), 0) << Output;
    EXPECT_EQ(Sql("SELECT strWord FROM tblWords ORDER BY strWord"),
              (std::vector<std::string>{"apple", "cider"}));
    // Answers are accepted guesses too, however the caller types them.
    for (std::string word : {"cider", "apple", "aahed", "zymic"})
        EXPECT_TRUE(Accepted(word) && Accepted(Upper(word))) << word;
    EXPECT_FALSE(Accepted("qqqqq"));

    EXPECT_TRUE(AssignMonthWords(2024, 3, 1)[0]);
    SetScore(160, "3", "5", "2024");
    CloseGameDatabase();
    EXPECT_EQ(Run(""), 1);
    EXPECT_NE(Output.find("holds 1 score;"), std::string::npos) << Output;
    EXPECT_NE(Output.find("--force"), std::string::npos) << Output;

    // Totals that went wrong (scores edited by hand) are computed afresh by --add.
    Sql("UPDATE tblTotals SET intTotal = 5");
    Sql("DELETE FROM tblMonthTotals");
    Write(Answers, "cider\nslate\n");
    Write(Allowed, "aahed\nAAHED\nmound\n");
    ASSERT_EQ(Run("--add"), 0) << Output;
    EXPECT_EQ(Sql("SELECT strUserName || intTotal FROM tblTotals"),
              std::vector<std::string>{"Bob160"});
    EXPECT_EQ(
        Sql("SELECT strMonth || strUserName || intTotal || '/' || intDays FROM tblMonthTotals"),
        std::vector<std::string>{"2024-03Bob160/1"});
    EXPECT_NE(Output.find("added 1 answer words and 2 accepted guesses"), std::string::npos)
        << Output;
    EXPECT_EQ(Sql("SELECT COUNT(*) FROM tblWords")[0] + Sql("SELECT COUNT(*) FROM tblAllWords")[0],
              "36");
    EXPECT_EQ(Sql("SELECT COUNT(*) FROM tblWordsByDate")[0] +
                  Sql("SELECT strUserName || intScore FROM tblScores")[0],
              "1Bob160");

    ASSERT_EQ(Run("--force"), 0) << Output;
    EXPECT_EQ(Sql("SELECT COUNT(*) FROM tblScores")[0], "0");
    // --add also completes a file that lacks a table.
    Sql("DROP TABLE tblScores");
    EXPECT_THROW(OpenGameDatabase(), GameDatabaseError);
    ASSERT_EQ(Run("--add"), 0) << Output;
    EXPECT_NO_THROW(OpenGameDatabase());
}

TEST_F(MakeDbTest, BadUsageAndBadListsFailClearlyAndLeaveNoFile) {
    EXPECT_EQ(Run("--help"), 0);
    EXPECT_NE(Output.find("Usage: makedb"), std::string::npos) << Output;
    EXPECT_EQ(Run("--frobnicate"), 2);
    EXPECT_NE(Output.find("unknown option --frobnicate"), std::string::npos) << Output;
    EXPECT_EQ(Run("--add --force"), 2);
    EXPECT_EQ(Run("-o"), 2);

    Write(Allowed, "aahed\n");
    Write(Answers, "cider\ncrane\nbad-1\n");
    EXPECT_EQ(Run(""), 1);
    EXPECT_NE(Output.find(Answers + ":3: \"bad-1\" is not a five-letter word"), std::string::npos)
        << Output;
    Write(Answers, "# nothing\n");
    EXPECT_EQ(Run(""), 1);
    std::filesystem::remove(Answers);
    EXPECT_EQ(Run(""), 1);
    EXPECT_NE(Output.find("cannot read " + Answers), std::string::npos) << Output;
    EXPECT_FALSE(std::filesystem::exists(GameDatabaseFile));
}

TEST_F(MakeDbTest, CommittedListsBuildADatabaseThatAcceptsEveryWord) {
    // Run from the source directory with no file named: the defaults are the committed files.
    const std::string source = GLIMRA_SOURCE_DIR;
    const std::string command = "cd '" + source + "' && '" + GLIMRA_BINARY_DIR + "/makedb' -o '" +
                                GameDatabaseFile + "' > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::vector<std::string> lists[2];
    for (int i = 0; i < 2; ++i) {
        std::ifstream in(source + (i ? "/data/words/allowed.txt" : "/data/words/answers.txt"));
        for (std::string line; std::getline(in, line);) lists[i].push_back(line);
    }
    ASSERT_GT(lists[0].size(), 1000u);
    EXPECT_EQ(Sql("SELECT COUNT(*) FROM tblWords")[0], std::to_string(lists[0].size()));
    for (const auto& word : lists[0]) EXPECT_TRUE(Accepted(Upper(word))) << word;
    for (const auto& word : lists[1]) EXPECT_TRUE(Accepted(word)) << word;
    EXPECT_TRUE(AssignMonthWords(2024, 3, 1)[0]);
    EXPECT_NE(std::find(lists[0].begin(), lists[0].end(), Word), lists[0].end()) << Word;
}
