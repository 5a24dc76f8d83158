// Fuzzes the configuration reader: any file content must give the values its first three lines
// say, split at CR, LF or CR LF, with the winner text cut to 1024 bytes.
#include "game/config.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The lines of AText, each line end being CR LF, CR or LF; a last line without an end counts.
std::vector<std::string> Lines(const std::string& AText) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < AText.size()) {
        std::size_t end = AText.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(AText.substr(start));
            break;
        }
        lines.push_back(AText.substr(start, end - start));
        start = end + (AText.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

// The file each input is written to, removed when the fuzzer ends.
struct TScratchFile {
    std::string Path = "/tmp/glimra-config-fuzz-" + std::to_string(::getpid());
    ~TScratchFile() { ::unlink(Path.c_str()); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    static const TScratchFile scratch;
    const std::string& path = scratch.Path;
    const std::string text(reinterpret_cast<const char*>(AData), ASize);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;

    TConfigValues values;
    std::string error;
    if (!ReadConfigFile(path, values, error)) std::abort();
    const std::vector<std::string> lines = Lines(text);
    const std::size_t expected = lines.size() < 3 ? lines.size() : 3;
    if (values.LinesRead != static_cast<std::int32_t>(expected)) std::abort();
    if (values.CheckVersion != (!lines.empty() && lines[0] == "1")) std::abort();
    if (values.MaxIdle.has_value() != (lines.size() > 1 && ParseIdleLimit(lines[1]).has_value()))
        std::abort();
    if (values.MaxIdle && *values.MaxIdle < 1) std::abort();
    if (values.WinnerText != (lines.size() > 2 ? lines[2].substr(0, 1024) : "")) std::abort();
    return 0;
}
