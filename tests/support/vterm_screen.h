// The caller's screen in tests: a real terminal emulator (libvterm) fed the door's byte stream
// the way a telnet client shows it, read back cell by cell in CP437 and PC colours.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

struct VTerm;
struct VTermScreen;
struct VTermState;

class TVTermScreen {
  public:
    // ATelnet: take telnet commands out first (IAC IAC is a data byte 255). ACp437: bytes
    // 0x80-0xFF are CP437 glyphs; otherwise the stream is UTF-8. 80 columns, ARows rows.
    explicit TVTermScreen(bool ATelnet = true, bool ACp437 = true, int ARows = 25);
    ~TVTermScreen();
    TVTermScreen(const TVTermScreen&) = delete;
    TVTermScreen& operator=(const TVTermScreen&) = delete;

    // Telnet commands and multi-byte characters may be cut anywhere between calls.
    void Feed(std::string_view ABytes);

    // Cells by 1-based column and row: the CP437 byte ('?' when CP437 lacks it) and the PC
    // attribute (foreground | background << 4 | blink 0x80; bold default is 15, -1 colours 0).
    std::uint8_t Char(int ACol, int ARow) const;
    std::uint8_t Attr(int ACol, int ARow) const;
    std::string RowText(int ARow) const;
    bool Shows(std::string_view AText) const {
        for (int row = 1; row <= 25; ++row)
            if (RowText(row).find(AText) != std::string::npos) return true;
        return false;
    }
    std::tuple<int, int, bool> Cursor() const; // column, row, and whether it is shown
    std::string Replies; // what the terminal answers (to cursor position requests), not yet sent

    void OnCursorVisible(bool AVisible) { CursorVisible_ = AVisible; }

  private:
    bool Telnet_;
    bool Cp437_;
    int TelnetState_ = 0; // 0 data, 1 after IAC, 2 option byte, 3 in SB, 4 IAC in SB
    VTerm* Vt_ = nullptr;
    VTermScreen* Screen_ = nullptr;
    VTermState* State_ = nullptr;
    std::string Pending_;
    bool CursorVisible_ = true;
};
