// The receive side of telnet: takes the client's commands out of what a caller sends before the
// bytes become keys, keeps what the client reports about its terminal, and folds line ends.
#pragma once

#include "door/keys.h"

#include <cstddef>
#include <cstdint>
#include <string>

// What the caller's client has reported about its terminal without being asked; zero or empty
// until it does.
struct TTelnetTerminal {
    std::uint16_t Columns = 0; // window size (NAWS)
    std::uint16_t Rows = 0;
    std::string Type; // terminal type (TTYPE IS), at most 40 printable characters
};

// The filter's state, carried from one receive to the next: a command or a line end may arrive
// split over two receives.
struct TTelnetReceiver {
    enum class TPhase : std::uint8_t { Data, Command, Option, Sub, SubCommand };
    // The longest subnegotiation kept (TTYPE IS + 40); a longer one is given up at its next byte.
    static constexpr std::size_t MaxSub = 48;

    bool Raw = false; // a raw door socket: every byte is data, only line ends are folded
    TPhase Phase = TPhase::Data;
    TLineEndFolder LineEnd;
    std::uint8_t Sub[MaxSub] = {}; // the subnegotiation under way: option, then its data
    std::size_t SubLength = 0;     // bytes it has had; only the first MaxSub are kept
    TTelnetTerminal Terminal;
};

// Rewrites ABuf[0, ALength) in place to the keys it holds and returns their count. Removed: IAC
// with a command byte, WILL/WONT/DO/DONT with their option, whole subnegotiations (SB ... IAC
// SE) of at most MaxSub bytes. IAC IAC is one byte 255. CR LF, CR NUL and CR LF NUL become one CR,
// a lone LF a CR. A Raw receiver removes nothing but the line ends.
std::size_t TelnetFilter(TTelnetReceiver& AReceiver, std::uint8_t* ABuf, std::size_t ALength);
