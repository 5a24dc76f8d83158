// The socket transport's system calls on Windows: Winsock on the socket handle the BBS handed over.
// The handle is adopted through WSADuplicateSocketW (Wine keeps sockets per process, so an
// inherited handle sends nothing there until it is adopted; on Windows the copy is as good as
// the original). An event tells the waits about received bytes, room to send and the end.
#include "door/platform/comm.h"

#include <windows.h>
#include <winsock2.h>

namespace {

SOCKET FSocket = INVALID_SOCKET;
WSAEVENT FEvent = WSA_INVALID_EVENT;
// Winsock reports the connection's end once: it is kept here, so that the receives after the
// report (which may also have brought the last bytes) still find it.
bool FClosed = false;

bool StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

// Closes the inherited copy of the handle. Under Wine closesocket() does not know an inherited
// handle; the kernel handle is closed then.
void CloseInherited(SOCKET AHandle) {
    if (::closesocket(AHandle) != 0) ::CloseHandle(reinterpret_cast<HANDLE>(AHandle));
}

// The network events recorded since the last call (reading them resets the event).
long TakeEvents() {
    WSANETWORKEVENTS events{};
    if (::WSAEnumNetworkEvents(FSocket, FEvent, &events) != 0) return FD_READ | FD_WRITE;
    if (events.lNetworkEvents & FD_CLOSE) FClosed = true;
    return events.lNetworkEvents;
}

} // namespace

bool SockOpen(std::int32_t AHandle) {
    if (AHandle <= 0 || !StartWinsock()) return false;
    const auto inherited = static_cast<SOCKET>(static_cast<std::uint32_t>(AHandle));
    WSAPROTOCOL_INFOW info{};
    // Fails for a handle that is no socket (or no handle at all).
    if (::WSADuplicateSocketW(inherited, ::GetCurrentProcessId(), &info) != 0) return false;
    if (info.iSocketType != SOCK_STREAM) return false;
    const SOCKET own = ::WSASocketW(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO,
                                    &info, 0, WSA_FLAG_OVERLAPPED);
    if (own == INVALID_SOCKET) return false;
    ::SetHandleInformation(reinterpret_cast<HANDLE>(own), HANDLE_FLAG_INHERIT, 0);
    FEvent = ::WSACreateEvent();
    if (FEvent == WSA_INVALID_EVENT ||
        ::WSAEventSelect(own, FEvent, FD_READ | FD_WRITE | FD_CLOSE) != 0) {
        if (FEvent != WSA_INVALID_EVENT) ::WSACloseEvent(FEvent);
        FEvent = WSA_INVALID_EVENT;
        ::closesocket(own);
        return false;
    }
    CloseInherited(inherited);
    FSocket = own;
    FClosed = false;
    return true;
}

void SockClose(bool ADisconnect) {
    if (FSocket == INVALID_SOCKET) return;
    // The event selection made the socket non-blocking, for the BBS's handle too: BBS sockets
    // are blocking, so that is how the socket goes back.
    ::WSAEventSelect(FSocket, nullptr, 0);
    u_long nonBlocking = 0;
    ::ioctlsocket(FSocket, FIONBIO, &nonBlocking);
    if (ADisconnect) ::shutdown(FSocket, SD_BOTH);
    ::closesocket(FSocket);
    ::WSACloseEvent(FEvent);
    FSocket = INVALID_SOCKET;
    FEvent = WSA_INVALID_EVENT;
}

TSockIo SockSend(const std::uint8_t* AData, std::size_t ALen, std::size_t& ASent) {
    const int len = ALen > 0x10000 ? 0x10000 : static_cast<int>(ALen);
    for (;;) {
        const int sent = ::send(FSocket, reinterpret_cast<const char*>(AData), len, 0);
        if (sent > 0) {
            ASent = static_cast<std::size_t>(sent);
            return TSockIo::Done;
        }
        const int error = sent == 0 ? 0 : ::WSAGetLastError();
        if (error == WSAEINTR) continue;
        if (error == WSAEWOULDBLOCK) return TSockIo::WouldBlock;
        if (error == WSAENOBUFS || error == 0) return TSockIo::Failed;
        return TSockIo::Gone;
    }
}

TSockIo SockReceive(std::uint8_t* AData, std::size_t ASize, std::size_t& AGot) {
    // Winsock records FD_READ again after a receive that leaves bytes waiting, and for bytes
    // that arrive later, so without a record (and before the end) there is nothing to receive:
    // no receive call is made (under Wine each is a round trip to its server, and this runs at
    // every wake-up).
    if (!(TakeEvents() & FD_READ) && !FClosed) return TSockIo::WouldBlock;
    const int size = ASize > 0x10000 ? 0x10000 : static_cast<int>(ASize);
    const int got = ::recv(FSocket, reinterpret_cast<char*>(AData), size, 0);
    if (got > 0) {
        AGot = static_cast<std::size_t>(got);
        return TSockIo::Done;
    }
    if (got == 0) return TSockIo::Gone;
    const int error = ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAEINTR) return TSockIo::WouldBlock;
    return TSockIo::Gone;
}

TSockWait SockWaitWritable(int ATimeoutMs, TWaitHandle AEnding) {
    // Room reported since the failed send counts.
    if ((TakeEvents() & FD_WRITE) || FClosed) return TSockWait::Ready;
    HANDLE handles[2] = {FEvent, reinterpret_cast<HANDLE>(AEnding)};
    const DWORD count = AEnding == kNoWaitHandle ? 1 : 2;
    const DWORD r = ::WaitForMultipleObjects(count, handles, FALSE, static_cast<DWORD>(ATimeoutMs));
    if (r == WAIT_OBJECT_0 + 1) return TSockWait::Ending;
    if (r == WAIT_OBJECT_0) return TSockWait::Ready;
    return TSockWait::TimedOut;
}

TWaitHandle SockReadHandle() {
    return reinterpret_cast<TWaitHandle>(FEvent);
}
