// The backtick codes, carried out as a text is written (DoorSession.TrelmWrite).
#pragma once

#include <string>

// Writes a text holding backtick codes: the plain runs between codes, and each code's action.
void DoorWriteBacktickText(const std::string& AText);
