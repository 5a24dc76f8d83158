// The sysop's side: "bbsglimra.cfg" and the update check against the tables in tests/fixtures/
// (the check against a server on 127.0.0.1), and makedb run as a program on small word lists.
#include "game/config.h"
#include "game/gameplay.h"
#include "game/updatecheck.h"
#include "tests/support/httpserver.h"
#include "tests/support/kit_fixture.h"

#include <sys/wait.h>

namespace {

using SysopTest = KitTest;

TEST_F(SysopTest, ConfigurationLinesByNumber) {
    CheckCases("config.cases", 1, [](const std::vector<std::string>& ACase) {
        std::ofstream(CONFIG_FILE_NAME, std::ios::binary) << ACase[0];
        CheckVersion = false;
        DoorSession.MaxIdle = 300;
        StrWinnerText.clear();
        ReadConfiguration();
        const std::string winner =
            StrWinnerText.size() > 40 ? std::to_string(StrWinnerText.size()) : StrWinnerText;
        return std::vector{std::to_string(CheckVersion) + " " +
                           std::to_string(DoorSession.MaxIdle) + " " + winner};
    });
    EXPECT_EQ(Row(1), "") << "nothing is written";
    std::ofstream(CONFIG_FILE_NAME) << "0\n\n" << std::string(5000, 'w');
    ReadConfiguration();
    EXPECT_EQ(StrWinnerText, std::string(1024, 'w')) << "no longer than any screen line";
    std::filesystem::remove(CONFIG_FILE_NAME);
    ReadConfiguration();
    EXPECT_EQ(Row(1), "File handling error occurred. Details (bbsglimra.cfg): File not found");
    EXPECT_EQ(LocalScreen().CursorRow(), 2);
    std::filesystem::create_directory(CONFIG_FILE_NAME);
    TConfigValues values;
    std::string error;
    EXPECT_FALSE(ReadConfigFile(CONFIG_FILE_NAME, values, error));
    EXPECT_EQ(error + std::to_string(values.LinesRead), "Is a directory0");
    StrWinnerText.clear();
}

TEST_F(SysopTest, UpdateCheckAnnouncesOnlyUnknownReleasesAndFailsSilentlyForTheRun) {
    TestHttpServer server;
    const std::string url = server.Url("/glimraversion.txt");
    // The menu's step: the cursor at (25, 24), then the check; row 24, its colour, the cursor.
    const auto check = [](const std::string& AUrl) {
        ::setenv("GLIMRA_UPDATE_URL", AUrl.c_str(), 1);
        AnsiReset();
        DoorGotoXY(25, 24);
        UpdateCheck();
        ::unsetenv("GLIMRA_UPDATE_URL");
        return Row(24) + " " + std::to_string(AttrAt(25, 24)) + " " +
               std::to_string(LocalScreen().TextAttr()) + " " +
               std::to_string(LocalScreen().CursorColumn()) + " " + std::to_string(NotFound);
    };
    CheckCases("updatecheck.cases", 2, [&](const std::vector<std::string>& ACase) {
        server.Serve("/glimraversion.txt", ACase[0], ACase[1].empty() ? "200 OK\r\n" : ACase[1]);
        server.Serve("/moved.txt", "2026.2.2");
        NotFound = false;
        std::string body = "unchanged";
        const bool fetched = FetchVersionFile(url, body);
        return std::vector{check(url), std::to_string(fetched) + " " + body};
    });
    EXPECT_FALSE(FetchVersionFile("http://glimra.invalid/v.txt", *new std::string))
        << "unknown host";
    const int asked = server.Connections;
    EXPECT_EQ(check(TestHttpServer::RefusedUrl()).back(), '1') << "refused";
    EXPECT_EQ(check(url).back(), '1') << "after a failure no request is sent in that session";
    EXPECT_EQ(server.Connections, asked);
    NotFound = false; // a server that never answers: the door's time-outs, here shortened
    server.Silent = true;
    UpdateCheckTimeouts = {200, 400};
    EXPECT_EQ(check(url).back(), '1');
    UpdateCheckTimeouts = {};
}

TEST_F(SysopTest, MakeDbBuildsKeepsScoresAndAddsWords) {
    GameDatabaseFile = "glimradb.db";
    std::string output;
    const auto run = [&](const std::string& AArgs) {
        const int status = std::system(
            (GLIMRA_BINARY_DIR "/makedb --schema " GLIMRA_SOURCE_DIR "/data/schema.sql "
                               "--answers answers.txt --allowed allowed.txt -o glimradb.db " +
             AArgs + " > out.txt 2>&1")
                .c_str());
        output = ReadFile("out.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::ofstream("answers.txt") << "cider\r\nApple\n\n# a comment\ncider\n";
    std::ofstream("allowed.txt") << "  aahed\nzymic\n";
    ASSERT_EQ(run(""), 0) << output;
    EXPECT_EQ(Sql("SELECT strWord FROM tblWords UNION ALL SELECT strWord FROM tblAllWords"),
              (std::vector<std::string>{"cider", "apple", "cider", "apple", "aahed", "zymic"}));
    EXPECT_TRUE(GuessInWordLists("ZYMIC") && GuessInWordLists("Apple") &&
                !GuessInWordLists("qqqqq"));
    Sql("INSERT INTO tblScores VALUES ('Bob', '2024-03-05', 160)");
    EXPECT_EQ(run(""), 1);
    EXPECT_NE(output.find("holds 1 score;"), std::string::npos) << output;
    Sql("UPDATE tblTotals SET intTotal = 5"); // totals gone wrong are computed afresh by --add
    Sql("DELETE FROM tblMonthTotals");
    std::ofstream("answers.txt") << "cider\nslate\n";
    std::ofstream("allowed.txt") << "aahed\nAAHED\nmound\n";
    ASSERT_EQ(run("--add"), 0) << output;
    EXPECT_NE(output.find("added 1 answer words and 2 accepted guesses"), std::string::npos)
        << output;
    EXPECT_EQ(Sql("SELECT intTotal FROM tblTotals UNION ALL SELECT intDays FROM tblMonthTotals"),
              (std::vector<std::string>{"160", "1"}));
    ASSERT_EQ(run("--force"), 0) << output;
    EXPECT_EQ(Sql("SELECT COUNT(*) FROM tblScores")[0], "0");
    Sql("DROP TABLE tblScores"); // --add also completes a file that lacks a table
    ASSERT_EQ(run("--add"), 0) << output;
    for (const auto& [args, code] :
         {std::pair{"--help", 0}, {"--frobnicate", 2}, {"--add --force", 2}, {"-o", 2}})
        EXPECT_EQ(run(args), code) << args;
    std::filesystem::remove("glimradb.db");
    std::ofstream("answers.txt") << "cider\ncrane\nbad-1\n";
    EXPECT_EQ(run(""), 1);
    EXPECT_NE(output.find("answers.txt:3: \"bad-1\" is not a five-letter word"), std::string::npos)
        << output;
    EXPECT_FALSE(std::filesystem::exists("glimradb.db")) << "no file is left";
}

} // namespace
