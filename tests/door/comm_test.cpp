// The socket transport on real TCP connections on 127.0.0.1, the test playing the caller and the
// BBS, which keeps its own descriptor of the connection.
#include "door/comm.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace {

using namespace std::string_literals;
const std::string kOffers = "\xFF\xFB\x00\xFF\xFB\x01"s;

bool Readable(int AFd, int AMs = 2000) {
    pollfd pfd{AFd, POLLIN, 0};
    return ::poll(&pfd, 1, AMs) > 0;
}

std::string Read(int AFd, std::size_t ACount) { // fewer when it closes or stays silent 2 s
    std::string got(ACount, '\0');
    std::size_t n = 0;
    for (ssize_t r; n < ACount && Readable(AFd) && (r = ::read(AFd, &got[n], ACount - n)) > 0;)
        n += r;
    return got.substr(0, n);
}

void Send(int AFd, const std::string& AText) {
    ASSERT_EQ(::send(AFd, AText.data(), AText.size(), MSG_NOSIGNAL), ssize_t(AText.size()));
}

// A TCP connection: Door is given to the transport (which closes it), Bbs a copy the BBS keeps.
struct TLink {
    int Door = -1, Caller = -1, Bbs = -1;
    TLink() {
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        auto* sa = reinterpret_cast<sockaddr*>(&addr);
        ::bind(listener, sa, len);
        ::listen(listener, 1);
        ::getsockname(listener, sa, &len);
        Caller = ::socket(AF_INET, SOCK_STREAM, 0);
        EXPECT_EQ(::connect(Caller, sa, len), 0);
        Door = ::accept(listener, nullptr, nullptr);
        Bbs = ::dup(Door);
        ::close(listener);
        ::fcntl(Door, F_SETFL, O_NONBLOCK); // as some BBSes pass it
        CommOpen(Door);
        EXPECT_EQ(Read(Caller, kOffers.size()), kOffers);
    }
    ~TLink() {
        CommClose(false);
        for (int fd : {Caller, Bbs}) ::close(fd);
    }
    std::string Receive() { // what the door reads of one receive
        EXPECT_TRUE(Readable(Door));
        std::string got;
        while (CommCharAvail()) got += CommReadChar();
        return got;
    }
};

TEST(Comm, LineEndsFoldIntoOneCrWithinOneReceive) {
    TLink link;
    const std::pair<std::string, std::string> cases[] = {
        {"a\r\nb", "a\rb"}, {"a\r\0b"s, "a\rb"},
        {"a\nb", "a\rb"},   {"\r\r\n", "\r\r"},
        {"\r\n\0"s, "\r"},  {"x\0y"s, "x\0y"s},
        {"\n\0"s, "\r\0"s}, {"\xFF\xFD\x01"s, "\xFF\xFD\x01"s},
        {"\r", "\r"},       {"\n", "\r"}, // CR now and LF in a later receive are two keys
    };
    for (const auto& [in, out] : cases) {
        Send(link.Caller, in);
        EXPECT_EQ(link.Receive(), out) << ::testing::PrintToString(in);
    }
    Send(link.Caller, "\x1b[A");
    ASSERT_TRUE(Readable(link.Door));
    EXPECT_EQ((std::string{CommPeekChar(), CommReadChar(), CommPeekChar()}), "\x1b\x1b[");
    EXPECT_TRUE(CommBuffered());
    EXPECT_FALSE(Readable(link.Door, 0)) << "the rest came in the same receive";
    EXPECT_EQ((std::string{CommReadChar(), CommReadChar()}), "[A");
    EXPECT_FALSE(CommBuffered());
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Send(link.Caller, "q");
    });
    EXPECT_EQ(CommReadChar(), 'q') << "a read with nothing buffered waits for the byte";
    later.join();
}

TEST(Comm, WritesDoubleIacBlockingAndHandTheConnectionBack) {
    TLink link;
    EXPECT_EQ(::fcntl(link.Bbs, F_GETFL) & O_NONBLOCK, 0) << "the door's session blocks";
    CommWrite("a\xFF"
              "b\r\n\x1b[0m\xDB");
    CommWriteRaw("\xFF");
    CommWrite("");
    CommWriteBlock("zz", 0);
    CommWriteBlock("\xFF.", 2);
    EXPECT_EQ(Read(link.Caller, 14), "a\xFF\xFF"
                                     "b\r\n\x1b[0m\xDB\xFF\xFF."); // raw: as given
    EXPECT_FALSE(Readable(link.Caller, 50)) << "empty writes send nothing";
    std::string big, expected; // larger than any socket buffer: whole, every 255 doubled
    for (int i = 0; i < 300000; ++i) {
        big += char(i % 256);
        expected.append(i % 256 == 255 ? 2 : 1, char(i % 256));
    }
    std::string got;
    std::thread reader([&] { got = Read(link.Caller, expected.size()); });
    CommWrite(big);
    reader.join();
    EXPECT_TRUE(got == expected) << got.size() << " of " << expected.size() << " bytes";

    // The hand-back closes our descriptor only; a later close or write never touches the
    // number, which may belong to something else by then.
    CommClose(false);
    EXPECT_EQ(CommHandle(), -1);
    EXPECT_NE(::fcntl(link.Bbs, F_GETFL) & O_NONBLOCK, 0) << "the BBS's mode is given back";
    Send(link.Bbs, "welcome back");
    EXPECT_EQ(Read(link.Caller, 12), "welcome back");
    Send(link.Caller, "menu");
    EXPECT_EQ(Read(link.Bbs, 4), "menu");
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ASSERT_EQ(::dup2(pipeFds[1], link.Door), link.Door);
    CommClose(true);
    CommWrite("stray");
    EXPECT_FALSE(Readable(pipeFds[0], 0));
    for (int fd : {pipeFds[0], pipeFds[1], link.Door}) ::close(fd);

    TLink second; // a close with disconnect hangs up although the BBS holds a descriptor
    CommClose(true);
    char c;
    EXPECT_TRUE(Readable(second.Caller) && ::read(second.Caller, &c, 1) == 0);
}

TEST(Comm, LostOrUnusableConnectionsEndTheCarrierForGood) {
    {
        TLink link;
        Send(link.Caller, "ok");
        ::close(link.Caller);
        link.Caller = ::dup(0);
        ASSERT_TRUE(Readable(link.Door));
        EXPECT_EQ(link.Receive(), "ok") << "bytes sent before the hang-up are still keys";
        for (int i = 0; i < 20; ++i) CommWrite(std::string(1000, 'x')); // EPIPE, not SIGPIPE
        EXPECT_FALSE(CommCarrier());
        EXPECT_EQ(CommHandle(), -1) << "a dead connection must not wake a poll() forever";
        EXPECT_EQ(CommReadChar(), '\0') << "reading a lost connection does not wait";
    }
    {
        TLink link; // a caller who stops reading cannot hang the door
        int small = 4096;
        ::setsockopt(link.Caller, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        ::setsockopt(link.Door, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        CommSendStallMs = 200;
        CommWrite(std::string(16 << 20, 'x'));
        EXPECT_FALSE(CommCarrier());
        CommSendStallMs = 60000;
        CommWrite(std::string(1 << 20, 'y')); // dropped without another wait
    }
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const int closed = ::dup(pipeFds[0]);
    ::close(closed);
    const int udp = ::socket(AF_INET, SOCK_DGRAM, 0);
    for (int handle : {-1, closed, pipeFds[1], udp, 100000}) {
        CommOpen(handle);
        CommWrite("hello");
        EXPECT_FALSE(CommCarrier() || CommCharAvail() || CommHandle() != -1) << handle;
        CommClose(true);
    }
    EXPECT_FALSE(Readable(pipeFds[0], 0)) << "nothing went into the pipe";
    EXPECT_NE(::fcntl(pipeFds[1], F_GETFD), -1) << "a refused handle stays open";
    for (int fd : {pipeFds[0], pipeFds[1], udp}) ::close(fd);
}

} // namespace
