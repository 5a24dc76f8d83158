// The ending events on Windows: Ctrl-C, Ctrl-Break, closing the console window, log-off and
// shut-down mark the door for ending and set an event that wakes every wait, as the ending
// signals do on POSIX.
#include "door/platform/ending.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <string>

namespace {

std::atomic<bool> FEnding{false};
// The console control event that ended the door, for the log.
std::atomic<DWORD> FEventType{0};
HANDLE FEvent = nullptr;
// Called by the handler after the mark (DoorOnEndingSignal).
std::atomic<void (*)()> FOnSignal{nullptr};

// Runs on a thread of its own. For a closing window Windows ends the process when the handler
// returns, so then it waits for the main thread's exit path (which ends this thread too).
BOOL WINAPI OnControlEvent(DWORD AType) {
    FEventType = AType;
    FEnding = true;
    if (void (*onSignal)() = FOnSignal) onSignal();
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
}

TWaitHandle DoorSignalFd() {
    return FEvent != nullptr ? reinterpret_cast<TWaitHandle>(FEvent) : kNoWaitHandle;
}

bool DoorEnding() {
    return FEnding;
}

std::string DoorEndingCause() {
    if (!FEnding) return "";
    switch (FEventType) {
    case CTRL_C_EVENT: return "Ctrl-C";
    case CTRL_BREAK_EVENT: return "Ctrl-Break";
    case CTRL_CLOSE_EVENT: return "console closed";
    default: return "log-off or shut-down";
    }
}

void DoorOnEndingSignal(void (*AHandler)()) {
    FOnSignal = AHandler;
}
