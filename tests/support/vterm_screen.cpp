// libvterm as the caller's terminal: telnet filtering, CP437 to UTF-8, cells in the PC palette.
#include "tests/support/vterm_screen.h"

#include "door/term/ansi.h"
#include "door/term/cp437.h"

#include <vterm.h>

namespace {

int PropCallback(VTermProp AProp, VTermValue* AValue, void* AUser) {
    if (AProp == VTERM_PROP_CURSORVISIBLE)
        static_cast<TVTermScreen*>(AUser)->OnCursorVisible(AValue->boolean != 0);
    return 1;
}

const VTermScreenCallbacks Callbacks = {nullptr, nullptr, nullptr, PropCallback,
                                        nullptr, nullptr, nullptr, nullptr};

// An ANSI colour index (0-15) in the PC palette; 0 for others.
int PcColour(const VTermColor& AColour, int ADefault) {
    if (!VTERM_COLOR_IS_INDEXED(&AColour)) return ADefault;
    const int i = AColour.indexed.idx;
    return i < 8 ? AnsiColours[i] : i < 16 ? 8 + AnsiColours[i - 8] : 0;
}

} // namespace

TVTermScreen::TVTermScreen(bool ATelnet, bool ACp437, int ARows)
    : Telnet_(ATelnet), Cp437_(ACp437) {
    Vt_ = vterm_new(ARows, 80);
    vterm_output_set_callback(
        Vt_,
        [](const char* ABytes, std::size_t ALength, void* AUser) {
            static_cast<TVTermScreen*>(AUser)->Replies.append(ABytes, ALength);
        },
        this);
    vterm_set_utf8(Vt_, 1);
    State_ = vterm_obtain_state(Vt_);
    Screen_ = vterm_obtain_screen(Vt_);
    vterm_screen_set_callbacks(Screen_, &Callbacks, this);
    vterm_screen_reset(Screen_, 1);
    vterm_state_set_bold_highbright(State_, 1); // bold is the bright half of the palette
}

TVTermScreen::~TVTermScreen() {
    vterm_free(Vt_);
}

void TVTermScreen::Feed(std::string_view ABytes) {
    Pending_.clear();
    for (char ch : ABytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (Telnet_ && (TelnetState_ != 0 || b == 255)) {
            // IAC: then IAC (data), SB ... IAC SE, WILL/WONT/DO/DONT and an option, or one byte.
            const int state = TelnetState_;
            TelnetState_ = state == 0   ? 1
                           : state == 1 ? (b == 255   ? 0
                                           : b == 250 ? 3
                                           : b >= 251 ? 2
                                                      : 0)
                           : state == 2 ? 0
                           : state == 3 ? (b == 255 ? 4 : 3)
                                        : (b == 240 ? 0 : 3);
            if (!(state == 1 && b == 255)) continue;
        }
        if (Cp437_ && b >= 0x80)
            Cp437AppendUtf8(Pending_, b);
        else
            Pending_ += ch;
    }
    if (!Pending_.empty()) vterm_input_write(Vt_, Pending_.data(), Pending_.size());
}

std::uint8_t TVTermScreen::Char(int ACol, int ARow) const {
    VTermScreenCell cell{};
    vterm_screen_get_cell(Screen_, VTermPos{ARow - 1, ACol - 1}, &cell);
    if (cell.chars[0] == 0) return ' ';
    const int b = UnicodeToCp437(cell.chars[0]);
    return b < 0 ? '?' : static_cast<std::uint8_t>(b);
}

std::uint8_t TVTermScreen::Attr(int ACol, int ARow) const {
    VTermScreenCell cell{};
    vterm_screen_get_cell(Screen_, VTermPos{ARow - 1, ACol - 1}, &cell);
    int fg =
        VTERM_COLOR_IS_DEFAULT_FG(&cell.fg) ? (cell.attrs.bold ? 15 : 7) : PcColour(cell.fg, 7);
    int bg = VTERM_COLOR_IS_DEFAULT_BG(&cell.bg) ? 0 : PcColour(cell.bg, 0);
    if (cell.attrs.reverse) std::swap(fg, bg);
    return static_cast<std::uint8_t>(fg | (bg & 7) << 4 | (cell.attrs.blink ? 0x80 : 0));
}

std::string TVTermScreen::RowText(int ARow) const {
    std::string text;
    for (int col = 1; col <= 80; ++col) text += static_cast<char>(Char(col, ARow));
    return text;
}

std::tuple<int, int, bool> TVTermScreen::Cursor() const {
    VTermPos pos{};
    vterm_state_get_cursorpos(State_, &pos);
    return {pos.col + 1, pos.row + 1, CursorVisible_};
}
