// Fuzzes the local ANSI emulator: any bytes, in any window, cut anywhere into two calls, must
// leave the cursor inside the window and give the same screen as the same bytes in one call.
#include "door/term/ansi.h"
#include "door/term/console.h"
#include "door/term/screen.h"
#include "door/term/videoutils.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// The screen after the bytes, in a window chosen by the fuzzer, written in two calls.
TScreen Draw(const TScreenWindow& AWindow, const std::string& AText, std::size_t ACut) {
    AnsiReset();
    LocalScreen().SetWindow(AWindow.Left, AWindow.Top, AWindow.Right, AWindow.Bottom);
    AnsiWrite(AText.substr(0, ACut));
    AnsiWrite(AText.substr(ACut));
    FastWrite(AText.substr(0, 100), 1 + AText.size() % 90, 1 + AText.size() % 30, 0x1F);
    const TScreen& s = LocalScreen();
    const TScreenWindow w = s.Window();
    if (s.CursorColumn() < w.Left || s.CursorColumn() > w.Right || s.CursorRow() < w.Top ||
        s.CursorRow() > w.Bottom || s.WhereX() < 1 || s.WhereY() < 1)
        std::abort();
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    if (ASize < 5) return 0;
    static const bool headless = (ConsoleUseHeadless(), true);
    (void)headless;
    const int left = 1 + AData[0] % 80, top = 1 + AData[1] % 25;
    const TScreenWindow window{left, top, left + AData[2] % (81 - left),
                               top + AData[3] % (26 - top)};
    const std::string text(reinterpret_cast<const char*>(AData + 5), ASize - 5);
    const std::size_t cut = text.empty() ? 0 : AData[4] % (text.size() + 1);
    const TScreen whole = Draw(window, text, text.size());
    const TScreen split = Draw(window, text, cut);
    for (int row = 1; row <= TScreen::Height; ++row)
        for (int col = 1; col <= TScreen::Width; ++col)
            if (!(whole.Cell(col, row) == split.Cell(col, row))) std::abort();
    if (whole.CursorColumn() != split.CursorColumn() || whole.CursorRow() != split.CursorRow() ||
        whole.TextAttr() != split.TextAttr())
        std::abort();
    return 0;
}
