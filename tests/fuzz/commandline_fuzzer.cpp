// Fuzzes the command-line parser: any bytes, split at NUL into arguments, must parse without
// fault, and parsing the arguments twice over must give the same result (later options win).
#include "door/door.h"
#include "door/startup.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::size_t GOptions = 0;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    std::vector<std::string> words{"door", ""};
    for (std::size_t i = 0; i < ASize; ++i)
        AData[i] ? void(words.back() += char(AData[i])) : void(words.emplace_back());
    std::vector<const char*> twice;
    for (int pass = 0; pass < 2; ++pass)
        for (std::size_t i = pass; i < words.size(); ++i) twice.push_back(words[i].c_str());
    DoorOnCLP = [](char, const std::string&) { ++GOptions; };
    GOptions = 0;
    const TDoorCommandLine once =
        DoorParseCommandLine(static_cast<int>(words.size()), twice.data());
    const std::size_t options = GOptions;
    const TDoorCommandLine both =
        DoorParseCommandLine(static_cast<int>(twice.size()), twice.data());
    if (once.DropFile != both.DropFile || once.Local != both.Local || once.Node != both.Node ||
        once.Socket != both.Socket || once.Stdio != both.Stdio || GOptions != 3 * options ||
        (once.Local && (!once.DropFile.empty() || once.Socket != -1)))
        std::abort();
    return 0;
}
