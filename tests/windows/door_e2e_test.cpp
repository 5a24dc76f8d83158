// The door end to end on Windows: bbs_launcher (the BBS) accepts this test's caller on 127.0.0.1
// and lets bbsglimra.exe inherit the socket through DOOR32.SYS. The caller plays a game, sees the
// day's board and quits, or drops in mid-game; the door ends with exit code 0, the BBS's own
// handle still works and blocks as before, and the score is in the database. A handle that is
// no socket ends the door at once.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <windows.h>
#include <winsock2.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Native(const fs::path& APath) {
    return fs::absolute(APath).make_preferred().string();
}

// Runs a program to its end (ended after 20 s); its exit code, or -1 when it cannot start.
int RunToEnd(const std::string& ACommand, const fs::path& ADir, bool AInherit = false) {
    std::string command = ACommand;
    STARTUPINFOA start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, AInherit, 0, nullptr,
                          Native(ADir).c_str(), &start, &process))
        return -1;
    if (::WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0)
        ::TerminateProcess(process.hProcess, 1);
    DWORD code = 1;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    return static_cast<int>(code);
}

// One node: the launcher with its output in a pipe, and the caller's connection.
class WindowsDoor : public ::testing::Test {
  protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() / ("glimra-e2e-" + std::to_string(::GetCurrentProcessId()));
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        const fs::path bin = GLIMRA_BINARY_DIR;
        ASSERT_EQ(RunToEnd("\"" + Native(bin / "makedb.exe") + "\" --setup \"" + Native(Dir) + "\"",
                           GLIMRA_SOURCE_DIR),
                  0);
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
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
        Caller = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<u_short>(std::stoi(port.substr(5))));
        ASSERT_EQ(::connect(Caller, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        DWORD ms = 100;
        ::setsockopt(Caller, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms),
                     sizeof ms);
    }

    void TearDown() override {
        if (Caller != INVALID_SOCKET) ::closesocket(Caller);
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

    // Reads what the door sends until AText has come since the last call, or ALimit passes.
    bool CallerWaitFor(const std::string& AText, std::chrono::milliseconds ALimit = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + ALimit;
        for (;;) {
            const auto at = Seen.find(AText, Mark);
            if (at != std::string::npos) {
                Mark = at + AText.size();
                return true;
            }
            if (std::chrono::steady_clock::now() > deadline) return false;
            char buffer[4096];
            const int n = ::recv(Caller, buffer, sizeof buffer, 0);
            if (n > 0) Seen.append(buffer, static_cast<std::size_t>(n));
            if (n == 0) return false;
        }
    }

    void CallerSend(const std::string& AKeys) {
        ::send(Caller, AKeys.data(), static_cast<int>(AKeys.size()), 0);
    }

    // A one-value query on the door's database.
    std::string Query(const std::string& ASql) {
        sqlite3* db = nullptr;
        std::string value;
        if (sqlite3_open_v2(Native(Dir / "glimradb.db").c_str(), &db, SQLITE_OPEN_READONLY,
                            nullptr) == SQLITE_OK) {
            sqlite3_stmt* statement = nullptr;
            if (sqlite3_prepare_v2(db, ASql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
                sqlite3_step(statement) == SQLITE_ROW)
                value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
        return value;
    }

    fs::path Dir;
    HANDLE Output = nullptr;
    PROCESS_INFORMATION Launcher{};
    SOCKET Caller = INVALID_SOCKET;
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
    ::closesocket(Caller);
    Caller = INVALID_SOCKET;
    EXPECT_EQ(LauncherLine(), "DOOR EXIT 0");
    EXPECT_EQ(Query("select intScore from tblScores where strUserName = 'Tester'"), "0");
    // A handle that is no socket (an inherited event): "No Carrier Detected" on the local console
    // and exit code 0, instead of a session with nobody.
    const fs::path door = fs::path(GLIMRA_BINARY_DIR) / "bbsglimra.exe";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE event = ::CreateEventW(&inherit, TRUE, FALSE, nullptr);
    const auto handle = std::to_string(reinterpret_cast<std::intptr_t>(event));
    EXPECT_EQ(RunToEnd("\"" + Native(door) + "\" -N1 -S" + handle, Dir, true), 0);
    ::CloseHandle(event);
}
