// The update check against a server on 127.0.0.1: the notice for an unknown release, silence for
// known ones, and silence for the rest of the run after any failure.
#include "door/ansi.h"
#include "door/door.h"
#include "door/screen.h"
#include "game/updatecheck.h"
#include "tests/support/httpserver.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

const std::string PATH = "/glimraversion.txt";

std::string Trimmed(std::string AText) {
    AText.erase(AText.find_last_not_of(' ') + 1);
    return AText;
}

// Each test starts with a blank local screen and a run in which no check has failed yet.
class UpdateCheckTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NotFound = false;
        S.clear();
        URL.clear();
        UpdateCheckTimeouts = {};
        LocalScreen().Reset();
        AnsiReset();
    }
    void TearDown() override {
        ::unsetenv("GLIMRA_UPDATE_URL");
        UpdateCheckTimeouts = {};
    }
    // The menu's step in a new run: cursor to (25, 24), then the check.
    static void CheckAt(const std::string& AUrl) {
        UpdateCheckRequested = false;
        ::setenv("GLIMRA_UPDATE_URL", AUrl.c_str(), 1);
        LocalScreen().Reset();
        AnsiReset();
        DoorGotoXY(25, 24);
        UpdateCheck();
    }
    static std::string Row24() { return Trimmed(LocalScreen().RowText(24)); }
    // Row 24 with the notice of a release at column 25.
    static std::string Notice(const std::string& AVersion) {
        return std::string(24, ' ') + "New Version " + AVersion + " Available!";
    }
};

TEST_F(UpdateCheckTest, UnknownReleaseIsAnnouncedAtTheCursor) {
    TestHttpServer server;
    server.Serve(PATH, "2025.1.1");
    CheckAt(server.Url(PATH));
    EXPECT_EQ(URL, server.Url(PATH));
    EXPECT_EQ(S, "2025.1.1");
    EXPECT_EQ(Row24(), Notice("2025.1.1"));
    EXPECT_EQ(LocalScreen().CharAt(25, 24), 'N');
    EXPECT_EQ(LocalScreen().AttrAt(25, 24), 14) << "yellow on black";
    EXPECT_EQ(LocalScreen().CursorColumn(), 25 + 32) << "the notice ends with a blank";

    // A redirect is followed.
    server.Serve(PATH, {302, "", "Location: /moved.txt\r\n"});
    server.Serve("/moved.txt", "2026.2.2");
    CheckAt(server.Url(PATH));
    EXPECT_EQ(Row24(), Notice("2026.2.2"));
    EXPECT_EQ(server.Paths(), (std::vector<std::string>{PATH, PATH, "/moved.txt"}));
}

TEST_F(UpdateCheckTest, KnownReleasesShowNothingWhateverSurroundsThem) {
    TestHttpServer server;
    for (const char* known : {"2024.9.17", "2022.11.5", "2024.10.2"}) {
        server.Serve(PATH, known);
        CheckAt(server.Url(PATH));
        EXPECT_EQ(Row24(), "") << known;
        EXPECT_EQ(S, known);
        EXPECT_EQ(LocalScreen().TextAttr(), 14) << "the colour is set even without a notice";
    }
    // Blanks and a line end around it leave the version; control bytes never reach the screen.
    server.Serve(PATH, " 2024.9.17\r\n");
    CheckAt(server.Url(PATH));
    EXPECT_EQ(Row24(), "");
    server.Serve(PATH, "2025.1.1\n");
    CheckAt(server.Url(PATH));
    EXPECT_EQ(Row24(), Notice("2025.1.1"));
    server.Serve(PATH, "9.9\x1b[2J\x1b[31m");
    CheckAt(server.Url(PATH));
    EXPECT_EQ(Row24(), Notice("9.9[2J[31m"));
    EXPECT_FALSE(NotFound);
    // A long body keeps the notice on its row.
    server.Serve(PATH, std::string(100, '7'));
    CheckAt(server.Url(PATH));
    EXPECT_EQ(Row24(), Notice(std::string(32, '7')));
    // An empty body names no release.
    server.Serve(PATH, "");
    CheckAt(server.Url(PATH));
    EXPECT_EQ(Row24(), "");
}

TEST_F(UpdateCheckTest, FailureSilencesTheRestOfTheRun) {
    TestHttpServer server;
    // 404: nothing shown, and the server is never asked again even when it recovers.
    CheckAt(server.Url(PATH));
    EXPECT_TRUE(NotFound);
    EXPECT_EQ(Row24(), "");
    EXPECT_EQ(server.Connections(), 1);
    server.Serve(PATH, "2025.1.1");
    CheckAt(server.Url(PATH));
    EXPECT_EQ(Row24(), "");
    EXPECT_EQ(server.Connections(), 1);

    // A fetched notice stays in S, but a later failure hides it.
    NotFound = false;
    CheckAt(server.Url(PATH));
    EXPECT_EQ(Row24(), Notice("2025.1.1"));
    CheckAt("http://127.0.0.1:" + std::to_string(TestHttpServer::RefusedPort()) + PATH);
    EXPECT_TRUE(NotFound);
    EXPECT_EQ(S, "2025.1.1");
    EXPECT_EQ(Row24(), "");
}

TEST_F(UpdateCheckTest, EveryKindOfFailureCountsAsNotFound) {
    TestHttpServer server;
    std::string body = "unchanged";
    server.Serve(PATH, {500, "2025.1.1", ""});
    EXPECT_FALSE(FetchVersionFile(server.Url(PATH), body)) << "status 500";
    server.Serve(PATH, {302, "", "Location: /nowhere.txt\r\n"});
    EXPECT_FALSE(FetchVersionFile(server.Url(PATH), body)) << "redirect to a 404";
    server.Serve(PATH, {302, "", "Location: file:///etc/passwd\r\n"});
    EXPECT_FALSE(FetchVersionFile(server.Url(PATH), body)) << "redirect off HTTP";
    server.Serve(PATH, std::string(5000, '9'));
    EXPECT_FALSE(FetchVersionFile(server.Url(PATH), body)) << "no version file is that long";
    EXPECT_FALSE(FetchVersionFile(
        "http://127.0.0.1:" + std::to_string(TestHttpServer::RefusedPort()) + PATH, body))
        << "refused";
    EXPECT_FALSE(FetchVersionFile("http://glimra.invalid/glimraversion.txt", body))
        << "unknown host";
    EXPECT_EQ(body, "unchanged");
}

TEST_F(UpdateCheckTest, ServerThatNeverAnswersEndsWithinTheTimeOut) {
    TestHttpServer server;
    server.SetSilent(true);
    server.Serve(PATH, "2025.1.1");
    auto start = std::chrono::steady_clock::now();
    CheckAt(server.Url(PATH));
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(NotFound);
    EXPECT_EQ(Row24(), "");
    EXPECT_LT(waited, std::chrono::seconds(15)) << "the 10 s limit holds";
    // The next menu drawing does not ask again, so the caller never waits twice.
    CheckAt(server.Url(PATH));
    EXPECT_EQ(server.Connections(), 1);
}

} // namespace
