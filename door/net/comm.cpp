// The socket transport: telnet offers, IAC doubling on output, and a small receive buffer filled
// without blocking, passed through the telnet filter before it holds keys (in raw mode only its
// line-end folding). The socket calls
// themselves are in comm_posix.cpp and comm_windows.cpp.
#include "door/net/comm.h"

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
constexpr std::size_t kReceiveSize = 1024;
constexpr std::size_t kUnreadSize = 256; // room for keys put back (CommUnread)

bool FOpen = false;
bool FCarrier = true;
// Received keys not yet taken, already filtered: FBuffer[FPos, FLen).
std::uint8_t FBuffer[kReceiveSize + kUnreadSize];
std::size_t FPos = 0;
std::size_t FLen = 0;
TTelnetReceiver FReceiver;
// Bytes 0x80 to 0xFF go out as the UTF-8 of their CP437 glyphs (CommSetUtf8).
bool FUtf8 = false;
// Byte 255 goes out doubled (telnet mode).
bool FDoubleIac = true;

// Sends every byte unless the connection is gone or stalls.
void SendAll(const std::uint8_t* AData, std::size_t ALen) {
    using namespace std::chrono;
    auto lastProgress = steady_clock::now();
    while (ALen > 0 && FOpen && FCarrier) {
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
            if (waited.count() >= CommSendStallMs) {
                FCarrier = false;
                continue;
            }
            const auto wait = SockWaitWritable(static_cast<int>(CommSendStallMs - waited.count()),
                                               DoorSignalFd());
            if (wait == TSockWait::Ending) return; // the rest is dropped: nobody waits any more
            continue;
        }
        if (result == TSockIo::Gone) FCarrier = false;
        return;
    }
}

// Fills the empty buffer with what has arrived, without waiting.
void ReceiveData() {
    if (!FOpen || !FCarrier) return;
    std::size_t got = 0;
    const TSockIo result = SockReceive(FBuffer, kReceiveSize, got);
    if (result == TSockIo::Gone) FCarrier = false;
    if (result != TSockIo::Done) return;
    FPos = 0;
    FLen = TelnetFilter(FReceiver, FBuffer, got);
}

// Waits up to ATimeoutMs (-1: no limit) for a received byte; false when none came, none can come
// any more or the door is ending.
bool WaitForByte(int ATimeoutMs) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(ATimeoutMs);
    while (FPos == FLen) {
        ReceiveData();
        if (FPos < FLen) break;
        if (!FOpen || !FCarrier) return false;
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

int CommSendStallMs = 60000;

void CommOpen(std::int32_t ACommNumber, TCommMode AMode) {
    if (FOpen) CommClose(false);
    FPos = FLen = 0;
    FReceiver = {};
    FReceiver.Raw = AMode == TCommMode::Raw;
    FDoubleIac = AMode == TCommMode::Telnet;
    FUtf8 = false;
    FCarrier = SockOpen(ACommNumber);
    if (!FCarrier) return;
    FOpen = true;
    if (AMode == TCommMode::Raw) return;
    CommWriteRaw(std::string("\xFF\xFB\x00", 3)); // IAC WILL TRANSMIT-BINARY
    CommWriteRaw(std::string("\xFF\xFB\x01", 3)); // IAC WILL ECHO
}

void CommClose(bool ADisconnect) {
    if (!FOpen) return;
    SockClose(ADisconnect);
    FOpen = false;
    FPos = FLen = 0;
}

bool CommCarrier() {
    return FCarrier;
}

bool CommCharAvail() {
    if (FPos == FLen) ReceiveData();
    return FPos < FLen;
}

char CommPeekChar() {
    if (!WaitForByte(-1)) return 0;
    return static_cast<char>(FBuffer[FPos]);
}

char CommReadChar() {
    if (!WaitForByte(-1)) return 0;
    return static_cast<char>(FBuffer[FPos++]);
}

void CommWrite(const std::string& AText) {
    // Encoded and doubled into a fixed chunk: no allocation on the output path.
    std::uint8_t chunk[2048];
    std::size_t used = 0;
    for (char c : AText) {
        char glyph[3] = {c};
        const std::size_t length = FUtf8 && static_cast<std::uint8_t>(c) >= 0x80
                                       ? Cp437Utf8(static_cast<std::uint8_t>(c), glyph)
                                       : 1;
        if (used + 2 * length > sizeof chunk) {
            SendAll(chunk, used);
            used = 0;
        }
        for (std::size_t i = 0; i < length; ++i) {
            const auto b = static_cast<std::uint8_t>(glyph[i]);
            chunk[used++] = b;
            if (b == kIAC && FDoubleIac) chunk[used++] = kIAC;
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
    return FOpen && FCarrier ? SockReadHandle() : kNoWaitHandle;
}

void CommUnread(const std::string& AKeys) {
    const std::size_t buffered = FLen - FPos;
    const std::size_t count = std::min(AKeys.size(), sizeof FBuffer - buffered);
    std::memmove(FBuffer + count, FBuffer + FPos, buffered);
    std::memcpy(FBuffer, AKeys.data(), count);
    FPos = 0;
    FLen = count + buffered;
}

bool CommWaitChar(int ATimeoutMs) {
    return WaitForByte(ATimeoutMs);
}

void CommSetUtf8(bool AUtf8) {
    FUtf8 = AUtf8;
}

bool CommUtf8() {
    return FUtf8;
}

bool CommBuffered() {
    return FPos < FLen;
}

const TTelnetTerminal& CommTerminal() {
    return FReceiver.Terminal;
}
