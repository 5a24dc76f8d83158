// The door end to end on Windows: bbs_launcher (the BBS) accepts this test's caller on 127.0.0.1
// and lets bbsglimra.exe inherit the socket through DOOR32.SYS. The caller plays a game, sees the
// day's board and quits, or drops in mid-game; the door ends with exit code 0, the BBS's own
// handle still works and blocks as before, and the score is in the database. A handle that is
// no socket ends the door at once.
#include "tests/support/kit_fixture.h"

#include <windows.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Native(const fs::path& APath) {
    return fs::absolute(APath).make_preferred().string();
}

// One node: the launcher with its output in a pipe, and the caller's connection.
class WindowsDoor : public ::testing::Test {
  protected:
    void SetUp() override {
        Dir = TestScratchDir();
        const fs::path here = fs::current_path(), bin = GLIMRA_BINARY_DIR;
        fs::current_path(GLIMRA_SOURCE_DIR); // where makedb finds the schema and the word lists
        const int made =
            TestRun("\"\"" + Native(bin / "makedb.exe") + "\" --setup \"" + Native(Dir) + "\"\"");
        fs::current_path(here);
        ASSERT_EQ(made, 0);
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE write = nullptr;
        ASSERT_TRUE(::CreatePipe(&Output, &write, &inherit, 0));
        ::SetHandleInformation(Output, HANDLE_FLAG_INHERIT, 0);
        std::string command = "\"" + Native(bin / "bbs_launcher.exe") + "\" \"" + Native(Dir) +
                              "\" \"" + Native(bin / "bbsglimra.exe") + "\" Tester";
        STARTUPINFOA start{};
        start.cb = sizeof start;
        start.dwFlags = STARTF_USESTDHANDLES;
        start.hStdOutput = write;
        start.hStdError = write;
        start.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        ASSERT_TRUE(::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                     nullptr, &start, &Launcher));
        ::CloseHandle(write);
        const std::string port = LauncherLine();
        ASSERT_EQ(port.rfind("PORT ", 0), 0u) << port;
        Caller = TestConnect(static_cast<std::uint16_t>(std::stoi(port.substr(5))));
        ASSERT_NE(Caller, kNoSocket);
    }

    void TearDown() override {
        TestClose(Caller);
        if (Launcher.hProcess) {
            if (::WaitForSingleObject(Launcher.hProcess, 20000) != WAIT_OBJECT_0)
                ::TerminateProcess(Launcher.hProcess, 1);
            ::CloseHandle(Launcher.hProcess);
            ::CloseHandle(Launcher.hThread);
        }
        if (Output) ::CloseHandle(Output);
        std::error_code error;
        fs::remove_all(Dir, error);
    }

    // The launcher's next line of output.
    std::string LauncherLine() {
        std::string line;
        char c = 0;
        DWORD got = 0;
        while (::ReadFile(Output, &c, 1, &got, nullptr) && got == 1 && c != '\n')
            if (c != '\r') line += c;
        return line;
    }

    // Reads what the door sends until AText has come since the last call, or 10 s pass.
    bool CallerWaitFor(const std::string& AText) {
        for (const auto end = std::chrono::steady_clock::now() + 10s;;) {
            if (const auto at = Seen.find(AText, Mark); at != std::string::npos) {
                Mark = at + AText.size();
                return true;
            }
            if (std::chrono::steady_clock::now() > end) return false;
            Seen += TestReceive(Caller, 100);
        }
    }

    void CallerSend(const std::string& AKeys) { TestSend(Caller, AKeys); }

    // A one-value query on the door's database.
    std::string Query(const std::string& ASql) {
        const auto rows = SqlRows((Dir / "glimradb.db").string(), ASql);
        return rows.empty() ? "" : rows[0];
    }

    fs::path Dir;
    HANDLE Output = nullptr;
    PROCESS_INFORMATION Launcher{};
    TTestSocket Caller = kNoSocket;
    std::string Seen;
    std::size_t Mark = 0;
};

} // namespace

TEST_F(WindowsDoor, ACallerPlaysSeesTheBoardQuitsAndIsBackAtTheBbs) {
    ASSERT_TRUE(CallerWaitFor("Play Glimra")) << Seen;
    CallerSend("1");
    ASSERT_TRUE(CallerWaitFor("Enter Guess 1: ")) << Seen.substr(Mark);
    const std::string word =
        Query("select strWord from tblWordsByDate where dtDate = date('now', 'localtime')");
    ASSERT_EQ(word.size(), 5u);
    CallerSend(word + "\r\n");
    ASSERT_TRUE(CallerWaitFor("<-")) << Seen.substr(Mark);
    CallerSend(" ");
    ASSERT_TRUE(CallerWaitFor("TOP TEN FOR")) << Seen.substr(Mark);
    ASSERT_TRUE(CallerWaitFor("Press Any Key to Continue")) << Seen.substr(Mark);
    CallerSend(" ");
    ASSERT_TRUE(CallerWaitFor("Play Glimra")) << Seen.substr(Mark);
    CallerSend("q");
    EXPECT_EQ(LauncherLine(), "DOOR EXIT 0");
    EXPECT_EQ(LauncherLine(), "BBS SOCKET BLOCKING");
    ASSERT_TRUE(CallerWaitFor("BACK AT THE BBS")) << Seen.substr(Mark);
    CallerSend("still here\r\n");
    EXPECT_EQ(LauncherLine(), "BBS GOT still here");
    EXPECT_EQ(Query("select intScore from tblScores where strUserName = 'Tester'"), "320");
}

TEST_F(WindowsDoor, ACallerWhoDropsMidGameKeepsTheScoreOfTheStartedGame) {
    ASSERT_TRUE(CallerWaitFor("Play Glimra")) << Seen;
    CallerSend("1");
    ASSERT_TRUE(CallerWaitFor("Enter Guess 1: ")) << Seen.substr(Mark);
    TestClose(std::exchange(Caller, kNoSocket));
    EXPECT_EQ(LauncherLine(), "DOOR EXIT 0");
    EXPECT_EQ(Query("select intScore from tblScores where strUserName = 'Tester'"), "0");
    // A handle that is no socket (an inherited event): "No Carrier Detected" on the local console
    // and exit code 0, instead of a session with nobody.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE event = ::CreateEventW(&inherit, TRUE, FALSE, nullptr);
    const auto handle = std::to_string(reinterpret_cast<std::intptr_t>(event));
    EXPECT_EQ(TestRun("\"" + Native(fs::path(GLIMRA_BINARY_DIR) / "bbsglimra.exe") + "\" -N1 -S" +
                      handle),
              0);
    ::CloseHandle(event);
}
