// The BBS and the caller around a door child process.
#include "tests/support/harness.h"

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

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;
namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const std::string& AWhat) {
    throw std::runtime_error(AWhat + ": " + std::strerror(errno));
}

std::string FakeTimeLibrary() {
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu", "/usr/lib/aarch64-linux-gnu", "/usr/lib"})
        if (fs::exists(fs::path(dir) / "faketime/libfaketime.so.1"))
            return (fs::path(dir) / "faketime/libfaketime.so.1").string();
    throw std::runtime_error("libfaketime.so.1 not found (Debian package faketime)");
}

// Pointers to the texts, ended by a null pointer, for exec.
std::vector<char*> Pointers(std::vector<std::string>& AWords) {
    std::vector<char*> result;
    for (std::string& w : AWords) result.push_back(w.data());
    result.push_back(nullptr);
    return result;
}

} // namespace

void TLine::Pump(TMs ALimit) {
    char buffer[4096];
    for (int wait = static_cast<int>(ALimit.count()); Fd >= 0 && !Ended; wait = 0) {
        pollfd pfd{Fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, wait);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return;
        const ssize_t n = ::read(Fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) { // the end of the connection, or EIO once a pty's door has gone
            Ended = true;
            return;
        }
        Received.append(buffer, static_cast<std::size_t>(n));
        Screen->Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
    }
}

void TLine::Send(const std::string& ABytes) {
    for (std::size_t done = 0; Fd >= 0 && done < ABytes.size();) {
        const ssize_t n = ::send(Fd, ABytes.data() + done, ABytes.size() - done, MSG_NOSIGNAL);
        const ssize_t m = n < 0 && errno == ENOTSOCK
                              ? ::write(Fd, ABytes.data() + done, ABytes.size() - done)
                              : n;
        if (m < 0 && errno == EINTR) continue;
        if (m <= 0) Fail("send");
        done += static_cast<std::size_t>(m);
    }
}

bool TLine::WaitFor(const std::function<bool(const TVTermScreen&)>& ACondition, TMs ALimit) {
    const auto deadline = std::chrono::steady_clock::now() + ALimit;
    while (!ACondition(*Screen)) {
        const auto left =
            std::chrono::duration_cast<TMs>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || Ended || Fd < 0) return false;
        Pump(std::min(left, TMs(50)));
    }
    return true;
}

void TLine::Close() {
    if (Fd >= 0) ::close(Fd);
    Fd = -1;
}

TBbs::TBbs() {
    char dir[] = "/tmp/glimra-e2e.XXXXXX";
    if (::mkdtemp(dir) == nullptr) Fail("mkdtemp");
    FDir = dir;
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    auto* sa = reinterpret_cast<sockaddr*>(&address);
    FCaller.Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::bind(listener, sa, length) != 0 || ::listen(listener, 1) != 0 ||
        ::getsockname(listener, sa, &length) != 0 || ::connect(FCaller.Fd, sa, length) != 0)
        Fail("connect");
    // Close-on-exec, so that no other harness's door inherits it; Start() clears it for its own.
    FBbsFd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    ::close(listener);
    if (FBbsFd < 0) Fail("accept");
    FCaller.Screen = std::make_unique<TVTermScreen>();
}

TBbs::~TBbs() {
    if (FPid > 0 && !FExit) {
        ::kill(FPid, SIGKILL);
        ::waitpid(FPid, nullptr, 0);
    }
    FCaller.Close();
    FLocal.Close();
    if (FBbsFd >= 0) ::close(FBbsFd);
    std::error_code ec;
    fs::remove_all(FDir, ec);
    fs::remove(FDir.string() + ".log", ec);
}

fs::path TBbs::Write(const std::string& AName, const std::string& AText) const {
    std::ofstream(FDir / AName, std::ios::binary) << AText;
    return FDir / AName;
}

std::string TBbs::Door32(int AType, int AHandle, const std::string& AAlias, int AMinutes,
                         int ANode) {
    std::ostringstream text; // type, handle, baud, BBS, record, real name, alias, access, ...
    text << AType << "\r\n"
         << AHandle << "\r\n38400\r\nTest BBS\r\n7\r\n"
         << AAlias << " Realname\r\n"
         << AAlias << "\r\n100\r\n"
         << AMinutes << "\r\n1\r\n"
         << ANode << "\r\n";
    return text.str();
}

void TBbs::Start(const TLaunch& ALaunch) {
    std::vector<std::pair<std::string, std::string>> set = {
        {"LC_ALL", ALaunch.Utf8 ? "C.UTF-8" : "C"}};
    if (!ALaunch.FakeTime.empty()) {
        const char* asan = std::getenv("ASAN_OPTIONS"); // a sanitized door behind a preload
        set.push_back(
            {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":verify_asan_link_order=0"});
        set.push_back({"LD_PRELOAD", FakeTimeLibrary()});
        set.push_back({"FAKETIME", "@" + ALaunch.FakeTime});
    }
    set.insert(set.end(), ALaunch.Env.begin(), ALaunch.Env.end());
    std::vector<std::string> argv{ALaunch.Binary}, envp;
    argv.insert(argv.end(), ALaunch.Args.begin(), ALaunch.Args.end());
    for (char** e = environ; *e != nullptr; ++e) {
        bool replaced = false;
        for (const auto& entry : set) replaced |= std::string(*e).rfind(entry.first + "=", 0) == 0;
        if (!replaced) envp.push_back(*e);
    }
    for (const auto& [name, value] : set) envp.push_back(name + "=" + value);
    std::vector<char*> argp = Pointers(argv), envpp = Pointers(envp);
    const std::string work = (ALaunch.WorkDir.empty() ? FDir : ALaunch.WorkDir).string();
    const std::string log = FDir.string() + ".log";

    int slave = -1;
    if (ALaunch.OnPty || ALaunch.LocalTerminal) {
        TLine& line = ALaunch.OnPty ? FCaller : FLocal;
        line.Close();
        winsize size{25, 80, 0, 0};
        if (::openpty(&line.Fd, &slave, nullptr, nullptr, &size) != 0) Fail("openpty");
        ::fcntl(line.Fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave, F_SETFD, FD_CLOEXEC);
        ::tcgetattr(slave, &ModesAtStart);
        line.Screen = std::make_unique<TVTermScreen>(false, !ALaunch.Utf8);
    }
    FPid = ::fork();
    if (FPid < 0) Fail("fork");
    if (FPid == 0) {
        if (slave >= 0) {
            ::setsid();
            ::ioctl(slave, TIOCSCTTY, 0);
            for (int fd : {0, 1, 2}) ::dup2(slave, fd);
        } else {
            ::dup2(::open("/dev/null", O_RDONLY), 0);
            const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        if (!ALaunch.OnPty) ::fcntl(FBbsFd, F_SETFD, 0);
        for (int fd : ALaunch.InheritFds) ::fcntl(fd, F_SETFD, 0);
        if (::chdir(work.c_str()) != 0) ::_exit(126);
        ::execve(argp[0], argp.data(), envpp.data());
        ::_exit(127);
    }
    if (slave >= 0) ::close(slave); // the door holds the only copy: closing the master hangs up
}

std::optional<int> TBbs::WaitExit(TMs ALimit) {
    const auto deadline = std::chrono::steady_clock::now() + ALimit;
    while (!FExit && FPid > 0) {
        int status = 0;
        if (::waitpid(FPid, &status, WNOHANG) == FPid) {
            FExit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) break;
        // Terminals are drained meanwhile: a door never blocks on its output.
        FLocal.Pump(0ms);
        (FCaller.Fd >= 0 && !FCaller.Ended ? FCaller : FLocal).Pump(5ms);
        if (FLocal.Fd < 0 && (FCaller.Fd < 0 || FCaller.Ended)) ::usleep(5000);
    }
    return FExit;
}

void TBbs::Signal(int ASignal) {
    if (FPid > 0 && !FExit) ::kill(FPid, ASignal);
}

std::string TBbs::Log() const {
    std::ifstream in(FDir.string() + ".log", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

termios TBbs::Modes() const {
    termios modes{};
    ::tcgetattr(FLocal.Fd >= 0 ? FLocal.Fd : FCaller.Fd, &modes);
    return modes;
}

bool TBbs::WaitFor(const std::function<bool(const TVTermScreen&)>& ACondition, TMs ALimit) {
    const auto deadline = std::chrono::steady_clock::now() + ALimit;
    for (;;) {
        FLocal.Pump(0ms);
        if (FCaller.WaitFor(ACondition, 50ms)) return true;
        if (std::chrono::steady_clock::now() >= deadline || FCaller.Ended) return false;
    }
}

bool TBbs::See(const std::string& AText, TMs ALimit) {
    return WaitFor([&](const TVTermScreen& AScreen) { return AScreen.Shows(AText); }, ALimit);
}

bool TBbs::See(int ACol, int ARow, const std::string& AText, TMs ALimit) {
    return WaitFor(
        [&](const TVTermScreen& S) { return Text(S, ACol, ARow, AText.size()) == AText; }, ALimit);
}

void TBbs::Settle(TMs AQuiet) {
    for (std::size_t seen = SIZE_MAX; seen != FCaller.Received.size();) {
        seen = FCaller.Received.size();
        FLocal.Pump(0ms);
        FCaller.Pump(AQuiet);
    }
}

std::size_t TBbs::Flood(const std::string& ABytes, TMs ALimit) {
    const auto deadline = std::chrono::steady_clock::now() + ALimit;
    std::size_t done = 0;
    while (done < ABytes.size() && std::chrono::steady_clock::now() < deadline && Running()) {
        pollfd pfd{FCaller.Fd, POLLIN | POLLOUT, 0};
        if (::poll(&pfd, 1, 20) <= 0) continue;
        if (pfd.revents & POLLIN) FCaller.Pump(0ms);
        if (!(pfd.revents & POLLOUT)) continue;
        const ssize_t n =
            ::send(FCaller.Fd, ABytes.data() + done,
                   std::min<std::size_t>(ABytes.size() - done, 16384), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) done += static_cast<std::size_t>(n);
        if (n < 0 && errno != EINTR && errno != EAGAIN) break;
    }
    return done;
}

bool TBbs::Delivered(TMs ALimit) {
    const auto deadline = std::chrono::steady_clock::now() + ALimit;
    for (;;) {
        int unread = 0, unsent = 0; // not yet taken by the door, still queued at the caller
        ::ioctl(FBbsFd, FIONREAD, &unread);
        ::ioctl(FCaller.Fd, TIOCOUTQ, &unsent);
        if (unread == 0 && unsent == 0) return true;
        if (std::chrono::steady_clock::now() >= deadline || !Running()) return false;
        FCaller.Pump(20ms);
    }
}

bool TBbs::HandedBack() {
    if (WaitExit(10s) != 0) return false;
    const std::string back = "Back at the BBS";
    ::send(FBbsFd, back.data(), back.size(), MSG_NOSIGNAL);
    if (!FCaller.WaitFor(
            [&](const TVTermScreen&) { return FCaller.Received.find(back) != std::string::npos; },
            2s))
        return false;
    FCaller.Send("menu");
    pollfd pfd{FBbsFd, POLLIN, 0};
    char reply[8] = {};
    return ::poll(&pfd, 1, 2000) > 0 && ::recv(FBbsFd, reply, 4, MSG_WAITALL) == 4 &&
           std::string(reply) == "menu";
}

std::string Text(const TVTermScreen& AScreen, int ACol, int ARow, std::size_t ALength) {
    return AScreen.RowText(ARow).substr(static_cast<std::size_t>(ACol - 1), ALength);
}
