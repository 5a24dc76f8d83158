// The game date and its clock, month lengths, drawing helpers, header art, letter-state colours
// and the shown form of stored names.
#include "game/gamedate.h"

#include "door/door.h"
#include "door/platform/system.h"

#include <ctime>

std::int32_t Day = 0;
std::int32_t Month = 0;
std::int32_t Year = 0;

TGameDate GameDay(std::int32_t ADay) {
    return {Year, Month, ADay};
}

void GetToday() {
    // One reading for all three values, so a call at midnight cannot mix two dates.
    const std::tm local = SystemLocalTime(std::chrono::system_clock::to_time_t(DoorNow()));
    Day = local.tm_mday;
    Month = local.tm_mon + 1;
    Year = local.tm_year + 1900;
}

std::int32_t DaysInMonth(std::int32_t AYear, std::int32_t AMonth) {
    static constexpr std::int32_t LENGTHS[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (AMonth < 1 || AMonth > 12) return 0;
    bool leap = (AYear % 4 == 0 && AYear % 100 != 0) || AYear % 400 == 0;
    return AMonth == 2 && leap ? 29 : LENGTHS[AMonth - 1];
}

void StepMonthBack(std::int32_t& AMonth, std::int32_t& AYear) {
    if (--AMonth == 0) {
        AMonth = 12;
        --AYear;
    }
}

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
