// The connection layer's state for the one session this process serves: the transport's buffer,
// modes and carrier, and what the terminal probe found out about the caller's terminal. The kit's
// session object (door/state.h) holds it together with the other layers' state and resets it for
// tests.
#pragma once

#include "door/net/telnet.h"

#include <cstddef>
#include <cstdint>

// The transport between two calls (door/net/comm.cpp). The descriptor itself is the platform's
// (door/platform/comm.h), opened and closed with it.
struct TCommState {
    static constexpr std::size_t kReceiveSize = 1024;
    static constexpr std::size_t kUnreadSize = 256; // room for keys put back (CommUnread)

    bool Open = false;
    bool Carrier = true;
    // Received keys not yet taken, already filtered: Buffer[Pos, Len).
    std::uint8_t Buffer[kReceiveSize + kUnreadSize] = {};
    std::size_t Pos = 0;
    std::size_t Len = 0;
    TTelnetReceiver Receiver;
    // Bytes 0x80 to 0xFF go out as the UTF-8 of their CP437 glyphs (CommSetUtf8).
    bool Utf8 = false;
    // Byte 255 goes out doubled (telnet mode).
    bool DoubleIac = true;
    // How long a send may wait without the caller taking a single byte before the caller counts
    // as gone (carrier lost, remaining output dropped), in milliseconds. A stalled connection
    // must not hang the node.
    int SendStallMs = 60000;
};

// What the door knows about the remote caller's terminal.
struct TDoorTerminal {
    bool Utf8 = false;         // glyphs go out as UTF-8 instead of CP437 bytes
    std::uint16_t Columns = 0; // 0: not known
    std::uint16_t Rows = 0;
};

struct TNetState {
    TCommState Comm;
    TDoorTerminal Terminal; // the caller's terminal as TermDetect decided it
};

// The one instance.
TNetState& NetState();
