// The drawing helpers, header art, letter-state colours and the shown form of stored names.
#include "game/screens/theme.h"

#include "door/door.h"

void WriteAt(std::uint8_t AX, std::uint8_t AY, const std::string& AText) {
    DoorGotoXY(AX, AY);
    DoorWrite(AText);
}

void DrawRule(char ABar) {
    DoorTextColour(COLOUR_GREEN);
    DoorWrite(" " + std::string(78, ABar));
}

void PressAnyKeyToContinue() {
    DoorTextColour(COLOUR_YELLOW);
    DoorWriteCentered(PRESS_ANY_KEY);
    DoorTextColour(COLOUR_BLACK);
    DoorReadKey();
}

void DisplayHeader() {
    DoorGotoXY(0, 0);
    DoorTextColour(COLOUR_HEADING);
    DoorDisplayFile("header.ans");
}

void DisplayNewHeader() {
    DoorGotoXY(0, 0);
    DoorTextColour(COLOUR_HEADING);
    DoorDisplayFile("del_glimra.ans");
}

void SetGreen() {
    DoorTextBackground(COLOUR_GREEN);
    DoorTextColour(COLOUR_BLACK);
}

void SetOrange() {
    DoorTextBackground(COLOUR_YELLOW);
    DoorTextColour(COLOUR_BLACK);
}

void SetGray() {
    DoorTextBackground(COLOUR_LIGHT_GRAY);
    DoorTextColour(COLOUR_BLACK);
}

std::string ShownName(const std::string& AName, std::size_t AWidth) {
    std::string shown = AName.substr(0, AWidth);
    for (char& ch : shown) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte == 0x7F)
            ch = '?';
        else if (ch == '|')
            ch = '\xB3';
    }
    return shown;
}

std::string ShownNameCell(const std::string& AName, std::size_t AWidth, std::size_t AColumns) {
    std::string cell = ShownName(AName, AWidth);
    if (AName.size() < AColumns) cell.append(AColumns - AName.size(), ' ');
    return cell;
}

std::string PlayerText(const std::string& AUserName, const std::string& ABoard,
                       std::size_t AWidth) {
    if (ABoard.empty()) return AUserName.substr(0, AWidth);
    const std::string tag = "@" + ABoard;
    if (tag.size() >= AWidth) return tag.substr(0, AWidth);
    return AUserName.substr(0, AWidth - tag.size()) + tag;
}

std::string PlayerName(const std::string& AUserName, const std::string& ABoard,
                       std::size_t AWidth) {
    return ShownName(PlayerText(AUserName, ABoard, AWidth), AWidth);
}

std::string PlayerNameCell(const std::string& AUserName, const std::string& ABoard,
                           std::size_t AWidth, std::size_t AColumns) {
    std::string cell = PlayerName(AUserName, ABoard, AWidth);
    const std::size_t whole = AUserName.size() + (ABoard.empty() ? 0 : ABoard.size() + 1);
    if (whole < AColumns) cell.append(AColumns - whole, ' ');
    return cell;
}
