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

// A fresh connection to the transport; the caller sends the pieces one receive each. Returns
// the keys the door takes, and the terminal it learns in ATerminal.
std::string Keys(const std::vector<std::string>& APieces, TTelnetTerminal& ATerminal) {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    CommOpen(fds[0]);
    char offers[6];
    EXPECT_EQ(::recv(fds[1], offers, sizeof offers, 0), 6);
    std::string keys;
    for (const std::string& piece : APieces) {
        if (piece.empty()) continue;
        EXPECT_EQ(::send(fds[1], piece.data(), piece.size(), 0), ssize_t(piece.size()));
        pollfd pfd{fds[0], POLLIN, 0};
        EXPECT_EQ(::poll(&pfd, 1, 2000), 1);
        while (CommCharAvail()) keys += CommReadChar();
    }
    ATerminal = CommTerminal();
    pollfd pfd{fds[1], POLLIN, 0};
    EXPECT_EQ(::poll(&pfd, 1, 0), 0) << "the door answers nothing";
    CommClose(false);
    ::close(fds[1]);
    return keys;
}

TEST(TelnetStream, CommandsAreNoKeysWhereverTheyAreSplit) {
    for (const TStream& stream : kStreams) {
        std::vector<std::vector<std::string>> splits(1);
        for (char byte : stream.In) splits[0].push_back(std::string(1, byte));
        for (std::size_t at = 0; at < stream.In.size(); ++at)
            splits.push_back({stream.In.substr(0, at), stream.In.substr(at)});
        for (const auto& pieces : splits) {
            const std::string where = std::string(stream.What) + ", first of " +
                                      std::to_string(pieces.size()) + " pieces " +
                                      std::to_string(pieces[0].size()) + " bytes";
            TTelnetTerminal terminal;
            EXPECT_EQ(Keys(pieces, terminal), stream.Keys) << where;
            EXPECT_EQ(terminal.Columns, stream.Terminal.Columns) << where;
            EXPECT_EQ(terminal.Rows, stream.Terminal.Rows) << where;
            EXPECT_EQ(terminal.Type, stream.Terminal.Type) << where;
        }
    }
}

} // namespace
