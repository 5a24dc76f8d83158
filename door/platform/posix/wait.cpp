// Waiting on descriptors with poll().
#include "door/platform/wait.h"

#include <poll.h>

int WaitForAny(const TWaitHandle* AHandles, int ACount, int ATimeoutMs) {
    pollfd fds[8];
    int index[8];
    nfds_t count = 0;
    for (int i = 0; i < ACount && count < 8; ++i) {
        if (AHandles[i] == kNoWaitHandle) continue;
        fds[count] = pollfd{static_cast<int>(AHandles[i]), POLLIN, 0};
        index[count++] = i;
    }
    if (::poll(fds, count, ATimeoutMs) <= 0) return -1;
    for (nfds_t i = 0; i < count; ++i)
        if (fds[i].revents != 0) return index[i];
    return -1;
}

bool WaitWritable(TWaitHandle ASocket, int ATimeoutMs) {
    pollfd pfd{static_cast<int>(ASocket), POLLOUT, 0};
    return ::poll(&pfd, 1, ATimeoutMs) > 0 && (pfd.revents & (POLLOUT | POLLERR | POLLHUP));
}

bool WaitHandleReady(TWaitHandle AHandle) {
    if (AHandle == kNoWaitHandle) return false;
    pollfd pfd{static_cast<int>(AHandle), POLLIN, 0};
    return ::poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN);
}
