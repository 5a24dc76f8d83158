// The local screen model: an 80x25 grid of CP437 cells with a cursor, a text window and the
// current ("local") attribute. Plain code with no I/O; a console back-end displays it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

struct TScreenCell {
    std::uint8_t Ch = ' ';
    std::uint8_t Attr = 7;
    bool operator==(const TScreenCell&) const = default;
};

// A rectangle of the console in absolute 1-based positions, edges included.
struct TScreenWindow {
    int Left = 1;
    int Top = 1;
    int Right = 80;
    int Bottom = 25;
    int Width() const { return Right - Left + 1; }
    int Height() const { return Bottom - Top + 1; }
    bool operator==(const TScreenWindow&) const = default;
};

// Positions taken by WhereX/WhereY/GotoXY are relative to the window, as on a PC console;
// Cell/CharAt/AttrAt/RowText/WriteCells and CursorColumn/CursorRow are absolute.
class TScreen {
  public:
    static constexpr int Width = 80;
    static constexpr int Height = 25;

    TScreen() { Reset(); }

    // Back to the start state: blank cells in attribute 7, full window, cursor at (1,1) and
    // visible. (AnsiReset() in door/ansi.h also clears the emulator's parser state.)
    void Reset();

    // The local attribute: bits 0-3 foreground, 4-6 background, 7 blink.
    std::uint8_t TextAttr() const { return Attr_; }
    void SetTextAttr(std::uint8_t AAttr) { Attr_ = AAttr; }
    // Foreground k (bit 7 of k sets blink, otherwise blink is cleared).
    void TextColor(std::uint8_t k) { Attr_ = (Attr_ & 0x70) | (k & 0x8F); }
    void TextBackground(std::uint8_t k) { Attr_ = ((k << 4) & 0x70) | (Attr_ & 0x8F); }
    void HighVideo() { TextColor(Attr_ | 0x08); }
    void LowVideo() { TextColor(Attr_ & 0x77); }
    void NormVideo() { Attr_ = 7; }

    int WhereX() const { return CurX_ - Win_.Left + 1; }
    int WhereY() const { return CurY_ - Win_.Top + 1; }
    // Moves the cursor inside the window; positions beyond an edge stop at that edge.
    void GotoXY(int x, int y);

    void ClrScr();
    void ClrEol();
    void InsLine();
    void DelLine();

    // Narrows writing, scrolling and cursor positions to a rectangle and homes the cursor
    // there; an impossible rectangle is ignored.
    void SetWindow(int ALeft, int ATop, int ARight, int ABottom);
    TScreenWindow Window() const { return Win_; }

    void CursorOn() { CursorVisible_ = true; }
    void CursorOff() { CursorVisible_ = false; }
    bool CursorVisible() const { return CursorVisible_; }

    // Writes text at the cursor in the local attribute: CR, LF, BS and BEL act, every other
    // byte is a glyph; the cursor wraps at the window's right edge at once and the window
    // scrolls up at its bottom.
    void Write(std::string_view AText);

    // Puts cells straight into the grid at an absolute position in one attribute, cut at
    // column 80; the cursor, the attribute and the window are untouched.
    void WriteCells(int ACol, int ARow, std::string_view AText, std::uint8_t AAttr);

    // Absolute 1-based reads; positions off the grid read as a blank in attribute 7.
    TScreenCell Cell(int ACol, int ARow) const;
    std::uint8_t CharAt(int ACol, int ARow) const { return Cell(ACol, ARow).Ch; }
    std::uint8_t AttrAt(int ACol, int ARow) const { return Cell(ACol, ARow).Attr; }
    std::string RowText(int ARow) const; // all 80 characters of the row
    int CursorColumn() const { return CurX_; }
    int CursorRow() const { return CurY_; }
    // Counts bells written so far; a back-end sounds one for each it has not yet seen.
    std::uint32_t Bells() const { return Bells_; }

  private:
    TScreenCell& At(int ACol, int ARow) { return Cells_[ARow - 1][ACol - 1]; }
    void LineFeed();
    void ScrollUp(int AFromRow);
    void ScrollDown(int AFromRow);
    void BlankRow(int ARow);

    std::array<std::array<TScreenCell, Width>, Height> Cells_{};
    TScreenWindow Win_{};
    int CurX_ = 1;
    int CurY_ = 1;
    std::uint8_t Attr_ = 7;
    bool CursorVisible_ = true;
    std::uint32_t Bells_ = 0;
};

// The one local screen of the process.
TScreen& LocalScreen();
