// The local console on a POSIX terminal: raw keys, repaint of the changed cells, the terminal
// put back on every exit path.
#include "door/console.h"
#include "door/console_platform.h"

#include "door/ansi.h"
#include "door/cp437.h"
#include "door/screen.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <memory>
#include <poll.h>
#include <signal.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// What ConsoleRestore needs, kept in plain statics so a signal handler may use it.
std::atomic<bool> TerminalTaken{false};
int RestoreInFd = -1;
int RestoreOutFd = -1;
termios SavedModes{};
constexpr char RestoreSequence[] = "\x1b[0m\x1b[?7h\x1b[?25h\x1b[?1049l";

// Set by ConsoleStopWaiting when the door is ending on a signal: output no longer waits on a
// terminal that takes nothing (a caller's line that has stalled must not hold the node).
std::atomic<bool> StopWaiting{false};
// How long output waits for room once StopWaiting is set, and the most written in one call then.
constexpr int EndingWaitMs = 100;
constexpr std::size_t EndingChunk = 256;

// True when AFd takes more output within EndingWaitMs. Async-signal-safe.
bool TakesOutputSoon(int AFd) {
    pollfd pfd{AFd, POLLOUT, 0};
    return poll(&pfd, 1, EndingWaitMs) > 0 && (pfd.revents & POLLOUT);
}

// A crash or an interrupt must not leave the terminal raw: put it back, then let the signal do
// what it would have done.
void RestoreAndReraise(int ASignal) {
    ConsoleRestore();
    raise(ASignal); // the handler was reset on entry, so this is the default action
}

// Covers the signals that end the process and that nobody else handles (a handler installed
// by the door's shutdown code or a sanitizer stays as it is).
void InstallCrashRestore() {
    for (int sig : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGINT, SIGQUIT}) {
        struct sigaction old {};
        if (sigaction(sig, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) ||
            old.sa_handler != SIG_DFL)
            continue;
        struct sigaction action {};
        action.sa_handler = RestoreAndReraise;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND | SA_NODEFER;
        sigaction(sig, &action, nullptr);
    }
}

void AppendInt(std::string& AOut, int AValue) {
    char digits[12];
    const auto end = std::to_chars(digits, digits + sizeof digits, AValue).ptr;
    AOut.append(digits, end);
}

bool LocaleIsUtf8() {
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    const std::string saved = current ? current : "C";
    bool utf8 = false;
    if (std::setlocale(LC_CTYPE, "")) {
        const char* codeset = nl_langinfo(CODESET);
        utf8 = codeset && (strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "UTF8") == 0);
    }
    std::setlocale(LC_CTYPE, saved.c_str());
    return utf8;
}

// Decodes the bytes of an escape sequence from a terminal's keyboard.
enum class TKeyParse { Incomplete, NotASequence, Done };

// Scan code of a CSI or SS3 sequence's final byte and first parameter; 0 for keys the local
// keyboard does not have.
int ScanCode(char AFinal, int AParam) {
    switch (AFinal) {
    case 'A': return 72;
    case 'B': return 80;
    case 'C': return 77;
    case 'D': return 75;
    case 'H': return 71;
    case 'F': return 79;
    case 'P':
    case 'Q':
    case 'R':
    case 'S': return 59 + (AFinal - 'P');
    case '~': break;
    default: return 0;
    }
    switch (AParam) {
    case 1:
    case 7: return 71;
    case 2: return 82;
    case 3: return 83;
    case 4:
    case 8: return 79;
    case 5: return 73;
    case 6: return 81;
    default: break;
    }
    if (AParam >= 11 && AParam <= 15) return 59 + AParam - 11;
    if (AParam >= 17 && AParam <= 21) return 64 + AParam - 17;
    return 0;
}

// Longest parameter run accepted in a key sequence before the bytes are thrown away.
constexpr std::size_t MaxKeySequence = 16;

TKeyParse ParseKeySequence(const unsigned char* p, std::size_t n, std::size_t& used, int& scan) {
    scan = 0;
    if (n < 2) return TKeyParse::Incomplete;
    if (p[1] == 'O') {
        if (n < 3) return TKeyParse::Incomplete;
        used = 3;
        scan = ScanCode(static_cast<char>(p[2]), 0);
        return TKeyParse::Done;
    }
    if (p[1] != '[') return TKeyParse::NotASequence;
    if (n < 3) return TKeyParse::Incomplete;
    if (p[2] == '[') { // the Linux console's F1 to F5: ESC [ [ A ... E
        if (n < 4) return TKeyParse::Incomplete;
        used = 4;
        if (p[3] >= 'A' && p[3] <= 'E') scan = 59 + (p[3] - 'A');
        return TKeyParse::Done;
    }
    std::size_t i = 2;
    int param = 0;
    bool first = true;
    while (i < n && p[i] >= 0x30 && p[i] <= 0x3F) {
        if (p[i] == ';') first = false;
        if (first && p[i] >= '0' && p[i] <= '9' && param < 1000) param = param * 10 + (p[i] - '0');
        if (++i - 2 > MaxKeySequence) {
            used = i;
            return TKeyParse::Done;
        }
    }
    if (i == n) return TKeyParse::Incomplete;
    used = i + 1;
    scan = ScanCode(static_cast<char>(p[i]), param);
    return TKeyParse::Done;
}

// Length of the UTF-8 sequence that starts with ALead, or 0 when it cannot start one.
std::size_t Utf8Length(unsigned char ALead) {
    if (ALead >= 0xC2 && ALead <= 0xDF) return 2;
    if (ALead >= 0xE0 && ALead <= 0xEF) return 3;
    if (ALead >= 0xF0 && ALead <= 0xF4) return 4;
    return 0;
}

char32_t Utf8Decode(const unsigned char* p, std::size_t n) {
    char32_t c = p[0] & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
    for (std::size_t i = 1; i < n; ++i) c = (c << 6) | (p[i] & 0x3F);
    return c;
}

class TTerminalConsole final : public TConsoleBackend {
  public:
    TTerminalConsole(int AInFd, int AOutFd, bool AUtf8) : In_(AInFd), Out_(AOutFd), Utf8_(AUtf8) {}

    // Puts the terminal in raw mode on the alternate screen; false when it is no terminal.
    bool Take() {
        termios modes{};
        if (tcgetattr(In_, &modes) != 0) return false;
        SavedModes = modes;
        RestoreInFd = In_;
        RestoreOutFd = Out_;
        cfmakeraw(&modes);
        modes.c_cc[VMIN] = 1;
        modes.c_cc[VTIME] = 0;
        if (tcsetattr(In_, TCSANOW, &modes) != 0) return false;
        TerminalTaken = true;
        static bool registered = false;
        if (!registered) {
            registered = std::atexit(ConsoleRestore) == 0;
            InstallCrashRestore();
        }
        Buf_.reserve(64 * 1024);
        WriteAll("\x1b[?1049h\x1b[?7l");
        return true;
    }

    bool IsTerminal() const override { return true; }
    TWaitHandle KeyHandle() const override { return Ended_ ? kNoWaitHandle : In_; }
    bool InputEnded() const override { return Ended_; }

    bool KeyPressed() override {
        if (!Keys.Empty()) return true;
        ReadInput(0);
        Decode(false);
        if (Keys.Empty() && PendingLen_ > 0) {
            // An ESC or a partial sequence: give the rest a moment to arrive, then take what is
            // there as it stands.
            ReadInput(30);
            Decode(true);
        }
        return !Keys.Empty();
    }

    char ReadKey() override {
        while (!KeyPressed() && !Ended_) ReadInput(-1);
        return Keys.Empty() ? 0 : Keys.Pop();
    }

    void Refresh(const TScreen& AScreen) override;

  private:
    void ReadInput(int ATimeoutMs);
    void Decode(bool AFlush);
    void PushScan(int AScan) {
        if (AScan == 0) return;
        Keys.Push(0);
        Keys.Push(static_cast<char>(AScan));
    }
    void Consume(std::size_t n) {
        std::memmove(Pending_.data(), Pending_.data() + n, PendingLen_ - n);
        PendingLen_ -= n;
    }
    void CheckSize();
    void AppendPen(std::uint8_t AAttr);
    void AppendGlyph(std::uint8_t AByte);
    void WriteAll(std::string_view AData);

    int In_;
    int Out_;
    bool Utf8_;
    bool Ended_ = false;
    bool Broken_ = false;
    bool AfterCR_ = false; // the last key byte decoded was a CR
    std::array<unsigned char, 64> Pending_{};
    std::size_t PendingLen_ = 0;

    // What the terminal shows now, so that a refresh sends only the difference.
    std::array<std::array<TScreenCell, TScreen::Width>, TScreen::Height> Shown_{};
    bool ShownValid_ = false;
    int Cols_ = TScreen::Width;
    int Rows_ = TScreen::Height;
    int ShownCursorCol_ = 0;
    int ShownCursorRow_ = 0;
    int ShownCursorVisible_ = -1;
    std::uint32_t BellsSeen_ = 0;
    std::string Buf_;
};

void TTerminalConsole::ReadInput(int ATimeoutMs) {
    if (Ended_ || PendingLen_ == Pending_.size()) return;
    pollfd pfd{In_, POLLIN, 0};
    const int ready = poll(&pfd, 1, ATimeoutMs);
    if (ready <= 0) return;
    if (!(pfd.revents & POLLIN)) {
        if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) Ended_ = true;
        return;
    }
    const ssize_t n = read(In_, Pending_.data() + PendingLen_, Pending_.size() - PendingLen_);
    if (n > 0)
        PendingLen_ += static_cast<std::size_t>(n);
    else if (n == 0 || (errno != EINTR && errno != EAGAIN))
        Ended_ = true;
}

void TTerminalConsole::Decode(bool AFlush) {
    while (PendingLen_ > 0) {
        const unsigned char b = Pending_[0];
        // When the terminal is a caller's line (a BBS running the door on a pseudo-terminal),
        // Enter may come as CR LF or CR NUL: one Enter, as the socket transport folds it. A NUL
        // is never a key here (0 announces a scan code), and a lone LF is Enter too.
        const bool afterCR = AfterCR_;
        AfterCR_ = b == '\r';
        if (b == 0 || (afterCR && b == '\n')) {
            Consume(1);
        } else if (b == 0x1B) {
            std::size_t used = 0;
            int scan = 0;
            const auto r = ParseKeySequence(Pending_.data(), PendingLen_, used, scan);
            if (r == TKeyParse::Incomplete && !AFlush) return;
            if (r == TKeyParse::Done) {
                PushScan(scan);
                Consume(used);
            } else {
                Keys.Push(27);
                Consume(1);
            }
        } else if (b >= 0x80 && Utf8_) {
            const std::size_t len = Utf8Length(b);
            if (len == 0) {
                Consume(1);
                continue;
            }
            if (PendingLen_ < len) {
                if (!AFlush) return;
                Consume(PendingLen_);
                continue;
            }
            const int cp = UnicodeToCp437(Utf8Decode(Pending_.data(), len));
            if (cp > 0) Keys.Push(static_cast<char>(cp));
            Consume(len);
        } else {
            Keys.Push(b == 0x7F ? char(8) : b == '\n' ? '\r' : static_cast<char>(b));
            Consume(1);
        }
    }
}

// A terminal of another size gets a full repaint, clipped to what fits.
void TTerminalConsole::CheckSize() {
    winsize ws{};
    int cols = TScreen::Width;
    int rows = TScreen::Height;
    if (ioctl(Out_, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
        cols = ws.ws_col;
        rows = ws.ws_row;
    }
    if (cols != Cols_ || rows != Rows_) ShownValid_ = false;
    Cols_ = cols;
    Rows_ = rows;
}

// The SGR sequence for an attribute: 16 colours as the terminal's colours, blink as blink.
void TTerminalConsole::AppendPen(std::uint8_t AAttr) {
    const int fg = AAttr & 0x0F;
    const int bg = (AAttr >> 4) & 0x07;
    Buf_ += "\x1b[0;";
    if (fg >= 8 && !Utf8_) Buf_ += "1;";
    // A sysop's terminal takes 90-97 for the bright colours; a BBS terminal in CP437 takes bold.
    AppendInt(Buf_, (fg >= 8 && Utf8_ ? 90 : 30) + AnsiColours[fg & 7]);
    Buf_ += ';';
    AppendInt(Buf_, 40 + AnsiColours[bg]);
    if (AAttr & 0x80) Buf_ += ";5";
    Buf_ += 'm';
}

void TTerminalConsole::AppendGlyph(std::uint8_t AByte) {
    if (Utf8_) {
        Cp437AppendUtf8(Buf_, AByte);
    } else if (AByte == 0) {
        Buf_ += ' ';
    } else if (AByte < 0x20 || AByte == 0x7F) {
        Buf_ += '\xFA'; // a control byte would act on the terminal instead of showing
    } else {
        Buf_ += static_cast<char>(AByte);
    }
}

void TTerminalConsole::Refresh(const TScreen& AScreen) {
    if (!TerminalTaken || Broken_) return;
    Buf_.clear();
    CheckSize();
    const bool full = !ShownValid_;
    if (full) Buf_ += "\x1b[0m\x1b[2J";
    const int rows = std::min(Rows_, TScreen::Height);
    const int cols = std::min(Cols_, TScreen::Width);
    int termCol = 0; // where the terminal's cursor is; 0 when not known
    int termRow = 0;
    int pen = -1;
    bool painted = false;
    for (int row = 1; row <= rows; ++row) {
        for (int col = 1; col <= cols; ++col) {
            const TScreenCell cell = AScreen.Cell(col, row);
            TScreenCell& shown = Shown_[row - 1][col - 1];
            if (!full && shown == cell) continue;
            if (!painted && ShownCursorVisible_ != 0) Buf_ += "\x1b[?25l";
            painted = true;
            if (termRow != row || termCol != col) {
                Buf_ += "\x1b[";
                AppendInt(Buf_, row);
                Buf_ += ';';
                AppendInt(Buf_, col);
                Buf_ += 'H';
            }
            if (pen != cell.Attr) AppendPen(cell.Attr);
            pen = cell.Attr;
            AppendGlyph(cell.Ch);
            shown = cell;
            termRow = row;
            termCol = col < Cols_ ? col + 1 : 0; // autowrap is off: the last column holds it
        }
    }
    ShownValid_ = true;
    if (AScreen.Bells() != BellsSeen_) {
        BellsSeen_ = AScreen.Bells();
        Buf_ += '\a';
    }
    const int col = std::min(AScreen.CursorColumn(), Cols_);
    const int row = std::min(AScreen.CursorRow(), Rows_);
    const int visible = AScreen.CursorVisible() ? 1 : 0;
    if (painted || col != ShownCursorCol_ || row != ShownCursorRow_) {
        Buf_ += "\x1b[";
        AppendInt(Buf_, row);
        Buf_ += ';';
        AppendInt(Buf_, col);
        Buf_ += 'H';
        ShownCursorCol_ = col;
        ShownCursorRow_ = row;
    }
    if (painted || visible != ShownCursorVisible_) {
        Buf_ += visible ? "\x1b[?25h" : "\x1b[?25l";
        ShownCursorVisible_ = visible;
    }
    if (!Buf_.empty()) WriteAll(Buf_);
}

// Writes everything, waiting a bounded time for a full terminal; a terminal that is gone or
// stays blocked ends the display rather than the door.
void TTerminalConsole::WriteAll(std::string_view AData) {
    int waits = 0;
    while (!AData.empty() && !Broken_) {
        std::size_t chunk = AData.size();
        if (StopWaiting) {
            // Ending: a write blocked on a full terminal was interrupted by the signal. Write on
            // only as far as the terminal takes without waiting long, in pieces it has room for.
            if (!TakesOutputSoon(Out_)) {
                Broken_ = true;
                break;
            }
            chunk = std::min(chunk, EndingChunk);
        }
        const ssize_t n = write(Out_, AData.data(), chunk);
        if (n > 0) {
            AData.remove_prefix(static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN && waits++ < 50) {
            pollfd pfd{Out_, POLLOUT, 0};
            poll(&pfd, 1, 100);
        } else {
            Broken_ = true;
        }
    }
}

} // namespace

std::unique_ptr<TConsoleBackend> SystemConsole() {
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) return nullptr;
    auto terminal = std::make_unique<TTerminalConsole>(STDIN_FILENO, STDOUT_FILENO, LocaleIsUtf8());
    if (!terminal->Take()) return nullptr;
    return terminal;
}

void ConsoleUseTerminal(int AInFd, int AOutFd, bool AUtf8) {
    ConsoleRestore();
    StopWaiting = false;
    auto terminal = std::make_unique<TTerminalConsole>(AInFd, AOutFd, AUtf8);
    if (terminal->Take())
        ConsoleBackendSlot() = std::move(terminal);
    else
        ConsoleBackendSlot() = std::make_unique<TConsoleBackend>();
}

void ConsoleRestore() {
    if (!TerminalTaken.exchange(false)) return;
    // Only async-signal-safe calls: this may run from a signal handler.
    if (!StopWaiting || TakesOutputSoon(RestoreOutFd)) {
        [[maybe_unused]] const ssize_t n =
            write(RestoreOutFd, RestoreSequence, sizeof RestoreSequence - 1);
    }
    tcsetattr(RestoreInFd, TCSANOW, &SavedModes);
}

void ConsoleStopWaiting() {
    StopWaiting = true;
}
