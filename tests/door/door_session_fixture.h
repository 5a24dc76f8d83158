// The kit's state for tests (headless console, fresh screen, default hooks, a fake clock), and a
// remote door session on a Unix socket pair whose caller's end the test holds.
#pragma once

#include "door/ansi.h"
#include "door/comm.h"
#include "door/console.h"
#include "door/door.h"
#include "door/screen.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

// Every field of DoorDropInfo as "Name=value", so that one comparison checks them all.
inline std::string DropInfoFields() {
    const auto& d = DoorDropInfo;
    std::ostringstream s;
    s << "Access=" << d.Access << " Alias=" << d.Alias << " Baud=" << d.Baud << " Clean=" << d.Clean
      << " ComNum=" << d.ComNum << " ComType=" << int(d.ComType)
      << " Emulation=" << (d.Emulation == TDoorEmulationType::etANSI ? "ANSI" : "ASCII")
      << " Fairy=" << d.Fairy << " MaxSeconds=" << d.MaxSeconds << " Node=" << d.Node
      << " RealName=" << d.RealName << " RecPos=" << d.RecPos;
    return s.str();
}

// The fake clock: tests move it; the kit reads it through DoorNow and DoorSteadyNow.
inline TDateTime FakeNow{};
inline std::vector<std::int32_t> Delays; // every DoorDelay the kit asked for, in order

// A door ends its process with code 0 when a local session waits for a key that never comes.
// Inside a test (in the test process itself, not a death test's child) that must fail the run
// instead of ending it quietly as a success.
inline const pid_t TestProcess = ::getpid();
inline bool InKitTest = false;
inline void FailExitInsideTest() {
    if (!InKitTest || ::getpid() != TestProcess) return;
    std::fputs("The process was ended inside a test: a screen waited for a key never typed?\n",
               stderr);
    std::_Exit(1);
}

// The kit as a door finds it before start-up: a headless console with a fresh screen, the
// default hooks, no session, and the fake clock; and a temporary directory for the test's files.
class DoorKitTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static const bool guarded = std::atexit(FailExitInsideTest) == 0;
        EXPECT_TRUE(guarded);
        InKitTest = true;
        char pattern[] = "/tmp/glimra-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        Dir = pattern;
        ConsoleUseHeadless();
        AnsiReset();
        DoorDropInfo = {};
        DoorLastKey = {};
        DoorSession = {};
        Stdio = false;
        DoorOnHangup = DefaultOnHangup;
        DoorOnStatusBar = DefaultOnStatusBar;
        DoorOnTimeOut = DefaultOnTimeOut;
        DoorOnTimeUp = DefaultOnTimeUp;
        DoorOnSysopKey = nullptr;
        DoorOnTimeOutWarning = nullptr;
        DoorOnTimeUpWarning = nullptr;
        DoorOnCLP = nullptr;
        DoorOnLocalLogin = DefaultOnLocalLogin;
        DoorOnUsage = DefaultOnUsage;
        FakeNow = TDateTime{} + std::chrono::hours(24 * 365 * 50);
        Delays.clear();
        SavedNow = DoorNow;
        SavedSteadyNow = DoorSteadyNow;
        SavedDelay = DoorDelay;
        DoorNow = [] { return FakeNow; };
        DoorSteadyNow = [] { return FakeNow; };
        DoorDelay = [](std::int32_t AMs) { Delays.push_back(AMs); };
    }

    void TearDown() override {
        DoorSession = {};
        DoorDropInfo = {};
        DoorLastKey = {};
        DoorNow = SavedNow;
        DoorSteadyNow = SavedSteadyNow;
        DoorDelay = SavedDelay;
        DoorOnCLP = nullptr;
        DoorOnLocalLogin = DefaultOnLocalLogin;
        while (ConsoleKeyPressed()) ConsoleReadKey();
        AnsiReset(); // later tests in this binary expect a fresh screen
        if (!Dir.empty()) std::filesystem::remove_all(Dir);
        InKitTest = false;
    }

    static void Advance(int ASeconds) { FakeNow += std::chrono::seconds(ASeconds); }

    // Local screen text of a row, trailing blanks removed.
    static std::string Row(int ARow) {
        std::string text = LocalScreen().RowText(ARow);
        return text.erase(text.find_last_not_of(' ') + 1);
    }
    // ALength characters of the local screen from a column of a row, and a cell's attribute.
    static std::string TextAt(int ACol, int ARow, std::size_t ALength) {
        return LocalScreen().RowText(ARow).substr(static_cast<std::size_t>(ACol - 1), ALength);
    }
    static std::uint8_t AttrAt(int ACol, int ARow) { return LocalScreen().AttrAt(ACol, ARow); }

    std::filesystem::path Dir; // a fresh temporary directory, removed after the test
    TDateTime (*SavedNow)() = nullptr;
    TDateTime (*SavedSteadyNow)() = nullptr;
    void (*SavedDelay)(std::int32_t) = nullptr;
};

// A remote session: the kit's connection is one end of a Unix socket pair, the test holds the
// caller's end.
class DoorSessionTest : public DoorKitTest {
  protected:
    void SetUp() override {
        DoorKitTest::SetUp();
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        Caller = fds[1];
        CommOpen(fds[0]);
        DoorDropInfo.ComType = 2;
        DoorDropInfo.ComNum = fds[0];
        DoorLastKey.Time = FakeNow;
        DoorSession.TimeOn = FakeNow;
        EXPECT_EQ(Received(), std::string("\xFF\xFB\x00\xFF\xFB\x01", 6)); // telnet offers
    }

    void TearDown() override {
        CommClose(false);
        if (Caller >= 0) ::close(Caller);
        DoorKitTest::TearDown();
    }

    // Every byte the caller has received so far.
    std::string Received() {
        std::string bytes;
        char buffer[4096];
        pollfd pfd{Caller, POLLIN, 0};
        while (::poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN)) {
            const ssize_t got = ::recv(Caller, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            bytes.append(buffer, static_cast<std::size_t>(got));
        }
        return bytes;
    }

    // The caller types these bytes.
    void Send(const std::string& ABytes) {
        ASSERT_EQ(::send(Caller, ABytes.data(), ABytes.size(), 0),
                  static_cast<ssize_t>(ABytes.size()));
    }

    // The caller hangs up.
    void HangUp() {
        ::close(Caller);
        Caller = -1;
    }

    int Caller = -1;
};
