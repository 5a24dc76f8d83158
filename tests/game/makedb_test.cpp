// The makedb tool run as a program on small word lists: building, refusing to replace scores,
// adding words, bad input; and the game's word lookups on what it built.
#include "gamedb_fixture.h"

#include "game/scores.h"

#include <algorithm>
#include <sys/wait.h>

namespace {

struct TRun {
    int ExitCode = -1;
    std::string Output;
};

} // namespace

class MakeDbTest : public GameDbTest {
  protected:
    std::string Answers, Allowed;

    void SetUp() override {
        GameDbTest::SetUp();
        Answers = (Dir / "answers.txt").string();
        Allowed = (Dir / "allowed.txt").string();
    }

    void WriteList(const std::string& APath, const std::string& AText) {
        std::ofstream(APath, std::ios::binary) << AText;
    }

    // Runs makedb with the schema, both lists and the output file named, plus AArgs.
    TRun Run(const std::string& AArgs, bool ANameFiles = true) {
        std::string outFile = (Dir / "makedb.out").string();
        std::string command = std::string("'") + GLIMRA_BINARY_DIR + "/makedb' ";
        if (ANameFiles)
            command += "--schema '" + std::string(GLIMRA_SOURCE_DIR) + "/data/schema.sql' " +
                       "--answers '" + Answers + "' --allowed '" + Allowed + "' -o '" +
                       GameDatabaseFile + "' ";
        command += AArgs + " > '" + outFile + "' 2>&1";
        int status = std::system(command.c_str());
        TRun run;
        run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream in(outFile);
        std::ostringstream text;
        text << in.rdbuf();
        run.Output = text.str();
        return run;
    }

    // The game's guess check: the accepted words ignoring case, then the answers exactly.
    bool Accepted(const std::string& AGuess) {
        SqlConnection& conn = OpenGameDatabase();
        SqlStatement all(conn, "SELECT COUNT(*) as findword FROM tblAllWords WHERE strWord=? "
                               "COLLATE NOCASE");
        all.Bind(1, AGuess);
        if (all.Step() && all.ColumnInt("findword") > 0) return true;
        SqlStatement answers(conn, "SELECT COUNT(*) as findword FROM tblWords WHERE strWord=?");
        answers.Bind(1, AGuess);
        return answers.Step() && answers.ColumnInt("findword") > 0;
    }

    static std::vector<std::string> ReadList(const std::string& APath) {
        std::ifstream in(APath);
        std::vector<std::string> words;
        for (std::string line; std::getline(in, line);)
            if (!line.empty()) words.push_back(line);
        return words;
    }

    static std::string Upper(std::string AText) {
        for (char& c : AText) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return AText;
    }
};

TEST_F(MakeDbTest, BuildsADatabaseTheGameOpensAndFindsEveryWordIn) {
    WriteList(Answers, "cider\r\nApple\n\n# a comment\ncrane\ncider\n");
    WriteList(Allowed, "  aahed\nzymic\napple\n");
    TRun run = Run("");
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_NE(run.Output.find("3 answer words"), std::string::npos) << run.Output;
    EXPECT_EQ(Rows("SELECT strWord FROM tblWords ORDER BY strWord"),
              (std::vector<std::string>{"apple", "cider", "crane"}));
    EXPECT_EQ(Rows("SELECT strWord FROM tblAllWords ORDER BY strWord"),
              (std::vector<std::string>{"aahed", "apple", "cider", "crane", "zymic"}));
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index'")[0], "5");
    for (std::string word : {"cider", "apple", "crane", "aahed", "zymic"}) {
        EXPECT_TRUE(Accepted(word)) << word;
        EXPECT_TRUE(Accepted(Upper(word))) << word; // the caller may type capitals
    }
    EXPECT_FALSE(Accepted("qqqqq"));
    EXPECT_FALSE(std::filesystem::exists(GameDatabaseFile + ".makedb-tmp"));
}

TEST_F(MakeDbTest, KeepsScoresUnlessToldAndAddsOnlyNewWords) {
    WriteList(Answers, "cider\ncrane\n");
    WriteList(Allowed, "aahed\n");
    ASSERT_EQ(Run("").ExitCode, 0);
    // A database without scores may be rebuilt.
    ASSERT_EQ(Run("").ExitCode, 0);
    EXPECT_TRUE(AssignDayWord(2024, 3, 5));
    SetScore(160, "3", "5", "2024");
    CloseGameDatabase();

    TRun refused = Run("");
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_NE(refused.Output.find("holds 1 score;"), std::string::npos) << refused.Output;
    EXPECT_NE(refused.Output.find("--force"), std::string::npos) << refused.Output;
    EXPECT_EQ(Rows("SELECT intScore FROM tblScores"), std::vector<std::string>{"160"});

    WriteList(Answers, "cider\ncrane\nslate\n");
    WriteList(Allowed, "aahed\nzymic\nAAHED\n");
    TRun added = Run("--add");
    ASSERT_EQ(added.ExitCode, 0) << added.Output;
    EXPECT_NE(added.Output.find("added 1 answer words and 2 accepted guesses"), std::string::npos)
        << added.Output;
    EXPECT_EQ(Rows("SELECT strWord FROM tblWords ORDER BY strWord"),
              (std::vector<std::string>{"cider", "crane", "slate"}));
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblAllWords")[0], "5");
    EXPECT_EQ(Rows("SELECT strUserName, dtDate, intScore FROM tblScores"),
              std::vector<std::string>{"Bob|2024-03-05|160"});
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblWordsByDate")[0], "1");

    TRun forced = Run("--force");
    ASSERT_EQ(forced.ExitCode, 0) << forced.Output;
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblScores")[0], "0");
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblWords")[0], "3");
}

TEST_F(MakeDbTest, AddCompletesAFileThatLacksATable) {
    WriteList(Answers, "cider\n");
    WriteList(Allowed, "aahed\n");
    {
        SqlConnection conn(GameDatabaseFile, SqlConnection::TOpenMode::Create);
        conn.Exec("CREATE TABLE tblWords (strWord); CREATE TABLE tblWordsByDate (dtDate, strWord);"
                  "INSERT INTO tblWordsByDate VALUES ('2024-03-05', 'apple');");
    }
    EXPECT_THROW(OpenGameDatabase(), GameDatabaseError);
    TRun run = Run("--add");
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    CloseGameDatabase();
    EXPECT_NO_THROW(OpenGameDatabase());
    EXPECT_EQ(Rows("SELECT strWord FROM tblWordsByDate"), std::vector<std::string>{"apple"});
}

TEST_F(MakeDbTest, BadUsageAndBadListsFailClearlyAndLeaveNoFile) {
    TRun help = Run("--help", false);
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_NE(help.Output.find("Usage: makedb"), std::string::npos) << help.Output;

    TRun unknown = Run("--frobnicate", false);
    EXPECT_EQ(unknown.ExitCode, 2);
    EXPECT_NE(unknown.Output.find("unknown option --frobnicate"), std::string::npos);
    EXPECT_NE(unknown.Output.find("Usage: makedb"), std::string::npos);
    EXPECT_EQ(Run("-o", false).ExitCode, 2);

    WriteList(Allowed, "aahed\n");
    WriteList(Answers, "cider\ncrane\nbad-1\n");
    TRun bad = Run("");
    EXPECT_EQ(bad.ExitCode, 1);
    EXPECT_NE(bad.Output.find(Answers + ":3: \"bad-1\" is not a five-letter word"),
              std::string::npos)
        << bad.Output;
    EXPECT_FALSE(std::filesystem::exists(GameDatabaseFile));

    WriteList(Answers, "\n# nothing\n");
    EXPECT_EQ(Run("").ExitCode, 1);
    std::filesystem::remove(Answers);
    TRun missing = Run("");
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_NE(missing.Output.find("cannot read " + Answers), std::string::npos) << missing.Output;
    EXPECT_FALSE(std::filesystem::exists(GameDatabaseFile));
}

TEST_F(MakeDbTest, CommittedListsBuildADatabaseThatAcceptsEveryWord) {
    // Run from the source directory with no file named: the defaults are the committed files.
    std::string command = std::string("cd '") + GLIMRA_SOURCE_DIR + "' && '" + GLIMRA_BINARY_DIR +
                          "/makedb' -o '" + GameDatabaseFile + "' > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    auto answers = ReadList(std::string(GLIMRA_SOURCE_DIR) + "/data/words/answers.txt");
    auto allowed = ReadList(std::string(GLIMRA_SOURCE_DIR) + "/data/words/allowed.txt");
    ASSERT_GT(answers.size(), 1000u);
    ASSERT_GT(allowed.size(), answers.size());
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblWords")[0], std::to_string(answers.size()));
    for (const auto& word : answers) EXPECT_TRUE(Accepted(Upper(word))) << word;
    for (const auto& word : allowed) EXPECT_TRUE(Accepted(word)) << word;
    EXPECT_FALSE(Accepted("zzzzq"));
    // The word of a day is one of the answers.
    EXPECT_TRUE(AssignDayWord(2024, 3, 5));
    EXPECT_TRUE(std::find(answers.begin(), answers.end(), Word) != answers.end()) << Word;
}
