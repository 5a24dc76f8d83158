// Shared by the end-to-end harnesses: a scratch directory for the door, the DOOR32.SYS it reads,
// and the door as a child process (its command line and environment made ready before fork, its
// exit code once reaped).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Throws the failure of AWhat with the text of errno.
[[noreturn]] void FailWithErrno(const std::string& AWhat);

// A fresh directory under /tmp (named after APattern, which ends in XXXXXX) with a "work"
// directory in it; removed with everything in it at the end.
class TScratchDir {
  public:
    explicit TScratchDir(const std::string& APattern);
    ~TScratchDir();
    TScratchDir(const TScratchDir&) = delete;
    TScratchDir& operator=(const TScratchDir&) = delete;

    const std::filesystem::path& Root() const { return FRoot; }
    const std::filesystem::path& Work() const { return FWork; }
    // Writes a file into the work directory and returns its path.
    std::filesystem::path WriteFile(const std::string& AName, const std::string& AText) const;

  private:
    std::filesystem::path FRoot;
    std::filesystem::path FWork;
};

// What a DOOR32.SYS says: connection type (0 local, 2 telnet), handle, BBS name, user record
// (1-based), alias, access level, minutes left and node; the caller always has ANSI.
struct TDoor32Sys {
    int ComType;
    int Handle;
    std::string BbsName;
    int Record;
    std::string Alias;
    int Access;
    int Minutes;
    int Node;
};

// The eleven CRLF-ended lines of the drop file; the real name is the alias and " Realname".
std::string Door32SysText(const TDoor32Sys& AInfo);

// The command line and environment of a child, built before fork() so that the child only calls
// async-signal-safe code.
class TExecImage {
  public:
    // APrefix, then ABinary, then AArgs; the test's environment with ASet replacing or adding
    // entries, in order.
    TExecImage(const std::vector<std::string>& APrefix, const std::string& ABinary,
               const std::vector<std::string>& AArgs,
               const std::vector<std::pair<std::string, std::string>>& ASet);
    TExecImage(const TExecImage&) = delete;
    TExecImage& operator=(const TExecImage&) = delete;

    // In the child: changes to AWorkDir and runs the program; exits 126 or 127 when it cannot.
    [[noreturn]] void Exec(const char* AWorkDir) const;

  private:
    std::vector<std::string> FWords;
    std::vector<std::string> FEnvironment;
    std::vector<char*> FArgv;
    std::vector<char*> FEnvp;
};

// The ASAN_OPTIONS entry that lets a sanitized door start behind a preloaded library (faketime),
// keeping the options the test runs with.
std::pair<std::string, std::string> SanitizerAcceptsPreload();

// A child process once forked: its exit code when reaped, killed and reaped if still running
// at Kill() or at the end.
class TChildProcess {
  public:
    TChildProcess() = default;
    ~TChildProcess() { Kill(); }
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    void Started(pid_t APid) { FPid = APid; }
    pid_t Pid() const { return FPid; }
    // Throws when a child is already started.
    void ExpectNone() const;
    // The exit code (128 + signal when a signal killed it), or nothing when the child is still
    // running after ALimit. AMeanwhile runs between the checks.
    std::optional<int> WaitExit(std::chrono::milliseconds ALimit,
                                const std::function<void()>& AMeanwhile);
    const std::optional<int>& ExitCode() const { return FExitCode; }
    void Signal(int ASignal);
    void Kill();

  private:
    pid_t FPid = -1;
    std::optional<int> FExitCode;
};
