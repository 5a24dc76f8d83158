// The console back-ends: the headless key queue, and the terminal back-end on a pseudo-terminal
// (raw mode and its restoring, the repaint checked on libvterm against the screen model, local
// keys decoded into the PC keyboard's codes, end of input, an ending signal on a full terminal).
#include "door/videoutils.h"
#include "tests/support/kit_fixture.h"
#include "tests/support/vterm_screen.h"

#include <fcntl.h>
#include <pthread.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>

#include <atomic>
#include <csignal>
#include <mutex>
#include <thread>

namespace {

using namespace std::string_literals;

class ConsoleTest : public KitTest {
  protected:
    void SetUp() override {
        KitTest::SetUp();
        winsize ws{25, 80, 0, 0};
        ASSERT_EQ(::openpty(&Master, &Slave, nullptr, nullptr, &ws), 0);
        ASSERT_EQ(::tcgetattr(Slave, &Original), 0);
        Reader = std::thread([this] { // the terminal's reader, so that output never blocks
            char buf[4096];
            for (ssize_t n; !Stop;) {
                pollfd pfd{Master, POLLIN, 0};
                if (::poll(&pfd, 1, 5) > 0 && (n = ::read(Master, buf, sizeof buf)) > 0) {
                    std::lock_guard lock(Mutex);
                    Data.append(buf, static_cast<std::size_t>(n));
                }
            }
        });
    }
    void TearDown() override {
        ConsoleUseHeadless();
        Stop = true;
        Reader.join();
        ::close(Master);
        ::close(Slave);
        KitTest::TearDown();
    }
    // What the terminal showed: once it has been quiet for 50 ms (up to AFirstMs for a first byte).
    std::string Take(int AFirstMs = 3000) {
        const auto size = [this] {
            std::lock_guard lock(Mutex);
            return Data.size();
        };
        for (int waited = 0; size() == 0 && waited < AFirstMs; waited += 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        for (std::size_t last = SIZE_MAX; size() != last;
             std::this_thread::sleep_for(std::chrono::milliseconds(50)))
            last = size();
        std::lock_guard lock(Mutex);
        return std::exchange(Data, "");
    }
    std::string ReadKeys(std::size_t ACount) {
        std::string keys;
        for (int i = 0; i < 200 && keys.size() < ACount; ++i)
            if (ConsoleKeyPressed())
                keys += ConsoleReadKey();
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return keys;
    }
    void Type(const std::string& AKeys) {
        ASSERT_EQ(::write(Master, AKeys.data(), AKeys.size()), ssize_t(AKeys.size()));
    }
    bool ModesRestored() {
        termios now{};
        ::tcgetattr(Slave, &now);
        return now.c_lflag == Original.c_lflag && now.c_iflag == Original.c_iflag &&
               now.c_oflag == Original.c_oflag;
    }
    int Master = -1, Slave = -1;
    termios Original{};
    std::atomic<bool> Stop{false};
    std::mutex Mutex;
    std::string Data;
    std::thread Reader;
};

TEST_F(ConsoleTest, HeadlessQueuesKeysOnly) {
    EXPECT_FALSE(ConsoleIsTerminal() || ConsoleInputEnded() || ConsoleKeyPressed());
    EXPECT_EQ(ConsoleKeyFd(), -1);
    EXPECT_EQ(ConsoleReadKey(), 0) << "nothing to wait for: no blocking";
    ConsolePushKeys("q\0H"s);
    EXPECT_EQ(ReadKeys(3), "q\0H"s);
}

// After every output call the terminal shows the model, UTF-8 glyphs or CP437 bytes, a small
// change sends little, and the ending puts back the modes and the screen.
TEST_F(ConsoleTest, RepaintShowsTheModelAndTheEndPutsTheTerminalBack) {
    for (const bool utf8 : {true, false}) {
        AnsiReset();
        ConsoleUseTerminal(Slave, Slave, utf8);
        termios raw{};
        ::tcgetattr(Slave, &raw);
        EXPECT_EQ(raw.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_TRUE(ConsoleIsTerminal() && ConsoleKeyFd() == Slave);
        TVTermScreen term(false, !utf8);
        const auto same = [&](const std::string& AWhat) {
            const std::string shown = Take();
            term.Feed(shown);
            EXPECT_EQ(Shot(term), Shot(LocalScreen())) << AWhat;
            EXPECT_EQ(std::tuple(term.CursorX(), term.CursorY(), term.CursorVisible()),
                      std::tuple(LocalScreen().CursorColumn(), LocalScreen().CursorRow(),
                                 LocalScreen().CursorVisible()))
                << AWhat;
            return shown;
        };
        AnsiWrite("\x1b[2J\x1b[1;1H\x1b[1;33;44mGlimra \xdb\xdc\xdf\xb0\xb1\xb2\xcd\xfe\x1b[0m");
        for (int row = 3; row <= 24; ++row) {
            std::string line = "\x1b[" + std::to_string(row) + ";1H";
            for (int col = 0; col < 79; ++col)
                line += "\x1b[" + std::to_string(30 + (row + col) % 8) + ";" +
                        std::to_string(40 + (row * col) % 8) + "m" +
                        "\xdb\xb1"
                        "Aa"[col % 4];
            AnsiWrite(line);
        }
        AnsiWrite("\x1b[5m\x1b[3;3Hb\x1b[0m");
        FastWrite(" status bar ", 60, 25, 0x1F);
        EXPECT_TRUE(same("full screen").starts_with(utf8 ? "\x1b[?1049h\x1b[?7l" : ""))
            << "alternate screen";
        AnsiWrite("\x1b[10;10H\x1b[1;32mZ");
        EXPECT_LT(same("one cell").size(), 60u);
        AnsiWrite("\x1b[?25l\x1b[20;40H");
        same("cursor hidden");
        AnsiWrite("");
        EXPECT_EQ(Take(200), "") << "nothing changed: nothing sent";
        AnsiWrite("\x1b[25;1H\n\n\x1b[?25h");
        same("scrolled");
        ConsoleRestore();
        ConsoleRestore(); // a second call does nothing
        EXPECT_TRUE(ModesRestored());
        EXPECT_EQ(Take(), "\x1b[0m\x1b[?7h\x1b[?25h\x1b[?1049l");
        AnsiWrite("after the restore nothing is shown");
        EXPECT_EQ(Take(200), "");
    }
}

TEST_F(ConsoleTest, LocalKeysDecodedAndLineEndsFolded) {
    ConsoleUseTerminal(Slave, Slave, true);
    Take();
    const std::pair<std::string, std::string> cases[] = {
        {"a\r\x7f\x1b[A\x1b[B\x1b[C\x1b[D\x1bOH\x1b[F\x1b[5~\x1b[6~\x1b[2~\x1b[3~",
         "a\r\b\0H\0P\0M\0K\0G\0O\0I\0Q\0R\0S"s},
        {"\x1bOP\x1bOS\x1b[15~\x1b[17~\x1b[21~\x1b[[A\x1b[1~\x1b[4~\x1b[1;5A\x1b[99~x",
         "\0;\0>\0?\0@\0D\0;\0G\0O\0Hx"s},
        {"\xc3\xa9\xe2\x96\x88\xe2\x82\xac!", "\x82\xdb!"}, // a euro sign CP437 lacks
        {"a\r\nb\r\0c\nd\0e\r\rf"s, "a\rb\rc\rde\r\rf"},    // a caller's Enter through a BBS
        {"g\r", "g\r"},
        {"\nh", "h"}, // the LF of a CR LF cut between two reads
        {"\x1b", "\x1b"},
    };
    for (const auto& [typed, keys] : cases) {
        Type(typed);
        EXPECT_EQ(ReadKeys(keys.size()), keys) << ::testing::PrintToString(typed);
    }
    Type("\x1b");
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        Type("[A");
    });
    EXPECT_EQ(ReadKeys(2), "\0H"s) << "a sequence in two pieces is one key";
    late.join();
    ConsolePushKeys("p");
    EXPECT_EQ(ReadKeys(1), "p");
    Stop = true; // the terminal hangs up
    Reader.join();
    Reader = std::thread([] {});
    ::close(Master);
    Master = ::open("/dev/null", O_RDONLY);
    EXPECT_FALSE(ConsoleKeyPressed());
    EXPECT_TRUE(ConsoleInputEnded());
    EXPECT_EQ(ConsoleKeyFd(), -1) << "nothing left to poll: no busy wake-ups";
    AnsiWrite("the display is gone; writing must not fail or block");
}

TEST_F(ConsoleTest, ACrashOrAnEndingSignalOnAFullTerminalPutsTheTerminalBack) {
    const pid_t child = ::fork();
    if (child == 0) {
        ConsoleUseTerminal(Slave, Slave, true);
        AnsiWrite("about to crash");
        std::abort();
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << "the crash still ends it";
    EXPECT_TRUE(ModesRestored());
    EXPECT_NE(Take().find("\x1b[?1049l"), std::string::npos) << "back from the alternate screen";

    // A stalled line: nobody reads the terminal, so output blocks until the ending signal.
    Stop = true;
    Reader.join();
    struct sigaction action {
    }, saved{};
    action.sa_handler = [](int) {}; // no SA_RESTART, as the door's own
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &saved), 0);
    ConsoleUseTerminal(Slave, Slave, false);
    std::atomic<bool> done{false}, hadToRead{false};
    const pthread_t writer = ::pthread_self();
    Reader = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ConsoleStopWaiting();
        for (int i = 0; !done; ++i) {
            ::pthread_kill(writer, SIGUSR1);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            char buf[65536];
            if (i >= 250 && !done)
                hadToRead = ::read(Master, buf, sizeof buf) > 0; // stuck: free it
        }
    });
    for (int pass = 0; pass < 100; ++pass) {
        AnsiWrite("\x1b[" + std::to_string(31 + pass % 7) + "m\x1b[2J");
        for (int row = 1; row <= 25; ++row)
            AnsiWrite("\x1b[" + std::to_string(row) + ";1H" +
                      std::string(80, char('A' + pass % 26)));
    }
    ConsoleRestore();
    done = true;
    Reader.join();
    Reader = std::thread([] {});
    ::sigaction(SIGUSR1, &saved, nullptr);
    EXPECT_FALSE(hadToRead) << "output stayed blocked after the ending signal";
    EXPECT_TRUE(ModesRestored());
}

} // namespace
