// Key input from both sides: the local keyboard and the caller's bytes through the key decoder,
// merged into one stream; event passes run while it waits.
#include "door/door.h"
#include "door/doorlog.h"
#include "door/events.h"
#include "door/keys.h"
#include "door/net/comm.h"
#include "door/output.h"
#include "door/platform/ending.h"
#include "door/platform/wait.h"
#include "door/shutdown.h"
#include "door/state.h"
#include "door/term/console.h"

#include <chrono>

namespace {

// The socket, when remote keys can still arrive on it; else -1.
TWaitHandle RemoteKeyFd() {
    return DoorRemoteIO() ? CommHandle() : kNoWaitHandle;
}

// Blocks until the local keyboard or the socket is readable, or ATimeoutMs has passed
// (-1: no limit). Returns true when something is readable.
// SIGHUP and SIGTERM wake it through DoorSignalFd() and end the program.
bool WaitReadable(TWaitHandle AConsoleFd, TWaitHandle ASocketFd, int ATimeoutMs) {
    if (AConsoleFd == kNoWaitHandle && ASocketFd == kNoWaitHandle && ATimeoutMs < 0) {
        // Nothing can ever deliver a key and no event pass is due: the session has no input.
        DoorLogEnding("no input");
        DoorExit();
    }
    const TWaitHandle handles[3] = {AConsoleFd, ASocketFd, DoorSignalFd()};
    DoorEndIfSignalled();
    const bool readable = WaitForAny(handles, 3, ATimeoutMs) >= 0;
    DoorEndIfSignalled();
    return readable;
}

// Waits until a key is waiting on either side; event passes run meanwhile.
void WaitForKey() {
    while (!DoorKeyPressed()) {
        if (ConsoleInputEnded()) {
            DoorLogEnding("end of input");
            DoorExit();
        }
        WaitReadable(ConsoleKeyFd(), RemoteKeyFd(), DoorMillisecondsToNextPass());
    }
}

// True once a byte from the caller is buffered, waiting up to the sequence wait for it.
bool WaitRemoteByte() {
    if (CommCharAvail()) return true;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kRemoteSequenceWaitMs);
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || RemoteKeyFd() < 0) return CommCharAvail();
        if (WaitReadable(-1, RemoteKeyFd(), static_cast<int>(left.count()))) {
            return CommCharAvail();
        }
    }
}

void SetKey(bool AExtended, TDoorLastKeyType ALocation) {
    DoorLastKey.Extended = AExtended;
    DoorLastKey.Location = ALocation;
}

// Reads a local key; an extended key (0, then its scan code) may be taken by the sysop hook.
char ReadLocalKey() {
    char ch = ConsoleReadKey();
    if (ch != 0) {
        SetKey(false, TDoorLastKeyType::lkLocal);
        return ch;
    }
    ch = ConsoleReadKey();
    if (DoorOnSysopKey == nullptr || !DoorOnSysopKey(ch)) SetKey(true, TDoorLastKeyType::lkLocal);
    return ch;
}

// Reads what the caller's next bytes come to: a key (extended for the four cursor keys), or
// nothing when they were a report or any other sequence, which vanishes whole. A sequence
// that stops coming ends after the sequence wait. Event passes run meanwhile, so a sequence that
// never ends cannot hold off the limits.
char ReadRemoteKey() {
    TKeyDecoder& decoder = DoorState().RemoteDecoder;
    if (decoder.Busy()) decoder.TimeOut(); // a read that a hook broke off
    for (;;) {
        TTermInput input;
        if (!decoder.Busy() || WaitRemoteByte()) {
            input = decoder.Take(static_cast<std::uint8_t>(CommPeekChar()));
            if (input.Used) CommReadChar();
        } else {
            input = decoder.TimeOut();
        }
        switch (input.Kind) {
        case TTermInputKind::None: DoorDoEvents(); continue;
        case TTermInputKind::Char: SetKey(false, TDoorLastKeyType::lkRemote); return input.Ch;
        case TTermInputKind::Key:
            // The caller's four cursor keys only: the scan codes of the others are letters (PgDn
            // is Q, F7 is A) that a menu reading the key would take for its own.
            if (!IsCursorKey(input.Key)) return 0;
            SetKey(true, TDoorLastKeyType::lkRemote);
            return static_cast<char>(input.Key);
        default: return 0;
        }
    }
}

} // namespace

bool DoorKeyPressed() {
    DoorEndIfSignalled(); // also when keys are queued: nothing waits, so nothing else looks
    DoorDoEvents();
    bool pressed = ConsoleKeyPressed();
    if (!pressed && DoorRemoteIO()) pressed = CommCharAvail();
    return pressed;
}

char DoorReadKey() {
    char ch = 0;
    DoorLastKey.Location = TDoorLastKeyType::lkNone;
    do {
        WaitForKey();
        if (ConsoleKeyPressed()) {
            ch = ReadLocalKey(); // local keys win over remote ones
        } else if (DoorRemoteIO() && CommCharAvail()) {
            ch = ReadRemoteKey();
        }
    } while (DoorLastKey.Location == TDoorLastKeyType::lkNone);
    DoorLastKey.Ch = ch;
    DoorLastKey.Time = DoorSteadyNow();
    return ch;
}
