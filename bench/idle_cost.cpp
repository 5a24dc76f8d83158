// What a door waiting for a key costs its node: a remote session idles in DoorReadKey while this
// program reads the waiting process's CPU time and voluntary context switches from /proc.
// Usage: idle_cost [seconds]   (default 60; targets: at most 0.1 wake-ups/s, under 0.1 % CPU)
#include "door/door.h"
#include "door/net/comm.h"
#include "door/term/console.h"

#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

struct TSample {
    double CpuSeconds = 0;
    long Voluntary = 0;
    long Involuntary = 0;
};

// CPU time from schedstat (nanoseconds) and context switches from status.
TSample ReadSample(pid_t APid) {
    TSample sample;
    const std::string proc = "/proc/" + std::to_string(APid);
    std::ifstream schedstat(proc + "/schedstat");
    unsigned long long ns = 0;
    if (schedstat >> ns) sample.CpuSeconds = static_cast<double>(ns) / 1e9;
    std::ifstream status(proc + "/status");
    std::string line;
    while (std::getline(status, line)) {
        std::istringstream fields(line);
        std::string key;
        fields >> key;
        if (key == "voluntary_ctxt_switches:") fields >> sample.Voluntary;
        if (key == "nonvoluntary_ctxt_switches:") fields >> sample.Involuntary;
    }
    return sample;
}

// The door side: a remote session with events on, waiting for one key.
[[noreturn]] void RunDoor(int ADoorFd, int ASeconds) {
    ConsoleUseHeadless();
    CommOpen(ADoorFd);
    DoorDropInfo.ComType = 2;
    DoorDropInfo.ComNum = ADoorFd;
    DoorDropInfo.RealName = "Idle Caller";
    DoorDropInfo.MaxSeconds = ASeconds + 3600;
    DoorSession.MaxIdle = ASeconds + 3600;
    DoorLastKey.Time = DoorSession.TimeOn = DoorSteadyNow();
    DoorSession.Events = true;
    const char key = DoorReadKey();
    std::_Exit(key == 'q' ? 0 : 1);
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) {
        std::perror("socketpair");
        return 1;
    }
    const pid_t door = ::fork();
    if (door < 0) {
        std::perror("fork");
        return 1;
    }
    if (door == 0) {
        ::close(fds[1]);
        RunDoor(fds[0], seconds);
    }
    ::close(fds[0]);

    std::this_thread::sleep_for(std::chrono::seconds(1)); // past start-up and the first pass
    const TSample before = ReadSample(door);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const TSample after = ReadSample(door);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    ::send(fds[1], "q", 1, MSG_NOSIGNAL);
    int status = 0;
    ::waitpid(door, &status, 0);
    const bool keyTaken = WIFEXITED(status) && WEXITSTATUS(status) == 0;

    const double cpu = after.CpuSeconds - before.CpuSeconds;
    const long wakeups = after.Voluntary - before.Voluntary;
    const double wakeupsPerSecond = static_cast<double>(wakeups) / elapsed;
    const double cpuPercent = 100.0 * cpu / elapsed;
    std::printf("idle wait in a remote session: %.1f s\n", elapsed);
    std::printf("  CPU time:            %.6f s (%.4f %%)\n", cpu, cpuPercent);
    std::printf("  voluntary switches:  %ld (%.2f per second)\n", wakeups, wakeupsPerSecond);
    std::printf("  involuntary:         %ld\n", after.Involuntary - before.Involuntary);
    std::printf("  key after the wait:  %s\n", keyTaken ? "taken" : "NOT taken");
    const bool ok = keyTaken && wakeupsPerSecond <= 0.1 && cpuPercent < 0.1;
    std::printf("  targets (<= 0.1 wake-ups/s, < 0.1 %% CPU): %s\n", ok ? "met" : "MISSED");
    return ok ? 0 : 1;
}
