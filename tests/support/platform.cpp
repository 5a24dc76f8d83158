// The tests' operating system calls. Sockets are Berkeley sockets on both systems (Winsock on
// Windows), so one source serves both, with the few differences marked.
#include "tests/support/platform.h"

#include <cstdlib>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <process.h>
using socklen_t = int;
constexpr int MSG_NOSIGNAL = 0;
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
using SOCKET = int;
#endif

namespace {

#ifdef _WIN32
[[maybe_unused]] const bool kWinsock = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}();
#endif

SOCKET Sock(TTestSocket ASocket) {
    return static_cast<SOCKET>(ASocket);
}

template <typename T> void SetOption(TTestSocket ASocket, int ALevel, int AName, T AValue) {
    ::setsockopt(Sock(ASocket), ALevel, AName, reinterpret_cast<const char*>(&AValue),
                 sizeof AValue);
}

// Sent bytes go out at once (no Nagle delay), and programs the test starts inherit nothing.
TTestSocket Prepared(SOCKET ASocket) {
    if (ASocket == static_cast<SOCKET>(-1)) return kNoSocket;
    SetOption(ASocket, IPPROTO_TCP, TCP_NODELAY, 1);
#ifdef _WIN32
    ::SetHandleInformation(reinterpret_cast<HANDLE>(ASocket), HANDLE_FLAG_INHERIT, 0);
#else
    ::fcntl(ASocket, F_SETFD, FD_CLOEXEC);
#endif
    return static_cast<TTestSocket>(ASocket);
}

sockaddr_in Loopback(std::uint16_t APort) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(APort);
    return address;
}

} // namespace

TTestSocket TestListen(std::uint16_t& APort) {
    const TTestSocket s = Prepared(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    ::bind(Sock(s), reinterpret_cast<sockaddr*>(&address), length);
    ::listen(Sock(s), 16);
    ::getsockname(Sock(s), reinterpret_cast<sockaddr*>(&address), &length);
    APort = ntohs(address.sin_port);
    return s;
}

TTestSocket TestAccept(TTestSocket AListener, int AWaitMs) {
    if (!TestReadable(AListener, AWaitMs)) return kNoSocket;
    return Prepared(::accept(Sock(AListener), nullptr, nullptr));
}

TTestSocket TestConnect(std::uint16_t APort) {
    const TTestSocket s = Prepared(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    const sockaddr_in address = Loopback(APort);
    if (::connect(Sock(s), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return s;
    TestClose(s);
    return kNoSocket;
}

TSocketPair TestSocketPair() {
    std::uint16_t port = 0;
    const TTestSocket listener = TestListen(port), caller = TestConnect(port);
    const TTestSocket door = TestAccept(listener, 5000);
    TestClose(listener);
    return {door, caller};
}

bool TestReadable(TTestSocket ASocket, int AWaitMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(Sock(ASocket), &set);
    timeval limit{AWaitMs / 1000, AWaitMs % 1000 * 1000};
    return ::select(static_cast<int>(ASocket) + 1, &set, nullptr, nullptr, &limit) > 0;
}

std::string TestReceive(TTestSocket ASocket, int AWaitMs, std::size_t AMax) {
    std::string bytes(AMax, '\0');
    const auto n = TestReadable(ASocket, AWaitMs)
                       ? ::recv(Sock(ASocket), bytes.data(), static_cast<int>(AMax), 0)
                       : 0;
    bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return bytes;
}

void TestSend(TTestSocket ASocket, std::string_view ABytes) {
    for (std::size_t done = 0; done < ABytes.size();) {
        const auto n = ::send(Sock(ASocket), ABytes.data() + done,
                              static_cast<int>(ABytes.size() - done), MSG_NOSIGNAL);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

void TestSetBuffers(TTestSocket ASocket, int ARcvBuf, int ASndBuf) {
    SetOption(ASocket, SOL_SOCKET, SO_RCVBUF, ARcvBuf);
    SetOption(ASocket, SOL_SOCKET, SO_SNDBUF, ASndBuf);
}

bool TestBlocks(TTestSocket ASocket) {
#ifdef _WIN32
    // Windows cannot report a socket's mode: a receive with a time limit tells. Blocking, it
    // times out; non-blocking, it fails at once with "would block".
    SetOption(ASocket, SOL_SOCKET, SO_RCVTIMEO, DWORD{50});
    char none = 0;
    const bool blocks = ::recv(Sock(ASocket), &none, 1, MSG_PEEK) == SOCKET_ERROR &&
                        ::WSAGetLastError() == WSAETIMEDOUT;
    SetOption(ASocket, SOL_SOCKET, SO_RCVTIMEO, DWORD{0});
    return blocks;
#else
    return (::fcntl(Sock(ASocket), F_GETFL) & O_NONBLOCK) == 0;
#endif
}

void TestClose(TTestSocket ASocket, bool AReset) {
    if (ASocket == kNoSocket) return;
    if (AReset) SetOption(ASocket, SOL_SOCKET, SO_LINGER, linger{1, 0});
#ifdef _WIN32
    ::closesocket(Sock(ASocket));
#else
    ::close(Sock(ASocket));
#endif
}

std::filesystem::path TestScratchDir() {
    for (int count = 0;; ++count) {
        const auto dir =
            std::filesystem::temp_directory_path() /
            ("glimra-unit." + std::to_string(::getpid()) + "." + std::to_string(count));
        if (std::filesystem::create_directory(dir)) return dir;
    }
}

#ifdef _WIN32

TTestSocket TestDuplicate(TTestSocket ASocket) {
    WSAPROTOCOL_INFOW info{};
    if (::WSADuplicateSocketW(Sock(ASocket), ::GetCurrentProcessId(), &info) != 0) return kNoSocket;
    return Prepared(::WSASocketW(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, &info,
                                 0, WSA_FLAG_OVERLAPPED));
}

void TestSetEnv(const char* AName, const char* AValue) {
    ::_putenv_s(AName, AValue ? AValue : ""); // an empty value removes it
}

std::vector<std::string> TestSpecialFiles() {
    return {"NUL", "CON"};
}

int TestRun(const std::string& ACommand) {
    return std::system(ACommand.c_str()); // cmd.exe gives the program's exit code
}

bool TestSmallDisk(const std::string&) {
    return false;
}

void TestUnmount(const std::string&) {}

#else

TTestSocket TestDuplicate(TTestSocket ASocket) {
    return ::fcntl(Sock(ASocket), F_DUPFD_CLOEXEC, 0);
}

void TestSetEnv(const char* AName, const char* AValue) {
    AValue ? ::setenv(AName, AValue, 1) : ::unsetenv(AName);
}

std::vector<std::string> TestSpecialFiles() {
    ::mkfifo("fifo", 0600);
    return {"/dev/zero", "fifo"};
}

int TestRun(const std::string& ACommand) {
    const int status = std::system(ACommand.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool TestSmallDisk(const std::string& ADir) {
    return ::mkdir(ADir.c_str(), 0700) == 0 &&
           ::mount("tmpfs", ADir.c_str(), "tmpfs", 0, "size=1m") == 0; // as root only
}

void TestUnmount(const std::string& ADir) {
    ::umount2(ADir.c_str(), MNT_DETACH);
}

#endif
