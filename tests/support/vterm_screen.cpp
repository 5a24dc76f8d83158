// libvterm as the caller's terminal: telnet filtering, CP437 to UTF-8, and cell reading in the
// PC palette.
#include "tests/support/vterm_screen.h"

#include "door/ansi.h"
#include "door/cp437.h"

#include <vterm.h>

namespace {

constexpr unsigned char IAC = 255, SB = 250, SE = 240, WILL = 251, DONT = 254;

void OutputCallback(const char* s, size_t len, void* user) {
    static_cast<TVTermScreen*>(user)->OnOutput(s, len);
}

int BellCallback(void* user) {
    static_cast<TVTermScreen*>(user)->OnBell();
    return 1;
}

int PropCallback(VTermProp prop, VTermValue* val, void* user) {
    if (prop == VTERM_PROP_CURSORVISIBLE)
        static_cast<TVTermScreen*>(user)->OnCursorVisible(val->boolean != 0);
    return 1;
}

const VTermScreenCallbacks ScreenCallbacks = {
    nullptr, nullptr, nullptr, PropCallback, BellCallback, nullptr, nullptr, nullptr,
};

// ANSI colour index (0-15) to the PC palette.
int PcColour(int AIndex) {
    if (AIndex < 0 || AIndex > 15) return -1;
    return AIndex < 8 ? AnsiColours[AIndex] : 8 + AnsiColours[AIndex - 8];
}

} // namespace

struct TVTermScreen::TCell {
    std::uint8_t Ch = ' ';
    int Fg = 7;
    int Bg = 0;
    bool Blink = false;
};

TVTermScreen::TVTermScreen(const TOptions& AOptions)
    : Options_(AOptions), Cols_(AOptions.Cols), Rows_(AOptions.Rows) {
    Vt_ = vterm_new(Rows_, Cols_);
    vterm_set_utf8(Vt_, 1);
    vterm_output_set_callback(Vt_, OutputCallback, this);
    State_ = vterm_obtain_state(Vt_);
    Screen_ = vterm_obtain_screen(Vt_);
    vterm_screen_set_callbacks(Screen_, &ScreenCallbacks, this);
    vterm_screen_reset(Screen_, 1);
    // A BBS terminal shows bold as the bright half of the palette.
    vterm_state_set_bold_highbright(State_, 1);
}

TVTermScreen::~TVTermScreen() {
    vterm_free(Vt_);
}

void TVTermScreen::Feed(std::string_view ABytes) {
    Pending_.clear();
    for (char ch : ABytes) {
        const auto b = static_cast<unsigned char>(ch);
        bool data = false;
        if (!Options_.Telnet) {
            data = true;
        } else {
            switch (TelnetState_) {
            case TTelnetState::Data:
                if (b == IAC) {
                    TelnetState_ = TTelnetState::Iac;
                    Telnet_ += ch;
                } else {
                    data = true;
                }
                break;
            case TTelnetState::Iac:
                if (b == IAC) {
                    Telnet_.pop_back();
                    data = true;
                    TelnetState_ = TTelnetState::Data;
                    break;
                }
                Telnet_ += ch;
                TelnetState_ = b == SB                  ? TTelnetState::Sub
                               : b >= WILL && b <= DONT ? TTelnetState::Option
                                                        : TTelnetState::Data;
                break;
            case TTelnetState::Option:
                Telnet_ += ch;
                TelnetState_ = TTelnetState::Data;
                break;
            case TTelnetState::Sub:
                Telnet_ += ch;
                if (b == IAC) TelnetState_ = TTelnetState::SubIac;
                break;
            case TTelnetState::SubIac:
                Telnet_ += ch;
                TelnetState_ = b == SE ? TTelnetState::Data : TTelnetState::Sub;
                break;
            }
        }
        if (!data) continue;
        if (Options_.Cp437 && b >= 0x80)
            Cp437AppendUtf8(Pending_, b);
        else
            Pending_ += ch;
    }
    if (!Pending_.empty()) vterm_input_write(Vt_, Pending_.data(), Pending_.size());
}

TVTermScreen::TCell TVTermScreen::ReadCell(int ACol, int ARow) const {
    TCell out;
    if (ACol < 1 || ACol > Cols_ || ARow < 1 || ARow > Rows_) return out;
    VTermScreenCell cell{};
    vterm_screen_get_cell(Screen_, VTermPos{ARow - 1, ACol - 1}, &cell);
    if (cell.chars[0] != 0) {
        const int b = UnicodeToCp437(cell.chars[0]);
        out.Ch = b < 0 ? '?' : static_cast<std::uint8_t>(b);
    }
    if (VTERM_COLOR_IS_DEFAULT_FG(&cell.fg))
        out.Fg = cell.attrs.bold ? 15 : 7;
    else
        out.Fg = VTERM_COLOR_IS_INDEXED(&cell.fg) ? PcColour(cell.fg.indexed.idx) : -1;
    if (VTERM_COLOR_IS_DEFAULT_BG(&cell.bg))
        out.Bg = 0;
    else
        out.Bg = VTERM_COLOR_IS_INDEXED(&cell.bg) ? PcColour(cell.bg.indexed.idx) : -1;
    if (cell.attrs.reverse) std::swap(out.Fg, out.Bg);
    out.Blink = cell.attrs.blink;
    return out;
}

std::uint8_t TVTermScreen::Char(int ACol, int ARow) const {
    return ReadCell(ACol, ARow).Ch;
}
int TVTermScreen::Fg(int ACol, int ARow) const {
    return ReadCell(ACol, ARow).Fg;
}
int TVTermScreen::Bg(int ACol, int ARow) const {
    return ReadCell(ACol, ARow).Bg;
}
bool TVTermScreen::Blink(int ACol, int ARow) const {
    return ReadCell(ACol, ARow).Blink;
}

std::string TVTermScreen::RowText(int ARow) const {
    std::string text;
    for (int col = 1; col <= Cols_; ++col) text += static_cast<char>(Char(col, ARow));
    return text;
}

std::string TVTermScreen::Dump() const {
    std::string out;
    for (int row = 1; row <= Rows_; ++row) {
        std::string line = RowText(row);
        line.erase(line.find_last_not_of(' ') + 1);
        out += line;
        out += '\n';
    }
    return out;
}

int TVTermScreen::CursorX() const {
    VTermPos pos{};
    vterm_state_get_cursorpos(State_, &pos);
    return pos.col + 1;
}

int TVTermScreen::CursorY() const {
    VTermPos pos{};
    vterm_state_get_cursorpos(State_, &pos);
    return pos.row + 1;
}

std::string TVTermScreen::TakeReplies() {
    std::string out;
    out.swap(Replies_);
    return out;
}
