// The sysop's side: "bbsglimra.cfg", the update check against a server on 127.0.0.1, and makedb
// run as a program on small word lists.
#include "game/config.h"
#include "game/gameplay.h"
#include "game/updatecheck.h"
#include "tests/support/httpserver.h"
#include "tests/support/kit_fixture.h"

#include <sys/wait.h>

namespace {

using SysopTest = KitTest;

TEST_F(SysopTest, ConfigurationLinesByNumber) {
    const std::tuple<std::string, bool, std::optional<std::int32_t>, std::string> cases[] = {
        {"1\n600\nSplendid!\n", true, 600, "Splendid!"},
        {"1\r\n 600 \r\nSplendid!\r\n", true, 600, "Splendid!"},
        {"1\r+90\rSplendid!\rmore\nand more\n", true, 90, "Splendid!"},
        {"1\n2147483647\n" + std::string(5000, 'w'), true, 2147483647, std::string(1024, 'w')},
        {"1", true, std::nullopt, ""},
        {"", false, std::nullopt, ""},
    };
    for (const auto& [text, check, idle, winner] : cases) {
        std::ofstream(CONFIG_FILE_NAME, std::ios::binary) << text;
        TConfigValues values;
        std::string error;
        EXPECT_TRUE(ReadConfigFile(CONFIG_FILE_NAME, values, error)) << error;
        EXPECT_EQ(std::tuple(values.CheckVersion, values.MaxIdle, values.WinnerText),
                  std::tuple(check, idle, winner))
            << text;
    }
    for (const char* first : {"0", "yes", "1 ", " 1", "11", "Y"}) { // only exactly 1 checks
        std::ofstream(CONFIG_FILE_NAME) << first << "\n600\n";
        TConfigValues values;
        std::string error;
        ReadConfigFile(CONFIG_FILE_NAME, values, error);
        EXPECT_FALSE(values.CheckVersion) << first;
    }
    for (const char* line : {"", "abc", "60s", "6 0", "0", "-5", "99999999999", "1.5", "0x10"}) {
        std::ofstream(CONFIG_FILE_NAME) << "1\n" << line << "\nWell done\n";
        DoorSession.MaxIdle = 300;
        ReadConfiguration(); // an idle limit that is no whole number from 1 up counts as missing
        EXPECT_EQ(std::tuple(DoorSession.MaxIdle, CheckVersion, StrWinnerText),
                  std::tuple(300, true, "Well done"))
            << line;
    }
    EXPECT_EQ(Row(1), "") << "nothing is written";
    std::filesystem::remove(CONFIG_FILE_NAME);
    ReadConfiguration();
    EXPECT_EQ(Row(1), "File handling error occurred. Details (bbsglimra.cfg): File not found");
    EXPECT_EQ(LocalScreen().CursorRow(), 2);
    std::filesystem::create_directory(CONFIG_FILE_NAME);
    TConfigValues values;
    std::string error;
    EXPECT_FALSE(ReadConfigFile(CONFIG_FILE_NAME, values, error));
    EXPECT_EQ(std::pair(error, values.LinesRead), std::pair(std::string("Is a directory"), 0));
    StrWinnerText.clear();
}

// The menu's step: the cursor at (25, 24), then the check; row 24 afterwards.
std::string CheckAt(const std::string& AUrl) {
    ::setenv("GLIMRA_UPDATE_URL", AUrl.c_str(), 1);
    AnsiReset();
    DoorGotoXY(25, 24);
    UpdateCheck();
    ::unsetenv("GLIMRA_UPDATE_URL");
    return KitTest::Row(24).substr(std::min<std::size_t>(KitTest::Row(24).size(), 24));
}

TEST_F(SysopTest, UpdateCheckAnnouncesOnlyUnknownReleasesAndFailsSilentlyForTheRun) {
    NotFound = false;
    TestHttpServer server;
    const std::string url = server.Url("/glimraversion.txt");
    const std::pair<std::string, std::string> bodies[] = {
        {"2025.1.1", "New Version 2025.1.1 Available!"},
        {"2024.9.17", ""},
        {"2022.11.5", ""},
        {"2024.10.2", ""},
        {"", ""},
        {"2024.9.17\r\n", "New Version 2024.9.17 Available!"},       // the whole body counts
        {"9.9\x1b[2J\x1b[31m", "New Version 9.9[2J[31m Available!"}, // no control bytes
        {std::string(100, '7'), "New Version " + std::string(32, '7') + " Available!"},
    };
    for (const auto& [body, row] : bodies) {
        server.Serve("/glimraversion.txt", body);
        EXPECT_EQ(CheckAt(url), row) << body;
        EXPECT_EQ(std::pair(int(LocalScreen().TextAttr()), int(AttrAt(25, 24))),
                  std::pair(14, row.empty() ? 7 : 14));
    }
    server.Serve("/glimraversion.txt", "2025.1.1");
    CheckAt(url);
    EXPECT_EQ(LocalScreen().CursorColumn(), 25 + 32) << "the notice ends with a blank";

    server.Serve("/glimraversion.txt", "", "302 Found\r\nLocation: /moved.txt\r\n");
    server.Serve("/moved.txt", "2026.2.2");
    EXPECT_EQ(CheckAt(url), "New Version 2026.2.2 Available!") << "a redirect is followed";
    EXPECT_EQ(server.Paths().size(), std::size(bodies) + 3) << "every drawing asks anew";

    std::string body = "unchanged";
    for (const auto& head : {"500 Oops\r\n", "302 Found\r\nLocation: /nowhere.txt\r\n",
                             "302 Found\r\nLocation: file:///etc/passwd\r\n"}) {
        server.Serve("/glimraversion.txt", "2025.1.1", head);
        EXPECT_FALSE(FetchVersionFile(url, body)) << head;
    }
    server.Serve("/glimraversion.txt", std::string(5000, '9')); // no version file is that long
    for (const std::string& bad :
         {url, TestHttpServer::RefusedUrl(), std::string("http://glimra.invalid/v.txt")})
        EXPECT_FALSE(FetchVersionFile(bad, body)) << bad;
    EXPECT_EQ(body, "unchanged");

    server.Serve("/glimraversion.txt", "2025.1.1");
    const int asked = server.Connections;
    EXPECT_EQ(CheckAt(TestHttpServer::RefusedUrl()), "");
    EXPECT_TRUE(NotFound);
    EXPECT_EQ(CheckAt(url), "") << "after a failure no request is sent in that session";
    EXPECT_EQ(server.Connections, asked);

    NotFound = false; // a server that never answers: the door's time-outs, here shortened
    server.Silent = true;
    UpdateCheckTimeouts = {200, 400};
    EXPECT_EQ(CheckAt(url), "");
    EXPECT_TRUE(NotFound);
    UpdateCheckTimeouts = {};
}

TEST_F(SysopTest, MakeDbBuildsKeepsScoresAndAddsWords) {
    GameDatabaseFile = "glimradb.db";
    std::string output;
    const auto run = [&](const std::string& AArgs) {
        const std::string command = std::string(GLIMRA_BINARY_DIR) + "/makedb --schema " +
                                    GLIMRA_SOURCE_DIR +
                                    "/data/schema.sql --answers answers.txt --allowed allowed.txt "
                                    "-o glimradb.db " +
                                    AArgs + " > out.txt 2>&1";
        const int status = std::system(command.c_str());
        output = ReadFile("out.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::ofstream("answers.txt") << "cider\r\nApple\n\n# a comment\ncider\n";
    std::ofstream("allowed.txt") << "  aahed\nzymic\n";
    ASSERT_EQ(run(""), 0) << output;
    EXPECT_EQ(Sql("SELECT strWord FROM tblWords UNION ALL SELECT strWord FROM tblAllWords"),
              (std::vector<std::string>{"cider", "apple", "cider", "apple", "aahed", "zymic"}));
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
    EXPECT_NO_THROW(OpenGameDatabase());

    const std::pair<std::string, int> usage[] = {
        {"--help", 0}, {"--frobnicate", 2}, {"--add --force", 2}, {"-o", 2}};
    for (const auto& [args, code] : usage) EXPECT_EQ(run(args), code) << args;
    std::filesystem::remove("glimradb.db");
    std::ofstream("answers.txt") << "cider\ncrane\nbad-1\n";
    EXPECT_EQ(run(""), 1);
    EXPECT_NE(output.find("answers.txt:3: \"bad-1\" is not a five-letter word"), std::string::npos)
        << output;
    EXPECT_FALSE(std::filesystem::exists("glimradb.db")) << "no file is left";
}

} // namespace
