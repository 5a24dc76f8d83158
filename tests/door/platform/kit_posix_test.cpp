// The kit's POSIX platform layer: the terminal console on a pseudo-terminal (the repaint checked
// on libvterm against the model, local keys decoded from tests/fixtures/console_keys.cases, modes
// put back) and the transport on descriptors as a BBS hands them over.
#include "door/events.h"
#include "door/term/videoutils.h"
#include "tests/support/kit_fixture.h"
#include "tests/support/vterm_screen.h"

#include <atomic>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

class ConsoleTest : public KitTest {
  public:
    void SetUp() override {
        KitTest::SetUp();
        winsize size{25, 80, 0, 0};
        ASSERT_EQ(::openpty(&Master, &Slave, nullptr, nullptr, &size), 0);
        ::tcgetattr(Slave, &Original);
        Reader = std::thread([this] { // the terminal's reader, so that output never blocks
            char buf[4096];
            for (pollfd pfd{Master, POLLIN, 0}; !Stop;)
                if (::poll(&pfd, 1, 5) > 0 && !Stop)
                    if (const ssize_t n = ::read(Master, buf, sizeof buf); n > 0)
                        (void)(std::lock_guard(Mutex), Shown.append(buf, n));
        });
    }
    void TearDown() override {
        ConsoleUseHeadless();
        Stop = true;
        if (Reader.joinable()) Reader.join(); // not when a test ended the terminal
        ::close(Master);
        ::close(Slave);
        KitTest::TearDown();
    }
    // What the terminal showed, taken once it has been quiet for 50 ms.
    std::string Take() {
        for (std::size_t last = SIZE_MAX, now;
             (now = (std::lock_guard(Mutex), Shown.size())) != last; last = now)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return std::lock_guard(Mutex), std::exchange(Shown, "");
    }
    std::string ReadKeys(std::size_t ACount) {
        std::string keys;
        for (int i = 0; i < 400 && keys.size() < ACount; ++i)
            ConsoleKeyPressed() ? void(keys += ConsoleReadKey())
                                : std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return keys;
    }
    int Master = -1, Slave = -1;
    termios Original{};
    std::atomic<bool> Stop{false};
    std::mutex Mutex;
    std::string Shown;
    std::thread Reader;
};

TEST_F(ConsoleTest, RepaintShowsTheModelInUtf8OrCp437) {
    for (const bool utf8 : {true, false}) {
        AnsiReset();
        ConsoleUseTerminal(Slave, Slave, utf8);
        termios raw{};
        ::tcgetattr(Slave, &raw);
        EXPECT_EQ(raw.c_lflag & (ICANON | ECHO | ISIG), 0u);
        TVTermScreen term(false, !utf8);
        const auto same = [&](const std::string& ABytes) {
            AnsiWrite(ABytes);
            const std::string shown = Take();
            term.Feed(shown);
            EXPECT_EQ(Shot(term), Shot(LocalScreen())) << ABytes;
            EXPECT_EQ(term.Cursor(),
                      std::tuple(LocalScreen().CursorColumn(), LocalScreen().CursorRow(),
                                 LocalScreen().CursorVisible()));
            return shown;
        };
        std::string art =
            "\x1b[2J\x1b[1;1H\x1b[1;33;44mGlimra \xdb\xdc\xdf\xb0\xb1\xb2\xcd\xfe\x1b[5m\x07blink";
        for (int cell = 0; cell < 22 * 79; ++cell)
            art += AnsiGotoXY(1 + cell % 79, 3 + cell / 79) + AnsiTextAttr(cell * 37 % 128, LocalScreen().TextAttr()) +
                   "\xdb\xb1\x41\x61"[cell % 4];
        FastWrite(" status bar ", 60, 25, 0x1F);
        EXPECT_TRUE(same(art).starts_with(utf8 ? "\x1b[?1049h\x1b[?7l" : "")) << "alternate screen";
        EXPECT_LT(same("\x1b[10;10H\x1b[1;32mZ").size(), 60u) << "one cell changed: little sent";
        same("\x1b[?25l\x1b[20;40H");
        EXPECT_EQ(same(""), "") << "nothing changed: nothing sent";
        same("\x1b[25;1H\n\n\x1b[?25h"); // scrolling moves every row
        ConsoleRestore();
        ConsoleRestore();         // a second call does nothing
        ::tcgetattr(Slave, &raw); // the modes put back
        EXPECT_TRUE(raw.c_lflag == Original.c_lflag && raw.c_iflag == Original.c_iflag &&
                    raw.c_oflag == Original.c_oflag);
        EXPECT_EQ(Take(), "\x1b[0m\x1b[?7h\x1b[?25h\x1b[?1049l");
        AnsiWrite("after the restore nothing is shown");
        EXPECT_EQ(Take(), "");
    }
}

TEST_F(ConsoleTest, LocalKeysAndTheEndOfInput) {
    ConsoleUseTerminal(Slave, Slave, true);
    CheckCases("console_keys.cases", 2, [this](const std::vector<std::string>& ACase) {
        ::write(Master, ACase[0].data(), ACase[0].size());
        return std::vector{ReadKeys(std::stoul(ACase[1]))};
    });
    ::write(Master, "\x1b", 1);
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5)), ::write(Master, "[A", 2);
    });
    EXPECT_EQ(ReadKeys(2), std::string("\0H", 2)) << "a sequence in two pieces is one key";
    late.join();
    Stop = true, Reader.join(); // the terminal hangs up
    ::close(std::exchange(Master, ::open("/dev/null", O_RDONLY)));
    EXPECT_FALSE(ConsoleKeyPressed());
    EXPECT_TRUE(ConsoleInputEnded());
    EXPECT_EQ(ConsoleKeyFd(), -1) << "nothing left to poll: no busy wake-ups";
    AnsiWrite("the display is gone; writing must not fail or block");
    ConsoleUseHeadless(); // headless: queued keys only, and no wait for others
    ConsolePushKeys("q");
    EXPECT_TRUE(ConsoleReadKey() == 'q' && ConsoleReadKey() == 0 && !ConsoleIsTerminal());
}

// The status bar of a remote session keeps the event pass at once a second, but only on a console
// that is shown; without it the key wait sleeps until a limit's next mark.
TEST_F(ConsoleTest, StatusBarOnAShownConsoleTicksEachSecond) {
    ConsoleUseTerminal(Slave, Slave, true);
    Connect();
    DoorSession.Events = true;
    DoorDoEvents();
    EXPECT_EQ(DoorMillisecondsToNextPass(), 1000);
    ConsoleUseHeadless();
    EXPECT_EQ(DoorMillisecondsToNextPass(), 59020) << "the idle limit's first warning";
}

// A BBS may hand over a non-blocking descriptor, even descriptor 0 (its standard input): the
// session blocks, and the hand-back closes the door's descriptor only, gives the BBS its mode
// back and never touches the number again once it belongs to something else.
TEST(CommPosix, DescriptorsAndModesAsTheBbsGaveThem) {
    const int saved = ::dup(0);
    for (const int handle : {-1, 0}) {
        int pair[2], pipeFds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) + ::pipe(pipeFds), 0);
        int door = pair[0];
        if (handle >= 0) ::dup2(door, handle), ::close(door), door = handle;
        const int bbs = ::dup(door);
        ::fcntl(door, F_SETFL, O_NONBLOCK);
        CommOpen(door);
        EXPECT_EQ(::fcntl(bbs, F_GETFL) & O_NONBLOCK, 0) << "the door's session blocks";
        CommWrite("hi");
        EXPECT_EQ(TestRead(pair[1], 8), std::string("\xFF\xFB\x00\xFF\xFB\x01hi", 8));
        CommClose(false);
        EXPECT_EQ(::fcntl(door, F_GETFD), -1) << "handle " << handle;
        EXPECT_NE(::fcntl(bbs, F_GETFL) & O_NONBLOCK, 0) << "the BBS's mode given back";
        ::dup2(pipeFds[1], door); // the number belongs to something else: left alone
        CommClose(true);
        CommWrite("stray");
        EXPECT_FALSE(TestReadable(pipeFds[0], 0));
        for (int fd : {pipeFds[0], pipeFds[1], door, bbs, pair[1]}) ::close(fd);
    }
    ::dup2(saved, 0), ::close(saved);
}

} // namespace
