// Fixture for the score boards and the calendar: a real database file in a temporary working
// directory with empty stand-ins for the header art, a remote caller on a socketpair, and
// readers for the local screen.
#pragma once

#include "door/ansi.h"
#include "door/comm.h"
#include "door/door.h"
#include "door/screen.h"
#include "gamedb_fixture.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// A remote caller on a socketpair whose screen bytes are read as they come, by a thread of its
// own, so that a long scripted session never stalls on a full socket buffer.
class TBoardCaller {
  public:
    TBoardCaller() {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        FCaller = fds[1];
        DoorDropInfo.ComType = 2;
        DoorDropInfo.ComNum = fds[0];
        CommOpen(fds[0]);
        FReader = std::thread([this] { Drain(); });
    }
    ~TBoardCaller() {
        CommClose(false);
        FStop = true;
        FReader.join();
        ::close(FCaller);
        DoorDropInfo.ComType = 0;
        DoorDropInfo.ComNum = 0;
    }
    TBoardCaller(const TBoardCaller&) = delete;
    TBoardCaller& operator=(const TBoardCaller&) = delete;

    // Keys typed by the caller; they wait in the socket until the door reads them.
    void Send(const std::string& AKeys) {
        ASSERT_EQ(::write(FCaller, AKeys.data(), AKeys.size()), static_cast<ssize_t>(AKeys.size()));
    }

    // Everything received since the last call, telnet commands removed and IAC IAC undoubled.
    // The door writes from this thread, so all it sent has arrived once the reader is idle.
    std::string Received() {
        WaitIdle();
        std::lock_guard<std::mutex> lock(FMutex);
        std::string text;
        for (std::size_t i = 0; i < FRaw.size(); ++i) {
            if (static_cast<unsigned char>(FRaw[i]) != 0xFF) {
                text += FRaw[i];
            } else if (i + 1 < FRaw.size() && static_cast<unsigned char>(FRaw[i + 1]) == 0xFF) {
                text += FRaw[++i];
            } else {
                i += 2; // IAC, a command and its option
            }
        }
        FRaw.clear();
        return text;
    }

  private:
    void Drain() {
        char buffer[8192];
        while (!FStop) {
            pollfd fd{FCaller, POLLIN, 0};
            if (::poll(&fd, 1, 20) <= 0) {
                FIdle = true;
                continue;
            }
            ssize_t n = ::read(FCaller, buffer, sizeof buffer);
            if (n <= 0) break;
            std::lock_guard<std::mutex> lock(FMutex);
            FRaw.append(buffer, static_cast<std::size_t>(n));
            FIdle = false;
        }
    }
    // Waits until the reader has found the socket empty after the door's last write.
    void WaitIdle() {
        FIdle = false;
        while (!FIdle && !FStop) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    int FCaller = -1;
    std::string FRaw;
    std::mutex FMutex;
    std::atomic<bool> FStop{false};
    std::atomic<bool> FIdle{false};
    std::thread FReader;
};

// Shows a captured byte stream on a fresh local screen, as the caller's terminal would.
inline void ReplayOnLocalScreen(const std::string& ABytes) {
    AnsiReset();
    AnsiWrite(ABytes);
}

class BoardsTest : public GameDbTest {
  protected:
    void SetUp() override {
        GameDbTest::SetUp();
        MakeDatabase({"crane"});
        FOldDir = std::filesystem::current_path();
        std::filesystem::current_path(Dir);
        // Header art is drawn as it is; empty files keep the screen to what the boards draw.
        for (const char* art : {"header.ans", "del_glimra.ans", "box.ans"})
            std::ofstream(art).flush();
        Caller = std::make_unique<TBoardCaller>();
        AnsiReset();
    }
    void TearDown() override {
        Caller.reset();
        std::filesystem::current_path(FOldDir);
        GameDbTest::TearDown();
    }

    // A score row of any caller, written on a connection of the test's own.
    void AddScore(const std::string& AName, const std::string& ADate, int AScore) {
        SqlConnection conn(GameDatabaseFile);
        SqlStatement(conn, "INSERT INTO tblScores (strUserName, dtDate, intScore) VALUES (?, ?, ?)")
            .Bind(1, AName)
            .Bind(2, ADate)
            .Bind(3, std::int64_t{AScore})
            .Execute();
    }

    static std::string TextAt(int ACol, int ARow, std::size_t ALength) {
        return LocalScreen().RowText(ARow).substr(static_cast<std::size_t>(ACol - 1), ALength);
    }
    static std::uint8_t AttrAt(int ACol, int ARow) { return LocalScreen().AttrAt(ACol, ARow); }
    // The row's text from ACol on, trailing blanks removed.
    static std::string RestOfRow(int ARow, int ACol = 1) {
        std::string text = LocalScreen().RowText(ARow).substr(static_cast<std::size_t>(ACol - 1));
        return text.erase(text.find_last_not_of(' ') + 1);
    }

    // The expected text of a row from column AFromCol on: each part at its absolute column,
    // blanks between.
    static std::string Placed(int AFromCol,
                              const std::vector<std::pair<int, std::string>>& AParts) {
        std::string text;
        for (const auto& [col, part] : AParts) {
            text.resize(static_cast<std::size_t>(col - AFromCol), ' ');
            text += part;
        }
        return text;
    }

    std::unique_ptr<TBoardCaller> Caller;
    std::filesystem::path FOldDir;
};

// Attributes as the local screen holds them: foreground | background << 4.
inline constexpr std::uint8_t ATTR_GREEN = 0x02;
inline constexpr std::uint8_t ATTR_BROWN = 0x06;
inline constexpr std::uint8_t ATTR_DARK_GRAY = 0x08;
inline constexpr std::uint8_t ATTR_LIGHT_GREEN = 0x0A;
inline constexpr std::uint8_t ATTR_LIGHT_RED = 0x0C;
inline constexpr std::uint8_t ATTR_YELLOW = 0x0E;
inline constexpr std::uint8_t ATTR_YELLOW_ON_GREEN = 0x2E;
inline constexpr std::uint8_t ATTR_YELLOW_ON_BLUE = 0x1E;
