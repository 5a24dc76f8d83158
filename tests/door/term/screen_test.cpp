// The local screen: the ANSI builders and emulator against a real terminal (libvterm) on the same
// streams, every split point of a stream, and tests/fixtures/ansi.cases where the local console
// differs from a terminal.
#include "door/term/videoutils.h"
#include "tests/support/kit_fixture.h"
#include "tests/support/vterm_screen.h"

#include <random>

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
// locally). Text stops short of the last column, where the two wrap differently. The emulator
// gets each call's bytes cut in two at a random point: the same stream, the same screen.
TEST_F(AnsiTest, AgainstARealTerminal) {
    TVTermScreen term;
    std::mt19937 rng(20240601);
    const auto pick = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    const auto send = [&](const std::string& ABytes) {
        const std::size_t cut = pick(0, static_cast<int>(ABytes.size()));
        AnsiWrite(ABytes.substr(0, cut)), AnsiWrite(ABytes.substr(cut)), term.Feed(ABytes);
    };
    const auto visible = [](std::uint8_t ACh, std::uint8_t AAttr) {
        return std::pair(ACh, static_cast<std::uint8_t>(ACh == ' ' ? AAttr & 0x70 : AAttr & 0x7F));
    };
    const std::string glyphs = "abcXYZ 0123 \xdb\xdc\xdd\xde\xdf\xcd\xfe\xb0\xb1\xb2\xc9\xbb\xba";
    send(AnsiClrScr());
    for (int step = 1; step <= 4000; ++step) {
        const int n = pick(0, 90);
        switch (pick(0, 13)) {
        case 0: send(AnsiGotoXY(n, pick(0, 30))); break;
        case 1: send(AnsiTextColour(pick(0, 255), LocalScreen().TextAttr())); break;
        case 2: send(AnsiTextBackground(pick(0, 255))); break;
        case 3: send(AnsiTextAttr(pick(0, 255), LocalScreen().TextAttr())); break;
        case 4: send(AnsiBlink(n % 2 == 1, LocalScreen().TextAttr())); break;
        case 5: send(AnsiCursorDown(n % 30)); break;
        case 6: send(AnsiCursorLeft(n)); break;
        case 7: send(AnsiCursorRight(n)); break;
        case 8: send(AnsiGotoX(n % 80)); break;
        case 9: send(n % 4 ? "\n" : "\r\n"); break;
        case 10: send(n == 0 ? AnsiClrScr() : "\x1b[" + std::to_string(n % 4) + "L\x1b[K"); break;
        case 11: send("\x1b[" + std::to_string(n % 4) + "M"); break;
        case 12: send(std::vector{"\x1b[?25l", "\x1b[?25h", "\x1b[5;9f"}[n % 3]); break;
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
        ASSERT_EQ(std::tuple(LocalScreen().CursorColumn(), LocalScreen().CursorRow(),
                             LocalScreen().CursorVisible()),
                  term.Cursor());
    }
}

} // namespace
