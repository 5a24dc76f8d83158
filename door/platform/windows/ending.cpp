// The ending events on Windows: Ctrl-C, Ctrl-Break, closing the console window, log-off and
// shut-down mark the door for ending and set an event that wakes every wait, as the ending
// signals do on POSIX.
#include "door/platform/ending.h"
#include "door/doorlog.h"
#include "door/net/comm.h"
#include "door/term/console.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <string>

namespace {

std::atomic<bool> FEnding{false};
// The console control event that ended the door, for the log.
std::atomic<DWORD> FEventType{0};
HANDLE FEvent = nullptr;

// Runs on a thread of its own. For a closing window Windows ends the process when the handler
// returns, so then it waits for the main thread's exit path (which ends this thread too).
BOOL WINAPI OnControlEvent(DWORD AType) {
    FEventType = AType;
    FEnding = true;
    ConsoleStopWaiting();
    if (FEvent != nullptr) ::SetEvent(FEvent);
    if (AType == CTRL_CLOSE_EVENT || AType == CTRL_LOGOFF_EVENT || AType == CTRL_SHUTDOWN_EVENT)
        ::Sleep(5000);
    return TRUE;
}

} // namespace

void DoorInstallSignalHandlers() {
    if (FEvent == nullptr) {
        FEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        // A door started in a process group of its own has Ctrl-C turned off: on again.
        ::SetConsoleCtrlHandler(nullptr, FALSE);
        ::SetConsoleCtrlHandler(OnControlEvent, TRUE);
    }
    CommSetEndingFd(DoorSignalFd());
}

TWaitHandle DoorSignalFd() {
    return FEvent != nullptr ? reinterpret_cast<TWaitHandle>(FEvent) : kNoWaitHandle;
}

bool DoorEnding() {
    return FEnding;
}

void DoorEndIfSignalled() {
    if (!FEnding) return;
    switch (FEventType) {
    case CTRL_C_EVENT: DoorLogEnding("Ctrl-C"); break;
    case CTRL_BREAK_EVENT: DoorLogEnding("Ctrl-Break"); break;
    case CTRL_CLOSE_EVENT: DoorLogEnding("console closed"); break;
    default: DoorLogEnding("log-off or shut-down"); break;
    }
    std::exit(0);
}
