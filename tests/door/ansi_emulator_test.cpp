// The local ANSI emulator: bytes in, the local screen model (cells, cursor, attribute) out.
#include "door/videoutils.h"
#include "door_session_fixture.h"

#include <span>
#include <string>
#include <tuple>
#include <utility>

namespace {

class AnsiEmulator : public DoorKitTest {
  protected:
    TScreen& S() { return LocalScreen(); }
    // The first n characters of a row.
    std::string Row(int row, int n = 10) { return S().RowText(row).substr(0, n); }
    // The cursor as (where X, where Y).
    std::pair<int, int> Cursor() { return {S().WhereX(), S().WhereY()}; }
    // Writes each step's bytes and expects the cursor at its column and row afterwards.
    using Step = std::tuple<const char*, int, int>;
    void Walk(std::span<const Step> ASteps) {
        for (const auto& [bytes, col, row] : ASteps) {
            AnsiWrite(bytes);
            EXPECT_EQ(Cursor(), std::pair(col, row)) << ::testing::PrintToString(bytes);
        }
    }
};

TEST_F(AnsiEmulator, PlainTextControlsWrapAndScroll) {
    AnsiWrite("ab\x07\rX\ncd\bE");
    EXPECT_EQ(Row(1), "Xb        ");
    EXPECT_EQ(Row(2), " cE       ") << "LF keeps the column, BS steps back";
    EXPECT_EQ(S().Bells(), 1u);
    AnsiWrite("\r\b\b");
    EXPECT_EQ(Cursor(), std::pair(1, 2));
    AnsiWrite("\x1b[2;80H*");
    EXPECT_EQ(S().CharAt(80, 2), '*');
    EXPECT_EQ(Cursor(), std::pair(1, 3)); // the last column wraps at once
    AnsiWrite("\x1b[25;80H#");
    EXPECT_EQ(S().CharAt(80, 24), '#') << "a write in the very last cell scrolls at once";
    EXPECT_EQ(Row(1), " cE       ");
    EXPECT_EQ(Cursor(), std::pair(1, 25));
    AnsiWrite("\x1b[44m\n");
    EXPECT_EQ(S().AttrAt(1, 25), 0x17) << "new rows take the current attribute";
    EXPECT_EQ(S().CharAt(80, 23), '#');
    AnsiWrite(std::string("\x01\x1a\xdb\xff", 4));
    EXPECT_EQ(S().RowText(25).substr(0, 4), std::string("\x01\x1a\xdb\xff", 4));
}

TEST_F(AnsiEmulator, CursorMovesStopAtTheWindow) {
    // Row 25 belongs to the status bar; a column beyond the window is ignored.
    S().SetWindow(1, 1, 80, 24);
    // clang-format off
    const Step steps[] = {
        {"\x1b[10;10H\x1b[3A", 10, 7}, {"\x1b[99A", 10, 1}, {"\x1b[B", 10, 2},
        {"\x1b[255B", 10, 24}, {"\x1b[0C", 11, 24}, {"\x1b[255C", 80, 24}, {"\x1b[5D", 75, 24},
        {"\x1b[255D", 1, 24}, {"\x1b[40;40H", 40, 24}, {"\x1b[2F", 1, 22}, {"\x1b[5C\x1b[E", 1, 23},
        {"\x1b[9E", 1, 24}, {"\x1b[99F", 1, 1}, {"\x1b[33G", 33, 1}, {"\x1b[G", 1, 1},
        {"\x1b[80G\x1b[81G", 80, 1}, {"\x1b[2147483647B", 80, 24}, {"\x1b[2147483647A", 80, 1},
    };
    // clang-format on
    Walk(steps);
}

TEST_F(AnsiEmulator, CursorPositionWithMissingParameters) {
    // clang-format off
    const Step steps[] = {
        {"\x1b[5;7H", 7, 5}, {"\x1b[H", 1, 1},    {"\x1b[12H", 1, 12},   {"\x1b[;9H", 9, 1},
        {"\x1b[9;f", 1, 9},  {"\x1b[0;0f", 1, 1}, {"\x1b[3;4;5H", 4, 3}, {"\x1b[99;200f", 80, 25},
    };
    // clang-format on
    Walk(steps);
    S().SetWindow(11, 6, 30, 10);
    AnsiWrite("\x1b[2;3H");
    EXPECT_EQ(std::pair(S().CursorColumn(), S().CursorRow()), std::pair(13, 7));
    AnsiWrite("\x1b[9;99H");
    EXPECT_EQ(Cursor(), std::pair(20, 5));
}

TEST_F(AnsiEmulator, EraseVariants) {
    for (int row = 1; row <= 25; ++row) AnsiWrite("\x1b[" + std::to_string(row) + "Hxxxxxxxx");
    AnsiWrite("\x1b[3;4H\x1b[1J\x1b[0J\x1b[J\x1b[3J");
    EXPECT_EQ(Row(1), "xxxxxxxx  ") << "only ESC[2J clears";
    EXPECT_EQ(Cursor(), std::pair(4, 3));
    AnsiWrite("\x1b[1K\x1b[2K");
    EXPECT_EQ(Row(3), "xxxxxxxx  ");
    AnsiWrite("\x1b[44m\x1b[K");
    EXPECT_EQ(Row(3), "xxx       ");
    EXPECT_EQ(S().AttrAt(4, 3), 0x17);
    EXPECT_EQ(S().AttrAt(80, 3), 0x17);
    EXPECT_EQ(S().AttrAt(3, 3), 0x07);
    EXPECT_EQ(Cursor(), std::pair(4, 3));
    AnsiWrite("\x1b[0K");
    AnsiWrite("\x1b[1;31m\x1b[2J");
    for (int row = 1; row <= 25; ++row) EXPECT_EQ(S().RowText(row), std::string(80, ' '));
    EXPECT_EQ(S().AttrAt(80, 25), 0x1C);
    EXPECT_EQ(Cursor(), std::pair(1, 1));
    S().SetWindow(1, 1, 80, 24);
    AnsiWrite("\x1b[0m\x1b[25;1Hzz");
    FastWrite("status", 1, 25, 0x1F);
    AnsiWrite("\x1b[2J");
    EXPECT_EQ(Row(25, 6), "status") << "clearing stays inside the window";
}

TEST_F(AnsiEmulator, InsertAndDeleteLines) {
    // Column 1 of rows 1 to 25, top to bottom.
    const auto column = [&] {
        std::string text;
        for (int row = 1; row <= 25; ++row) text += static_cast<char>(S().CharAt(1, row));
        return text;
    };
    for (int row = 1; row <= 25; ++row)
        AnsiWrite("\x1b[" + std::to_string(row) + "H" + char('A' + row - 1));
    AnsiWrite("\x1b[3;5H\x1b[L"); // the bottom row falls off
    EXPECT_EQ(column(), "AB CDEFGHIJKLMNOPQRSTUVWX");
    EXPECT_EQ(Cursor(), std::pair(5, 3));
    AnsiWrite("\x1b[2M");
    EXPECT_EQ(column(), "ABDEFGHIJKLMNOPQRSTUVWX  ");
    AnsiWrite("\x1b[0M");
    EXPECT_EQ(column(), "ABEFGHIJKLMNOPQRSTUVWX   ");
    AnsiWrite("\x1b[999L");
    EXPECT_EQ(column(), "AB" + std::string(23, ' '));
    // Inside a window only its rows and columns move.
    AnsiReset();
    for (int row = 1; row <= 25; ++row)
        AnsiWrite("\x1b[" + std::to_string(row) + "H" + std::string(10, char('A' + row - 1)));
    S().SetWindow(3, 2, 6, 4);
    AnsiWrite("\x1b[2;1H\x1b[M");
    EXPECT_EQ(Row(2) + Row(3) + Row(4), "BBBBBBBBBB"
                                        "CCDDDDCCCC"
                                        "DD    DDDD");
    AnsiWrite("\x1b[1;1H\x1b[L");
    EXPECT_EQ(Row(1) + Row(2) + Row(3) + Row(4) + Row(5), "AAAAAAAAAA"
                                                          "BB    BBBB"
                                                          "CCBBBBCCCC"
                                                          "DDDDDDDDDD"
                                                          "EEEEEEEEEE");
}

TEST_F(AnsiEmulator, SaveAndRestoreCursor) {
    AnsiWrite("\x1b[u");
    EXPECT_EQ(Cursor(), std::pair(1, 1));
    AnsiWrite("\x1b[7;42H\x1b[s\x1b[H\x1b[u");
    EXPECT_EQ(Cursor(), std::pair(42, 7));
    AnsiWrite("\x1b[20;80H\x1b[s\x1b[1;1H");
    S().SetWindow(1, 1, 40, 10);
    AnsiWrite("\x1b[u");
    EXPECT_EQ(Cursor(), std::pair(40, 10))
        << "a restored position beyond a narrower window stops at its edge";
}

TEST_F(AnsiEmulator, SelectGraphicRendition) {
    const std::pair<const char*, int> steps[] = {
        {"\x1b[1;33m", 0x0E},
        {"\x1b[44m", 0x1E},
        {"\x1b[m", 0x07},
        {"\x1b[0;30m\x1b[47m", 0x70},
        {"\x1b[0;32;5m", 0x82}, // blink after a colour keeps the colour
        {"\x1b[36m", 0x03},     // 30-37 clears blink
        {"\x1b[5;1;31m", 0x0C}, // bright kept, blink cleared
        {"\x1b[34m", 0x09},     // a bright foreground stays bright
        {"\x1b[22m", 0x01},
        {"\x1b[34m", 0x01},
        {"\x1b[6m", 0x81},
        {"\x1b[25m", 0x01},
        {"\x1b[1;5;42m\x1b[22m", 0x21},     // low video drops bright and blink
        {"\x1b[0;1;33;44;5m\x1b[7m", 0x61}, // reverse drops bright and blink
        {"\x1b[27m", 0x16},
        {"\x1b[0;1;35;41m\x1b[8m", 0x00}, // conceal: black on black
        {"hid", 0x00},
        {"\x1b[28m", 0x4D}, // 28 brings the concealed attribute back
        {"\x1b[2;3;4;9;21;23;24;26;29;38;39;48;49;90;107m", 0x4D},
        {"\x1b[0m\x1b[1m", 0x0F},
        {"\x1b[0;37;40;1m", 0x0F},
    };
    for (const auto& [bytes, attr] : steps) {
        AnsiWrite(bytes);
        EXPECT_EQ(S().TextAttr(), attr) << ::testing::PrintToString(bytes);
    }
    EXPECT_EQ(S().Cell(1, 1), (TScreenCell{'h', 0x00})); // concealed text is still stored
    const int pc[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    for (int v = 0; v < 8; ++v) {
        const std::string n = std::to_string(v);
        for (const auto& [sgr, attr] :
             {std::pair{"0;3" + n, pc[v]}, {"1;3" + n, pc[v] + 8}, {"0;4" + n, 7 | (pc[v] << 4)}}) {
            AnsiWrite("\x1b[" + sgr + "m");
            EXPECT_EQ(S().TextAttr(), attr) << sgr;
        }
    }
}

// The same bytes give the same screen however they are cut into calls.
TEST_F(AnsiEmulator, EverySplitPointOfASequence) {
    const std::string stream =
        "ab\x1b[1;33;44mC\x1b[3;17Hde\x1b[?25l\x1b[2Dxy\x1b[s\x1b[5;5f\x1b[u!";
    AnsiWrite(stream);
    const TScreen whole = S();
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        AnsiReset();
        AnsiWrite(stream.substr(0, cut));
        AnsiWrite(stream.substr(cut));
        for (int row = 1; row <= 3; ++row)
            for (int col = 1; col <= 80; ++col)
                ASSERT_EQ(S().Cell(col, row), whole.Cell(col, row))
                    << "cut " << cut << " at " << col << "," << row;
        ASSERT_EQ(S().CursorColumn(), whole.CursorColumn()) << "cut " << cut;
        ASSERT_EQ(S().CursorRow(), whole.CursorRow()) << "cut " << cut;
        ASSERT_EQ(S().TextAttr(), whole.TextAttr()) << "cut " << cut;
        ASSERT_FALSE(S().CursorVisible()) << "cut " << cut;
    }
    EXPECT_EQ(Row(3, 20), "                xy! ");
    // One byte per call.
    AnsiReset();
    for (char c : stream) AnsiWrite(std::string(1, c));
    EXPECT_EQ(S().RowText(3), whole.RowText(3));
    // ESC at the end of one text, [5A at the start of the next.
    AnsiReset();
    AnsiWrite("\x1b[10;10Hq\x1b");
    AnsiWrite("[5A");
    EXPECT_EQ(Cursor(), std::pair(11, 5));
    EXPECT_EQ(Row(10, 12), "         q  ");
}

TEST_F(AnsiEmulator, MalformedSequences) {
    AnsiWrite("\x1b[1;\x1b[33mok");
    EXPECT_EQ(Row(1), "[33mok    ") << "an ESC ends the unfinished sequence, without effect";
    EXPECT_EQ(S().TextAttr(), 0x07);
    AnsiReset();
    AnsiWrite("\x1b\x1b[31mX");
    EXPECT_EQ(Row(1), "[31mX     ") << "an ESC after an ESC drops both";
    AnsiReset();
    AnsiWrite("\x1b"
              "7A\x1b(B");
    EXPECT_EQ(Row(1), "AB        ") << "ESC and a byte other than [ are dropped";
    AnsiReset();
    AnsiWrite("\x1b[10;10H\x1b[999999999999A");
    EXPECT_EQ(Cursor(), std::pair(10, 9)) << "an oversized parameter counts as 0";
    AnsiWrite("\x1b[2147483648A");
    EXPECT_EQ(Cursor(), std::pair(10, 8));
    AnsiWrite("\x1b[00000000000000000000003A");
    EXPECT_EQ(Cursor(), std::pair(10, 5)) << "leading zeros are no overflow";
    AnsiWrite("\x1b[5S\x1b[5T\x1b[6n\x1b[1;2r\x1b[3Z");
    EXPECT_EQ(Cursor(), std::pair(10, 5));
    EXPECT_EQ(Row(5, 12), "            ");
    AnsiWrite("\x1b[!p\b");
    EXPECT_EQ(Row(5, 12), "         p  ") << "an intermediate byte is taken as the final one";
    // A very long parameter list is read to its end without harm.
    std::string many = "\x1b[0;31";
    for (int i = 0; i < 5000; ++i) many += ";1";
    AnsiWrite(many + ";44mZ");
    EXPECT_EQ(S().TextAttr(), 0x0C) << "parameters beyond the list's bound are ignored";
    EXPECT_EQ(S().CharAt(10, 5), 'Z');
}

TEST_F(AnsiEmulator, PrivateModes) {
    for (const auto& [bytes, visible] : {std::pair{"\x1b[?25l", false},
                                         {"\x1b[?7h\x1b[=7l\x1b[>1h", false},
                                         {"\x1b[?25h", true},
                                         {"\x1b[25l", false},
                                         {"\x1b[ <25h", true}}) {
        AnsiWrite(bytes);
        EXPECT_EQ(S().CursorVisible(), visible) << ::testing::PrintToString(bytes);
    }
    EXPECT_EQ(Row(1), "          ");
}

TEST_F(AnsiEmulator, FastWriteLeavesCursorAttributeAndWindowAlone) {
    S().SetWindow(1, 1, 80, 24);
    AnsiWrite("\x1b[1;32m\x1b[3;4H");
    FastWrite("Status line!", 70, 25, 0x1F);
    EXPECT_EQ(S().RowText(25).substr(69), "Status line") << "cut at column 80";
    EXPECT_EQ(S().AttrAt(70, 25), 0x1F);
    EXPECT_EQ(S().AttrAt(69, 25), 0x07);
    EXPECT_EQ(Cursor(), std::pair(4, 3));
    EXPECT_EQ(S().TextAttr(), 0x0A);
    FastWrite("x", 80, 25, 0x70);
    EXPECT_EQ(S().CharAt(80, 25), 'x');
    EXPECT_EQ(S().CharAt(1, 1), ' ') << "no scrolling";
    const TScreen before = S();
    FastWrite("no", 0, 5, 0x70);
    FastWrite("no", 81, 5, 0x70);
    FastWrite("no", 5, 0, 0x70);
    FastWrite("no", 5, 26, 0x70);
    FastWrite("", 5, 5, 0x70);
    for (int row = 1; row <= 25; ++row) EXPECT_EQ(S().RowText(row), before.RowText(row));
    EXPECT_EQ(S().AttrAt(5, 5), 0x07);
}

TEST_F(AnsiEmulator, ConsoleAttributeOperations) {
    S().SetTextAttr(0x1E);
    S().TextColor(0x84);
    EXPECT_EQ(S().TextAttr(), 0x94);
    S().TextColor(0x02);
    EXPECT_EQ(S().TextAttr(), 0x12);
    S().TextBackground(0x0F);
    EXPECT_EQ(S().TextAttr(), 0x72);
    S().SetTextAttr(0x92);
    S().HighVideo();
    EXPECT_EQ(S().TextAttr(), 0x9A);
    S().LowVideo();
    EXPECT_EQ(S().TextAttr(), 0x12);
    S().NormVideo();
    EXPECT_EQ(S().TextAttr(), 0x07);
    S().SetWindow(5, 5, 4, 10);
    S().SetWindow(0, 1, 80, 25);
    S().SetWindow(1, 1, 81, 25);
    EXPECT_EQ(S().Window(), (TScreenWindow{1, 1, 80, 25})) << "impossible windows are ignored";
    S().SetWindow(10, 5, 20, 8);
    EXPECT_EQ(Cursor(), std::pair(1, 1));
    AnsiWrite("0123456789abcdefghij");
    EXPECT_EQ(S().RowText(5).substr(9, 11), "0123456789a");
    EXPECT_EQ(S().RowText(6).substr(9, 11), "bcdefghij  ");
    AnsiWrite("\r\n\n\nend");
    EXPECT_EQ(S().RowText(7).substr(9, 11), "           ");
    EXPECT_EQ(S().RowText(8).substr(9, 11), "end        ");
    EXPECT_EQ(S().RowText(5).substr(9, 11), "bcdefghij  ") << "the window scrolled";
    EXPECT_EQ(S().CharAt(9, 5), ' ');
}

} // namespace
