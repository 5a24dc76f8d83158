// Fuzzes the receive path as a remote caller drives it: any bytes over a socket pair, mixed with
// local keys, read by DoorReadKey or the line editor until the caller hangs up or a limit ends
// the session. Nothing may crash, hang, sleep or break the rules of what a key or a field is,
// and the telnet filter must give the same keys however the caller's bytes are split.
#include "door/ansi.h"
#include "door/comm.h"
#include "door/console.h"
#include "door/door.h"
#include "door/screen.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// Thrown by the ending hooks in place of ending the process.
struct TSessionEnded {};

// The kit's clock moves by at least a second at every reading, so an event pass is always due
// and the key wait never sleeps.
std::int64_t NowMs = 0;
std::int64_t TickMs = 1000;

TDateTime FakeNow() {
    NowMs += TickMs;
    return TDateTime{} + std::chrono::milliseconds(NowMs);
}

[[noreturn]] void EndSession() {
    throw TSessionEnded{};
}

void CheckWarning(std::uint8_t AMinutes) {
    if (AMinutes > 5) std::abort();
}

bool SwallowF10(char AKey) {
    return AKey == 68;
}

// Reads input bytes in order: a byte at a time, zero once the input is used up.
struct TReader {
    const std::uint8_t* Data;
    std::size_t Size;
    std::uint8_t Next() {
        if (Size == 0) return 0;
        --Size;
        return *Data++;
    }
    std::string Take(std::size_t ACount) {
        ACount = std::min(ACount, Size);
        std::string s(reinterpret_cast<const char*>(Data), ACount);
        Data += ACount;
        Size -= ACount;
        return s;
    }
};

void CheckCursor() {
    const TScreen& s = LocalScreen();
    const TScreenWindow w = s.Window();
    if (s.CursorColumn() < w.Left || s.CursorColumn() > w.Right || s.CursorRow() < w.Top ||
        s.CursorRow() > w.Bottom)
        std::abort();
}

void CheckKey(char ACh) {
    if (DoorLastKey.Location == TDoorLastKeyType::lkNone) std::abort();
    if (DoorLastKey.Location == TDoorLastKeyType::lkRemote && DoorLastKey.Extended &&
        std::string("HPMK").find(ACh) == std::string::npos)
        std::abort();
    if (DoorLastKey.Ch != ACh) std::abort();
}

// A field's result is its default cut to the maximum (Esc), or what remains of that default
// followed by allowed characters, never longer than the maximum.
void CheckField(const std::string& AResult, const std::string& ADefault,
                const std::string& AAllowed, std::uint8_t AMax) {
    if (AResult.size() > AMax) std::abort();
    const std::string cut = ADefault.substr(0, AMax);
    std::size_t kept = 0;
    while (kept < AResult.size() && kept < cut.size() && AResult[kept] == cut[kept]) ++kept;
    for (std::size_t i = kept; i < AResult.size(); ++i)
        if (AResult[i] == 0 || AAllowed.find(AResult[i]) == std::string::npos) std::abort();
}

// Every byte 255 the caller receives after the two telnet offers comes doubled.
void CheckSent(const std::string& ASent) {
    if (ASent.compare(0, 6, std::string("\xFF\xFB\x00\xFF\xFB\x01", 6)) != 0) std::abort();
    std::size_t run = 0;
    for (std::size_t i = 6; i <= ASent.size(); ++i) {
        if (i < ASent.size() && static_cast<std::uint8_t>(ASent[i]) == 0xFF) {
            ++run;
        } else {
            if (run % 2 != 0) std::abort();
            run = 0;
        }
    }
}

// The telnet filter over ABytes in one receive and in two split at AAt: the same keys and the
// same terminal, its type within bounds.
void CheckTelnetSplit(const std::string& ABytes, std::size_t AAt) {
    std::vector<std::uint8_t> whole(ABytes.begin(), ABytes.end()), split = whole;
    TTelnetReceiver one, two;
    whole.resize(TelnetFilter(one, whole.data(), whole.size()));
    const std::size_t first = TelnetFilter(two, split.data(), AAt);
    const std::size_t second = TelnetFilter(two, split.data() + AAt, split.size() - AAt);
    split.erase(split.begin() + AAt + second, split.end());
    split.erase(split.begin() + first, split.begin() + AAt);
    if (whole != split || one.Terminal.Columns != two.Terminal.Columns ||
        one.Terminal.Rows != two.Terminal.Rows || one.Terminal.Type != two.Terminal.Type ||
        one.Terminal.Type.size() > 40)
        std::abort();
}

const std::string& AllowedSet(std::uint8_t AChoice) {
    switch (AChoice % 4) {
    case 0: return DOOR_INPUT_CHARS_ALL;
    case 1: return DOOR_INPUT_CHARS_ALPHA;
    case 2: return DOOR_INPUT_CHARS_NUMERIC;
    default: return DOOR_INPUT_CHARS_FILENAME;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    static const bool once = [] {
        ConsoleUseHeadless();
        DoorSteadyNow = FakeNow;
        DoorDelay = [](std::int32_t) {};
        return true;
    }();
    (void)once;
    // All the caller's bytes are written before the door reads, so they must fit the socket.
    if (ASize > 65536) return 0;

    TReader in{AData, ASize};
    const std::uint8_t mode = in.Next();
    const std::uint8_t visible = in.Next();
    const std::uint8_t maxLength = in.Next();
    const std::uint8_t attr = in.Next();
    const std::uint8_t password = (mode & 4) ? in.Next() : 0;
    TickMs = 1000 + 1000 * (in.Next() % 4);
    const std::int32_t maxIdle = in.Next() * 8;
    const std::string defaultText = in.Take(in.Next() % 48);
    const std::string localKeys = in.Take(in.Next() % 16);
    const std::string remote = in.Take(in.Size);
    const std::string& allowed = AllowedSet(mode >> 3);
    CheckTelnetSplit(remote, (std::size_t{attr} << 8 | visible) % (remote.size() + 1));

    AnsiReset();
    while (ConsoleKeyPressed()) ConsoleReadKey();
    ConsolePushKeys(localKeys);
    DoorDropInfo = TDoorDropInfo{};
    DoorDropInfo.ComType = 2;
    DoorDropInfo.MaxSeconds = (mode & 16) ? 120 : 86400;
    DoorSession = TDoorSession{};
    DoorSession.Events = true;
    DoorSession.MaxIdle = maxIdle;
    DoorSession.DoIdleCheck = (mode & 32) == 0;
    DoorOnHangup = EndSession;
    DoorOnTimeOut = EndSession;
    DoorOnTimeUp = EndSession;
    DoorOnTimeOutWarning = CheckWarning;
    DoorOnTimeUpWarning = CheckWarning;
    DoorOnStatusBar = DefaultOnStatusBar;
    DoorOnSysopKey = (mode & 64) ? SwallowF10 : nullptr;
    Stdio = false;
    NowMs = 0;
    DoorLastKey = TDoorLastKey{};
    DoorLastKey.Time = DoorSteadyNow();
    DoorSession.TimeOn = DoorLastKey.Time;
    if (mode & 128) LocalScreen().SetWindow(1, 1, 80, 24);

    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 0;
    const int caller = fds[1];
    if (!remote.empty() &&
        ::send(caller, remote.data(), remote.size(), 0) != static_cast<ssize_t>(remote.size()))
        std::abort();
    ::shutdown(caller, SHUT_WR); // the caller hangs up after its last byte
    std::string sent;
    std::thread drain([caller, &sent] {
        char buffer[4096];
        ssize_t got;
        while ((got = ::recv(caller, buffer, sizeof buffer, 0)) > 0)
            sent.append(buffer, static_cast<std::size_t>(got));
    });
    DoorDropInfo.ComNum = fds[0];
    CommOpen(fds[0]);

    try {
        for (;;) {
            if (mode & 1) {
                CheckField(DoorInput(defaultText, allowed, static_cast<char>(password), visible,
                                     maxLength, attr),
                           defaultText, allowed, maxLength);
            } else {
                CheckKey(DoorReadKey());
            }
            CheckCursor();
        }
    } catch (const TSessionEnded&) {
    }
    CheckCursor();
    CommClose(false);
    drain.join();
    ::close(caller);
    CheckSent(sent);
    return 0;
}
