// Fuzzes the command-line parser: any bytes, split at NUL into arguments, must parse without
// fault, and parsing the arguments twice over must give the same result (later options win).
#include "door/door.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool Same(const TDoorCommandLine& A, const TDoorCommandLine& B) {
    return A.DropFile == B.DropFile && A.Local == B.Local && A.Node == B.Node &&
           A.Socket == B.Socket && A.Stdio == B.Stdio;
}

std::size_t GOptions = 0;
void CountOption(char, const std::string&) {
    ++GOptions;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    std::vector<std::string> words{"door"};
    std::string word;
    for (std::size_t i = 0; i < ASize; ++i) {
        if (AData[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word += static_cast<char>(AData[i]);
        }
    }
    words.push_back(word);
    std::vector<const char*> once;
    for (const std::string& w : words) once.push_back(w.c_str());
    std::vector<const char*> twice = once;
    twice.insert(twice.end(), once.begin() + 1, once.end());

    DoorOnCLP = CountOption;
    GOptions = 0;
    const TDoorCommandLine first = DoorParseCommandLine(static_cast<int>(once.size()), once.data());
    const std::size_t options = GOptions;
    GOptions = 0;
    const TDoorCommandLine second =
        DoorParseCommandLine(static_cast<int>(twice.size()), twice.data());
    if (!Same(first, second) || GOptions != 2 * options) std::abort();
    if (first.Local && (!first.DropFile.empty() || first.Socket != -1)) std::abort();
    return 0;
}
