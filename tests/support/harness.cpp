// The BBS and the caller around a door child process.
#include "tests/support/harness.h"

#include "tests/support/shots.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;
namespace fs = std::filesystem;

namespace {

auto Now() {
    return std::chrono::steady_clock::now();
}

std::vector<char*> Pointers(std::vector<std::string>& AWords) { // for exec
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
        if (::poll(&pfd, 1, wait) <= 0) return;
        const ssize_t n = ::read(Fd, buffer, sizeof buffer);
        Ended = n <= 0; // the end of the connection, or EIO once a pty's door has gone
        if (n > 0) Received.append(buffer, n), Screen->Feed(std::string_view(buffer, n));
        if (Answers) Send(Screen->Replies);
        Screen->Replies.clear();
    }
}

void TLine::Send(const std::string& ABytes) {
    for (std::size_t done = 0; Fd >= 0 && done < ABytes.size();) {
        const ssize_t n = ::write(Fd, ABytes.data() + done, ABytes.size() - done);
        if (n <= 0) throw std::runtime_error("cannot send to the door");
        done += n;
    }
}

bool TLine::WaitFor(const TCondition& ACondition, TMs ALimit) {
    for (const auto end = Now() + ALimit; !ACondition(*Screen); Pump(10ms))
        if (Now() > end || Ended || Fd < 0) return false;
    return true;
}

void TLine::Close() {
    if (Fd >= 0) ::close(Fd);
    Fd = -1;
}

TBbs::TBbs() {
    ::signal(SIGPIPE, SIG_IGN);
    char dir[] = "/tmp/glimra-e2e.XXXXXX";
    FDir = ::mkdtemp(dir);
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    auto* sa = reinterpret_cast<sockaddr*>(&address);
    FCaller.Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::bind(listener, sa, length) != 0 || ::listen(listener, 1) != 0 ||
        ::getsockname(listener, sa, &length) != 0 || ::connect(FCaller.Fd, sa, length) != 0)
        throw std::runtime_error("cannot connect on 127.0.0.1");
    // Close-on-exec, so that no other harness's door inherits it; Start() clears it for its own.
    FBbsFd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    ::close(listener);
    FCaller.Screen = std::make_unique<TVTermScreen>();
}

TBbs::~TBbs() {
    if (FPid > 0 && !FExit) ::kill(FPid, SIGKILL), ::waitpid(FPid, nullptr, 0);
    FCaller.Close();
    FLocal.Close();
    ::close(FBbsFd);
    fs::remove_all(FDir);
    fs::remove(FDir.string() + ".log");
}

fs::path TBbs::Write(const std::string& AName, const std::string& AText) const {
    std::ofstream(FDir / AName, std::ios::binary) << AText;
    return FDir / AName;
}

std::string TBbs::Door32(int AType, int AHandle, const std::string& AAlias, int AMinutes, int ANode,
                         int AEmulation) {
    const std::string n = "\r\n"; // type, handle, baud, BBS, record, real name, alias, access, ...
    return std::to_string(AType) + n + std::to_string(AHandle) + n + "38400\r\nTest BBS\r\n7\r\n" +
           AAlias + " Realname" + n + AAlias + n + "100" + n + std::to_string(AMinutes) + n +
           std::to_string(AEmulation) + n + std::to_string(ANode) + n;
}

void TBbs::Start(const TLaunch& ALaunch) {
    std::vector<std::pair<std::string, std::string>> set = {
        {"LC_ALL", ALaunch.Utf8 ? "C.UTF-8" : "C"}};
    if (!ALaunch.FakeTime.empty()) {
        const char* asan = std::getenv("ASAN_OPTIONS"); // a sanitized door behind a preload
        set.push_back(
            {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":verify_asan_link_order=0"});
        set.push_back({"LD_PRELOAD", "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"});
        set.push_back({"FAKETIME", "@" + ALaunch.FakeTime});
    }
    set.insert(set.end(), ALaunch.Env.begin(), ALaunch.Env.end());
    std::vector<std::string> argv{ALaunch.Binary}, envp;
    argv.insert(argv.end(), ALaunch.Args.begin(), ALaunch.Args.end());
    for (char** e = environ; *e != nullptr; ++e) {
        bool replaced = false;
        for (const auto& entry : set) replaced |= std::string(*e).starts_with(entry.first + "=");
        if (!replaced) envp.push_back(*e);
    }
    for (const auto& [name, value] : set) envp.push_back(name + "=" + value);
    std::vector<char*> args = Pointers(argv), env = Pointers(envp);
    const std::string work = (ALaunch.WorkDir.empty() ? FDir : ALaunch.WorkDir).string();
    const std::string log = FDir.string() + ".log";

    int slave = -1;
    if (!ALaunch.OnPty) {
        FCaller.Screen =
            std::make_unique<TVTermScreen>(true, !ALaunch.CallerUtf8, ALaunch.CallerRows);
        FCaller.Answers = !ALaunch.CallerSilent;
    }
    if (ALaunch.OnPty || ALaunch.LocalTerminal) {
        TLine& line = ALaunch.OnPty ? FCaller : FLocal;
        line.Close();
        winsize size{25, 80, 0, 0};
        ::openpty(&line.Fd, &slave, nullptr, nullptr, &size);
        ::fcntl(line.Fd, F_SETFD, FD_CLOEXEC);
        ::tcgetattr(slave, &FModes);
        line.Screen = std::make_unique<TVTermScreen>(false, !ALaunch.Utf8);
    }
    FPid = ::fork();
    if (FPid == 0) {
        if (slave >= 0) {
            ::setsid();
            ::ioctl(slave, TIOCSCTTY, 0);
            for (int fd : {0, 1, 2}) ::dup2(slave, fd);
        } else {
            ::dup2(::open("/dev/null", O_RDONLY), 0);
            ::dup2(::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
            ::dup2(1, 2);
        }
        if (slave > 2) ::close(slave);
        if (!ALaunch.OnPty) ::fcntl(FBbsFd, F_SETFD, 0);
        if (::chdir(work.c_str()) == 0) ::execve(args[0], args.data(), env.data());
        ::_exit(127);
    }
    if (slave >= 0) ::close(slave); // the door holds the only copy: closing the master hangs up
}

std::optional<int> TBbs::WaitExit(TMs ALimit, bool ADrain) {
    for (const auto end = Now() + ALimit; !FExit && FPid > 0;) {
        int status = 0;
        if (::waitpid(FPid, &status, WNOHANG) == FPid)
            FExit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (ADrain) {
            FLocal.Pump(0ms);
            FCaller.Pump(0ms);
        }
        if (FExit || Now() > end) break;
        ::usleep(5000);
    }
    return FExit;
}

void TBbs::Signal(int ASignal) {
    if (FPid > 0 && !FExit) ::kill(FPid, ASignal);
}

std::string TBbs::Log() const {
    return ReadFile(FDir.string() + ".log");
}

bool TBbs::ModesBack() const {
    termios now{};
    ::tcgetattr(FLocal.Fd >= 0 ? FLocal.Fd : FCaller.Fd, &now);
    return now.c_lflag == FModes.c_lflag && now.c_iflag == FModes.c_iflag &&
           now.c_oflag == FModes.c_oflag;
}

bool TBbs::WaitFor(const TCondition& ACondition, TMs ALimit) {
    for (const auto end = Now() + ALimit; !FCaller.WaitFor(ACondition, 50ms); FLocal.Pump(0ms))
        if (Now() > end || FCaller.Ended) return false;
    return true;
}

bool TBbs::See(const std::string& AText, TMs ALimit) {
    return WaitFor([&](const TVTermScreen& S) { return S.Shows(AText); }, ALimit);
}

bool TBbs::See(int ACol, int ARow, const std::string& AText, TMs ALimit) {
    return WaitFor(
        [&](const TVTermScreen& S) { return Text(S, ACol, ARow, AText.size()) == AText; }, ALimit);
}

void TBbs::Settle(TMs AQuiet) {
    for (std::size_t seen = SIZE_MAX; seen != FCaller.Received.size(); FCaller.Pump(AQuiet)) {
        seen = FCaller.Received.size();
        FLocal.Pump(0ms);
    }
}

bool TBbs::HandedBack() {
    const std::string back = "Back at the BBS";
    if (WaitExit() != 0 || ::write(FBbsFd, back.data(), back.size()) != ssize_t(back.size()) ||
        !FCaller.WaitFor([&](const TVTermScreen&) { return Received().ends_with(back); }, 2s))
        return false;
    FCaller.Send("menu");
    char reply[5] = {};
    pollfd pfd{FBbsFd, POLLIN, 0};
    return ::poll(&pfd, 1, 2000) > 0 && ::recv(FBbsFd, reply, 4, MSG_WAITALL) == 4 &&
           std::string(reply) == "menu";
}

std::string Text(const TVTermScreen& AScreen, int ACol, int ARow, std::size_t ALength) {
    return AScreen.RowText(ARow).substr(static_cast<std::size_t>(ACol - 1), ALength);
}
