// Local time, the environment, the program's file and standard output on POSIX.
#include "door/platform/system.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <unistd.h>

std::tm SystemLocalTime(std::time_t ATime) {
    std::tm local{};
    localtime_r(&ATime, &local);
    return local;
}

std::string SystemEnvironment(const char* AName) {
    const char* value = std::getenv(AName);
    return value != nullptr ? value : "";
}

std::string SystemProgramPath() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).string();
}

namespace {

void WriteAll(int AFd, const std::string& AText) {
    std::size_t done = 0;
    while (done < AText.size()) {
        const ssize_t n = ::write(AFd, AText.data() + done, AText.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

void SystemWriteStdout(const std::string& AText) {
    WriteAll(STDOUT_FILENO, AText);
}

void SystemWriteStderr(const std::string& AText) {
    WriteAll(STDERR_FILENO, AText);
}
