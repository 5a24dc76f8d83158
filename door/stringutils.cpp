// Text helpers of the door kit: pipe colour codes, backtick code removal, time formats, upper
// case and whole numbers.
#include "door/stringutils.h"

#include "door/term/ansi.h"

#include <algorithm>
#include <limits>

namespace {

// Value of one hexadecimal digit in either case, or -1.
int HexValue(char AChar) {
    if (AChar >= '0' && AChar <= '9') return AChar - '0';
    if (AChar >= 'A' && AChar <= 'F') return AChar - 'A' + 10;
    if (AChar >= 'a' && AChar <= 'f') return AChar - 'a' + 10;
    return -1;
}

bool IsBlank(char AChar) {
    return AChar == ' ' || AChar == '\t';
}

} // namespace

std::string TwoDigits(std::int32_t AValue) {
    std::string s = std::to_string(AValue);
    if (s.size() < 2) s.insert(0, 2 - s.size(), '0');
    return s;
}

char UpperCase(char AChar) {
    return AChar >= 'a' && AChar <= 'z' ? static_cast<char>(AChar - 'a' + 'A') : AChar;
}

std::string UpperCase(std::string AText) {
    for (char& c : AText) c = UpperCase(c);
    return AText;
}

std::int32_t Clamp32(std::int64_t AValue) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(AValue, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()));
}

std::optional<std::int32_t> ReadInteger(std::string_view AText, TIntegerText AForm,
                                        TIntegerRange ARange) {
    std::size_t i = 0;
    std::size_t end = AText.size();
    bool negative = false;
    if (AForm == TIntegerText::FileField && AText.starts_with("\xEF\xBB\xBF")) i = 3;
    if (AForm != TIntegerText::Digits) {
        while (i < end && IsBlank(AText[i])) ++i;
        if (AForm == TIntegerText::SignedPadded || AForm == TIntegerText::FileField)
            while (end > i && IsBlank(AText[end - 1])) --end;
        if (i < end && (AText[i] == '+' || AText[i] == '-')) negative = AText[i++] == '-';
    }
    if (i == end) return std::nullopt;
    // Held at one past the largest value, which still tells an overflow in either direction.
    constexpr std::int64_t kBeyond = std::int64_t{1} << 32;
    std::int64_t value = 0;
    for (; i < end; ++i) {
        if (AText[i] < '0' || AText[i] > '9') return std::nullopt;
        value = std::min(value * 10 + (AText[i] - '0'), kBeyond);
    }
    if (negative) value = -value;
    if (Clamp32(value) != value && ARange == TIntegerRange::Reject) return std::nullopt;
    return Clamp32(value);
}

std::string PipeToAnsi(const std::string& AText, std::uint8_t ACurrent) {
    if (AText.size() < 3) return AText;
    std::string result;
    result.reserve(AText.size());
    for (std::size_t i = 0; i < AText.size(); ++i) {
        const char c = AText[i];
        if (c == '|' && i + 2 < AText.size()) {
            const int high = HexValue(AText[i + 1]);
            const int low = HexValue(AText[i + 2]);
            if (high >= 0 && low >= 0) {
                // The blink bit is never taken from a pipe code.
                result += AnsiTextAttr(static_cast<std::uint8_t>((high * 16 + low) & 0x7F), ACurrent);
                i += 2;
                continue;
            }
        }
        result += c;
    }
    return result;
}

std::string TrelmStrip(const std::string& AText) {
    std::string result;
    result.reserve(AText.size());
    std::size_t i = 0;
    while (i < AText.size()) {
        if (AText[i] != '`') {
            result += AText[i++];
        } else if (i + 1 < AText.size() && AText[i + 1] == 'r') {
            i += 3; // background code: backtick, r and its digit
        } else {
            i += 2; // any other code, or a lone backtick at the end
        }
    }
    return result;
}

std::string SecToHMS(std::int32_t ASec) {
    const std::int32_t rest = ASec % 3600;
    return TwoDigits(ASec / 3600) + ":" + TwoDigits(rest / 60) + ":" + TwoDigits(rest % 60);
}

std::string SecToMS(std::int32_t ASec) {
    return TwoDigits(ASec / 60) + ":" + TwoDigits(ASec % 60);
}
