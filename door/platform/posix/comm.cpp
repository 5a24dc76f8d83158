// The socket transport's system calls on POSIX: the inherited descriptor, sends and receives that
// never block and never raise SIGPIPE, and poll() for room to send.
#include "door/platform/comm.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int FCommNumber = -1;
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

} // namespace

bool SockOpen(std::int32_t AHandle) {
    if (!IsStreamSocket(AHandle)) return false;
    FCommNumber = AHandle;
    FSavedFlags = ::fcntl(FCommNumber, F_GETFL);
    if (FSavedFlags >= 0 && (FSavedFlags & O_NONBLOCK))
        ::fcntl(FCommNumber, F_SETFL, FSavedFlags & ~O_NONBLOCK);
    return true;
}

void SockClose(bool ADisconnect) {
    if (FCommNumber < 0) return;
    if (ADisconnect) ::shutdown(FCommNumber, SHUT_RDWR);
    if (FSavedFlags >= 0) ::fcntl(FCommNumber, F_SETFL, FSavedFlags);
    // Linux releases the descriptor even when close() is interrupted, so it is never retried.
    ::close(FCommNumber);
    FCommNumber = -1;
    FSavedFlags = -1;
}

TSockIo SockSend(const std::uint8_t* AData, std::size_t ALen, std::size_t& ASent) {
    for (;;) {
        const ssize_t sent = ::send(FCommNumber, AData, ALen, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            ASent = static_cast<std::size_t>(sent);
            return TSockIo::Done;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return TSockIo::WouldBlock;
        if (sent < 0 && IsConnectionGone(errno)) return TSockIo::Gone;
        return TSockIo::Failed;
    }
}

TSockIo SockReceive(std::uint8_t* AData, std::size_t ASize, std::size_t& AGot) {
    pollfd pfd{FCommNumber, POLLIN, 0};
    if (::poll(&pfd, 1, 0) <= 0) return TSockIo::WouldBlock;
    if (pfd.revents & POLLNVAL) return TSockIo::Gone;
    const ssize_t got = ::recv(FCommNumber, AData, ASize, MSG_DONTWAIT);
    if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
        return TSockIo::WouldBlock;
    if (got <= 0) return TSockIo::Gone;
    AGot = static_cast<std::size_t>(got);
    return TSockIo::Done;
}

TSockWait SockWaitWritable(int ATimeoutMs, TWaitHandle AEnding) {
    pollfd pfd[2] = {{FCommNumber, POLLOUT, 0}, {static_cast<int>(AEnding), POLLIN, 0}};
    const int r = ::poll(pfd, 2, ATimeoutMs);
    if (pfd[1].revents & POLLIN) return TSockWait::Ending;
    if (r > 0) return TSockWait::Ready;
    if (r < 0 && errno == EINTR) return TSockWait::Ready; // the caller looks again
    return TSockWait::TimedOut;
}

TWaitHandle SockReadHandle() {
    return FCommNumber;
}
