// The BBS and the caller around a door child process, on a real TCP connection on 127.0.0.1.
#include "tests/support/bbs_harness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono;

// Waits until AFd is readable; false when ALimit passes first.
bool WaitReadable(int AFd, milliseconds ALimit) {
    pollfd pfd{AFd, POLLIN, 0};
    const auto deadline = steady_clock::now() + ALimit;
    for (;;) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        const int r = ::poll(&pfd, 1, static_cast<int>(std::max<long long>(left, 0)));
        if (r > 0) return true;
        if (r == 0 || (r < 0 && errno != EINTR)) return false;
    }
}

void SendAll(int AFd, const std::string& ABytes) {
    std::size_t done = 0;
    while (done < ABytes.size()) {
        const ssize_t n = ::send(AFd, ABytes.data() + done, ABytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) FailWithErrno("send");
        done += static_cast<std::size_t>(n);
    }
}

// Everything readable from AFd within ALimit: waits for a first byte, then takes what follows
// without a pause.
std::string ReadAvailable(int AFd, milliseconds ALimit, bool* AEnd = nullptr) {
    std::string result;
    milliseconds wait = ALimit;
    char buffer[4096];
    while (WaitReadable(AFd, wait)) {
        const ssize_t n = ::read(AFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (AEnd != nullptr) *AEnd = true;
            break;
        }
        result.append(buffer, static_cast<std::size_t>(n));
        wait = milliseconds(0);
    }
    return result;
}

} // namespace

TBbsHarness::TBbsHarness() {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) FailWithErrno("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listener);
        FailWithErrno("listen");
    }
    FCallerFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (FCallerFd < 0 ||
        ::connect(FCallerFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(listener);
        FailWithErrno("connect");
    }
    // Close-on-exec here too, so that a door started by another harness never inherits it;
    // Start() clears the flag in the child for its own door only.
    FBbsFd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    ::close(listener);
    if (FBbsFd < 0) FailWithErrno("accept");
}

TBbsHarness::~TBbsHarness() {
    FChild.Kill();
    for (int fd : {FBbsFd, FCallerFd, FPtyMaster}) {
        if (fd >= 0) ::close(fd);
    }
}

std::string TBbsHarness::Door32Sys(int AHandle, int AMinutes, const std::string& AAlias,
                                   int ANode) {
    return Door32SysText({2, AHandle, "Harness BBS", 7, AAlias, 100, AMinutes, ANode});
}

void TBbsHarness::Start(const TDoorLaunch& ALaunch) {
    FChild.ExpectNone();
    std::vector<std::pair<std::string, std::string>> env;
    if (ALaunch.LocalTerminal) env.emplace_back("LC_ALL", ALaunch.LocalUtf8 ? "C.UTF-8" : "C");
    env.push_back(SanitizerAcceptsPreload());
    env.insert(env.end(), ALaunch.Env.begin(), ALaunch.Env.end());
    const TExecImage image(ALaunch.Prefix, ALaunch.Binary, ALaunch.Args, env);

    const std::string workDir = (ALaunch.WorkDir.empty() ? WorkDir() : ALaunch.WorkDir).string();
    const std::string logPath = (FDir.Root() / "door.log").string();
    std::vector<int> inherit = ALaunch.InheritFds;
    inherit.push_back(FBbsFd);

    int ptySlave = -1;
    if (ALaunch.LocalTerminal) {
        winsize size{};
        size.ws_row = 25;
        size.ws_col = 80;
        if (::openpty(&FPtyMaster, &ptySlave, nullptr, nullptr, &size) != 0)
            FailWithErrno("openpty");
        TVTermScreen::TOptions options;
        options.Telnet = false;
        options.Cp437 = !ALaunch.LocalUtf8;
        FLocalScreen = std::make_unique<TVTermScreen>(options);
        ::fcntl(FPtyMaster, F_SETFD, FD_CLOEXEC);
        ::fcntl(ptySlave, F_SETFD, FD_CLOEXEC);
    }

    const pid_t pid = ::fork();
    if (pid < 0) FailWithErrno("fork");
    if (pid == 0) {
        if (ptySlave >= 0) {
            ::setsid();
            ::ioctl(ptySlave, TIOCSCTTY, 0);
            ::dup2(ptySlave, 0);
            ::dup2(ptySlave, 1);
            ::dup2(ptySlave, 2);
        } else {
            const int null = ::open("/dev/null", O_RDONLY);
            const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(null, 0);
            ::dup2(log, 1);
            ::dup2(log, 2);
        }
        for (int fd : inherit) ::fcntl(fd, F_SETFD, 0);
        image.Exec(workDir.c_str());
    }
    FChild.Started(pid);
    if (ptySlave >= 0) ::close(ptySlave);
}

std::optional<int> TBbsHarness::WaitExit(milliseconds ALimit) {
    return FChild.WaitExit(ALimit, [this] {
        // Keep the door's terminal drained, so that output to it never blocks the door.
        LocalPump(milliseconds(0));
        std::this_thread::sleep_for(milliseconds(5));
    });
}

bool TBbsHarness::Running() {
    return FChild.Pid() > 0 && !WaitExit(milliseconds(0));
}

void TBbsHarness::Signal(int ASignal) {
    FChild.Signal(ASignal);
}

std::string TBbsHarness::DoorLog() const {
    std::ifstream in(FDir.Root() / "door.log", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void TBbsHarness::BbsSend(const std::string& ABytes) {
    SendAll(FBbsFd, ABytes);
}

std::string TBbsHarness::BbsReceive(milliseconds ALimit) {
    return ReadAvailable(FBbsFd, ALimit);
}

void TBbsHarness::CallerSend(const std::string& ABytes) {
    SendAll(FCallerFd, ABytes);
}

void TBbsHarness::CallerPump(milliseconds ALimit) {
    if (FCallerFd < 0 || FCallerEof) return;
    const std::string bytes = ReadAvailable(FCallerFd, ALimit, &FCallerEof);
    FReceived += bytes;
    FScreen.Feed(bytes);
}

bool TBbsHarness::CallerWaitFor(const std::string& AText, milliseconds ALimit) {
    return CallerWaitForScreen(
        [&](const TVTermScreen&) { return FReceived.find(AText) != std::string::npos; }, ALimit);
}

bool TBbsHarness::CallerWaitForScreen(const std::function<bool(const TVTermScreen&)>& ACondition,
                                      milliseconds ALimit) {
    const auto deadline = steady_clock::now() + ALimit;
    for (;;) {
        if (ACondition(FScreen)) return true;
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        if (left.count() <= 0 || FCallerEof) return false;
        CallerPump(std::min(left, milliseconds(50)));
    }
}

std::size_t TBbsHarness::CallerFlood(const std::string& ABytes, milliseconds ALimit) {
    const auto deadline = steady_clock::now() + ALimit;
    std::size_t done = 0;
    while (done < ABytes.size() && FCallerFd >= 0 && steady_clock::now() < deadline && Running()) {
        pollfd pfd{FCallerFd, static_cast<short>(POLLIN | (FCallerEof ? 0 : POLLOUT)), 0};
        if (::poll(&pfd, 1, 20) <= 0) continue;
        if ((pfd.revents & POLLIN) != 0 && !FCallerEof) CallerPump(milliseconds(0));
        if ((pfd.revents & POLLOUT) == 0) continue;
        const std::size_t chunk = std::min<std::size_t>(ABytes.size() - done, 16384);
        const ssize_t n =
            ::send(FCallerFd, ABytes.data() + done, chunk, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            break;
        }
    }
    return done;
}

bool TBbsHarness::CallerWaitDelivered(milliseconds ALimit) {
    const auto deadline = steady_clock::now() + ALimit;
    for (;;) {
        // Bytes not yet taken by the door's socket, and bytes still queued on the caller's side.
        int unread = 0;
        int unsent = 0;
        if (::ioctl(FBbsFd, FIONREAD, &unread) != 0) FailWithErrno("FIONREAD");
        if (FCallerFd >= 0 && ::ioctl(FCallerFd, TIOCOUTQ, &unsent) != 0) FailWithErrno("TIOCOUTQ");
        if (unread == 0 && unsent == 0) return true;
        if (steady_clock::now() >= deadline || !Running()) return false;
        CallerPump(milliseconds(20));
    }
}

void TBbsHarness::CallerHangUp() {
    if (FCallerFd >= 0) ::close(FCallerFd);
    FCallerFd = -1;
}

void TBbsHarness::LocalSend(const std::string& ABytes) {
    std::size_t done = 0;
    while (FPtyMaster >= 0 && done < ABytes.size()) {
        const ssize_t n = ::write(FPtyMaster, ABytes.data() + done, ABytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) FailWithErrno("write to the door's terminal");
        done += static_cast<std::size_t>(n);
    }
}

void TBbsHarness::LocalPump(milliseconds ALimit) {
    if (FPtyMaster < 0) return;
    const std::string bytes = ReadAvailable(FPtyMaster, ALimit);
    FLocal += bytes;
    FLocalScreen->Feed(bytes);
}

bool TBbsHarness::LocalWaitForScreen(const std::function<bool(const TVTermScreen&)>& ACondition,
                                     milliseconds ALimit) {
    if (!FLocalScreen) throw std::logic_error("the door has no local terminal");
    const auto deadline = steady_clock::now() + ALimit;
    for (;;) {
        if (ACondition(*FLocalScreen)) return true;
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        if (left.count() <= 0 || FPtyMaster < 0) return false;
        LocalPump(std::min(left, milliseconds(50)));
    }
}

void TBbsHarness::LocalHangUp() {
    if (FPtyMaster >= 0) ::close(FPtyMaster);
    FPtyMaster = -1;
}
