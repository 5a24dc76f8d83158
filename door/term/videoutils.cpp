// FastWrite: paints a string with one attribute straight into the local screen.
#include "door/term/videoutils.h"

#include "door/term/console.h"
#include "door/term/screen.h"

void FastWrite(const std::string& AText, std::uint8_t AX, std::uint8_t AY, std::uint8_t AAttr) {
    if (AX < 1 || AX > TScreen::Width || AY < 1 || AY > TScreen::Height || AText.empty()) return;
    LocalScreen().WriteCells(AX, AY, AText, AAttr);
    ConsoleRefresh();
}
