// The socket transport on real TCP connections on 127.0.0.1, the test playing the caller and the
// BBS, which keeps its own descriptor of the connection.
#include "door/comm.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <thread>

namespace {

using namespace std::string_literals;

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

// A TCP connection given to the transport as ADoor (a BBS may pass it non-blocking); the BBS
// keeps Bbs, a copy; the test is the Caller.
struct TLink {
    int Door, Caller, Bbs;
    explicit TLink(int ADoor = -1) {
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t len = sizeof addr;
        ::bind(listener, reinterpret_cast<sockaddr*>(&addr), len);
        ::listen(listener, 1);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
        Caller = ::socket(AF_INET, SOCK_STREAM, 0);
        ::connect(Caller, reinterpret_cast<sockaddr*>(&addr), len);
        Door = ::accept(listener, nullptr, nullptr);
        if (ADoor >= 0) ::dup2(Door, ADoor), ::close(Door), Door = ADoor;
        Bbs = ::dup(Door);
        ::close(listener);
        ::fcntl(Door, F_SETFL, O_NONBLOCK);
        CommOpen(Door);
        EXPECT_EQ(Read(Caller, 6), "\xFF\xFB\x00\xFF\xFB\x01"s) << "telnet offers first";
        EXPECT_EQ(::fcntl(Bbs, F_GETFL) & O_NONBLOCK, 0) << "the door's session blocks";
    }
    ~TLink() {
        CommClose(false);
        ::close(Caller), ::close(Bbs);
    }
    void Send(const std::string& AText) {
        ::send(Caller, AText.data(), AText.size(), MSG_NOSIGNAL);
    }
    std::string Receive() { // what the door reads of one receive
        std::string got;
        for (Readable(Door); CommCharAvail();) got += CommReadChar();
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
        link.Send(in);
        EXPECT_EQ(link.Receive(), out) << in;
    }
    link.Send("\x1b[A");
    ASSERT_TRUE(Readable(link.Door));
    EXPECT_EQ((std::string{CommPeekChar(), CommReadChar(), CommPeekChar()}), "\x1b\x1b[");
    EXPECT_TRUE(CommBuffered() && !Readable(link.Door, 0)) << "the rest came in the same receive";
    EXPECT_EQ((std::string{CommReadChar(), CommReadChar()}), "[A");
    EXPECT_FALSE(CommBuffered());
    std::thread later(
        [&] { std::this_thread::sleep_for(std::chrono::milliseconds(50)), link.Send("q"); });
    EXPECT_EQ(CommReadChar(), 'q') << "a read with nothing buffered waits for the byte";
    later.join();
}

TEST(Comm, WritesDoubleIacAndTheHandBackLeavesTheConnectionWhole) {
    for (const int handle : {-1, 0}) { // on any descriptor, 0 included (a BBS's standard input)
        const int saved = ::dup(0);
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        TLink link(handle);
        CommWrite("a\xFF"
                  "b\r\n\x1b[0m\xDB");
        CommWriteRaw("\xFF"); // raw: as given
        CommWrite("");
        CommWriteBlock("zz", 0);
        CommWriteBlock("\xFF.", 2);
        EXPECT_EQ(Read(link.Caller, 14), "a\xFF\xFF"
                                         "b\r\n\x1b[0m\xDB\xFF\xFF.");
        EXPECT_FALSE(Readable(link.Caller, 50)) << "empty writes send nothing";
        std::string big, expected; // larger than any socket buffer: whole, every 255 doubled
        for (int i = 0; i < 300000; ++i)
            big += char(i), expected.append(char(i) == '\xFF' ? 2 : 1, char(i));
        std::string got;
        std::thread reader([&] { got = Read(link.Caller, expected.size()); });
        CommWrite(big);
        reader.join();
        EXPECT_TRUE(got == expected) << got.size() << " of " << expected.size();
        CommClose(false); // our descriptor only, and the BBS's mode given back
        EXPECT_EQ(::fcntl(link.Door, F_GETFD), -1) << "handle " << handle;
        EXPECT_NE(::fcntl(link.Bbs, F_GETFL) & O_NONBLOCK, 0);
        ::send(link.Bbs, "welcome back", 12, 0);
        EXPECT_EQ(Read(link.Caller, 12), "welcome back");
        link.Send("menu");
        EXPECT_EQ(Read(link.Bbs, 4), "menu");
        ::dup2(pipeFds[1], link.Door); // the number belongs to something else: left alone

        CommClose(true);
        CommWrite("stray");
        EXPECT_FALSE(Readable(pipeFds[0], 0));
        for (int fd : {pipeFds[0], pipeFds[1], link.Door}) ::close(fd);
        ::dup2(saved, 0), ::close(saved);
    }
    TLink second; // a close with disconnect hangs up although the BBS holds a descriptor
    CommClose(true);
    char c;
    EXPECT_TRUE(Readable(second.Caller) && ::read(second.Caller, &c, 1) == 0);
}

TEST(Comm, LostOrUnusableConnectionsEndTheCarrierForGood) {
    {
        TLink link;
        link.Send("ok");
        ::close(std::exchange(link.Caller, ::socket(AF_INET, SOCK_STREAM, 0)));
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
    const int closed = ::dup(pipeFds[0]), udp = ::socket(AF_INET, SOCK_DGRAM, 0);
    ::close(closed);
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
