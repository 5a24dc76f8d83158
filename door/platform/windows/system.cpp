// Local time, the environment, the program's file and standard output on Windows.
#include "door/platform/system.h"

#include <windows.h>

std::tm SystemLocalTime(std::time_t ATime) {
    std::tm local{};
    localtime_s(&local, &ATime);
    return local;
}

std::string SystemEnvironment(const char* AName) {
    char value[4096];
    const DWORD n = ::GetEnvironmentVariableA(AName, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

std::string SystemProgramPath() {
    char path[MAX_PATH * 2];
    const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
    return n > 0 && n < sizeof path ? std::string(path, n) : std::string();
}

namespace {

void WriteAll(DWORD AStdHandle, const std::string& AText) {
    // Line ends as a Windows console or file expects them.
    std::string text;
    for (char c : AText) {
        if (c == '\n') text += '\r';
        text += c;
    }
    HANDLE out = ::GetStdHandle(AStdHandle);
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD n = 0;
        if (!::WriteFile(out, text.data() + done, static_cast<DWORD>(text.size() - done), &n,
                         nullptr) ||
            n == 0)
            return;
        done += n;
    }
}

} // namespace

void SystemWriteStdout(const std::string& AText) {
    WriteAll(STD_OUTPUT_HANDLE, AText);
}

void SystemWriteStderr(const std::string& AText) {
    WriteAll(STD_ERROR_HANDLE, AText);
}
