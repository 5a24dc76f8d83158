// What the unit tests do through the operating system, the same on Linux and on Windows (under
// Wine): a connected stream socket pair, a server socket on 127.0.0.1, waiting and receiving,
// the environment, scratch directories, files that are no regular files, running a program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

using TTestSocket = std::intptr_t; // a descriptor on POSIX, a SOCKET on Windows
inline constexpr TTestSocket kNoSocket = -1;

// The two ends of a connection on 127.0.0.1: blocking, sent bytes reaching the other end at once.
struct TSocketPair {
    TTestSocket Door, Caller;
};
TSocketPair TestSocketPair();

// A connection to APort on 127.0.0.1; kNoSocket when it is refused.
TTestSocket TestConnect(std::uint16_t APort);
// A socket listening on 127.0.0.1 at a free port, which APort receives.
TTestSocket TestListen(std::uint16_t& APort);
// The next connection to AListener; kNoSocket when none comes within AWaitMs.
TTestSocket TestAccept(TTestSocket AListener, int AWaitMs);

// True when ASocket has bytes (or its end) to read within AWaitMs.
bool TestReadable(TTestSocket ASocket, int AWaitMs);
// Up to AMax bytes of what has come, waiting AWaitMs at most for the first; "" if none or ended.
std::string TestReceive(TTestSocket ASocket, int AWaitMs = 0, std::size_t AMax = 65536);
// ACount bytes, fewer when the connection ends or stays silent for 2 s.
inline std::string TestRead(TTestSocket ASocket, std::size_t ACount) {
    std::string got;
    for (std::string more;
         got.size() < ACount && !(more = TestReceive(ASocket, 2000, ACount - got.size())).empty();)
        got += more;
    return got;
}
// Sends all of ABytes (less when the connection is gone).
void TestSend(TTestSocket ASocket, std::string_view ABytes);
// Sets the receive (ARcvBuf) and send buffer sizes of a socket.
void TestSetBuffers(TTestSocket ASocket, int ARcvBuf, int ASndBuf);
// Closes ASocket; with AReset the connection is reset (as when the program at this end crashed).
void TestClose(TTestSocket ASocket, bool AReset = false);
// A second handle of the test's own on the socket ASocket, as a BBS keeps one.
TTestSocket TestDuplicate(TTestSocket ASocket);
// True when a receive on ASocket waits for bytes (blocking mode), false when it returns at once.
bool TestBlocks(TTestSocket ASocket);

// Sets the environment variable AName, or removes it when AValue is null.
void TestSetEnv(const char* AName, const char* AValue);
// A new, empty directory under the system's temporary directory.
std::filesystem::path TestScratchDir();
// Names of what a reader must not open as a regular file: devices, a FIFO made here if possible.
std::vector<std::string> TestSpecialFiles();
// Runs ACommand through the system's shell; its exit code (-1 when it did not end normally).
int TestRun(const std::string& ACommand);
// Mounts a 1 MiB file system on a new directory ADir (to be filled up); false where it cannot.
bool TestSmallDisk(const std::string& ADir);
void TestUnmount(const std::string& ADir);
