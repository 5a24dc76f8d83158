// The ending signals on POSIX: SIGHUP, SIGTERM and SIGINT only mark the door for ending and wake
// every wait through a pipe; SIGPIPE is ignored.
#include "door/platform/ending.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>

namespace {

// SIGHUP, SIGTERM and SIGINT: the handler only records the signal and wakes every wait.
volatile std::sig_atomic_t FEndSignal = 0;
int FSignalPipe[2] = {-1, -1};
// Called by the handler after the mark (DoorOnEndingSignal).
void (*volatile FOnSignal)() = nullptr;

void OnEndSignal(int ASignal) {
    FEndSignal = ASignal;
    if (void (*onSignal)() = FOnSignal) onSignal();
    if (FSignalPipe[1] >= 0) {
        const int saved = errno;
        const char byte = 1;
        [[maybe_unused]] const auto n = ::write(FSignalPipe[1], &byte, 1);
        errno = saved;
    }
}

const char* SignalName(int ASignal) {
    switch (ASignal) {
    case SIGHUP: return "SIGHUP";
    case SIGTERM: return "SIGTERM";
    case SIGINT: return "SIGINT";
    default: return "another";
    }
}

} // namespace

void DoorInstallSignalHandlers() {
    if (FSignalPipe[0] < 0 && ::pipe2(FSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        // Without the pipe the flag still ends the door: poll() returns early on a signal.
        FSignalPipe[0] = FSignalPipe[1] = -1;
    }
    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a blocked poll() returns at once
    // SIGINT as well: a door ended from a keyboard or a script hands the caller back too.
    for (int signal : {SIGHUP, SIGTERM, SIGINT}) ::sigaction(signal, &action, nullptr);
    // A caller who drops must never kill the door through a write to a dead connection.
    std::signal(SIGPIPE, SIG_IGN);
}

TWaitHandle DoorSignalFd() {
    return FSignalPipe[0];
}

bool DoorEnding() {
    return FEndSignal != 0;
}

std::string DoorEndingCause() {
    if (FEndSignal == 0) return "";
    return std::string("signal ") + SignalName(FEndSignal);
}

void DoorOnEndingSignal(void (*AHandler)()) {
    FOnSignal = AHandler;
}
