// Waiting on kernel objects (events, the console input) with WaitForMultipleObjects.
#include "door/platform/wait.h"

#include <winsock2.h>

#include <windows.h>

int WaitForAny(const TWaitHandle* AHandles, int ACount, int ATimeoutMs) {
    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    int index[MAXIMUM_WAIT_OBJECTS];
    DWORD count = 0;
    for (int i = 0; i < ACount && count < MAXIMUM_WAIT_OBJECTS; ++i) {
        if (AHandles[i] == kNoWaitHandle) continue;
        handles[count] = reinterpret_cast<HANDLE>(AHandles[i]);
        index[count++] = i;
    }
    const DWORD timeout = ATimeoutMs < 0 ? INFINITE : static_cast<DWORD>(ATimeoutMs);
    if (count == 0) {
        ::Sleep(timeout);
        return -1;
    }
    const DWORD r = ::WaitForMultipleObjects(count, handles, FALSE, timeout);
    if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + count) return index[r - WAIT_OBJECT_0];
    return -1;
}

bool WaitWritable(TWaitHandle ASocket, int ATimeoutMs) {
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(static_cast<SOCKET>(ASocket), &writable);
    FD_SET(static_cast<SOCKET>(ASocket), &failed); // a connect that failed
    timeval limit{ATimeoutMs / 1000, (ATimeoutMs % 1000) * 1000};
    return ::select(0, nullptr, &writable, &failed, ATimeoutMs < 0 ? nullptr : &limit) > 0;
}

bool WaitHandleReady(TWaitHandle AHandle) {
    if (AHandle == kNoWaitHandle) return false;
    return ::WaitForSingleObject(reinterpret_cast<HANDLE>(AHandle), 0) == WAIT_OBJECT_0;
}
