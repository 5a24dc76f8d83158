// The local screen: the ANSI builders and emulator (against a real terminal, libvterm, on the same
// streams; every split point of a stream; tests/fixtures/ansi.cases where the local console differs
// from a terminal), and the terminal back-end on a pseudo-terminal: the repaint checked on libvterm
// against the model, local keys decoded (tests/fixtures/console_keys.cases), modes put back.
#include "door/videoutils.h"
#include "tests/support/kit_fixture.h"
#include "tests/support/vterm_screen.h"

#include <atomic>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <random>
#include <thread>

namespace {

using AnsiTest = KitTest;

// The cursor (where X, where Y), attribute, cursor visibility, rows 1, 2 and 25.
std::string State() {
    const TScreen& s = LocalScreen();
    return std::to_string(s.WhereX()) + "," + std::to_string(s.WhereY()) + " " +
           std::to_string(s.TextAttr()) + (s.CursorVisible() ? " " : " hidden ") + KitTest::Row(1) +
           "|" + KitTest::Row(2) + "|" + KitTest::Row(25);
}

TEST_F(AnsiTest, TheEmulatorStepByStep) {
    // Each row's bytes act on the screen the rows before it left; "reset" starts afresh and
    // "window" sets one (left, top, right, bottom) after writing "status" in row 25.
    AnsiReset();
    CheckCases("ansi.cases", 1, [](const std::vector<std::string>& ACase) {
        if (ACase[0] == "reset") AnsiReset();
        if (ACase[0].starts_with("window")) {
            FastWrite("status", 1, 25, 0x1F);
            int l, t, r, b;
            std::sscanf(ACase[0].c_str(), "window %d %d %d %d", &l, &t, &r, &b);
            LocalScreen().SetWindow(l, t, r, b);
        } else if (ACase[0] != "reset") {
            AnsiWrite(ACase[0]);
        }
        return std::vector{State()};
    });
    std::string many = "\x1b[0;31"; // a parameter list past its bound is read to its end
    for (int i = 0; i < 5000; ++i) many += ";1";
    AnsiWrite(many + ";44mZ");
    EXPECT_EQ(LocalScreen().TextAttr(), 0x0C);
}

// The same stream gives the same screen however it is cut into calls.
TEST_F(AnsiTest, EverySplitPointOfASequence) {
    const std::string stream =
        "ab\x1b[1;33;44mC\x1b[3;17Hde\x1b[?25l\x1b[2Dxy\x1b[s\x1b[5;5f\x1b[u!";
    AnsiWrite(stream);
    const std::string whole = Shot(LocalScreen()) + State();
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        AnsiReset();
        AnsiWrite(stream.substr(0, cut));
        AnsiWrite(stream.substr(cut));
        ASSERT_EQ(Shot(LocalScreen()) + State(), whole) << "cut " << cut;
    }
}

// The emulator and libvterm fed the same random builder calls and text: same character,
// colours and cursor in every cell (a blank's foreground cannot be seen; 30-37 clear blink
// locally). Text stops short of the last column, where the two wrap differently.
TEST_F(AnsiTest, AgainstARealTerminal) {
    TVTermScreen term;
    const auto send = [&](const std::string& ABytes) { AnsiWrite(ABytes), term.Feed(ABytes); };
    const auto visible = [](std::uint8_t ACh, std::uint8_t AAttr) {
        return std::pair(ACh, static_cast<std::uint8_t>(ACh == ' ' ? AAttr & 0x70 : AAttr & 0x7F));
    };
    std::mt19937 rng(20240601);
    const auto pick = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    const std::string glyphs = "abcXYZ 0123 \xdb\xdc\xdd\xde\xdf\xcd\xfe\xb0\xb1\xb2\xc9\xbb\xba";
    send(AnsiClrScr());
    for (int step = 1; step <= 4000; ++step) {
        const int n = pick(0, 90);
        switch (pick(0, 12)) {
        case 0: send(AnsiGotoXY(n, pick(0, 30))); break;
        case 1: send(AnsiTextColour(pick(0, 255))); break;
        case 2: send(AnsiTextBackground(pick(0, 255))); break;
        case 3: send(AnsiTextAttr(pick(0, 255))); break;
        case 4: send(AnsiBlink(n % 2 == 1)); break;
        case 5: send(AnsiCursorDown(n % 30)); break;
        case 6: send(AnsiCursorLeft(n)); break;
        case 7: send(AnsiCursorRight(n)); break;
        case 8: send(AnsiGotoX(n % 80)); break;
        case 9: send(n % 4 ? "\n" : "\r\n"); break;
        case 10: send(n == 0 ? AnsiClrScr() : "\x1b[" + std::to_string(n % 4) + "L\x1b[K"); break;
        case 11: send("\x1b[" + std::to_string(n % 4) + "M"); break;
        default:
            for (int i = n % 20; i > 0 && LocalScreen().WhereX() < 79; --i)
                send(std::string(1, glyphs[pick(0, static_cast<int>(glyphs.size()) - 1)]));
        }
        if (step % 100) continue;
        ASSERT_EQ(Shot([&](int c, int r) {
                      return visible(LocalScreen().CharAt(c, r), LocalScreen().AttrAt(c, r));
                  }),
                  Shot([&](int c, int r) { return visible(term.Char(c, r), term.Attr(c, r)); }))
            << "step " << step;
        ASSERT_EQ(LocalScreen().CursorColumn() * 100 + LocalScreen().CursorRow(),
                  term.Cursor().first * 100 + term.Cursor().second);
    }
}

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
                        Take(std::string(buf, n));
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
    // Adds to what the terminal showed, or takes it once it has been quiet for 50 ms.
    std::string Take(const std::string& AMore = "\x01") {
        for (std::size_t last = SIZE_MAX; AMore == "\x01" && last != Shown.size();) {
            last = (std::lock_guard(Mutex), Shown.size());
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        std::lock_guard lock(Mutex);
        return AMore == "\x01" ? std::exchange(Shown, "") : (Shown += AMore, "");
    }
    std::string ReadKeys(std::size_t ACount) {
        std::string keys;
        for (int i = 0; i < 400 && keys.size() < ACount; ++i)
            ConsoleKeyPressed() ? void(keys += ConsoleReadKey())
                                : std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return keys;
    }
    bool ModesBack() {
        termios now{};
        ::tcgetattr(Slave, &now);
        return now.c_lflag == Original.c_lflag && now.c_iflag == Original.c_iflag &&
               now.c_oflag == Original.c_oflag;
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
            EXPECT_EQ(std::tuple(term.Cursor().first, term.Cursor().second, term.CursorVisible()),
                      std::tuple(LocalScreen().CursorColumn(), LocalScreen().CursorRow(),
                                 LocalScreen().CursorVisible()));
            return shown;
        };
        std::string art =
            "\x1b[2J\x1b[1;1H\x1b[1;33;44mGlimra \xdb\xdc\xdf\xb0\xb1\xb2\xcd\xfe\x1b[5m\x07blink";
        for (int cell = 0; cell < 22 * 79; ++cell)
            art += "\x1b[" + std::to_string(3 + cell / 79) + ";" + std::to_string(1 + cell % 79) +
                   "H\x1b[" + std::to_string(30 + cell % 8) + ";" +
                   std::to_string(40 + cell * 7 % 8) + "m" +
                   "\xdb\xb1"
                   "Aa"[cell % 4];
        FastWrite(" status bar ", 60, 25, 0x1F);
        EXPECT_TRUE(same(art).starts_with(utf8 ? "\x1b[?1049h\x1b[?7l" : "")) << "alternate screen";
        EXPECT_LT(same("\x1b[10;10H\x1b[1;32mZ").size(), 60u) << "one cell changed: little sent";
        same("\x1b[?25l\x1b[20;40H");
        EXPECT_EQ(same(""), "") << "nothing changed: nothing sent";
        same("\x1b[25;1H\n\n\x1b[?25h"); // scrolling moves every row
        ConsoleRestore();
        ConsoleRestore(); // a second call does nothing
        EXPECT_TRUE(ModesBack());
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
    Stop = true; // the terminal hangs up
    Reader.join();
    Reader = std::thread([] {});
    ::close(std::exchange(Master, ::open("/dev/null", O_RDONLY)));
    EXPECT_FALSE(ConsoleKeyPressed());
    EXPECT_TRUE(ConsoleInputEnded());
    EXPECT_EQ(ConsoleKeyFd(), -1) << "nothing left to poll: no busy wake-ups";
    AnsiWrite("the display is gone; writing must not fail or block");
    ConsoleUseHeadless(); // headless: queued keys only, and no wait for others
    ConsolePushKeys("q");
    EXPECT_TRUE(ConsoleReadKey() == 'q' && ConsoleReadKey() == 0 && !ConsoleIsTerminal());
}

} // namespace
