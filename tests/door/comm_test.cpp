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

#include <string>
#include <thread>

namespace {

using namespace std::string_literals;

const std::string kOffers = "\xFF\xFB\x00\xFF\xFB\x01"s;

bool Readable(int AFd, int AMs = 2000) {
    pollfd pfd{AFd, POLLIN, 0};
    return ::poll(&pfd, 1, AMs) > 0;
}

// Reads ACount bytes from AFd (fewer if it closes or stays silent for 2 s).
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

void Send(int AFd, const std::string& AText) {
    ASSERT_EQ(::send(AFd, AText.data(), AText.size(), MSG_NOSIGNAL), ssize_t(AText.size()));
}

// A connection: Door is the descriptor the door is given, Caller the remote end. Door is
// opened by the transport and closed by it.
struct Link {
    int Door = -1, Caller = -1;
    explicit Link(bool ATcp) {
        int fds[2];
        if (!ATcp) {
            EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        } else {
            int listener = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t len = sizeof addr;
            auto* sa = reinterpret_cast<sockaddr*>(&addr);
            EXPECT_EQ(::bind(listener, sa, len) | ::listen(listener, 1), 0);
            EXPECT_EQ(::getsockname(listener, sa, &len), 0);
            fds[1] = ::socket(AF_INET, SOCK_STREAM, 0);
            EXPECT_EQ(::connect(fds[1], sa, len), 0);
            fds[0] = ::accept(listener, nullptr, nullptr);
            ::close(listener);
        }
        Door = fds[0];
        Caller = fds[1];
    }
    ~Link() {
        CommClose(false);
        if (Caller >= 0) ::close(Caller);
    }
    // Opens the door's end and takes the telnet offers off the caller's end.
    void Open() {
        CommOpen(Door);
        EXPECT_TRUE(CommCarrier());
        EXPECT_EQ(ReadBytes(Caller, kOffers.size()), kOffers);
    }
    // Waits for bytes from the caller, then takes every byte of that one receive.
    std::string Receive() {
        EXPECT_TRUE(Readable(Door));
        std::string got;
        while (CommCharAvail()) got += CommReadChar();
        return got;
    }
};

class CommTest : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(Transports, CommTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Tcp" : "UnixPair"; });

TEST_P(CommTest, OpenOffersBinaryAndEchoFirstAndRunsBlocking) {
    Link link(GetParam());
    int flags = ::fcntl(link.Door, F_GETFL);
    ASSERT_EQ(::fcntl(link.Door, F_SETFL, flags | O_NONBLOCK), 0);
    int bbs = ::dup(link.Door); // the BBS's own descriptor shares the file status flags
    CommOpen(link.Door);
    EXPECT_EQ(CommHandle(), link.Door);
    EXPECT_EQ(::fcntl(bbs, F_GETFL) & O_NONBLOCK, 0);
    CommWrite("Hi");
    EXPECT_EQ(ReadBytes(link.Caller, kOffers.size() + 2), kOffers + "Hi");
    CommClose(false);
    EXPECT_EQ(CommHandle(), -1);
    EXPECT_NE(::fcntl(bbs, F_GETFL) & O_NONBLOCK, 0) << "the BBS's mode is given back";
    ::close(bbs);
}

TEST_P(CommTest, LineEndsFoldIntoOneCr) {
    Link link(GetParam());
    link.Open();
    const std::pair<std::string, std::string> cases[] = {
        {"a\r\nb", "a\rb"}, {"a\r\0b"s, "a\rb"}, {"a\nb", "a\rb"},   {"a\rb", "a\rb"},
        {"\r\r\n", "\r\r"}, {"\r\n\0"s, "\r"},   {"x\0y"s, "x\0y"s}, {"\n\0"s, "\r\0"s},
    };
    for (const auto& [in, out] : cases) {
        Send(link.Caller, in);
        EXPECT_EQ(link.Receive(), out);
    }
}

TEST_P(CommTest, PeekLeavesTheByteAndBufferedBytesNeedNoPoll) {
    Link link(GetParam());
    link.Open();
    EXPECT_FALSE(CommCharAvail());
    Send(link.Caller, "\x1b[A");
    ASSERT_TRUE(Readable(link.Door));
    ASSERT_TRUE(CommCharAvail());
    EXPECT_EQ(CommPeekChar(), '\x1b');
    EXPECT_EQ(CommReadChar(), '\x1b');
    EXPECT_TRUE(CommBuffered());
    EXPECT_FALSE(Readable(link.Door, 0)) << "the rest came in the same receive";
    EXPECT_EQ(CommPeekChar(), '[');
    EXPECT_EQ(CommReadChar(), '[');
    EXPECT_EQ(CommReadChar(), 'A');
    EXPECT_FALSE(CommBuffered());

    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Send(link.Caller, "q");
    });
    EXPECT_EQ(CommReadChar(), 'q') << "a read with nothing buffered waits for the byte";
    later.join();
}

TEST_P(CommTest, WriteDoublesIacAndOtherwiseSendsBytesAsGiven) {
    Link link(GetParam());
    link.Open();
    CommWrite("a\xFF"
              "b\r\n\x1b[0m\xDB");
    EXPECT_EQ(ReadBytes(link.Caller, 11), "a\xFF\xFF"
                                          "b\r\n\x1b[0m\xDB");
    CommWriteRaw("\xFF");
    CommWrite("");
    CommWriteBlock("zz", 0);
    CommWriteBlock("\xFF.", 2);
    EXPECT_EQ(ReadBytes(link.Caller, 3), "\xFF\xFF.");
    EXPECT_FALSE(Readable(link.Caller, 50)) << "empty writes send nothing";

    // A screen larger than any socket buffer arrives whole, every 255 doubled.
    std::string big, expected;
    for (int i = 0; i < 300000; ++i) {
        big += char(i % 256);
        expected.append(i % 256 == 255 ? 2 : 1, char(i % 256));
    }
    std::string got;
    std::thread reader([&] { got = ReadBytes(link.Caller, expected.size()); });
    CommWrite(big);
    reader.join();
    EXPECT_TRUE(got == expected) << got.size() << " of " << expected.size() << " bytes";
}

TEST_P(CommTest, CallerHangingUpEndsTheCarrierForGood) {
    Link link(GetParam());
    link.Open();
    ::close(link.Caller);
    link.Caller = -1;
    // The sends meet the dead connection first (EPIPE, which would raise SIGPIPE).
    for (int i = 0; i < 20; ++i) CommWrite(std::string(1000, 'x'));

    Link second(GetParam());
    second.Open();
    Send(second.Caller, "ok");
    ::close(second.Caller);
    second.Caller = -1;
    ASSERT_TRUE(Readable(second.Door));
    EXPECT_EQ(second.Receive(), "ok") << "bytes sent before the hang-up are still keys";
    EXPECT_FALSE(CommCarrier());
    EXPECT_EQ(CommHandle(), -1) << "a dead connection must not wake a poll() forever";
    EXPECT_EQ(CommReadChar(), '\0') << "reading a lost connection does not wait";
    CommWrite("still there?\r\n");
    EXPECT_FALSE(CommCharAvail());
    EXPECT_FALSE(CommCarrier());
}

TEST(Comm, UnusableHandlesGiveNoCarrierAndSendNothing) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    int closedFd = ::dup(pipeFds[0]);
    ::close(closedFd);
    int udp = ::socket(AF_INET, SOCK_DGRAM, 0);
    for (int handle : {-1, closedFd, pipeFds[1], udp, 100000}) {
        CommOpen(handle);
        EXPECT_FALSE(CommCarrier()) << "handle " << handle;
        EXPECT_EQ(CommHandle(), -1);
        CommWrite("hello");
        EXPECT_FALSE(CommCharAvail());
        EXPECT_EQ(CommReadChar(), '\0');
        CommClose(true);
    }
    EXPECT_FALSE(Readable(pipeFds[0], 0)) << "nothing went into the pipe";
    EXPECT_NE(::fcntl(pipeFds[1], F_GETFD), -1) << "a refused handle stays open";
    for (int fd : {pipeFds[0], pipeFds[1], udp}) ::close(fd);
}

TEST(Comm, HandBackLeavesTheCallerWithTheBbs) {
    int pipeFds[2]; // made first, so that it does not take the door's number
    ASSERT_EQ(::pipe(pipeFds), 0);
    Link link(true);
    int bbs = ::dup(link.Door);
    link.Open();
    CommClose(false);
    Send(bbs, "welcome back");
    EXPECT_EQ(ReadBytes(link.Caller, 12), "welcome back");
    Send(link.Caller, "menu");
    EXPECT_EQ(ReadBytes(bbs, 4), "menu");

    // The door's number now belongs to something else: a second close and later writes
    // leave it alone.
    ASSERT_EQ(::dup2(pipeFds[1], link.Door), link.Door);
    CommClose(false);
    CommClose(true);
    CommWrite("stray");
    EXPECT_NE(::fcntl(link.Door, F_GETFD), -1);
    EXPECT_FALSE(Readable(pipeFds[0], 0));
    for (int fd : {link.Door, pipeFds[0], pipeFds[1], bbs}) ::close(fd);

    // A close with disconnect hangs up even though the BBS holds a descriptor.
    Link second(true);
    bbs = ::dup(second.Door);
    second.Open();
    CommClose(true);
    ASSERT_TRUE(Readable(second.Caller));
    char c;
    EXPECT_EQ(::read(second.Caller, &c, 1), 0);
    ::close(bbs);
}

TEST(Comm, CallerWhoStopsReadingCannotHangTheDoor) {
    Link link(false);
    int small = 4096;
    ::setsockopt(link.Door, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    ::setsockopt(link.Caller, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    link.Open();
    CommSendStallMs = 200;
    CommWrite(std::string(1 << 20, 'x')); // the caller never reads: this must return
    EXPECT_FALSE(CommCarrier());
    EXPECT_EQ(CommHandle(), -1);
    CommSendStallMs = 60000;
    CommWrite(std::string(1 << 20, 'y')); // later output is dropped without another wait
}

} // namespace
