// The caller's screen in tests: a real terminal emulator (libvterm) fed the door's byte stream
// the way a telnet client would show it, read back cell by cell in CP437 and PC colours.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct VTerm;
struct VTermScreen;
struct VTermState;

class TVTermScreen {
  public:
    struct TOptions {
        bool Telnet = true; // take telnet commands out of the stream first
        bool Cp437 = true;  // bytes 0x80-0xFF are CP437 glyphs (false: the stream is UTF-8)
        int Cols = 80;
        int Rows = 25;
    };

    TVTermScreen() : TVTermScreen(TOptions{}) {}
    explicit TVTermScreen(const TOptions& AOptions);
    ~TVTermScreen();
    TVTermScreen(const TVTermScreen&) = delete;
    TVTermScreen& operator=(const TVTermScreen&) = delete;

    // Feeds received bytes; telnet commands and multi-byte characters may be cut anywhere
    // between calls. IAC IAC is a data byte 255; IAC WILL/WONT/DO/DONT x, other two-byte
    // commands and IAC SB ... IAC SE are removed (and kept in TelnetCommands()).
    void Feed(std::string_view ABytes);

    // Cells by 1-based column and row. The character as a CP437 byte (a blank for an empty
    // cell, '?' for a character CP437 lacks); colours as PC palette numbers 0-15 (0 black,
    // 1 blue ... 14 yellow, 15 white) with reverse video already applied, the default
    // foreground as 7 (15 when bold) and the default background as 0; -1 for other colours.
    std::uint8_t Char(int ACol, int ARow) const;
    int Fg(int ACol, int ARow) const;
    int Bg(int ACol, int ARow) const;
    bool Blink(int ACol, int ARow) const;
    std::string RowText(int ARow) const; // every column of the row, as CP437 bytes
    std::string Dump() const;            // all rows, trailing blanks cut, one per line

    int CursorX() const; // 1-based
    int CursorY() const;
    bool CursorVisible() const { return CursorVisible_; }
    int Bells() const { return Bells_; }
    int Cols() const { return Cols_; }
    int Rows() const { return Rows_; }

    // Bytes the terminal sent back (answers to status requests); emptied by the call.
    std::string TakeReplies();
    // Every telnet command taken out of the stream so far, in order, bytes as received.
    const std::string& TelnetCommands() const { return Telnet_; }

    // Internal: libvterm's callbacks.
    void OnOutput(const char* AData, std::size_t ALen) { Replies_.append(AData, ALen); }
    void OnBell() { ++Bells_; }
    void OnCursorVisible(bool AVisible) { CursorVisible_ = AVisible; }

  private:
    enum class TTelnetState { Data, Iac, Option, Sub, SubIac };
    struct TCell;
    TCell ReadCell(int ACol, int ARow) const;

    TOptions Options_;
    int Cols_;
    int Rows_;
    VTerm* Vt_ = nullptr;
    VTermScreen* Screen_ = nullptr;
    VTermState* State_ = nullptr;
    TTelnetState TelnetState_ = TTelnetState::Data;
    std::string Telnet_;
    std::string Replies_;
    std::string Pending_; // reused conversion buffer
    bool CursorVisible_ = true;
    int Bells_ = 0;
};
