// The CP437 code page as Unicode: the glyph of every byte, its UTF-8 form and the way back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The glyph of each byte as the PC shows it on screen, control bytes included (0x01 is a smiling
// face, 0x7F a house); byte 0 has no glyph and maps to U+0000.
extern const char32_t Cp437ToUnicode[256];

// Writes the UTF-8 encoding of byte AByte's glyph (byte 0 as a blank) to AOut and returns its
// length, 1 to 3. No glyph's encoding holds byte 0xFE or 0xFF.
std::size_t Cp437Utf8(std::uint8_t AByte, char AOut[3]);
// Appends the UTF-8 encoding of byte AByte's glyph to AOut (byte 0 as a blank).
void Cp437AppendUtf8(std::string& AOut, std::uint8_t AByte);

// The CP437 byte whose glyph is ACode, or -1 when there is none. ASCII printable characters map
// to themselves before any control-byte glyph is considered.
int UnicodeToCp437(char32_t ACode);

// Length of the UTF-8 sequence that starts with ALead, or 0 when it cannot start one.
std::size_t Utf8SequenceLength(unsigned char ALead);
// The character of a complete UTF-8 sequence of ACount bytes (ACount from Utf8SequenceLength).
char32_t Utf8DecodeChar(const unsigned char* ABytes, std::size_t ACount);
