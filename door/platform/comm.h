// The operating system's side of the socket transport: the one stream socket the BBS handed over,
// as comm.cpp uses it. comm_posix.cpp and comm_windows.cpp implement it.
#pragma once

#include "door/platform/wait.h"

#include <cstddef>
#include <cstdint>

enum class TSockIo {
    Done,       // bytes moved
    WouldBlock, // nothing can move now
    Failed,     // this call failed, the connection may still be fine
    Gone,       // the connection is lost or closed
};

// Takes over AHandle when it is a connected stream socket (its blocking mode is saved to be put
// back at close); false, keeping nothing, when it is not one.
bool SockOpen(std::int32_t AHandle);
// Puts the blocking mode back and closes our handle, after a shutdown when ADisconnect is set.
// Without it the caller stays connected through the BBS's own handle.
void SockClose(bool ADisconnect);
// Sends up to ALen bytes without waiting; ASent tells how many went.
TSockIo SockSend(const std::uint8_t* AData, std::size_t ALen, std::size_t& ASent);
// Receives up to ASize bytes without waiting; AGot tells how many came (Done means AGot > 0).
TSockIo SockReceive(std::uint8_t* AData, std::size_t ASize, std::size_t& AGot);

enum class TSockWait { Ready, TimedOut, Ending };
// Waits up to ATimeoutMs for room to send, or until AEnding is ready.
TSockWait SockWaitWritable(int ATimeoutMs, TWaitHandle AEnding);
// The handle that is ready when received bytes (or the connection's end) are waiting.
TWaitHandle SockReadHandle();
