#include "door/term/sgr.h"

const std::array<std::int32_t, 8> AnsiColours = {0, 4, 2, 6, 1, 5, 3, 7};

void AnsiAppendPen(std::string& AOut, std::uint8_t AAttr, bool AUtf8) {
    const int fg = AAttr & 0x0F;
    const int bg = (AAttr >> 4) & 0x07;
    AOut += "\x1b[0;";
    if (fg >= 8 && !AUtf8) AOut += "1;";
    // A sysop's terminal takes 90-97 for the bright colours; a BBS terminal in CP437 takes bold.
    AOut += std::to_string((fg >= 8 && AUtf8 ? 90 : 30) + AnsiColours[fg & 7]);
    AOut += ';';
    AOut += std::to_string(40 + AnsiColours[bg]);
    if (AAttr & 0x80) AOut += ";5";
    AOut += 'm';
}
