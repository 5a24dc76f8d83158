// The console back-ends: headless key queue, and the terminal back-end driven through a
// pseudo-terminal (raw mode and its restoring, changed-cell repaint checked on a real terminal
// emulator, local keys decoded into the PC keyboard's codes, end of input).
#include "door/ansi.h"
#include "door/console.h"
#include "door/screen.h"
#include "door/videoutils.h"
#include "tests/support/vterm_screen.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace {

// Collects what the program writes to the terminal, from the pseudo-terminal's master side.
class TPtyReader {
  public:
    explicit TPtyReader(int AFd) : Fd_(AFd), Thread_([this] { Run(); }) {}
    ~TPtyReader() {
        Stop_ = true;
        Thread_.join();
    }
    // Everything written so far: waits up to AFirstMs for the first byte, then until the
    // terminal has been quiet for 50 ms (a loaded machine may be slow to deliver).
    std::string Take(int AFirstMs = 3000) {
        const auto size = [this] {
            std::lock_guard lock(Mutex_);
            return Data_.size();
        };
        for (int waited = 0; size() == 0 && waited < AFirstMs; waited += 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        for (std::size_t last = SIZE_MAX; size() != last;) {
            last = size();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        std::lock_guard lock(Mutex_);
        std::string out;
        out.swap(Data_);
        return out;
    }

  private:
    void Run() {
        char buf[4096];
        while (!Stop_) {
            pollfd pfd{Fd_, POLLIN, 0};
            if (poll(&pfd, 1, 5) <= 0) continue;
            const ssize_t n = read(Fd_, buf, sizeof buf);
            if (n <= 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            std::lock_guard lock(Mutex_);
            Data_.append(buf, static_cast<std::size_t>(n));
        }
    }
    int Fd_;
    std::atomic<bool> Stop_{false};
    std::mutex Mutex_;
    std::string Data_;
    std::thread Thread_;
};

class ConsoleOnPty : public ::testing::Test {
  protected:
    void SetUp() override {
        ConsoleUseHeadless();
        AnsiReset();
        winsize ws{};
        ws.ws_col = 80;
        ws.ws_row = 25;
        ASSERT_EQ(openpty(&Master, &Slave, nullptr, nullptr, &ws), 0);
        ASSERT_EQ(tcgetattr(Slave, &Original), 0);
    }
    void TearDown() override {
        ConsoleUseHeadless();
        if (Master >= 0) close(Master);
        close(Slave);
    }
    // Every cell of the local screen model and the terminal agree, and so does the cursor.
    void ExpectTerminalShowsModel(const TVTermScreen& term) {
        const TScreen& s = LocalScreen();
        for (int row = 1; row <= 25; ++row)
            for (int col = 1; col <= 80; ++col) {
                const auto a = s.AttrAt(col, row);
                ASSERT_EQ(term.Char(col, row), s.CharAt(col, row)) << col << "," << row;
                ASSERT_EQ(term.Fg(col, row), a & 15) << col << "," << row;
                ASSERT_EQ(term.Bg(col, row), (a >> 4) & 7) << col << "," << row;
                ASSERT_EQ(term.Blink(col, row), (a & 0x80) != 0) << col << "," << row;
            }
        EXPECT_EQ(term.CursorX(), s.CursorColumn());
        EXPECT_EQ(term.CursorY(), s.CursorRow());
        EXPECT_EQ(term.CursorVisible(), s.CursorVisible());
    }
    void Type(const std::string& keys) {
        ASSERT_EQ(write(Master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
    std::string ReadKeys(std::size_t n) {
        std::string keys;
        for (int i = 0; i < 100 && keys.size() < n; ++i) {
            if (ConsoleKeyPressed())
                keys += ConsoleReadKey();
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return keys;
    }
    int Master = -1;
    int Slave = -1;
    termios Original{};
};

TEST(ConsoleHeadless, QueuedKeysOnly) {
    ConsoleUseHeadless();
    AnsiReset();
    EXPECT_FALSE(ConsoleIsTerminal());
    EXPECT_EQ(ConsoleKeyFd(), -1);
    EXPECT_FALSE(ConsoleInputEnded());
    EXPECT_FALSE(ConsoleKeyPressed());
    EXPECT_EQ(ConsoleReadKey(), 0) << "nothing to wait for: no blocking";
    ConsolePushKeys(std::string("q\0H", 3));
    EXPECT_TRUE(ConsoleKeyPressed());
    EXPECT_EQ(ConsoleReadKey(), 'q');
    EXPECT_EQ(ConsoleReadKey(), 0);
    EXPECT_EQ(ConsoleReadKey(), 'H');
    EXPECT_FALSE(ConsoleKeyPressed());
    AnsiWrite("no display, no harm");
    EXPECT_EQ(LocalScreen().RowText(1).substr(0, 2), "no");
}

TEST_F(ConsoleOnPty, RawModeAndItsRestoring) {
    ConsoleUseTerminal(Slave, Slave, true);
    TPtyReader reader(Master);
    ASSERT_TRUE(ConsoleIsTerminal());
    termios raw{};
    ASSERT_EQ(tcgetattr(Slave, &raw), 0);
    EXPECT_EQ(raw.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(ConsoleKeyFd(), Slave);
    AnsiWrite("x");
    const std::string start = reader.Take();
    EXPECT_EQ(start.rfind("\x1b[?1049h\x1b[?7l", 0), 0u) << "alternate screen, no autowrap";
    ConsoleRestore();
    ConsoleRestore(); // a second call does nothing
    termios after{};
    ASSERT_EQ(tcgetattr(Slave, &after), 0);
    EXPECT_EQ(std::tie(after.c_lflag, after.c_iflag, after.c_oflag, after.c_cflag),
              std::tie(Original.c_lflag, Original.c_iflag, Original.c_oflag, Original.c_cflag));
    EXPECT_EQ(reader.Take(), "\x1b[0m\x1b[?7h\x1b[?25h\x1b[?1049l");
    AnsiWrite("after the restore nothing is shown");
    EXPECT_EQ(reader.Take(200), "");
}

// The terminal shows the model after every output call, UTF-8 glyphs or CP437 bytes, and a
// small change sends only a little.
TEST_F(ConsoleOnPty, RepaintShowsTheModel) {
    for (const bool utf8 : {true, false}) {
        SCOPED_TRACE(utf8 ? "UTF-8" : "CP437");
        AnsiReset();
        ConsoleUseTerminal(Slave, Slave, utf8);
        TPtyReader reader(Master);
        TVTermScreen term({.Telnet = false, .Cp437 = !utf8});
        AnsiWrite("\x1b[2J\x1b[1;1H\x1b[1;33;44mGlimra \xdb\xdc\xdf\xb0\xb1\xb2\xcd\xfe\x1b[0m");
        for (int row = 3; row <= 24; ++row) {
            std::string line = "\x1b[" + std::to_string(row) + ";1H";
            for (int col = 0; col < 79; ++col)
                line += "\x1b[" + std::to_string(30 + (row + col) % 8) + ";" +
                        std::to_string(40 + (row * col) % 8) + "m" +
                        char("\xdb\xb1"
                             "Aa"[col % 4]);
            AnsiWrite(line);
        }
        AnsiWrite("\x1b[5m\x1b[3;3Hb\x1b[0m\x07");
        FastWrite(" status bar ", 60, 25, 0x1F);
        term.Feed(reader.Take());
        ExpectTerminalShowsModel(term);
        EXPECT_EQ(term.Bells(), 1);
        // One character: a cursor move, a colour and the glyph, not a repaint.
        AnsiWrite("\x1b[10;10H\x1b[1;32mZ");
        const std::string small = reader.Take();
        EXPECT_LT(small.size(), 60u) << small;
        term.Feed(small);
        ExpectTerminalShowsModel(term);
        AnsiWrite("\x1b[?25l\x1b[20;40H");
        term.Feed(reader.Take());
        ExpectTerminalShowsModel(term);
        // Nothing changed: nothing sent.
        AnsiWrite("");
        EXPECT_EQ(reader.Take(200), "");
        // Scrolling moves every row: the terminal still shows the model.
        AnsiWrite("\x1b[25;1H\n\n\x1b[?25h");
        term.Feed(reader.Take());
        ExpectTerminalShowsModel(term);
        ConsoleRestore();
        reader.Take();
    }
}

TEST_F(ConsoleOnPty, LocalKeysDecoded) {
    ConsoleUseTerminal(Slave, Slave, true);
    TPtyReader reader(Master);
    EXPECT_FALSE(ConsoleKeyPressed());
    Type("a\r\x7f\x1b[A\x1b[B\x1b[C\x1b[D\x1bOH\x1b[F\x1b[5~\x1b[6~\x1b[2~\x1b[3~");
    EXPECT_EQ(ReadKeys(23), std::string("a\r\b\0H\0P\0M\0K\0G\0O\0I\0Q\0R\0S", 23));
    Type("\x1bOP\x1bOS\x1b[15~\x1b[17~\x1b[21~\x1b[[A\x1b[1~\x1b[4~\x1b[1;5A\x1b[99~x");
    EXPECT_EQ(ReadKeys(19), std::string("\0;\0>\0?\0@\0D\0;\0G\0O\0Hx", 19));
    Type("\xc3\xa9\xe2\x96\x88\xe2\x82\xac!"); // é and a full block, then a euro sign CP437 lacks
    EXPECT_EQ(ReadKeys(3), "\x82\xdb!");
    Type("\x1b");
    EXPECT_EQ(ReadKeys(1), "\x1b") << "a lone ESC is the Escape key";
    Type("\x1b[");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(ReadKeys(2), "\x1b[") << "an unfinished sequence is taken as it stands";
    // A sequence that arrives in two pieces is still one key.
    Type("\x1b");
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        Type("[A");
    });
    const std::string key = ReadKeys(2);
    late.join();
    EXPECT_EQ(key, std::string("\0H", 2));
    ConsolePushKeys("p");
    EXPECT_EQ(ReadKeys(1), "p");
}

// A caller's Enter through a BBS's pseudo-terminal: CR LF and CR NUL are one Enter, a lone LF is
// Enter, and a NUL never starts a scan code; a CR LF cut between two reads is still one Enter.
TEST_F(ConsoleOnPty, CallersLineEndsFolded) {
    ConsoleUseTerminal(Slave, Slave, false);
    TPtyReader reader(Master);
    Type(std::string("a\r\nb\r\0c\nd\0e\r\rf", 14));
    EXPECT_EQ(ReadKeys(9), "a\rb\rc\rde\r");
    EXPECT_EQ(ReadKeys(2), "\rf") << "two CRs are two Enters";
    Type("g\r");
    EXPECT_EQ(ReadKeys(2), "g\r");
    Type("\nh");
    EXPECT_EQ(ReadKeys(1), "h");
    EXPECT_FALSE(ConsoleKeyPressed());
}

TEST_F(ConsoleOnPty, ACrashPutsTheTerminalBack) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ConsoleUseTerminal(Slave, Slave, true);
        AnsiWrite("about to crash");
        std::abort();
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << "the crash still ends it";
    termios after{};
    ASSERT_EQ(tcgetattr(Slave, &after), 0);
    EXPECT_EQ(after.c_lflag, Original.c_lflag);
    TPtyReader reader(Master);
    const std::string shown = reader.Take();
    EXPECT_NE(shown.find("\x1b[?1049l"), std::string::npos) << "back from the alternate screen";
}

TEST_F(ConsoleOnPty, EndOfInput) {
    ConsoleUseTerminal(Slave, Slave, true);
    {
        TPtyReader reader(Master);
        reader.Take();
    }
    close(Master); // the terminal hangs up
    Master = -1;
    EXPECT_FALSE(ConsoleKeyPressed());
    EXPECT_TRUE(ConsoleInputEnded());
    EXPECT_EQ(ConsoleKeyFd(), -1) << "nothing left to poll: no busy wakeups";
    EXPECT_EQ(ConsoleReadKey(), 0);
    AnsiWrite("the display is gone; writing must not fail or block");
}

// A caller's line that has stalled: the terminal takes nothing more and the door's output
// blocks. The ending signal releases it, the display ends, and the modes are still put back.
TEST_F(ConsoleOnPty, EndingSignalReleasesAFullTerminal) {
    struct sigaction action {};
    action.sa_handler = [](int) {};
    sigemptyset(&action.sa_mask);
    struct sigaction saved {};
    ASSERT_EQ(sigaction(SIGUSR1, &action, &saved), 0); // no SA_RESTART, as the door's own
    ConsoleUseTerminal(Slave, Slave, false);

    std::atomic<bool> done{false};
    std::atomic<bool> hadToClose{false};
    const pthread_t writer = pthread_self();
    std::thread bbs([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ConsoleStopWaiting();
        for (int i = 0; !done; ++i) {
            pthread_kill(writer, SIGUSR1);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (i == 250 && !done) { // 5 s: the writer is stuck; unblock it so the test ends
                hadToClose = true;
                close(Master);
            }
        }
    });
    // Far more than the terminal holds: every pass repaints every cell.
    for (int pass = 0; pass < 100; ++pass) {
        AnsiWrite("\x1b[" + std::to_string(31 + pass % 7) + "m\x1b[2J");
        for (int row = 1; row <= 25; ++row)
            AnsiWrite("\x1b[" + std::to_string(row) + ";1H" +
                      std::string(80, char('A' + pass % 26)));
    }
    ConsoleRestore();
    done = true;
    bbs.join();
    sigaction(SIGUSR1, &saved, nullptr);
    ASSERT_FALSE(hadToClose) << "output stayed blocked after the ending signal";
    termios after{};
    ASSERT_EQ(tcgetattr(Slave, &after), 0);
    EXPECT_EQ(after.c_lflag, Original.c_lflag);
    EXPECT_EQ(after.c_iflag, Original.c_iflag);
    ConsoleUseHeadless();
}

} // namespace
