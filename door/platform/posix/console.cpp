// The local console on a POSIX terminal: raw keys, repaint of the changed cells, the terminal
// put back on every exit path.
#include "door/platform/console.h"

#include "door/keys.h"
#include "door/platform/ending.h"
#include "door/term/cp437.h"
#include "door/term/screen.h"
#include "door/term/sgr.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <clocale>
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
// An ending signal sets it (the handler calls ConsoleStopWaiting).
[[maybe_unused]] const bool StopsOnEndingSignal = (DoorOnEndingSignal(ConsoleStopWaiting), true);

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

// Appends the cursor move to ARow, ACol (from 1).
void AppendGoto(std::string& AOut, int ARow, int ACol) {
    AOut += "\x1b[";
    AppendInt(AOut, ARow);
    AOut += ';';
    AppendInt(AOut, ACol);
    AOut += 'H';
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
        // The exit path restores it (the kit's shutdown calls ConsoleRestore); a crash, too.
        static bool crashRestore = false;
        if (!crashRestore) {
            crashRestore = true;
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
        Decode();
        // A sequence or a character under way: give the rest a moment to arrive, then take what
        // is there as it stands.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kLocalSequenceWaitMs);
        while (Keys.Empty() && Busy() && !Ended_) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            ReadInput(static_cast<int>(left.count()));
            Decode();
        }
        if (Keys.Empty() && Busy()) {
            Take(Decoder_.TimeOut());
            Utf8Length_ = 0;
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
    void Decode();
    void Take(const TTermInput& AInput);
    void TakeChar(unsigned char AByte);
    bool Busy() const { return Decoder_.Busy() || Utf8Length_ > 0; }
    void CheckSize();
    void AppendGlyph(std::uint8_t AByte);
    void WriteAll(std::string_view AData);

    int In_;
    int Out_;
    bool Utf8_;
    bool Ended_ = false;
    bool Broken_ = false;
    TLineEndFolder LineEnd_;
    std::array<unsigned char, 64> Pending_{};
    std::size_t PendingLen_ = 0;
    TKeyDecoder Decoder_;
    std::array<unsigned char, 4> Utf8Bytes_{}; // a UTF-8 character under way
    std::size_t Utf8Length_ = 0;

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

void TTerminalConsole::Decode() {
    for (std::size_t i = 0; i < PendingLen_; ++i) {
        TTermInput input;
        do {
            input = Decoder_.Take(Pending_[i]);
            Take(input);
        } while (!input.Used);
    }
    PendingLen_ = 0;
}

// What the decoder made of the bytes: a key, a character, or nothing (reports and sequences no
// key has vanish).
void TTerminalConsole::Take(const TTermInput& AInput) {
    if (AInput.Kind == TTermInputKind::Char) return TakeChar(static_cast<unsigned char>(AInput.Ch));
    if (AInput.Kind == TTermInputKind::None) return;
    LineEnd_.Reset();
    if (AInput.Kind != TTermInputKind::Key) return;
    Keys.Push(0);
    Keys.Push(static_cast<char>(AInput.Key));
}

void TTerminalConsole::TakeChar(unsigned char AByte) {
    // When the terminal is a caller's line (a BBS running the door on a pseudo-terminal), Enter
    // may come as CR LF or CR NUL: one Enter, as the socket transport folds it. A NUL is never a
    // key here (0 announces a scan code), and a lone LF is Enter too.
    const int key = LineEnd_.Take(AByte);
    if (Utf8Length_ > 0 && (AByte & 0xC0) == 0x80) {
        Utf8Bytes_[Utf8Length_++] = AByte;
        if (Utf8Length_ < Utf8SequenceLength(Utf8Bytes_[0])) return;
        const int cp = UnicodeToCp437(Utf8DecodeChar(Utf8Bytes_.data(), Utf8Length_));
        if (cp > 0) Keys.Push(static_cast<char>(cp));
        Utf8Length_ = 0;
        return;
    }
    Utf8Length_ = 0; // a character cut short is dropped
    if (key <= 0) return;
    if (AByte >= 0x80 && Utf8_) {
        if (Utf8SequenceLength(AByte) > 0) Utf8Bytes_[Utf8Length_++] = AByte;
        return;
    }
    Keys.Push(key == 0x7F ? char(8) : static_cast<char>(key));
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
            if (termRow != row || termCol != col) AppendGoto(Buf_, row, col);
            if (pen != cell.Attr) AnsiAppendPen(Buf_, cell.Attr, Utf8_);
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
        AppendGoto(Buf_, row, col);
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

std::unique_ptr<TConsoleBackend> TerminalConsole(int AInFd, int AOutFd, bool AUtf8) {
    StopWaiting = false;
    auto terminal = std::make_unique<TTerminalConsole>(AInFd, AOutFd, AUtf8);
    if (!terminal->Take()) return nullptr;
    return terminal;
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
