// The socket transport on real connections: a Unix socket pair and TCP on 127.0.0.1, with the
// test playing the caller (and the BBS, which keeps its own descriptor of the connection).
#include "door/comm.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>

namespace {

using namespace std::string_literals;

const std::string kOffers = "\xFF\xFB\x00\xFF\xFB\x01"s;

// A connected pair: Door is the descriptor the door is given, Caller the remote end.
struct Link {
    int Door = -1;
    int Caller = -1;
    ~Link() {
        if (Door >= 0) ::close(Door);
        if (Caller >= 0) ::close(Caller);
    }
};

void MakeUnixPair(Link& ALink) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    ALink.Door = fds[0];
    ALink.Caller = fds[1];
}

void MakeTcpPair(Link& ALink) {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    ALink.Caller = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(::connect(ALink.Caller, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ALink.Door = ::accept(listener, nullptr, nullptr);
    ::close(listener);
    ASSERT_GE(ALink.Door, 0);
}

void MakePair(Link& ALink, bool ATcp) {
    if (ATcp)
        MakeTcpPair(ALink);
    else
        MakeUnixPair(ALink);
}

bool Readable(int AFd, int AMs = 2000) {
    pollfd pfd{AFd, POLLIN, 0};
    return ::poll(&pfd, 1, AMs) > 0;
}

// Reads exactly ACount bytes from AFd (less if it closes or stays silent for 2 s).
std::string ReadBytes(int AFd, std::size_t ACount) {
    std::string got;
    char buf[4096];
    while (got.size() < ACount && Readable(AFd)) {
        ssize_t n = ::read(AFd, buf, std::min(sizeof buf, ACount - got.size()));
        if (n <= 0) break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

void SendAll(int AFd, const std::string& AText) {
    ASSERT_EQ(::send(AFd, AText.data(), AText.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(AText.size()));
}

// Opens the door's end and takes the telnet offers off the caller's end.
void OpenDoor(const Link& ALink) {
    CommOpen(ALink.Door);
    ASSERT_TRUE(CommCarrier());
    ASSERT_EQ(ReadBytes(ALink.Caller, kOffers.size()), kOffers);
}

// Waits until the transport has bytes, then takes every byte of that one receive.
std::string DrainReceive(int ADoorFd) {
    EXPECT_TRUE(Readable(ADoorFd));
    std::string got;
    while (CommCharAvail() && got.size() < 4096) got += CommReadChar();
    return got;
}

class CommTest : public ::testing::TestWithParam<bool> {
  protected:
    void TearDown() override {
        CommClose(false);
        CommSendStallMs = 60000;
    }
    Link link;
};

INSTANTIATE_TEST_SUITE_P(Transports, CommTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Tcp" : "UnixPair"; });

TEST_P(CommTest, OpenOffersBinaryAndEchoFirstAndRunsBlocking) {
    MakePair(link, GetParam());
    int flags = ::fcntl(link.Door, F_GETFL);
    ASSERT_EQ(::fcntl(link.Door, F_SETFL, flags | O_NONBLOCK), 0);
    int bbs = ::dup(link.Door); // the BBS's own descriptor shares the file status flags

    CommOpen(link.Door);
    EXPECT_TRUE(CommCarrier());
    EXPECT_EQ(CommHandle(), link.Door);
    EXPECT_EQ(::fcntl(bbs, F_GETFL) & O_NONBLOCK, 0);
    CommWrite("Hi");
    EXPECT_EQ(ReadBytes(link.Caller, kOffers.size() + 2), kOffers + "Hi");

    CommClose(false);
    link.Door = -1; // closed by the transport
    EXPECT_EQ(CommHandle(), -1);
    EXPECT_NE(::fcntl(bbs, F_GETFL) & O_NONBLOCK, 0) << "the BBS's mode is given back";
    ::close(bbs);
}

TEST_P(CommTest, LineEndsFoldIntoOneCrWithinOneReceive) {
    MakePair(link, GetParam());
    OpenDoor(link);
    const struct {
        std::string In, Out;
    } cases[] = {
        {"a\r\nb", "a\rb"},
        {"a\r\0b"s, "a\rb"},
        {"a\nb", "a\rb"},
        {"a\rb", "a\rb"},
        {"\r\n\r\n", "\r\r"},
        {"\r\r\n", "\r\r"},
        {"\r\n\0"s, "\r"},
        {"x\0y"s, "x\0y"s},
        {"\n\0"s, "\r\0"s},
        {"\r\n\n\r", "\r\r\r"},
        {"\xFF\xFD\x01"s, "\xFF\xFD\x01"s},
    };
    for (const auto& c : cases) {
        SendAll(link.Caller, c.In);
        EXPECT_EQ(DrainReceive(link.Door), c.Out) << "input of " << c.In.size() << " bytes";
    }

    // The fold sees one receive at a time: CR now and LF later are two keys.
    SendAll(link.Caller, "\r");
    EXPECT_EQ(DrainReceive(link.Door), "\r");
    SendAll(link.Caller, "\n");
    EXPECT_EQ(DrainReceive(link.Door), "\r");
}

TEST_P(CommTest, PeekLeavesTheByteAndBufferedBytesNeedNoPoll) {
    MakePair(link, GetParam());
    OpenDoor(link);
    EXPECT_FALSE(CommCharAvail());
    EXPECT_FALSE(CommBuffered());
    SendAll(link.Caller, "\x1b[A");
    ASSERT_TRUE(Readable(link.Door));
    ASSERT_TRUE(CommCharAvail());
    EXPECT_EQ(CommPeekChar(), '\x1b');
    EXPECT_EQ(CommPeekChar(), '\x1b');
    EXPECT_EQ(CommReadChar(), '\x1b');
    EXPECT_TRUE(CommBuffered());
    EXPECT_FALSE(Readable(link.Door, 0)) << "the rest was taken in the same receive";
    EXPECT_EQ(CommPeekChar(), '[');
    EXPECT_EQ(CommReadChar(), '[');
    EXPECT_EQ(CommReadChar(), 'A');
    EXPECT_FALSE(CommBuffered());
    EXPECT_FALSE(CommCharAvail());

    // A read that must wait gets the byte when it arrives.
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        SendAll(link.Caller, "q");
    });
    EXPECT_EQ(CommReadChar(), 'q');
    later.join();
}

TEST_P(CommTest, WriteDoublesIacAndOtherwiseSendsBytesAsGiven) {
    MakePair(link, GetParam());
    OpenDoor(link);
    CommWrite("a\xFF"
              "b\r\n\x1b[0m\xDB");
    EXPECT_EQ(ReadBytes(link.Caller, 11), "a\xFF\xFF"
                                          "b\r\n\x1b[0m\xDB");
    CommWriteRaw("\xFF\xFF");
    CommWrite("");
    CommWriteBlock("zz", 0);
    CommWriteBlock("zz", -5);
    CommWriteBlock("\xFF.", 2);
    EXPECT_EQ(ReadBytes(link.Caller, 4), "\xFF\xFF\xFF.");
    EXPECT_FALSE(Readable(link.Caller, 50)) << "an empty write sends nothing";

    // A screen larger than any socket buffer arrives whole, every 255 doubled.
    std::string big;
    for (int i = 0; i < 300000; ++i) big += static_cast<char>(i % 256);
    std::string expected;
    for (char c : big) {
        expected += c;
        if (c == '\xFF') expected += c;
    }
    std::string got;
    std::thread reader([&] { got = ReadBytes(link.Caller, expected.size()); });
    CommWrite(big);
    reader.join();
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
}

TEST_P(CommTest, CallerHangingUpEndsTheCarrierForGood) {
    MakePair(link, GetParam());
    OpenDoor(link);
    SendAll(link.Caller, "ok");
    ::close(link.Caller);
    link.Caller = -1;
    ASSERT_TRUE(Readable(link.Door));
    EXPECT_TRUE(CommCharAvail()) << "bytes sent before the hang-up are still keys";
    EXPECT_EQ(CommReadChar(), 'o');
    EXPECT_EQ(CommReadChar(), 'k');
    EXPECT_FALSE(CommCharAvail());
    EXPECT_FALSE(CommCarrier());
    EXPECT_EQ(CommHandle(), -1) << "a dead connection must not wake a poll() forever";
    EXPECT_EQ(CommReadChar(), '\0') << "reading a lost connection does not wait";
    for (int i = 0; i < 5; ++i) {
        CommWrite("still there?\r\n");
        EXPECT_FALSE(CommCharAvail());
        EXPECT_FALSE(CommCarrier());
    }
}

TEST_P(CommTest, WritingToAVanishedCallerReturnsNormally) {
    MakePair(link, GetParam());
    OpenDoor(link);
    ::close(link.Caller);
    link.Caller = -1;
    // No receive has noticed the hang-up yet: the sends themselves meet the dead connection
    // (EPIPE, which would raise SIGPIPE and kill the door without care).
    for (int i = 0; i < 20; ++i) CommWrite(std::string(1000, 'x'));
    EXPECT_FALSE(CommCharAvail());
    EXPECT_FALSE(CommCarrier());
}

TEST(Comm, ResetByTheCallerEndsTheCarrier) {
    Link link;
    MakeTcpPair(link);
    OpenDoor(link);
    linger hard{1, 0};
    ASSERT_EQ(::setsockopt(link.Caller, SOL_SOCKET, SO_LINGER, &hard, sizeof hard), 0);
    ::close(link.Caller);
    link.Caller = -1;
    ASSERT_TRUE(Readable(link.Door));
    EXPECT_FALSE(CommCharAvail());
    EXPECT_FALSE(CommCarrier());
    CommClose(false);
    link.Door = -1;
}

TEST(Comm, UnusableHandlesGiveNoCarrierAndSendNothing) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    int closedFd = ::dup(pipeFds[0]);
    ::close(closedFd);
    int udp = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(udp, 0);

    for (int handle : {-1, closedFd, pipeFds[1], udp, 100000}) {
        CommOpen(handle);
        EXPECT_FALSE(CommCarrier()) << "handle " << handle;
        EXPECT_EQ(CommHandle(), -1);
        CommWrite("hello");
        CommWriteRaw("x");
        EXPECT_FALSE(CommCharAvail());
        EXPECT_EQ(CommReadChar(), '\0');
        CommClose(true);
    }
    EXPECT_FALSE(Readable(pipeFds[0], 0)) << "nothing went into the pipe";
    EXPECT_NE(::fcntl(pipeFds[1], F_GETFD), -1) << "a refused handle stays open";
    EXPECT_NE(::fcntl(udp, F_GETFD), -1);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    ::close(udp);
}

TEST(Comm, HandBackLeavesTheCallerWithTheBbs) {
    int pipeFds[2]; // made first, so that it does not take the door's number
    ASSERT_EQ(::pipe(pipeFds), 0);
    Link link;
    MakeTcpPair(link);
    int bbs = ::dup(link.Door);
    OpenDoor(link);
    CommClose(false);
    int doorNumber = link.Door;
    link.Door = -1;

    // The BBS still talks to the caller, both ways.
    SendAll(bbs, "welcome back");
    EXPECT_EQ(ReadBytes(link.Caller, 12), "welcome back");
    SendAll(link.Caller, "menu");
    EXPECT_EQ(ReadBytes(bbs, 4), "menu");

    // The descriptor number is reused by something else; a second close and later writes
    // must leave it alone.
    ASSERT_EQ(::dup2(pipeFds[1], doorNumber), doorNumber);
    CommClose(false);
    CommClose(true);
    CommWrite("stray");
    EXPECT_NE(::fcntl(doorNumber, F_GETFD), -1);
    EXPECT_FALSE(Readable(pipeFds[0], 0));
    ::close(doorNumber);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);

    // Closing with a disconnect hangs the caller up even though the BBS holds a descriptor.
    Link second;
    MakeTcpPair(second);
    int bbs2 = ::dup(second.Door);
    OpenDoor(second);
    CommClose(true);
    second.Door = -1;
    ASSERT_TRUE(Readable(second.Caller));
    char c;
    EXPECT_EQ(::read(second.Caller, &c, 1), 0);
    ::close(bbs2);
    ::close(bbs);
}

TEST(Comm, CallerWhoStopsReadingCannotHangTheDoor) {
    Link link;
    MakeUnixPair(link);
    int small = 4096;
    ::setsockopt(link.Door, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    ::setsockopt(link.Caller, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    OpenDoor(link);
    CommSendStallMs = 200;
    CommWrite(std::string(1 << 20, 'x')); // the caller never reads: this must return
    EXPECT_FALSE(CommCarrier());
    EXPECT_EQ(CommHandle(), -1);
    CommWrite(std::string(1 << 20, 'y')); // and later output is dropped without a wait
    CommClose(false);
    link.Door = -1;
    CommSendStallMs = 60000;
}

} // namespace
