// The backtick codes: colours, blink, clear screen, pauses, the "more" prompt and the spinner,
// carried out as a text is written.
#include "door/codes.h"

#include "door/door.h"

#include <algorithm>
#include <string_view>

namespace {

// The "more" prompt of code k: waits for a key, then erases its eight characters.
void BacktickMore() {
    DoorWrite("`r0  `2<`0MORE`2>");
    DoorReadKey();
    DoorWrite(std::string(8, '\b') + std::string(8, ' ') + std::string(8, '\b'));
}

// A bar turning for about 0.9 s, leaving a blank with the cursor where it started.
void BacktickSpinner() {
    std::string text = "|";
    for (char c : std::string_view("\\-/|\\-/|")) {
        text += "`w`d";
        text += c;
    }
    text += "`w`d `d";
    DoorWrite(text);
}

// Carries out a two-character backtick code; false when the code is not one.
bool BacktickCode(char ACode) {
    static constexpr std::string_view kColours = "*1234567890!@#$%"; // colours 0 to 15
    if (const auto colour = kColours.find(ACode); colour != std::string_view::npos) {
        DoorTextColourAndBlink(static_cast<std::uint8_t>(colour), false);
        return true;
    }
    switch (ACode) {
    case 'b': DoorTextColourAndBlink(4, true); return true;
    case 'y': DoorTextColourAndBlink(14, true); return true;
    case 'c':
        DoorTextAttr(7);
        DoorClrScr();
        DoorWrite("\r\n\r\n");
        return true;
    case 'd': DoorWrite("\b"); return true;
    case 'x': DoorWrite(" "); return true;
    case '\\': DoorWrite("\r\n"); return true;
    case 'l': DoorDelay(500); return true;
    case 'w': DoorDelay(100); return true;
    case 'k': BacktickMore(); return true;
    case '|': BacktickSpinner(); return true;
    default: return false;
    }
}

} // namespace

// Writes a text holding backtick codes: the plain runs between codes, and each code's action.
void DoorWriteBacktickText(const std::string& AText) {
    const std::size_t n = AText.size();
    std::size_t i = 0;
    while (i < n) {
        if (AText[i] != '`') {
            const std::size_t next = std::min(AText.find('`', i), n);
            DoorWrite(AText.substr(i, next - i));
            i = next;
        }
        while (i < n && AText[i] == '`') {
            if (i + 1 == n) return; // a lone backtick at the end
            if (BacktickCode(AText[i + 1])) {
                i += 2;
            } else if (AText[i + 1] == 'r' && i + 2 < n) {
                const char digit = AText[i + 2];
                if (digit >= '0' && digit <= '7') DoorTextBackground(digit - '0');
                i += 3;
            } else {
                i += 2; // unrecognised codes vanish
            }
        }
    }
}
