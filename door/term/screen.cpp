// The local screen model: cell grid, window, cursor and attribute, without any I/O.
#include "door/term/screen.h"

#include <algorithm>

void TScreen::Reset() {
    for (auto& row : Cells_) row.fill(TScreenCell{});
    Win_ = TScreenWindow{};
    CurX_ = 1;
    CurY_ = 1;
    Attr_ = 7;
    CursorVisible_ = true;
    Bells_ = 0;
}

void TScreen::GotoXY(int x, int y) {
    CurX_ = std::clamp(x, 1, Win_.Width()) + Win_.Left - 1;
    CurY_ = std::clamp(y, 1, Win_.Height()) + Win_.Top - 1;
}

void TScreen::BlankRow(int ARow) {
    for (int col = Win_.Left; col <= Win_.Right; ++col) At(col, ARow) = {' ', Attr_};
}

void TScreen::ClrScr() {
    for (int row = Win_.Top; row <= Win_.Bottom; ++row) BlankRow(row);
    CurX_ = Win_.Left;
    CurY_ = Win_.Top;
}

void TScreen::ClrEol() {
    for (int col = CurX_; col <= Win_.Right; ++col) At(col, CurY_) = {' ', Attr_};
}

// Moves the window's rows below AFromRow up by one; the bottom row becomes blank.
void TScreen::ScrollUp(int AFromRow) {
    for (int row = AFromRow; row < Win_.Bottom; ++row)
        std::copy_n(&At(Win_.Left, row + 1), Win_.Width(), &At(Win_.Left, row));
    BlankRow(Win_.Bottom);
}

// Moves the window's rows from AFromRow down by one; AFromRow becomes blank.
void TScreen::ScrollDown(int AFromRow) {
    for (int row = Win_.Bottom; row > AFromRow; --row)
        std::copy_n(&At(Win_.Left, row - 1), Win_.Width(), &At(Win_.Left, row));
    BlankRow(AFromRow);
}

void TScreen::InsLine() {
    ScrollDown(CurY_);
}
void TScreen::DelLine() {
    ScrollUp(CurY_);
}

void TScreen::SetWindow(int ALeft, int ATop, int ARight, int ABottom) {
    if (ALeft < 1 || ATop < 1 || ARight > Width || ABottom > Height || ALeft > ARight ||
        ATop > ABottom)
        return;
    Win_ = {ALeft, ATop, ARight, ABottom};
    CurX_ = ALeft;
    CurY_ = ATop;
}

void TScreen::LineFeed() {
    if (CurY_ < Win_.Bottom)
        ++CurY_;
    else
        ScrollUp(Win_.Top);
}

void TScreen::Write(std::string_view AText) {
    for (char c : AText) {
        const auto b = static_cast<std::uint8_t>(c);
        switch (b) {
        case 7: ++Bells_; break;
        case 8:
            if (CurX_ > Win_.Left) --CurX_;
            break;
        case 10: LineFeed(); break;
        case 13: CurX_ = Win_.Left; break;
        default:
            At(CurX_, CurY_) = {b, Attr_};
            if (CurX_ < Win_.Right) {
                ++CurX_;
            } else {
                CurX_ = Win_.Left;
                LineFeed();
            }
        }
    }
}

void TScreen::WriteCells(int ACol, int ARow, std::string_view AText, std::uint8_t AAttr) {
    if (ACol < 1 || ACol > Width || ARow < 1 || ARow > Height) return;
    const std::size_t n = std::min<std::size_t>(AText.size(), Width - ACol + 1);
    for (std::size_t i = 0; i < n; ++i)
        At(ACol + static_cast<int>(i), ARow) = {static_cast<std::uint8_t>(AText[i]), AAttr};
}

TScreenCell TScreen::Cell(int ACol, int ARow) const {
    if (ACol < 1 || ACol > Width || ARow < 1 || ARow > Height) return {};
    return Cells_[ARow - 1][ACol - 1];
}

std::string TScreen::RowText(int ARow) const {
    std::string text(Width, ' ');
    if (ARow < 1 || ARow > Height) return text;
    for (int col = 1; col <= Width; ++col) text[col - 1] = static_cast<char>(CharAt(col, ARow));
    return text;
}
