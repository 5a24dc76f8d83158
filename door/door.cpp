// The kit's public face: the replaceable hooks with their defaults, the allowed-character sets
// of the line editor, and whether a caller is connected.
#include "door/door.h"

#include "door/state.h"

#include <cstring>

void (*DoorOnCLP)(char AKey, const std::string& AValue) = nullptr;
TDoorProc DoorOnHangup = DefaultOnHangup;
TDoorProc DoorOnLocalLogin = DefaultOnLocalLogin;
TDoorProc DoorOnStatusBar = DefaultOnStatusBar;
bool (*DoorOnSysopKey)(char AKey) = nullptr;
TDoorProc DoorOnTimeOut = DefaultOnTimeOut;
void (*DoorOnTimeOutWarning)(std::uint8_t AMinutes) = nullptr;
TDoorProc DoorOnTimeUp = DefaultOnTimeUp;
void (*DoorOnTimeUpWarning)(std::uint8_t AMinutes) = nullptr;
TDoorProc DoorOnUsage = DefaultOnUsage;

void DoorResetHooks() {
    DoorOnCLP = nullptr;
    DoorOnHangup = DefaultOnHangup;
    DoorOnLocalLogin = DefaultOnLocalLogin;
    DoorOnStatusBar = DefaultOnStatusBar;
    DoorOnSysopKey = nullptr;
    DoorOnTimeOut = DefaultOnTimeOut;
    DoorOnTimeOutWarning = nullptr;
    DoorOnTimeUp = DefaultOnTimeUp;
    DoorOnTimeUpWarning = nullptr;
    DoorOnUsage = DefaultOnUsage;
}

namespace {

std::string PrintableRange(char AFirst, char ALast) {
    std::string s;
    for (char c = AFirst; c <= ALast; ++c) s += c;
    return s;
}

std::string FileNameCharacters() {
    std::string s = PrintableRange(' ', '~');
    std::erase_if(s, [](char c) { return std::strchr("\"*/<>?`|", c) != nullptr; });
    return s;
}

} // namespace

const std::string DOOR_INPUT_CHARS_ALL = PrintableRange(' ', '~');
const std::string DOOR_INPUT_CHARS_ALPHA = PrintableRange('A', 'Z') + PrintableRange('a', 'z');
const std::string DOOR_INPUT_CHARS_NUMERIC = PrintableRange('0', '9');
const std::string DOOR_INPUT_CHARS_FILENAME = FileNameCharacters();

bool DoorLocal() {
    return DoorDropInfo.ComType == 0;
}
