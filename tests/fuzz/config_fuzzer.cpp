// Fuzzes the configuration reader: any bytes as "bbsglimra.cfg", its first line padded so that
// line ends fall on the reader's buffer boundaries, must give what a plain reading of the first
// three lines gives.
#include "game/config.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// The first three lines of AText; a line ends at CR, LF or CR LF, and the last one needs none.
std::vector<std::string> FirstLines(const std::string& AText) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (lines.size() < 3 && start < AText.size()) {
        const std::size_t end = AText.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(AText.substr(start));
            break;
        }
        lines.push_back(AText.substr(start, end - start));
        start = end + (AText.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

// A whole number from 1 up, blanks around it and a plus sign allowed; anything else is none.
std::optional<std::int32_t> IdleLimit(const std::string& ALine) {
    const std::size_t first = ALine.find_first_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    std::string digits = ALine.substr(first, ALine.find_last_not_of(' ') - first + 1);
    if (digits[0] == '+') digits.erase(0, 1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    long long value = 0;
    for (char c : digits) {
        value = value * 10 + (c - '0');
        if (value > INT32_MAX) return std::nullopt;
    }
    if (value < 1) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    if (ASize < 2) return 0;
    static const std::string path = "/tmp/config-fuzz-" + std::to_string(::getpid());
    const std::size_t padding = (AData[0] | (AData[1] << 8)) % 8200;
    const std::string text = std::string(padding, 'x') +
                             std::string(reinterpret_cast<const char*>(AData + 2), ASize - 2);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);

    TConfigValues values;
    std::string error;
    if (!ReadConfigFile(path, values, error)) std::abort();
    const std::vector<std::string> lines = FirstLines(text);
    if (values.LinesRead != static_cast<std::int32_t>(lines.size())) std::abort();
    if (values.CheckVersion != (!lines.empty() && lines[0] == "1")) std::abort();
    const auto idle = lines.size() > 1 ? IdleLimit(lines[1].substr(0, 1024)) : std::nullopt;
    if (values.MaxIdle != idle) std::abort();
    if (values.WinnerText != (lines.size() > 2 ? lines[2].substr(0, 1024) : std::string()))
        std::abort();
    std::remove(path.c_str());
    return 0;
}
