// The socket transport on POSIX sockets: telnet offers, IAC doubling on output, and a small
// receive buffer polled without blocking, passed through the telnet filter before it holds keys.
#include "door/comm.h"

#include "door/cp437.h"
#include "door/telnet.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::uint8_t kIAC = 255;
constexpr std::size_t kReceiveSize = 1024;
constexpr std::size_t kUnreadSize = 256; // room for keys put back (CommUnread)

std::int32_t FCommNumber = -1;
bool FCarrier = true;
// Received keys not yet taken, already filtered: FBuffer[FPos, FLen).
std::uint8_t FBuffer[kReceiveSize + kUnreadSize];
std::size_t FPos = 0;
std::size_t FLen = 0;
TTelnetReceiver FReceiver;
// Bytes 0x80 to 0xFF go out as the UTF-8 of their CP437 glyphs (CommSetUtf8).
bool FUtf8 = false;
// Readable once the door is ending (CommSetEndingFd); -1: none.
int FEndingFd = -1;
// The descriptor's file status flags as the BBS left them; restored before we close, because
// the BBS's own descriptor shares them.
int FSavedFlags = -1;

bool IsStreamSocket(int AFd) {
    if (AFd < 0) return false;
    int type = 0;
    socklen_t len = sizeof type;
    return ::getsockopt(AFd, SOL_SOCKET, SO_TYPE, &type, &len) == 0 && type == SOCK_STREAM;
}

// Errors after which nothing sent can arrive any more.
bool IsConnectionGone(int AErr) {
    return AErr != ENOBUFS && AErr != ENOMEM;
}

enum class TSendWait { Writable, Stalled, Ending };

// Waits until the socket takes more data, the caller has taken nothing for the stall limit, or
// the door is ending.
TSendWait WaitWritable(std::chrono::steady_clock::time_point ALastProgress) {
    using namespace std::chrono;
    for (;;) {
        auto waited = duration_cast<milliseconds>(steady_clock::now() - ALastProgress).count();
        if (waited >= CommSendStallMs) return TSendWait::Stalled;
        pollfd pfd[2] = {{FCommNumber, POLLOUT, 0}, {FEndingFd, POLLIN, 0}};
        int r = ::poll(pfd, 2, static_cast<int>(CommSendStallMs - waited));
        if (pfd[1].revents & POLLIN) return TSendWait::Ending;
        if (r > 0) return TSendWait::Writable;
        if (r < 0 && errno != EINTR) return TSendWait::Stalled;
    }
}

// Sends every byte unless the connection is gone or stalls. Sends never raise SIGPIPE.
void SendAll(const std::uint8_t* AData, std::size_t ALen) {
    auto lastProgress = std::chrono::steady_clock::now();
    while (ALen > 0 && FCommNumber >= 0 && FCarrier) {
        ssize_t sent = ::send(FCommNumber, AData, ALen, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            AData += sent;
            ALen -= static_cast<std::size_t>(sent);
            lastProgress = std::chrono::steady_clock::now();
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const TSendWait wait = WaitWritable(lastProgress);
            if (wait == TSendWait::Ending) return; // the rest is dropped: nobody waits any more
            if (wait == TSendWait::Stalled) FCarrier = false;
            continue;
        }
        if (sent < 0 && IsConnectionGone(errno)) FCarrier = false;
        return;
    }
}

// One zero-timeout poll of the socket; fills the empty buffer with what arrived.
void ReceiveData() {
    if (FCommNumber < 0 || !FCarrier) return;
    pollfd pfd{FCommNumber, POLLIN, 0};
    if (::poll(&pfd, 1, 0) <= 0) return;
    if (pfd.revents & POLLNVAL) {
        FCarrier = false;
        return;
    }
    ssize_t got = ::recv(FCommNumber, FBuffer, kReceiveSize, MSG_DONTWAIT);
    if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (got <= 0) {
        FCarrier = false;
        return;
    }
    FPos = 0;
    FLen = TelnetFilter(FReceiver, FBuffer, static_cast<std::size_t>(got));
}

// Waits up to ATimeoutMs (-1: no limit) for a received byte; false when none came, none can come
// any more or the door is ending.
bool WaitForByte(int ATimeoutMs) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(ATimeoutMs);
    while (FPos == FLen) {
        if (FCommNumber < 0 || !FCarrier) return false;
        int wait = -1;
        if (ATimeoutMs >= 0) {
            const auto left = ceil<milliseconds>(deadline - steady_clock::now()).count();
            wait = static_cast<int>(std::max<decltype(left)>(0, left));
        }
        pollfd pfd[2] = {{FCommNumber, POLLIN, 0}, {FEndingFd, POLLIN, 0}};
        if (::poll(pfd, 2, wait) < 0 && errno != EINTR) return false;
        if (pfd[1].revents & POLLIN) return false;
        ReceiveData();
        if (wait == 0) return FPos < FLen;
    }
    return true;
}

} // namespace

int CommSendStallMs = 60000;

void CommOpen(std::int32_t ACommNumber) {
    if (FCommNumber >= 0) CommClose(false);
    FPos = FLen = 0;
    FReceiver = {};
    FUtf8 = false;
    FCarrier = IsStreamSocket(ACommNumber);
    if (!FCarrier) return;
    FCommNumber = ACommNumber;
    FSavedFlags = ::fcntl(FCommNumber, F_GETFL);
    if (FSavedFlags >= 0 && (FSavedFlags & O_NONBLOCK))
        ::fcntl(FCommNumber, F_SETFL, FSavedFlags & ~O_NONBLOCK);
    CommWriteRaw(std::string("\xFF\xFB\x00", 3)); // IAC WILL TRANSMIT-BINARY
    CommWriteRaw(std::string("\xFF\xFB\x01", 3)); // IAC WILL ECHO
}

void CommClose(bool ADisconnect) {
    if (FCommNumber < 0) return;
    if (ADisconnect) ::shutdown(FCommNumber, SHUT_RDWR);
    if (FSavedFlags >= 0) ::fcntl(FCommNumber, F_SETFL, FSavedFlags);
    // Linux releases the descriptor even when close() is interrupted, so it is never retried.
    ::close(FCommNumber);
    FCommNumber = -1;
    FSavedFlags = -1;
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
            if (b == kIAC) chunk[used++] = kIAC;
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

int CommHandle() {
    return FCarrier ? FCommNumber : -1;
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

void CommSetEndingFd(int AFd) {
    FEndingFd = AFd;
}
