// The local emulator against a real terminal: the same byte streams fed to the local screen
// model and to libvterm must leave the same character and colours in every cell.
//
// Left out on purpose, where the local console behaves unlike a standard terminal:
// - writing in the last column: the local console wraps (and at the bottom, scrolls) at once,
//   a terminal waits for the next character;
// - ESC[S / ESC[T (no local scrolling), ESC[0J / ESC[1J and ESC[1K / ESC[2K (no local effect);
// - ESC[2J leaves a terminal's cursor where it was but homes the local one (the door always
//   sends ESC[2J with a cursor position after it);
// - ESC[nG beyond the last column (ignored locally, clamped by a terminal);
// - colours set while reverse or conceal is on (the local console folds them into the
//   attribute at once), and the blink bit (cleared locally by ESC[30m-37m);
// - ESC[s / ESC[u, which libvterm does not implement (BBS terminals do; the emulator's own
//   tests cover them);
// - control bytes other than CR, LF, BS and BEL (glyphs locally), a control byte inside a
//   sequence (it ends the sequence locally), ESC followed by ESC, and private modes other
//   than 25.
#include "door_session_fixture.h"
#include "tests/support/vterm_screen.h"

#include <cstdint>
#include <random>
#include <string>

namespace {

class AnsiAgainstTerminal : public DoorKitTest {
  protected:
    // Sends bytes to both screens, as the door sends one stream to both.
    void Send(const std::string& bytes) {
        AnsiWrite(bytes);
        Term.Feed(bytes);
        Sent += bytes;
    }
    // Every cell and the cursor must agree; a blank's foreground is invisible and not compared.
    void ExpectSameScreens(const std::string& what) {
        const TScreen& s = LocalScreen();
        int mismatches = 0;
        for (int row = 1; row <= 25; ++row)
            for (int col = 1; col <= 80; ++col) {
                const std::uint8_t ch = s.CharAt(col, row);
                const int fg = s.AttrAt(col, row) & 15;
                const int bg = (s.AttrAt(col, row) >> 4) & 7;
                const bool same = ch == Term.Char(col, row) && bg == Term.Bg(col, row) &&
                                  (ch == ' ' || fg == Term.Fg(col, row));
                if (!same && ++mismatches <= 5)
                    ADD_FAILURE() << what << ": cell " << col << "," << row << " local '"
                                  << char(ch) << "' fg " << fg << " bg " << bg << ", terminal '"
                                  << char(Term.Char(col, row)) << "' fg " << Term.Fg(col, row)
                                  << " bg " << Term.Bg(col, row);
            }
        EXPECT_EQ(mismatches, 0) << what << "\nlocal row text vs terminal:\n" << Term.Dump();
        EXPECT_EQ(s.CursorColumn(), Term.CursorX()) << what;
        EXPECT_EQ(s.CursorRow(), Term.CursorY()) << what;
    }
    TVTermScreen Term;
    std::string Sent;
};

// Random builder calls and text, as the door's output operations produce them.
TEST_F(AnsiAgainstTerminal, BuildersMixedWithText) {
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
            if (pick(0, 40) == 0) Send(AnsiClrScr());
            break;
        default: {
            // Text that stops short of the last column.
            const int room = 79 - LocalScreen().WhereX();
            std::string text;
            for (int i = pick(0, 20); i > 0 && room - static_cast<int>(text.size()) > 0; --i)
                text += glyphs[pick(0, static_cast<int>(glyphs.size()) - 1)];
            Send(text);
        }
        }
        if (step % 100 == 99) {
            ExpectSameScreens("after step " + std::to_string(step));
            if (HasFailure()) return;
        }
    }
}

// A screen of BBS art: block characters in colours, cursor moves, erasing with
// a background, full-width rows that wrap, and more rows than the screen holds.
TEST_F(AnsiAgainstTerminal, BbsArt) {
    std::string art = "\x1b[0m\x1b[2J\x1b[1;1H";
    art += "\x1b[1;37;44m\xc9" + std::string(76, '\xcd') + "\xbb\x1b[0m\r\n";
    art += "\x1b[1;37;44m\xba\x1b[0;34;44m\xb0\xb1\xb2\x1b[1;33m  G L I M R A  \x1b[0;34;44m"
           "\xb2\xb1\xb0\x1b[52C\x1b[1;37m\xba\x1b[0m\r\n";
    art += "\x1b[1;37;44m\xc8" + std::string(76, '\xcd') + "\xbc\x1b[0m\r\n\r\n";
    for (int row = 0; row < 6; ++row) {
        art += "\x1b[" + std::to_string(row % 2 ? 5 : 10) + "C";
        for (int i = 0; i < 30; ++i) {
            const int colour = (row * 7 + i) % 8;
            art += "\x1b[" + std::string(i % 3 ? "0;" : "1;") + std::to_string(30 + colour) + ";" +
                   std::to_string(40 + (colour + row) % 8) + "m";
            art += "\xdb\xdc\xdf\xdd\xde"[i % 5];
        }
        art += "\x1b[0m\r\n";
    }
    art += "\x1b[3;60H\x1b[1;31m\xfe\xfe\xfe\x1b[11;1H\x1b[0;32mback\r\n";
    art += "\x1b[1;44m\x1b[Kbar on blue\x1b[0m\r\n";
    art += "\x1b[12;70H\x1b[3A\x1b[2D\x1b[1;35mup\x1b[B\x1b[4Cdown\x1b[E\x1b[0;36mnext"
           "\x1b[2F\x1b[33mprev\x1b[20Gcol20";
    art += "\x1b[15;1H";
    for (int i = 0; i < 80; ++i)
        art += "\x1b[" + std::to_string(30 + i % 8) + "m" + char('A' + i % 26);
    art += "next row\x1b[0m\r\n";
    Send(art);
    ExpectSameScreens("art");
    // Scrolling: more lines than the screen has, with a coloured background on the new rows.
    std::string scroll = "\x1b[20;1H";
    for (int i = 0; i < 30; ++i)
        scroll += "\x1b[0;1;3" + std::to_string(i % 8) + ";4" + std::to_string((i + 3) % 8) +
                  "mline " + std::to_string(i) + " \xb1\xb2\xdb\r\n";
    Send(scroll);
    ExpectSameScreens("scrolled art");
    // Insert and delete lines in the middle of the art.
    Send("\x1b[0m\x1b[5;1H\x1b[2L\x1b[10;1H\x1b[3M\x1b[1;36mafter\x1b[0m");
    ExpectSameScreens("inserted and deleted lines");
    // The same art cut into pieces of every small size, like a slow connection delivers it.
    for (std::size_t piece = 1; piece <= 7; ++piece) {
        AnsiReset();
        TVTermScreen fresh;
        for (std::size_t at = 0; at < Sent.size(); at += piece) {
            AnsiWrite(Sent.substr(at, piece));
            fresh.Feed(Sent.substr(at, piece));
        }
        for (int row = 1; row <= 25; ++row)
            ASSERT_EQ(LocalScreen().RowText(row), fresh.RowText(row)) << "pieces of " << piece;
    }
}

} // namespace
