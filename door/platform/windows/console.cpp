// The local console on a Windows console: the screen model shown through direct cell writes
// (WriteConsoleOutputW), keys from ReadConsoleInputW as PC scan codes, the input mode and the
// cursor put back on every exit path. The last screen stays in the window after the door ends.
#include "door/platform/console.h"

#include "door/term/cp437.h"
#include "door/term/screen.h"

#include <windows.h>

#include <atomic>

namespace {

// What ConsoleRestore needs, in plain statics.
std::atomic<bool> ConsoleTaken{false};
HANDLE Output = INVALID_HANDLE_VALUE;
HANDLE SavedIn = INVALID_HANDLE_VALUE;
DWORD SavedInMode = 0;

// True for the scan codes of the local keyboard's cursor and function keys.
bool IsExtendedScan(WORD AScan) {
    return (AScan >= 59 && AScan <= 68) ||
           (AScan >= 71 && AScan <= 83 && AScan != 74 && AScan != 76 && AScan != 78);
}

class TWindowsConsole final : public TConsoleBackend {
  public:
    TWindowsConsole(HANDLE AIn, HANDLE AOut) : In_(AIn), Out_(AOut) {}

    // Takes the console for raw key input; false when the standard handles are no console.
    bool Take() {
        DWORD inMode = 0;
        DWORD outMode = 0;
        if (!::GetConsoleMode(In_, &inMode) || !::GetConsoleMode(Out_, &outMode)) return false;
        SavedIn = In_;
        SavedInMode = inMode;
        Output = Out_;
        // Keys one at a time, no echo; Ctrl-C and Ctrl-Break stay control events that end the
        // door.
        ::SetConsoleMode(In_, ENABLE_PROCESSED_INPUT | ENABLE_EXTENDED_FLAGS);
        ConsoleTaken = true; // the kit's shutdown calls ConsoleRestore on the exit path
        return true;
    }

    bool IsTerminal() const override { return true; }
    TWaitHandle KeyHandle() const override { return reinterpret_cast<TWaitHandle>(In_); }

    bool KeyPressed() override {
        DWORD count = 0;
        while (Keys.Empty() && ::GetNumberOfConsoleInputEvents(In_, &count) && count > 0) {
            INPUT_RECORD record;
            DWORD read = 0;
            if (!::ReadConsoleInputW(In_, &record, 1, &read) || read == 0) break;
            if (record.EventType == KEY_EVENT) PushKey(record.Event.KeyEvent);
        }
        return !Keys.Empty();
    }

    char ReadKey() override {
        while (!KeyPressed()) {
            if (::WaitForSingleObject(In_, INFINITE) != WAIT_OBJECT_0) return 0;
        }
        return Keys.Pop();
    }

    void Refresh(const TScreen& AScreen) override;

  private:
    void PushKey(const KEY_EVENT_RECORD& AKey) {
        if (!AKey.bKeyDown) return;
        // Enter is CR and Backspace BS, whatever character a console reports with them.
        wchar_t ch = AKey.uChar.UnicodeChar;
        if (AKey.wVirtualKeyCode == VK_RETURN) ch = L'\r';
        if (AKey.wVirtualKeyCode == VK_BACK) ch = 8;
        for (WORD i = 0; i < (AKey.wRepeatCount > 0 ? AKey.wRepeatCount : 1); ++i) {
            if (ch != 0 && ch < 0x80) {
                Keys.Push(static_cast<char>(ch)); // ASCII, control keys included
            } else if (ch != 0) {
                const int b = UnicodeToCp437(ch);
                if (b > 0) Keys.Push(static_cast<char>(b));
            } else if (AKey.wVirtualKeyCode == VK_ESCAPE) {
                Keys.Push(27);
            } else if (IsExtendedScan(AKey.wVirtualScanCode)) {
                Keys.Push(0);
                Keys.Push(static_cast<char>(AKey.wVirtualScanCode));
            }
        }
    }

    HANDLE In_;
    HANDLE Out_;
    CHAR_INFO Shown_[TScreen::Height][TScreen::Width]{};
    bool ShownValid_ = false;
    std::uint32_t BellsSeen_ = 0;
};

void TWindowsConsole::Refresh(const TScreen& AScreen) {
    if (!ConsoleTaken) return;
    // The rows that changed, written in one direct cell write.
    int first = TScreen::Height;
    int last = -1;
    for (int row = 0; row < TScreen::Height; ++row) {
        for (int col = 0; col < TScreen::Width; ++col) {
            const TScreenCell cell = AScreen.Cell(col + 1, row + 1);
            CHAR_INFO shown{};
            shown.Char.UnicodeChar =
                cell.Ch == 0 ? L' ' : static_cast<wchar_t>(Cp437ToUnicode[cell.Ch]);
            // The PC's attribute byte is the console's; its blink bit would be a bright
            // background here, so it is left out.
            shown.Attributes = static_cast<WORD>(cell.Attr & 0x7F);
            CHAR_INFO& was = Shown_[row][col];
            if (ShownValid_ && was.Char.UnicodeChar == shown.Char.UnicodeChar &&
                was.Attributes == shown.Attributes)
                continue;
            was = shown;
            if (row < first) first = row;
            last = row;
        }
    }
    ShownValid_ = true;
    if (last >= 0) {
        SMALL_RECT area{0, static_cast<SHORT>(first), TScreen::Width - 1, static_cast<SHORT>(last)};
        ::WriteConsoleOutputW(Output, &Shown_[0][0], COORD{TScreen::Width, TScreen::Height},
                              COORD{0, static_cast<SHORT>(first)}, &area);
    }
    if (AScreen.Bells() != BellsSeen_) {
        BellsSeen_ = AScreen.Bells();
        DWORD written = 0;
        ::WriteConsoleW(Output, L"\a", 1, &written, nullptr);
    }
    CONSOLE_CURSOR_INFO cursor{25, AScreen.CursorVisible() ? TRUE : FALSE};
    ::SetConsoleCursorInfo(Output, &cursor);
    ::SetConsoleCursorPosition(Output, COORD{static_cast<SHORT>(AScreen.CursorColumn() - 1),
                                             static_cast<SHORT>(AScreen.CursorRow() - 1)});
}

} // namespace

std::unique_ptr<TConsoleBackend> SystemConsole() {
    // Standard handles that are not a console (redirected) leave the door headless.
    auto console = std::make_unique<TWindowsConsole>(::GetStdHandle(STD_INPUT_HANDLE),
                                                     ::GetStdHandle(STD_OUTPUT_HANDLE));
    if (!console->Take()) return nullptr;
    return console;
}

// Pseudo-terminals are a POSIX matter: on Windows the console runs headless instead.
std::unique_ptr<TConsoleBackend> TerminalConsole(int, int, bool) {
    return nullptr;
}

void ConsoleRestore() {
    if (!ConsoleTaken.exchange(false)) return;
    ::SetConsoleMode(SavedIn, SavedInMode);
    CONSOLE_CURSOR_INFO cursor{25, TRUE};
    ::SetConsoleCursorInfo(Output, &cursor);
}

// Console writes do not wait on the caller, so there is nothing to stop.
void ConsoleStopWaiting() {}
