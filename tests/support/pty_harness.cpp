// A BBS that runs a door on a pseudo-terminal, and the caller on the terminal's master side.
#include "tests/support/pty_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

using namespace std::chrono;

std::string FakeTimeLibrary() {
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu", "/usr/lib/aarch64-linux-gnu", "/usr/lib",
                            "/usr/local/lib"}) {
        const std::filesystem::path path = std::filesystem::path(dir) / "faketime/libfaketime.so.1";
        if (std::filesystem::exists(path)) return path.string();
    }
    throw std::runtime_error("libfaketime.so.1 not found (Debian package faketime)");
}

TPtyBbs::TPtyBbs() = default;

TPtyBbs::~TPtyBbs() {
    FChild.Kill();
    if (FMaster >= 0) ::close(FMaster);
}

std::string TPtyBbs::Door32Sys(int AComType, int AHandle, int AMinutes, const std::string& AAlias,
                               int ANode) {
    return Door32SysText({AComType, AHandle, "Pty BBS", 3, AAlias, 20, AMinutes, ANode});
}

void TPtyBbs::Start(const TPtyLaunch& ALaunch) {
    FChild.ExpectNone();
    std::vector<std::pair<std::string, std::string>> set = {{"LC_ALL", ALaunch.Locale}};
    set.push_back(SanitizerAcceptsPreload());
    if (!ALaunch.FakeTime.empty()) {
        set.emplace_back("LD_PRELOAD", FakeTimeLibrary());
        set.emplace_back("FAKETIME", "@" + ALaunch.FakeTime);
    }
    set.insert(set.end(), ALaunch.Env.begin(), ALaunch.Env.end());
    const TExecImage image(ALaunch.Prefix, ALaunch.Binary, ALaunch.Args, set);
    const std::string workDir = (ALaunch.WorkDir.empty() ? WorkDir() : ALaunch.WorkDir).string();

    winsize size{};
    size.ws_row = 25;
    size.ws_col = 80;
    int slave = -1;
    if (::openpty(&FMaster, &slave, nullptr, nullptr, &size) != 0) FailWithErrno("openpty");
    ::fcntl(FMaster, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    if (::tcgetattr(slave, &FModesAtStart) != 0) FailWithErrno("tcgetattr");

    const pid_t pid = ::fork();
    if (pid < 0) FailWithErrno("fork");
    if (pid == 0) {
        ::setsid();
        ::ioctl(slave, TIOCSCTTY, 0);
        ::dup2(slave, 0);
        ::dup2(slave, 1);
        ::dup2(slave, 2);
        image.Exec(workDir.c_str());
    }
    FChild.Started(pid);
    // Only the door holds the slave side now, so the door sees the hang-up when we close ours.
    ::close(slave);
}

std::optional<int> TPtyBbs::WaitExit(milliseconds ALimit) {
    FChild.WaitExit(ALimit, [this] { Pump(milliseconds(5)); });
    // What the door wrote last, up to its exit.
    Pump(milliseconds(0));
    return FChild.ExitCode();
}

void TPtyBbs::Signal(int ASignal) {
    FChild.Signal(ASignal);
}

termios TPtyBbs::ModesNow() const {
    termios modes{};
    if (FMaster < 0 || ::tcgetattr(FMaster, &modes) != 0) FailWithErrno("tcgetattr");
    return modes;
}

void TPtyBbs::Send(const std::string& ABytes) {
    std::size_t done = 0;
    while (FMaster >= 0 && done < ABytes.size()) {
        const ssize_t n = ::write(FMaster, ABytes.data() + done, ABytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) FailWithErrno("write to the door's terminal");
        done += static_cast<std::size_t>(n);
    }
}

void TPtyBbs::Pump(milliseconds ALimit) {
    if (FMaster < 0) return;
    milliseconds wait = ALimit;
    char buffer[4096];
    for (;;) {
        pollfd pfd{FMaster, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(wait.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || !(pfd.revents & POLLIN)) return;
        // EIO once the door has closed its last descriptor of the slave side.
        const ssize_t n = ::read(FMaster, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        const std::string_view bytes(buffer, static_cast<std::size_t>(n));
        FReceived.append(bytes);
        FScreen.Feed(bytes);
        wait = milliseconds(0);
    }
}

bool TPtyBbs::WaitFor(const std::string& AText, milliseconds ALimit) {
    return WaitForScreen(
        [&](const TVTermScreen&) { return FReceived.find(AText) != std::string::npos; }, ALimit);
}

bool TPtyBbs::WaitForScreen(const std::function<bool(const TVTermScreen&)>& ACondition,
                            milliseconds ALimit) {
    const auto deadline = steady_clock::now() + ALimit;
    for (;;) {
        if (ACondition(FScreen)) return true;
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        if (left.count() <= 0 || FMaster < 0) return false;
        Pump(std::min(left, milliseconds(50)));
    }
}

void TPtyBbs::Settle(milliseconds AQuiet) {
    std::size_t seen;
    do {
        seen = FReceived.size();
        Pump(AQuiet);
    } while (FReceived.size() != seen);
}

void TPtyBbs::HangUp() {
    if (FMaster >= 0) ::close(FMaster);
    FMaster = -1;
}
