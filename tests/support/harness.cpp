// The BBS and the caller around a door child process.
#include "tests/support/harness.h"

#include "tests/support/platform.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <stdexcept>

extern char** environ;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> Pointers(std::vector<std::string>& AWords) { // for exec
    std::vector<char*> result;
    for (std::string& w : AWords) result.push_back(w.data());
    result.push_back(nullptr);
    return result;
}

} // namespace

void TLine::Pump(TMs ALimit) {
    char buffer[4096];
    for (int wait = static_cast<int>(ALimit.count()); Fd >= 0 && !Ended && TestReadable(Fd, wait);
         wait = 0) {
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

std::size_t TLine::Offer(std::string_view ABytes) {
    const ssize_t n = ::send(Fd, ABytes.data(), ABytes.size(), MSG_DONTWAIT);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

bool TLine::WaitFor(const TCondition& ACondition, TMs ALimit) {
    for (const auto end = Clock::now() + ALimit; !ACondition(*Screen); Pump(10ms))
        if (Clock::now() > end || Ended || Fd < 0) return false;
    return true;
}

void TLine::Close() {
    if (Fd >= 0) ::close(std::exchange(Fd, -1));
}

TBbs::TBbs() : FDir(TestScratchDir()) {
    ::signal(SIGPIPE, SIG_IGN);
    // Both ends close-on-exec, so that no other harness's door inherits them (Start() clears it
    // for its own door's end); the door's end with Nagle's algorithm, as a BBS leaves it.
    const TSocketPair pair = TestSocketPair();
    FBbsFd = static_cast<int>(pair.Door), FCaller.Fd = static_cast<int>(pair.Caller);
    const int noDelay = 0;
    ::setsockopt(FBbsFd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
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

std::string TBbs::Door32(int AType, int AHandle, const std::string& AAlias, int AMinutes, int ANode,
                         int AEmulation) {
    const std::string n = "\r\n"; // type, handle, baud, BBS, record, real name, alias, access, ...
    return std::to_string(AType) + n + std::to_string(AHandle) + n + "38400\r\nTest BBS\r\n7\r\n" +
           AAlias + " Realname" + n + AAlias + n + "100" + n + std::to_string(AMinutes) + n +
           std::to_string(AEmulation) + n + std::to_string(ANode) + n;
}

void TBbs::Start(const TLaunch& ALaunch) {
    std::map<std::string, std::string> vars; // the test's environment, then the launch's
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        vars[entry.substr(0, entry.find('='))] = entry.substr(entry.find('=') + 1);
    }
    vars["LC_ALL"] = ALaunch.Utf8 ? "C.UTF-8" : "C";
    if (!ALaunch.FakeTime.empty()) { // libfaketime preloaded into a sanitized door
        vars["ASAN_OPTIONS"] += ":verify_asan_link_order=0";
        vars["LD_PRELOAD"] = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";
        vars["FAKETIME_DONT_FAKE_MONOTONIC"] = "1"; // durations on the real steady clock
        if (ALaunch.FakeTime.starts_with("/"))
            vars["FAKETIME_TIMESTAMP_FILE"] = ALaunch.FakeTime, vars["FAKETIME_NO_CACHE"] = "1";
        else
            vars["FAKETIME"] = "@" + ALaunch.FakeTime;
    }
    for (const auto& [name, value] : ALaunch.Env) vars[name] = value;
    std::vector<std::string> argv{ALaunch.Binary}, envp;
    argv.insert(argv.end(), ALaunch.Args.begin(), ALaunch.Args.end());
    for (const auto& [name, value] : vars) envp.push_back(name + "=" + value);
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
    for (const auto end = Clock::now() + ALimit; !FExit && FPid > 0;) {
        int status = 0;
        if (::waitpid(FPid, &status, WNOHANG) == FPid)
            FExit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (ADrain) FLocal.Pump(0ms), FCaller.Pump(0ms);
        if (FExit || Clock::now() > end) break;
        ::usleep(5000);
    }
    return FExit;
}

bool TBbs::ModesBack() const {
    termios now{};
    ::tcgetattr(FLocal.Fd >= 0 ? FLocal.Fd : FCaller.Fd, &now);
    return now.c_lflag == FModes.c_lflag && now.c_iflag == FModes.c_iflag &&
           now.c_oflag == FModes.c_oflag;
}

bool TBbs::WaitFor(const TCondition& ACondition, TMs ALimit) {
    for (const auto end = Clock::now() + ALimit; !FCaller.WaitFor(ACondition, 50ms);
         FLocal.Pump(0ms))
        if (Clock::now() > end || FCaller.Ended) return false;
    return true;
}

void TBbs::Settle(TMs AQuiet) {
    for (std::size_t seen = SIZE_MAX; seen != FCaller.Received.size(); FCaller.Pump(AQuiet))
        seen = FCaller.Received.size(), FLocal.Pump(0ms);
}

bool TBbs::HandedBack() {
    const std::string back = "Back at the BBS";
    if (WaitExit() != 0) return false;
    TestSend(FBbsFd, back);
    if (!FCaller.WaitFor([&](const TVTermScreen&) { return Received().ends_with(back); }, 2s))
        return false;
    FCaller.Send("menu");
    return TestRead(FBbsFd, 4) == "menu";
}
