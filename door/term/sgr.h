// The SGR side of the 16-colour palette, shared by the emulator, the sequence builders and the
// terminal console.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// Base palette colour (0-7) to SGR colour offset and back: the table is its own inverse.
extern const std::array<std::int32_t, 8> AnsiColours;

// Appends the SGR sequence that shows attribute AAttr on a terminal: the 16 colours as the
// terminal's colours (bright ones as 90-97 when AUtf8, else as bold), blink as blink.
void AnsiAppendPen(std::string& AOut, std::uint8_t AAttr, bool AUtf8);
