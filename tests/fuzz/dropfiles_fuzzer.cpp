// Fuzzes the drop file readers: any bytes as a drop file of every format, which must never
// crash, read out of bounds or keep more of a line than the readers' cap.
#include "door/door.h"
#include "door/dropfiles.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    static const std::string path = "/tmp/dropfiles-fuzz-" + std::to_string(::getpid());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(AData, 1, ASize, f);
    std::fclose(f);
    for (auto read : {ReadDoor32, ReadDoorSys, ReadDorInfo, ReadLordInfo}) {
        DoorDropInfo = TDoorDropInfo{};
        read(path);
        if (DoorDropInfo.Alias.size() > 4096 || DoorDropInfo.RealName.size() > 2 * 4096 + 1)
            std::abort();
    }
    std::remove(path.c_str());
    return 0;
}
