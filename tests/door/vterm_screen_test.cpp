// The test terminal itself: telnet filtering as a client does it, CP437 glyphs, colours in the
// PC palette, cursor, replies.
#include "tests/support/vterm_screen.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(VTermScreen, TelnetCommandsAreTakenOutEvenWhenCut) {
    // WILL ECHO, DO SGA, a subnegotiation with an escaped 255, NOP, then IAC IAC as data.
    const std::string stream = "A\xff\xfb\x01"
                               "B\xff\xfd\x03\xff\xfa\x18\x01\xff\xff\xff\xf0"
                               "C\xff\xf1"
                               "D\xff\xff"
                               "E";
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        TVTermScreen t;
        t.Feed(stream.substr(0, cut));
        t.Feed(stream.substr(cut));
        ASSERT_EQ(t.RowText(1).substr(0, 6), "ABCD\xff"
                                             "E")
            << "cut " << cut;
        ASSERT_EQ(t.TelnetCommands(),
                  "\xff\xfb\x01\xff\xfd\x03\xff\xfa\x18\x01\xff\xff\xff\xf0\xff\xf1")
            << "cut " << cut;
    }
    TVTermScreen raw({.Telnet = false});
    raw.Feed("x\xff\xfby");
    EXPECT_EQ(raw.RowText(1).substr(0, 4), "x\xff\xfby");
    EXPECT_EQ(raw.TelnetCommands(), "");
}

TEST(VTermScreen, Cp437GlyphsInAndOut) {
    TVTermScreen term;
    term.Feed("\xdb\xdc\xdd\xde\xdf\xcd\xfe\xb0\xb1\xb2\x80\xe1\xfa");
    EXPECT_EQ(term.RowText(1).substr(0, 13),
              "\xdb\xdc\xdd\xde\xdf\xcd\xfe\xb0\xb1\xb2\x80\xe1\xfa");
    EXPECT_EQ(term.Char(14, 1), ' ');
    EXPECT_EQ(term.Char(0, 1), ' ') << "off the screen reads as a blank";
    // The same glyphs arriving as UTF-8 when the stream is not CP437.
    TVTermScreen utf8({.Telnet = false, .Cp437 = false});
    utf8.Feed("\xe2\x96\x88\xe2\x96\x84\xc3\xa9\xe2\x82\xac");
    EXPECT_EQ(utf8.RowText(1).substr(0, 4), "\xdb\xdc\x82?") << "the euro sign is not in CP437";
    EXPECT_EQ(term.Dump().substr(0, 14), "\xdb\xdc\xdd\xde\xdf\xcd\xfe\xb0\xb1\xb2\x80\xe1\xfa\n");
}

TEST(VTermScreen, ColoursInThePcPalette) {
    TVTermScreen term;
    term.Feed("d\x1b[1;33;44my\x1b[0;31mr\x1b[1mR\x1b[0;1mW\x1b[0;7;32mv\x1b[0;5;36mb"
              "\x1b[0;38;5;200mx");
    // Foreground, background, blink per cell: bold default foreground is bright white,
    // reverse swaps, a colour outside the palette is -1.
    const std::tuple<int, int, bool> cells[] = {{7, 0, false},  {14, 1, false}, {4, 0, false},
                                                {12, 0, false}, {15, 0, false}, {0, 2, false},
                                                {3, 0, true},   {-1, 0, false}};
    for (int col = 1; col <= 8; ++col)
        EXPECT_EQ(std::tuple(term.Fg(col, 1), term.Bg(col, 1), term.Blink(col, 1)), cells[col - 1])
            << col;
}

TEST(VTermScreen, CursorAndBell) {
    TVTermScreen term;
    EXPECT_EQ(std::tuple(term.CursorX(), term.CursorY(), term.CursorVisible()),
              std::tuple(1, 1, true));
    term.Feed("\x1b[7;42H\a\x1b[?25l");
    EXPECT_EQ(std::tuple(term.CursorX(), term.CursorY(), term.CursorVisible()),
              std::tuple(42, 7, false));
    EXPECT_EQ(term.Bells(), 1);
    term.Feed("\x1b[?25h\x1b[30;99H");
    EXPECT_EQ(std::tuple(term.CursorX(), term.CursorY(), term.CursorVisible()),
              std::tuple(80, 25, true));
}

} // namespace
