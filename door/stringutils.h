// Text helpers of the door kit: pipe colour codes, backtick code removal and the time formats
// of the status bar.
#pragma once

#include <cstdint>
#include <string>

// Pipe codes (a vertical bar and two hexadecimal digits) replaced by their ANSI colour sequence.
std::string PipeToAnsi(const std::string& AText);

// Backtick codes removed, as they are when a text is measured for centring.
std::string TrelmStrip(const std::string& AText);

// Hours, minutes and seconds joined by colons, each at least two digits: 3600 gives 01:00:00.
std::string SecToHMS(std::int32_t ASec);

// Minutes and seconds joined by a colon, each at least two digits: 75 gives 01:15.
std::string SecToMS(std::int32_t ASec);
