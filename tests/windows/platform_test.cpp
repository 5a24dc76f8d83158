// The Windows platform layer: the socket transport on a real loopback connection (adopting the
// BBS's handle, waiting without spinning, handing back a blocking socket), a handle that is no
// socket, and the headless console of a program without a console.
#include "door/comm.h"
#include "door/console.h"
#include "door/wait.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <winsock2.h>

#include <string>

namespace {

// A connection on 127.0.0.1: the BBS's handle, the copy the door inherits, the caller's end.
struct TLink {
    SOCKET Bbs = INVALID_SOCKET;
    SOCKET Inherited = INVALID_SOCKET;
    SOCKET Caller = INVALID_SOCKET;
};

TLink Connect() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    TLink link;
    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    link.Caller = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ::connect(link.Caller, reinterpret_cast<sockaddr*>(&address), sizeof address);
    link.Bbs = ::accept(listener, nullptr, nullptr);
    ::closesocket(listener);
    // What a child process inherits is a handle of its own to the same socket.
    WSAPROTOCOL_INFOW info{};
    ::WSADuplicateSocketW(link.Bbs, ::GetCurrentProcessId(), &info);
    link.Inherited = ::WSASocketW(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, &info,
                                  0, WSA_FLAG_OVERLAPPED);
    for (SOCKET s : {link.Bbs, link.Caller}) {
        DWORD ms = 2000;
        ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
    }
    return link;
}

std::string Receive(SOCKET AFrom, std::size_t ACount) {
    std::string got(ACount, '\0');
    std::size_t have = 0;
    while (have < ACount) {
        const int n = ::recv(AFrom, got.data() + have, static_cast<int>(ACount - have), 0);
        if (n <= 0) break;
        have += static_cast<std::size_t>(n);
    }
    got.resize(have);
    return got;
}

} // namespace

TEST(WindowsComm, AdoptsTheInheritedSocketWaitsWithoutSpinningAndHandsItBackBlocking) {
    TLink link = Connect();
    CommOpen(static_cast<std::int32_t>(link.Inherited));
    ASSERT_TRUE(CommCarrier());
    EXPECT_EQ(Receive(link.Caller, 6), std::string("\xFF\xFB\x00\xFF\xFB\x01", 6));
    CommWrite("A\xFF");
    EXPECT_EQ(Receive(link.Caller, 3), "A\xFF\xFF");

    const TWaitHandle socket = CommHandle();
    ASSERT_NE(socket, kNoWaitHandle);
    EXPECT_FALSE(CommCharAvail());
    EXPECT_EQ(WaitForAny(&socket, 1, 100), -1) << "an idle caller must not wake the door";
    ::send(link.Caller, "x\r\n", 3, 0);
    EXPECT_EQ(WaitForAny(&socket, 1, 5000), 0);
    EXPECT_EQ(CommReadChar(), 'x');
    EXPECT_EQ(CommReadChar(), '\r');
    EXPECT_FALSE(CommCharAvail()) << "CR LF is one Enter";
    EXPECT_EQ(WaitForAny(&socket, 1, 100), -1) << "taken bytes must not wake the door again";

    CommClose(false);
    // The BBS's handle works, and blocks again: a receive with nothing waiting runs into its
    // time-out instead of failing at once as a non-blocking socket would.
    DWORD ms = 200;
    ::setsockopt(link.Bbs, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
    char c = 0;
    EXPECT_EQ(::recv(link.Bbs, &c, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(::WSAGetLastError(), WSAETIMEDOUT);
    ASSERT_EQ(::send(link.Bbs, "ok", 2, 0), 2);
    EXPECT_EQ(Receive(link.Caller, 2), "ok");
    ::closesocket(link.Bbs);
    ::closesocket(link.Caller);
}

TEST(WindowsComm, ACallerWhoDropsEndsTheCarrierAndTheWaits) {
    TLink link = Connect();
    CommOpen(static_cast<std::int32_t>(link.Inherited));
    ASSERT_TRUE(CommCarrier());
    ::closesocket(link.Caller);
    EXPECT_EQ(CommReadChar(), 0);
    EXPECT_FALSE(CommCarrier());
    EXPECT_EQ(CommHandle(), kNoWaitHandle) << "a dead connection must not wake a wait forever";
    CommClose(false);
    ::closesocket(link.Bbs);
}

TEST(WindowsComm, AHandleThatIsNoSocketGivesNoCarrier) {
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    for (std::int32_t handle :
         {-1, 0, 987654, static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(event))}) {
        CommOpen(handle);
        EXPECT_FALSE(CommCarrier()) << handle;
        EXPECT_EQ(CommHandle(), kNoWaitHandle) << handle;
    }
    ::CloseHandle(event);
}

TEST(WindowsConsole, RedirectedStandardHandlesRunHeadless) {
    // CTest runs the tests with standard input and output redirected.
    EXPECT_FALSE(ConsoleIsTerminal());
    EXPECT_EQ(ConsoleKeyFd(), kNoWaitHandle);
}
