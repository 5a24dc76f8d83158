// Text helpers of the door kit: pipe colour codes, backtick code removal, the time formats of the
// status bar, upper case, and the one reader of whole numbers written in text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Pipe codes (a vertical bar and two hexadecimal digits) replaced by their ANSI colour sequence;
// ACurrent is the caller's attribute before the text.
std::string PipeToAnsi(const std::string& AText, std::uint8_t ACurrent);

// Backtick codes removed, as they are when a text is measured for centring.
std::string TrelmStrip(const std::string& AText);

// Hours, minutes and seconds joined by colons, each at least two digits: 3600 gives 01:00:00.
std::string SecToHMS(std::int32_t ASec);

// Minutes and seconds joined by a colon, each at least two digits: 75 gives 01:15.
std::string SecToMS(std::int32_t ASec);

// A number padded on the left with zeros to at least two characters: 5 gives 05, 12 gives 12;
// a sign counts as a character.
std::string TwoDigits(std::int32_t AValue);

// The letters a to z in upper case; every other byte, CP437 letters included, unchanged.
char UpperCase(char AChar);
std::string UpperCase(std::string AText);

// A 64-bit result held to the 32-bit range, so that absurd values cannot overflow.
std::int32_t Clamp32(std::int64_t AValue);

// What may stand around the decimal digits of a whole number read by ReadInteger. Blanks are
// spaces and tabs.
enum class TIntegerText {
    Digits,       // the digits alone (a day the caller typed, a date part)
    Signed,       // blanks before, then a sign + or - (drop files, the command line)
    SignedPadded, // as Signed, and blanks after the digits too (a configuration line)
    FileField,    // as SignedPadded, and a UTF-8 byte-order mark first (a drop file's line: an
                  // editor may put one at the start of the file)
};

// What ReadInteger does with a number beyond the 32-bit signed range.
enum class TIntegerRange {
    Reject, // nothing
    Clamp,  // the nearest value in the range (a drop file's minutes left: huge means plenty)
};

// The whole of AText as a decimal number in the 32-bit signed range, or nothing when it holds
// anything else (no digits, other characters, a number out of range unless clamped). Any number
// of digits is read.
std::optional<std::int32_t> ReadInteger(std::string_view AText, TIntegerText AForm,
                                        TIntegerRange ARange = TIntegerRange::Reject);
