// Fuzzes the readers of the files a BBS or a sysop hands the door: any bytes as a drop file of
// every format (never more of a line than the readers' cap) and as "bbsglimra.cfg", whose first
// line, padded so that line ends fall on the reader's buffer boundaries, must not change how the
// rest reads.
#include "door/door.h"
#include "door/dropfiles.h"
#include "game/app/config.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace {

const std::string kPath = "/tmp/files-fuzz-" + std::to_string(::getpid());

void Write(const std::string& AText) {
    std::FILE* f = std::fopen(kPath.c_str(), "wb");
    std::fwrite(AText.data(), 1, AText.size(), f);
    std::fclose(f);
}

TConfigValues ReadConfig(const std::string& AText) {
    Write(AText);
    TConfigValues values;
    std::string error;
    if (!ReadConfigFile(kPath, values, error)) std::abort();
    return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    if (ASize < 2) return 0;
    const std::string text(reinterpret_cast<const char*>(AData + 2), ASize - 2);
    Write(text);
    for (auto read : {ReadDoor32, ReadDoorSys, ReadDorInfo, ReadLordInfo}) {
        DoorDropInfo = TDoorDropInfo{};
        read(kPath);
        if (DoorDropInfo.Alias.size() > 4096 || DoorDropInfo.RealName.size() > 2 * 4096 + 1)
            std::abort();
    }
    const std::size_t padding = (AData[0] | (AData[1] << 8)) % 8200;
    const TConfigValues plain = ReadConfig("x" + text);
    const TConfigValues padded = ReadConfig(std::string(padding + 1, 'x') + text);
    // Line 1 starts with x in both, so it never switches the check on; the rest must agree.
    if (plain.CheckVersion || padded.CheckVersion || plain.MaxIdle != padded.MaxIdle ||
        plain.WinnerText != padded.WinnerText || plain.LinesRead != padded.LinesRead ||
        plain.WinnerText.size() > 1024 || (plain.MaxIdle && *plain.MaxIdle < 1))
        std::abort();
    std::remove(kPath.c_str());
    return 0;
}
