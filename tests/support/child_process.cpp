// The scratch directory and the child process shared by the end-to-end harnesses.
#include "tests/support/child_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

void FailWithErrno(const std::string& AWhat) {
    throw std::runtime_error(AWhat + ": " + std::strerror(errno));
}

TScratchDir::TScratchDir(const std::string& APattern) {
    std::string root = APattern;
    if (::mkdtemp(root.data()) == nullptr) FailWithErrno("mkdtemp");
    FRoot = root;
    FWork = FRoot / "work";
    std::filesystem::create_directory(FWork);
}

TScratchDir::~TScratchDir() {
    std::error_code error;
    std::filesystem::remove_all(FRoot, error);
}

std::filesystem::path TScratchDir::WriteFile(const std::string& AName,
                                             const std::string& AText) const {
    const std::filesystem::path path = FWork / AName;
    std::ofstream out(path, std::ios::binary);
    out << AText;
    if (!out) throw std::runtime_error("cannot write " + path.string());
    return path;
}

std::string Door32SysText(const TDoor32Sys& AInfo) {
    std::ostringstream text;
    text << AInfo.ComType << "\r\n"
         << AInfo.Handle << "\r\n"
         << "38400\r\n" // baud
         << AInfo.BbsName << "\r\n"
         << AInfo.Record << "\r\n"
         << AInfo.Alias << " Realname\r\n"
         << AInfo.Alias << "\r\n"
         << AInfo.Access << "\r\n"
         << AInfo.Minutes << "\r\n"
         << "1\r\n" // ANSI
         << AInfo.Node << "\r\n";
    return text.str();
}

namespace {

std::vector<char*> Pointers(std::vector<std::string>& AWords) {
    std::vector<char*> result;
    for (std::string& w : AWords) result.push_back(w.data());
    result.push_back(nullptr);
    return result;
}

} // namespace

TExecImage::TExecImage(const std::vector<std::string>& APrefix, const std::string& ABinary,
                       const std::vector<std::string>& AArgs,
                       const std::vector<std::pair<std::string, std::string>>& ASet)
    : FWords(APrefix) {
    FWords.push_back(ABinary);
    FWords.insert(FWords.end(), AArgs.begin(), AArgs.end());
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const auto& [name, value] : ASet)
            replaced = replaced || entry.rfind(name + "=", 0) == 0;
        if (!replaced) FEnvironment.push_back(entry);
    }
    for (const auto& [name, value] : ASet) FEnvironment.push_back(name + "=" + value);
    FArgv = Pointers(FWords);
    FEnvp = Pointers(FEnvironment);
}

void TExecImage::Exec(const char* AWorkDir) const {
    if (::chdir(AWorkDir) != 0) ::_exit(126);
    ::execvpe(FArgv[0], FArgv.data(), FEnvp.data());
    ::_exit(127);
}

std::pair<std::string, std::string> SanitizerAcceptsPreload() {
    const char* asan = std::getenv("ASAN_OPTIONS");
    return {"ASAN_OPTIONS", std::string(asan != nullptr ? asan : "") +
                                (asan != nullptr && *asan != 0 ? ":" : "") +
                                "verify_asan_link_order=0"};
}

void TChildProcess::ExpectNone() const {
    if (FPid > 0) throw std::logic_error("a door is already started");
}

std::optional<int> TChildProcess::WaitExit(std::chrono::milliseconds ALimit,
                                           const std::function<void()>& AMeanwhile) {
    if (FPid <= 0) throw std::logic_error("no door was started");
    const auto deadline = std::chrono::steady_clock::now() + ALimit;
    while (!FExitCode) {
        int status = 0;
        const pid_t r = ::waitpid(FPid, &status, WNOHANG);
        if (r == FPid) {
            if (WIFEXITED(status)) {
                FExitCode = WEXITSTATUS(status);
            } else if (WIFSIGNALED(status)) {
                FExitCode = 128 + WTERMSIG(status);
            }
            break;
        }
        if (r < 0 && errno != EINTR) FailWithErrno("waitpid");
        if (std::chrono::steady_clock::now() >= deadline) break;
        AMeanwhile();
    }
    return FExitCode;
}

void TChildProcess::Signal(int ASignal) {
    if (FPid > 0 && !FExitCode) ::kill(FPid, ASignal);
}

void TChildProcess::Kill() {
    if (FPid > 0 && !FExitCode) {
        ::kill(FPid, SIGKILL);
        int status = 0;
        ::waitpid(FPid, &status, 0);
        FExitCode = 128 + SIGKILL;
    }
}
