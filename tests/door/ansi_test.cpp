// The ANSI sequence builders and the local emulator: exact bytes of the builders, the emulator
// against a real terminal (libvterm) on the same streams, and, as table rows, where the local
// console differs from a terminal or a terminal has no answer.
#include "door/videoutils.h"
#include "tests/support/kit_fixture.h"
#include "tests/support/vterm_screen.h"

#include <random>

namespace {

using AnsiTest = KitTest;

// The cursor (where X, where Y), attribute, cursor visibility and first row, as one text.
std::string State() {
    const TScreen& s = LocalScreen();
    char head[40];
    std::snprintf(head, sizeof head, "%d,%d %02X%s ", s.WhereX(), s.WhereY(), s.TextAttr(),
                  s.CursorVisible() ? "" : " hidden");
    return head + KitTest::Row(1);
}

TEST_F(AnsiTest, BuildersSendTheseBytes) {
    const std::pair<std::string, std::string> cases[] = {
        {AnsiCursorDown(1), "\x1b[1B"},
        {AnsiCursorLeft(0), "\x1b[0D"},
        {AnsiCursorRight(27), "\x1b[27C"},
        {AnsiGotoXY(38, 9), "\x1b[9;38f"},
        {AnsiGotoXY(255, 100), "\x1b[100;255f"},
        {AnsiGotoX(1), "\x1b[255D"},
        {AnsiGotoX(2), "\x1b[255D\x1b[1C"},
        {AnsiGotoX(255), "\x1b[255D\x1b[254C"},
        {AnsiClrScr(), "\x1b[2J\x1b[1;1f"},
        {AnsiTextBackground(1) + AnsiTextBackground(12) + AnsiTextBackground(255),
         "\x1b[44m\x1b[41m\x1b[47m"},
        {AnsiTextColour(3), "\x1b[0;36m\x1b[40m"}, // dark colours restate the background
        {AnsiTextColour(14) + AnsiTextColour(8) + AnsiTextColour(255),
         "\x1b[1;33m\x1b[1;30m\x1b[1;37m"},
        {AnsiTextAttr(0x1E), "\x1b[1;33m\x1b[44m"},
        {AnsiTextAttr(0x07), "\x1b[0;37m\x1b[40m\x1b[40m"},
        {AnsiBlink(true), "\x1b[5m"},
        {AnsiBlink(false), "\x1b[0m\x1b[40m\x1b[0;37m\x1b[40m"},
    };
    for (const auto& [built, bytes] : cases) EXPECT_EQ(built, bytes);
    LocalScreen().SetTextAttr(0x9E); // the blink bit is no background
    EXPECT_EQ(AnsiTextColour(4) + AnsiBlink(false), "\x1b[0;31m\x1b[44m\x1b[0m\x1b[44m\x1b[1;33m");
    LocalScreen().SetTextAttr(0x40);
    EXPECT_EQ(AnsiTextAttr(0x72) + AnsiTextAttr(0xCF),
              "\x1b[0;32m\x1b[41m\x1b[47m\x1b[1;37m\x1b[41m");
    EXPECT_EQ(LocalScreen().TextAttr(), 0x40) << "builders change nothing";
}

// Each row's bytes follow the rows before it on the same screen.
TEST_F(AnsiTest, EmulatorWhereTerminalsDisagreeOrHaveNoAnswer) {
    const std::pair<std::string, std::string> steps[] = {
        {"ab\x07\rX\ncd\bE", "4,2 07 Xb"}, // LF keeps the column, BS steps back
        {"\x1b[s\x1b[7;42H\x1b[u", "4,2 07 Xb"},
        {"\x1b[2;80H*", "1,3 07 Xb"},                       // the last column wraps at once
        {"\x1b[1;5;42m\x1b[22m", "1,3 27 Xb"},              // low video drops bright and blink
        {"\x1b[0;32;5m\x1b[36m", "1,3 03 Xb"},              // 30-37 clear blink
        {"\x1b[0;1;33;44;5m\x1b[7m\x1b[27m", "1,3 16 Xb"},  // reverse drops bright and blink
        {"\x1b[0;1;35;41m\x1b[8mhid\x1b[28m", "4,3 4D Xb"}, // concealed, then back
        {"\x1b[2;3;4;9;21;23;90;107m\x1b[6m\x1b[25m", "4,3 4D Xb"},
        {"\x1b[0m\x1b[1;\x1b[33mok", "10,3 07 Xb"}, // an ESC ends the unfinished sequence
        {"\x1b\x1b[31mX\x1b"
         "7A\x1b(B",
         "17,3 07 Xb"}, // ESC ESC and ESC x drop both
        {"\x1b[10;10H\x1b[999999999999A\x1b[2147483648A", "10,8 07 Xb"}, // overflow counts 0
        {"\x1b[00000000000000000000003A", "10,5 07 Xb"},
        {"\x1b[5S\x1b[5T\x1b[6n\x1b[1;2r\x1b[3Z\x1b[0J\x1b[1J\x1b[1K\x1b[2K", "10,5 07 Xb"},
        {"\x1b[!p", "11,5 07 Xb"}, // an intermediate byte is taken as the final one
        {"\x1b[?25l\x1b[=7l", "11,5 07 hidden Xb"},
        {"\x1b[ <25h\x1b[80G\x1b[81G\x1b[;9H", "9,1 07 Xb"},
        {"\x1b[9;f\x1b[3;4;5H\x1b[99;200f", "80,25 07 Xb"},
        {"\x1b[1;31m\x1b[2J", "1,1 0C "},
    };
    for (const auto& [bytes, state] : steps) {
        AnsiWrite(bytes);
        EXPECT_EQ(State(), state) << ::testing::PrintToString(bytes);
    }
    std::string many = "\x1b[0;31"; // a parameter list past its bound is read to its end
    for (int i = 0; i < 5000; ++i) many += ";1";
    AnsiWrite(many + ";44mZ");
    EXPECT_EQ(State(), "2,1 0C Z");
    // Windows: moves stop at the edges, a restored position beyond a narrower one too, clearing
    // and scrolling stay inside, and FastWrite changes nothing but its cells.
    FastWrite("status", 1, 25, 0x1F);
    LocalScreen().SetWindow(1, 1, 80, 24);
    AnsiWrite("\x1b[20;80H\x1b[s\x1b[2J\x1b[255B\x1b[255C\x1b[2F\x1b[5C\x1b[E\x1b[33G");
    EXPECT_EQ(State(), "33,23 0C ");
    FastWrite("no", 81, 5, 0x70);
    FastWrite("no", 5, 26, 0x70);
    LocalScreen().SetWindow(10, 5, 20, 8);
    AnsiWrite("\x1b[u0123456789abcdefghij\r\n\n\nend");
    EXPECT_EQ(TextAt(10, 5, 11) + TextAt(10, 8, 11) + Row(25), "cdefghij   end        status");
    EXPECT_EQ(AttrAt(1, 25), 0x1F);
    LocalScreen().SetWindow(5, 5, 4, 10); // impossible windows are ignored
    EXPECT_EQ(LocalScreen().Window(), (TScreenWindow{10, 5, 20, 8}));
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

// The emulator and libvterm fed the same bytes: same character, colours and cursor, cell by cell.
class AnsiAgainstTerminal : public KitTest {
  protected:
    void Send(const std::string& ABytes) {
        AnsiWrite(ABytes);
        Term.Feed(ABytes);
    }
    void ExpectSame(const std::string& AWhat) {
        // A blank's foreground cannot be seen; the blink bit is cleared locally by 30-37.
        const TCellReader local = [](int c, int r) {
            const std::uint8_t ch = LocalScreen().CharAt(c, r), a = LocalScreen().AttrAt(c, r);
            return std::pair(ch, static_cast<std::uint8_t>(ch == ' ' ? a & 0x70 : a & 0x7F));
        };
        const TCellReader term = [this](int c, int r) {
            const std::uint8_t ch = Term.Char(c, r), a = Term.Attr(c, r);
            return std::pair(ch, static_cast<std::uint8_t>(ch == ' ' ? a & 0x70 : a & 0x7F));
        };
        ASSERT_EQ(Shot(local), Shot(term)) << AWhat;
        ASSERT_EQ(std::pair(LocalScreen().CursorColumn(), LocalScreen().CursorRow()),
                  std::pair(Term.CursorX(), Term.CursorY()))
            << AWhat;
    }
    TVTermScreen Term;
};

TEST_F(AnsiAgainstTerminal, RandomBuilderCallsAndText) {
    std::mt19937 rng(20240601);
    const auto pick = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    const std::string glyphs = "abcXYZ 0123 \xdb\xdc\xdd\xde\xdf\xcd\xfe\xb0\xb1\xb2\xc9\xbb\xba";
    Send(AnsiClrScr());
    for (int step = 0; step < 4000; ++step) {
        switch (pick(0, 12)) {
        case 0: Send(AnsiGotoXY(pick(0, 90), pick(0, 30))); break;
        case 1: Send(AnsiTextColour(pick(0, 255))); break;
        case 2: Send(AnsiTextBackground(pick(0, 255))); break;
        case 3: Send(AnsiTextAttr(pick(0, 255))); break;
        case 4: Send(AnsiBlink(pick(0, 1) == 1)); break;
        case 5: Send(AnsiCursorDown(pick(0, 30))); break;
        case 6: Send(AnsiCursorLeft(pick(0, 90))); break;
        case 7: Send(AnsiCursorRight(pick(0, 90))); break;
        case 8: Send(AnsiGotoX(pick(0, 79))); break;
        case 9: Send(pick(0, 3) == 0 ? "\r\n" : "\n"); break;
        case 10:
            Send(pick(0, 40) == 0 ? AnsiClrScr() : "\x1b[" + std::to_string(pick(0, 3)) + "L");
            break;
        case 11: Send("\x1b[" + std::to_string(pick(0, 3)) + "M\x1b[K"); break;
        default: // text that stops short of the last column, where the two wrap differently
            for (int i = pick(0, 20); i > 0 && LocalScreen().WhereX() < 79; --i)
                Send(std::string(1, glyphs[pick(0, static_cast<int>(glyphs.size()) - 1)]));
        }
        if (step % 100 == 99) ExpectSame("step " + std::to_string(step));
    }
}

TEST_F(AnsiAgainstTerminal, ArtScrollingAndPiecesOfEverySmallSize) {
    std::string art =
        "\x1b[0m\x1b[2J\x1b[1;1H\x1b[1;37;44m\xc9" + std::string(76, '\xcd') + "\xbb\r\n";
    for (int row = 0; row < 6; ++row) {
        art += "\x1b[" + std::to_string(row % 2 ? 5 : 10) + "C";
        for (int i = 0; i < 30; ++i)
            art += "\x1b[" + std::string(i % 3 ? "0;" : "1;") +
                   std::to_string(30 + (row * 7 + i) % 8) + ";" +
                   std::to_string(40 + (row + i) % 8) + "m" + "\xdb\xdc\xdf\xdd\xde"[i % 5];
        art += "\x1b[0m\r\n";
    }
    art += "\x1b[12;70H\x1b[3A\x1b[2D\x1b[1;35mup\x1b[B\x1b[4Cdown\x1b[E\x1b[0;36mnext\x1b[2Fp\x1b["
           "20Gc";
    art += "\x1b[15;1H\x1b[1;44m\x1b[Kbar\r\n" + std::string(80, 'w') + "next row\x1b[0m\r\n";
    for (int i = 0; i < 30; ++i)
        art += "\x1b[0;1;3" + std::to_string(i % 8) + ";4" + std::to_string((i + 3) % 8) +
               "mline " + std::to_string(i) + " \xb1\xb2\xdb\r\n";
    for (std::size_t piece :
         {art.size(), std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}}) {
        AnsiReset();
        Term.Feed("\x1b"
                  "c");
        for (std::size_t at = 0; at < art.size(); at += piece) Send(art.substr(at, piece));
        ExpectSame("pieces of " + std::to_string(piece));
    }
}

} // namespace
