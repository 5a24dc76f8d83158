// Direct writes into the local screen buffer, outside the text window and the cursor (the
// status bar uses them).
#pragma once

#include <cstdint>
#include <string>

// Writes AText in attribute AAttr at column AX, row AY of the 80x25 console (absolute, whatever
// the window), cut at column 80; the cursor and the local attribute stay as they are and nothing
// scrolls. Positions outside the console do nothing.
void FastWrite(const std::string& AText, std::uint8_t AX, std::uint8_t AY, std::uint8_t AAttr);
