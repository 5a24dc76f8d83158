// The socket transport: telnet offers, IAC doubling on output, and a small receive buffer filled
// without blocking, passed through the telnet filter before it holds keys (in raw mode only its
// line-end folding). The socket calls
// themselves are in comm_posix.cpp and comm_windows.cpp.
#include "door/net/comm.h"

#include "door/net/netstate.h"
#include "door/net/telnet.h"
#include "door/platform/comm.h"
#include "door/platform/ending.h"
#include "door/term/cp437.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::uint8_t kIAC = 255;
constexpr std::size_t kReceiveSize = TCommState::kReceiveSize;

TCommState& Comm() {
    return NetState().Comm;
}

// Sends every byte unless the connection is gone or stalls.
void SendAll(const std::uint8_t* AData, std::size_t ALen) {
    TCommState& c = Comm();
    using namespace std::chrono;
    auto lastProgress = steady_clock::now();
    while (ALen > 0 && c.Open && c.Carrier) {
        std::size_t sent = 0;
        const TSockIo result = SockSend(AData, ALen, sent);
        if (result == TSockIo::Done) {
            AData += sent;
            ALen -= sent;
            lastProgress = steady_clock::now();
            continue;
        }
        if (result == TSockIo::WouldBlock) {
            // Waits until the socket takes more, the caller has taken nothing for the stall
            // limit, or the door is ending.
            const auto waited = duration_cast<milliseconds>(steady_clock::now() - lastProgress);
            if (waited.count() >= c.SendStallMs) {
                c.Carrier = false;
                continue;
            }
            const auto wait =
                SockWaitWritable(static_cast<int>(c.SendStallMs - waited.count()), DoorSignalFd());
            if (wait == TSockWait::Ending) return; // the rest is dropped: nobody waits any more
            continue;
        }
        if (result == TSockIo::Gone) c.Carrier = false;
        return;
    }
}

// Fills the empty buffer with what has arrived, without waiting.
void ReceiveData() {
    TCommState& c = Comm();
    if (!c.Open || !c.Carrier) return;
    std::size_t got = 0;
    const TSockIo result = SockReceive(c.Buffer, kReceiveSize, got);
    if (result == TSockIo::Gone) c.Carrier = false;
    if (result != TSockIo::Done) return;
    c.Pos = 0;
    c.Len = TelnetFilter(c.Receiver, c.Buffer, got);
}

// Waits up to ATimeoutMs (-1: no limit) for a received byte; false when none came, none can come
// any more or the door is ending.
bool WaitForByte(int ATimeoutMs) {
    TCommState& c = Comm();
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(ATimeoutMs);
    while (c.Pos == c.Len) {
        ReceiveData();
        if (c.Pos < c.Len) break;
        if (!c.Open || !c.Carrier) return false;
        int wait = -1;
        if (ATimeoutMs >= 0) {
            const auto left = ceil<milliseconds>(deadline - steady_clock::now()).count();
            if (left <= 0) return false;
            wait = static_cast<int>(left);
        }
        const TWaitHandle handles[2] = {SockReadHandle(), DoorSignalFd()};
        if (WaitForAny(handles, 2, wait) == 1) return false;
    }
    return true;
}

} // namespace

void CommOpen(std::int32_t ACommNumber, TCommMode AMode) {
    TCommState& c = Comm();
    if (c.Open) CommClose(false);
    c.Pos = c.Len = 0;
    c.Receiver = {};
    c.Receiver.Raw = AMode == TCommMode::Raw;
    c.DoubleIac = AMode == TCommMode::Telnet;
    c.Utf8 = false;
    c.Carrier = SockOpen(ACommNumber);
    if (!c.Carrier) return;
    c.Open = true;
    if (AMode == TCommMode::Raw) return;
    CommWriteRaw(std::string("\xFF\xFB\x00", 3)); // IAC WILL TRANSMIT-BINARY
    CommWriteRaw(std::string("\xFF\xFB\x01", 3)); // IAC WILL ECHO
}

void CommClose(bool ADisconnect) {
    TCommState& c = Comm();
    if (!c.Open) return;
    SockClose(ADisconnect);
    c.Open = false;
    c.Pos = c.Len = 0;
}

bool CommCarrier() {
    TCommState& c = Comm();
    return c.Carrier;
}

bool CommCharAvail() {
    TCommState& c = Comm();
    if (c.Pos == c.Len) ReceiveData();
    return c.Pos < c.Len;
}

char CommPeekChar() {
    TCommState& c = Comm();
    if (!WaitForByte(-1)) return 0;
    return static_cast<char>(c.Buffer[c.Pos]);
}

char CommReadChar() {
    TCommState& c = Comm();
    if (!WaitForByte(-1)) return 0;
    return static_cast<char>(c.Buffer[c.Pos++]);
}

void CommWrite(const std::string& AText) {
    TCommState& c = Comm();
    // Encoded and doubled into a fixed chunk: no allocation on the output path.
    std::uint8_t chunk[2048];
    std::size_t used = 0;
    for (char ch : AText) {
        char glyph[3] = {ch};
        const std::size_t length = c.Utf8 && static_cast<std::uint8_t>(ch) >= 0x80
                                       ? Cp437Utf8(static_cast<std::uint8_t>(ch), glyph)
                                       : 1;
        if (used + 2 * length > sizeof chunk) {
            SendAll(chunk, used);
            used = 0;
        }
        for (std::size_t i = 0; i < length; ++i) {
            const auto b = static_cast<std::uint8_t>(glyph[i]);
            chunk[used++] = b;
            if (b == kIAC && c.DoubleIac) chunk[used++] = kIAC;
        }
    }
    SendAll(chunk, used);
}

void CommWriteRaw(const std::string& AText) {
    SendAll(reinterpret_cast<const std::uint8_t*>(AText.data()), AText.size());
}

void CommWriteBlock(const void* Block, std::int32_t BlockLen) {
    if (BlockLen <= 0 || Block == nullptr) return;
    SendAll(static_cast<const std::uint8_t*>(Block), static_cast<std::size_t>(BlockLen));
}

TWaitHandle CommHandle() {
    TCommState& c = Comm();
    return c.Open && c.Carrier ? SockReadHandle() : kNoWaitHandle;
}

void CommUnread(const std::string& AKeys) {
    TCommState& c = Comm();
    const std::size_t buffered = c.Len - c.Pos;
    const std::size_t count = std::min(AKeys.size(), sizeof c.Buffer - buffered);
    std::memmove(c.Buffer + count, c.Buffer + c.Pos, buffered);
    std::memcpy(c.Buffer, AKeys.data(), count);
    c.Pos = 0;
    c.Len = count + buffered;
}

bool CommWaitChar(int ATimeoutMs) {
    return WaitForByte(ATimeoutMs);
}

void CommSetUtf8(bool AUtf8) {
    TCommState& c = Comm();
    c.Utf8 = AUtf8;
}

bool CommUtf8() {
    TCommState& c = Comm();
    return c.Utf8;
}

bool CommBuffered() {
    TCommState& c = Comm();
    return c.Pos < c.Len;
}

const TTelnetTerminal& CommTerminal() {
    TCommState& c = Comm();
    return c.Receiver.Terminal;
}
