// Fuzzes the receive path as a remote caller drives it: any bytes over a socket pair, with local
// keys, read by DoorReadKey or the line editor until the caller hangs up or a limit ends the
// session. Nothing may crash, hang or sleep; a field holds its default or allowed characters and
// never more than its maximum; every byte 255 sent to the caller is doubled; the cursor stays in
// the window; the telnet filter gives the same keys however the caller's bytes are split; the key
// decoder lets no part of a sequence through as characters.
#include "door/door.h"
#include "door/keys.h"
#include "door/net/comm.h"
#include "door/net/telnet.h"
#include "door/reset.h"
#include "door/term/ansi.h"
#include "door/term/console.h"
#include "door/term/screen.h"

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

struct TEnded {}; // thrown by the ending hooks in place of ending the process
std::int64_t NowMs = 0, TickMs = 1000;

void Check(bool ACondition) {
    if (!ACondition) std::abort();
}

void CheckCursor() {
    const TScreen& s = LocalScreen();
    const TScreenWindow w = s.Window();
    Check(s.CursorColumn() >= w.Left && s.CursorColumn() <= w.Right && s.CursorRow() >= w.Top &&
          s.CursorRow() <= w.Bottom);
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
    Check(whole == split && one.Terminal.Columns == two.Terminal.Columns &&
          one.Terminal.Rows == two.Terminal.Rows && one.Terminal.Type == two.Terminal.Type &&
          one.Terminal.Type.size() <= 40);
}

// The key decoder over ABytes: a byte is offered again only after an Esc that no [ or O follows
// or after a sequence it ended, and is then taken; characters are the bytes as they came, 0x9B
// and 0x8F only inside a UTF-8 character; a time-out leaves the decoder idle.
void CheckDecoder(const std::string& ABytes) {
    TKeyDecoder decoder;
    std::uint8_t last = 0; // the byte before, when it came out as a character
    for (const char c : ABytes) {
        const auto byte = static_cast<std::uint8_t>(c);
        TTermInput input = decoder.Take(byte);
        if (!input.Used) {
            Check(!decoder.Busy() &&
                  (input.Kind != TTermInputKind::Char || (byte != '[' && byte != 'O')));
            Check((input = decoder.Take(byte)).Used);
        }
        const bool isChar = input.Kind == TTermInputKind::Char;
        Check(!isChar || (input.Ch == c && ((byte != 0x9B && byte != 0x8F) || last >= 0x80)));
        last = isChar ? byte : 0;
    }
    decoder.TimeOut();
    Check(!decoder.Busy());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    if (ASize < 8 || ASize > 65536) return 0; // all of it must fit the socket before the reads
    const std::uint8_t mode = AData[0], visible = AData[1], maxLength = AData[2];
    const std::string sets[] = {DOOR_INPUT_CHARS_ALL, DOOR_INPUT_CHARS_ALPHA,
                                DOOR_INPUT_CHARS_NUMERIC, DOOR_INPUT_CHARS_FILENAME};
    const std::string& allowed = sets[mode >> 6];
    std::size_t at = 8;
    const auto take = [&](std::size_t ACount) {
        const std::size_t n = std::min(ACount, ASize - at);
        return at += n, std::string(reinterpret_cast<const char*>(AData + at - n), n);
    };
    const std::string defaultText = take(AData[3] % 48), local = take(AData[4] % 16),
                      remote = take(ASize);
    CheckTelnetSplit(remote, (std::size_t{AData[7]} << 8 | visible) % (remote.size() + 1));
    CheckDecoder(remote);
    DoorResetForTests(); // each input on a fresh kit: no key, screen or decoder state left over
    DoorDelay = [](std::int32_t) {};
    ConsolePushKeys(local);
    NowMs = 0; // the clock moves a second or more at every reading: an event pass is always due
    TickMs = 1000 + 1000 * (AData[5] % 4);
    DoorSteadyNow = [] { return TDateTime{} + std::chrono::milliseconds(NowMs += TickMs); };
    DoorDropInfo = {.ComType = 2, .MaxSeconds = (mode & 16) ? 120 : 86400};
    DoorSession = {.DoIdleCheck = (mode & 32) == 0, .Events = true, .MaxIdle = AData[6] * 8};
    DoorOnHangup = DoorOnTimeOut = DoorOnTimeUp = [] { throw TEnded{}; };
    DoorOnTimeOutWarning =
        DoorOnTimeUpWarning = [](std::uint8_t AMinutes) { Check(AMinutes <= 5); };
    DoorOnSysopKey = (mode & 4) ? +[](char AKey) { return AKey == 68; } : nullptr;
    DoorLastKey.Time = DoorSession.TimeOn = DoorSteadyNow();
    if (mode & 8) LocalScreen().SetWindow(1, 1, 80, 24);

    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 0;
    Check(::send(fds[1], remote.data(), remote.size(), 0) == static_cast<ssize_t>(remote.size()));
    ::shutdown(fds[1], SHUT_WR); // the caller hangs up after its last byte
    std::string sent;
    std::thread drain([&] {
        char buffer[4096];
        for (ssize_t got; (got = ::recv(fds[1], buffer, sizeof buffer, 0)) > 0;)
            sent.append(buffer, got);
    });
    DoorDropInfo.ComNum = fds[0];
    CommOpen(fds[0]);
    try {
        for (;; CheckCursor()) {
            if (!(mode & 1)) {
                const char key = DoorReadKey();
                Check(DoorLastKey.Ch == key && DoorLastKey.Location != TDoorLastKeyType::lkNone);
                continue;
            }
            const std::string field =
                DoorInput(defaultText, allowed, (mode & 2) ? '*' : 0, visible, maxLength, AData[7]);
            Check(field.size() <= maxLength);
            std::size_t kept = 0; // what remains of the default, then allowed characters only
            while (kept < field.size() && kept < defaultText.size() &&
                   field[kept] == defaultText[kept])
                ++kept;
            for (std::size_t i = kept; i < field.size(); ++i)
                Check(field[i] != 0 && allowed.find(field[i]) != std::string::npos);
        }
    } catch (const TEnded&) {
    }
    CommClose(false);
    drain.join();
    ::close(fds[1]);
    Check(sent.compare(0, 6, "\xFF\xFB\x00\xFF\xFB\x01", 6) == 0);
    for (std::size_t i = 6, run = 0; i <= sent.size(); ++i)
        if (i < sent.size() && static_cast<std::uint8_t>(sent[i]) == 0xFF)
            ++run;
        else
            Check(run % 2 == 0), run = 0;
    return 0;
}
