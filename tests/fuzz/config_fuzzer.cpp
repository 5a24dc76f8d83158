// Fuzzes the configuration reader: any bytes as "bbsglimra.cfg", its first line padded so that
// line ends fall on the reader's buffer boundaries, must read as the same text without padding.
#include "game/config.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace {

TConfigValues Read(const std::string& AText) {
    static const std::string path = "/tmp/config-fuzz-" + std::to_string(::getpid());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(AText.data(), 1, AText.size(), f);
    std::fclose(f);
    TConfigValues values;
    std::string error;
    if (!ReadConfigFile(path, values, error)) std::abort();
    std::remove(path.c_str());
    return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    if (ASize < 2) return 0;
    const std::string text(reinterpret_cast<const char*>(AData + 2), ASize - 2);
    const std::size_t padding = (AData[0] | (AData[1] << 8)) % 8200;
    const TConfigValues plain = Read("x" + text),
                        padded = Read(std::string(padding + 1, 'x') + text);
    // Line 1 starts with x in both, so it never switches the check on; the rest must agree.
    if (plain.CheckVersion || padded.CheckVersion || plain.MaxIdle != padded.MaxIdle ||
        plain.WinnerText != padded.WinnerText || plain.LinesRead != padded.LinesRead ||
        plain.WinnerText.size() > 1024 || (plain.MaxIdle && *plain.MaxIdle < 1))
        std::abort();
    return 0;
}
