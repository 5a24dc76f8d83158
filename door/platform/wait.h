// Waiting without spinning: for the local keyboard, the caller's connection or the door's ending,
// whichever comes first. The handles are what the platform waits on (a descriptor for poll() on
// POSIX, an object handle for WaitForMultipleObjects on Windows).
#pragma once

#include <cstdint>

using TWaitHandle = std::intptr_t;
inline constexpr TWaitHandle kNoWaitHandle = -1;

// Waits until one of ACount handles is ready for reading (kNoWaitHandle entries are skipped) or
// ATimeoutMs has passed (-1: no limit). Returns the index of a ready handle, -1 when none is
// (time-out or an interrupting signal).
int WaitForAny(const TWaitHandle* AHandles, int ACount, int ATimeoutMs);

// Waits up to ATimeoutMs for the socket ASocket to take data (a connect in progress has ended
// once it does); true when it will.
bool WaitWritable(TWaitHandle ASocket, int ATimeoutMs);

// True when AHandle is ready for reading now (never waits); false for kNoWaitHandle.
bool WaitHandleReady(TWaitHandle AHandle);
