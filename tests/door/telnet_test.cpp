// What a caller's telnet client sends, through the transport on a socket pair: each stream split
// at every byte into two receives, and one byte a receive, gives the same keys and terminal.
#include "door/comm.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

struct TStream {
    const char* What;
    std::string In, Keys;
    TTelnetTerminal Terminal;
};

const TStream kStreams[] = {
    {"NAWS 81x24", "\xFF\xFA\x1F\x00\x51\x00\x18\xFF\xF0"s, "", {81, 24, ""}},
    {"NAWS 255x49, IAC doubled", "\xFF\xFA\x1F\x00\xFF\xFF\x00\x31\xFF\xF0q"s, "q", {255, 49, ""}},
    {"TTYPE IS", "\xFF\xFA\x18\x00XTERM\xFF\xF0"s, "", {0, 0, "XTERM"}},
    {"TTYPE over 40", "\xFF\xFA\x18\x00"s + std::string(41, 'T') + "\xFF\xF0", "", {}},
    {"other subnegotiation", "a\xFF\xFA\x27\x00Q1\r\n\xFF\xF0z"s, "az", {}},
    {"NOP, AYT, GA", "1\xFF\xF1\xFF\xF6\xFF\xF9Q"s, "1Q", {}},
    {"DO ECHO, WILL NAWS, DONT SGA", "\xFF\xFD\x01\xFF\xFB\x1F\xFF\xFE\x03x"s, "x", {}},
    {"IAC IAC", "\xFF\xFF\xFF\xFF"s, "\xFF\xFF"s, {}},
    {"a command ends a broken subnegotiation",
     "\xFF\xFA\x1F"
     "ab\xFF\xF1"
     "c"s,
     "c",
     {}},
    {"CR LF", "y\r\nn"s, "y\rn", {}},
    {"CR NUL", "\r\0\r"s, "\r\r", {}},
    {"CR LF NUL, a command inside", "\r\xFF\xF1\n\0"s, "\r", {}},
    {"LF, LF", "\n\n"s, "\r\r", {}},
    {"cursor key", "\x1b[A\x1bOD"s, "\x1b[A\x1bOD", {}},
};

// One caller's connection to the transport; the telnet filter starts afresh with it.
class TelnetStream : public ::testing::Test {
  protected:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        Caller = fds[1];
        CommOpen(fds[0]);
        Door = fds[0];
        char offers[6];
        ASSERT_EQ(::recv(Caller, offers, sizeof offers, 0), 6);
    }
    void TearDown() override {
        CommClose(false);
        ::close(Caller);
    }
    // Sends the pieces one receive each, and returns every key the door takes.
    std::string Keys(const std::vector<std::string>& APieces) {
        std::string keys;
        for (const std::string& piece : APieces) {
            if (piece.empty()) continue;
            EXPECT_EQ(::send(Caller, piece.data(), piece.size(), 0), ssize_t(piece.size()));
            pollfd pfd{Door, POLLIN, 0};
            EXPECT_EQ(::poll(&pfd, 1, 2000), 1);
            while (CommCharAvail()) keys += CommReadChar();
        }
        return keys;
    }
    int Caller = -1, Door = -1;
};

TEST_F(TelnetStream, CommandsAreNoKeysWhereverTheyAreSplit) {
    for (const TStream& stream : kStreams) {
        std::vector<std::vector<std::string>> splits;
        for (std::size_t at = 0; at < stream.In.size(); ++at)
            splits.push_back({stream.In.substr(0, at), stream.In.substr(at)});
        splits.emplace_back();
        for (char byte : stream.In) splits.back().push_back(std::string(1, byte));
        for (const auto& pieces : splits) {
            TearDown();
            SetUp();
            const std::string where = std::string(stream.What) + ", " +
                                      std::to_string(pieces.size()) + " pieces, first " +
                                      std::to_string(pieces[0].size());
            EXPECT_EQ(Keys(pieces), stream.Keys) << where;
            EXPECT_EQ(CommTerminal().Columns, stream.Terminal.Columns) << where;
            EXPECT_EQ(CommTerminal().Rows, stream.Terminal.Rows) << where;
            EXPECT_EQ(CommTerminal().Type, stream.Terminal.Type) << where;
            pollfd pfd{Caller, POLLIN, 0};
            EXPECT_EQ(::poll(&pfd, 1, 0), 0) << where << ": the door answers nothing";
        }
    }
}

} // namespace
