// ANSI sequence builders and the local ANSI emulator: a byte parser whose state survives between
// calls, and one small handler per final letter acting on the local screen model.
#include "door/term/ansi.h"

#include "door/term/console.h"
#include "door/term/screen.h"
#include "door/term/termstate.h"

#include <algorithm>
#include <string_view>

namespace {

// The emulator's state between two writes.
TAnsiEmulator& Emu() {
    return TermState().Emulator;
}

std::string Csi(std::int32_t n, char final) {
    std::string s = "\x1b[";
    s += std::to_string(n);
    s += final;
    return s;
}

void AddAnsiParam() {
    TAnsiEmulator& e = Emu();
    if (e.Params.Count < kMaxAnsiParams) e.Params.Items[++e.Params.Count] = e.Number.Get();
    e.Number.Reset();
}

// P1 taken as at least 1.
int Count1() {
    return std::max(Emu().Params[1], 1);
}

// Moves the cursor by a number of rows and columns, stopping at the window's edges.
void MoveBy(TScreen& s, int dx, int dy) {
    const auto w = s.Window();
    const auto clampMove = [](int pos, int delta, int limit) {
        return static_cast<int>(std::clamp<std::int64_t>(std::int64_t{pos} + delta, 1, limit));
    };
    s.GotoXY(clampMove(s.WhereX(), dx, w.Width()), clampMove(s.WhereY(), dy, w.Height()));
}

// Cursor to column 1, P1 rows down (positive) or up (negative).
void NextLine(TScreen& s, int dy) {
    MoveBy(s, 0, dy);
    s.GotoXY(1, s.WhereY());
}

// Cursor to column P1 of the current row, unless that is beyond the window.
void ColumnAbsolute(TScreen& s) {
    const int x = Count1();
    if (x <= s.Window().Width()) s.GotoXY(x, s.WhereY());
}

// Cursor to row P1, column P2; missing parameters count as 0, and 0 as 1.
void CursorPosition(TScreen& s) {
    s.GotoXY(std::max(Emu().Params[2], 1), std::max(Emu().Params[1], 1));
}

void EraseDisplay(TScreen& s) {
    if (Emu().Params[1] == 2) s.ClrScr();
}

void EraseLine(TScreen& s) {
    if (Emu().Params[1] == 0) s.ClrEol();
}

void InsertLines(TScreen& s) {
    const int n = std::min(Count1(), s.Window().Height());
    for (int i = 0; i < n; ++i) s.InsLine();
}

void DeleteLines(TScreen& s) {
    const int n = std::min(Count1(), s.Window().Height());
    for (int i = 0; i < n; ++i) s.DelLine();
}

void SetMode(TScreen& s, bool on) {
    if (Emu().Params[1] != 25) return;
    if (on)
        s.CursorOn();
    else
        s.CursorOff();
}

void SaveCursor(TScreen& s) {
    Emu().SavedXY = s.WhereX() + 256 * s.WhereY();
}

void RestoreCursor(TScreen& s) {
    s.GotoXY(Emu().SavedXY & 255, (Emu().SavedXY >> 8) & 255);
}

// One SGR parameter applied to the local attribute.
void SelectGraphic(TScreen& s, std::int32_t v) {
    const std::uint8_t a = s.TextAttr();
    switch (v) {
    case 0: s.NormVideo(); return;
    case 1: s.HighVideo(); return;
    case 5:
    case 6: s.SetTextAttr(a | 0x80); return;
    case 7:
    case 27: s.SetTextAttr(((a >> 4) & 0x07) | ((a & 0x07) << 4)); return;
    case 8:
        Emu().ConcealedAttr = a;
        s.SetTextAttr(0);
        return;
    case 22: s.LowVideo(); return;
    case 25: s.SetTextAttr(a & 0x7F); return;
    case 28: s.SetTextAttr(Emu().ConcealedAttr); return;
    default: break;
    }
    if (v >= 30 && v <= 37) {
        const int bright = (a & 0x0F) >= 8 ? 8 : 0;
        s.TextColor(static_cast<std::uint8_t>(AnsiColours[v - 30] + bright));
    } else if (v >= 40 && v <= 47) {
        s.TextBackground(static_cast<std::uint8_t>(AnsiColours[v - 40]));
    }
}

void SelectGraphics(TScreen& s) {
    for (int i = 1; i <= Emu().Params.Count; ++i) SelectGraphic(s, Emu().Params[i]);
}

// Carries out the sequence that ends in AFinal on the local screen.
void HandleCode(char AFinal) {
    TScreen& s = LocalScreen();
    switch (AFinal) {
    case 'A': MoveBy(s, 0, -Count1()); break;
    case 'B': MoveBy(s, 0, Count1()); break;
    case 'C': MoveBy(s, Count1(), 0); break;
    case 'D': MoveBy(s, -Count1(), 0); break;
    case 'E': NextLine(s, Count1()); break;
    case 'F': NextLine(s, -Count1()); break;
    case 'G': ColumnAbsolute(s); break;
    case 'H':
    case 'f': CursorPosition(s); break;
    case 'J': EraseDisplay(s); break;
    case 'K': EraseLine(s); break;
    case 'L': InsertLines(s); break;
    case 'M': DeleteLines(s); break;
    case 'h': SetMode(s, true); break;
    case 'l': SetMode(s, false); break;
    case 'm': SelectGraphics(s); break;
    case 's': SaveCursor(s); break;
    case 'u': RestoreCursor(s); break;
    default: break; // S, T, n and anything unknown have no local effect
    }
}

// Feeds one byte that follows an ESC; the final letter carries the sequence out.
void ParseSequenceByte(TAnsiEmulator& e, char c) {
    if (e.State == TAnsiParserState::HaveEscape) {
        if (c == '[') {
            e.Number.Reset();
            e.Params.Clear();
            e.State = TAnsiParserState::HaveBracket;
        } else {
            e.State = TAnsiParserState::None;
        }
        return;
    }
    if (c == ' ' || c == '<' || c == '=' || c == '>' || c == '?') return;
    if (c >= '0' && c <= '9') {
        e.Number.AddDigit(c - '0');
    } else if (c == ';') {
        AddAnsiParam();
    } else {
        AddAnsiParam();
        e.State = TAnsiParserState::None;
        HandleCode(c);
    }
}

} // namespace

std::string AnsiCursorDown(std::uint8_t n) {
    return Csi(n, 'B');
}
std::string AnsiCursorLeft(std::uint8_t n) {
    return Csi(n, 'D');
}
std::string AnsiCursorRight(std::uint8_t n) {
    return Csi(n, 'C');
}

std::string AnsiGotoXY(std::uint8_t x, std::uint8_t y) {
    std::string s = "\x1b[";
    s += std::to_string(y);
    s += ';';
    s += std::to_string(x);
    s += 'f';
    return s;
}

std::string AnsiGotoX(std::uint8_t x) {
    std::string s = AnsiCursorLeft(255);
    if (x > 1) s += AnsiCursorRight(static_cast<std::uint8_t>(x - 1));
    return s;
}

std::string AnsiClrScr() {
    return "\x1b[2J" + AnsiGotoXY(1, 1);
}

std::string AnsiTextBackground(std::uint8_t k) {
    return Csi(40 + AnsiColours[k % 8], 'm');
}

std::string AnsiTextColour(std::uint8_t k, std::uint8_t ACurrent) {
    k %= 16;
    if (k <= 7) {
        std::string s = "\x1b[0;";
        s += std::to_string(30 + AnsiColours[k]);
        s += 'm';
        return s + AnsiTextBackground(ACurrent >> 4);
    }
    std::string s = "\x1b[1;";
    s += std::to_string(30 + AnsiColours[k - 8]);
    s += 'm';
    return s;
}

std::string AnsiTextAttr(std::uint8_t a, std::uint8_t ACurrent) {
    return AnsiTextColour(a & 15, ACurrent) + AnsiTextBackground(a >> 4);
}

std::string AnsiBlink(bool on, std::uint8_t ACurrent) {
    if (on) return "\x1b[5m";
    return "\x1b[0m" + AnsiTextBackground(ACurrent >> 4) + AnsiTextColour(ACurrent & 15, ACurrent);
}

void AnsiWrite(const std::string& AText) {
    TScreen& s = LocalScreen();
    TAnsiEmulator& e = Emu();
    const std::string_view text(AText);
    std::size_t runStart = 0; // start of the plain characters not yet written
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (e.State == TAnsiParserState::None) {
            if (c == '\x1b') {
                s.Write(text.substr(runStart, i - runStart));
                runStart = i + 1;
                e.State = TAnsiParserState::HaveEscape;
            }
            continue;
        }
        ParseSequenceByte(e, c);
        runStart = i + 1;
    }
    if (e.State == TAnsiParserState::None && runStart < text.size()) s.Write(text.substr(runStart));
    ConsoleRefresh();
}

void AnsiReset() {
    Emu() = {};
    LocalScreen().Reset();
}
