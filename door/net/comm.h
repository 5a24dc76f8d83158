// The socket transport: the door's one connection to the remote caller, a telnet socket that
// the BBS accepted and handed over as an inherited descriptor, or a raw door socket: a plain
// byte pipe through a BBS that speaks telnet to the caller itself.
#pragma once

#include "door/net/telnet.h"
#include "door/platform/wait.h"

#include <cstdint>
#include <string>

// Once the door is ending (DoorSignalFd is ready) no send or read waits any more: output the
// caller does not take at once is dropped and a read with nothing buffered returns character 0,
// so that a caller who stopped reading cannot hold an ending door.

// Telnet: the door offers binary transmission and echo, doubles byte 255 on output and takes
// the client's telnet commands out of what it reads. Raw: the BBS handles telnet and escapes
// byte 255 itself, so the door sends no command, doubles nothing and reads 255 as data.
enum class TCommMode : std::uint8_t { Telnet, Raw };

// Takes over the inherited descriptor: puts it into blocking mode and, in telnet mode, offers
// binary transmission and echo (nothing else is ever negotiated or answered). A descriptor that
// is -1, closed, or not a stream socket is not used: the carrier is then false and nothing is
// sent anywhere.
void CommOpen(std::int32_t ACommNumber, TCommMode AMode = TCommMode::Telnet);
// Closes our descriptor once; shuts the connection down first only when ADisconnect is set.
// Without it the caller stays connected through the BBS's own descriptor.
void CommClose(bool ADisconnect);
// False once the connection has been seen to be lost (or was never usable); never true again.
bool CommCarrier();
// Polls the socket once when nothing is buffered; true when a received byte is waiting.
bool CommCharAvail();
// Received bytes are keys: the telnet filter has taken the client's commands out of them (not
// in raw mode) and folded CR LF, CR NUL (also when split over two receives) and a lone LF into
// one CR.

// The next received byte without taking it; waits for one if none is buffered. Returns
// character 0 at once when the connection is closed or lost.
char CommPeekChar();
// Waits up to ATimeoutMs (-1: no limit) until a received byte is buffered; false when none came,
// the connection is closed or lost, or the door is ending.
bool CommWaitChar(int ATimeoutMs);
// Puts AKeys back before the buffered keys, as if they had not been read (as many as there is
// room for: at least 256).
void CommUnread(const std::string& AKeys);
// As CommPeekChar, but takes the byte.
char CommReadChar();
// Sends AText with every byte 255 (telnet IAC) doubled, in telnet mode. In UTF-8 mode every byte
// from 0x80 to 0xFF goes out as the UTF-8 encoding of its CP437 glyph first (which never holds a
// 255).
void CommWrite(const std::string& AText);
// UTF-8 mode for CommWrite, for a caller whose terminal takes UTF-8 instead of CP437; off at start.
void CommSetUtf8(bool AUtf8);
bool CommUtf8();
// Sends AText unchanged.
void CommWriteRaw(const std::string& AText);
// Sends BlockLen bytes of Block when BlockLen > 0.
void CommWriteBlock(const void* Block, std::int32_t BlockLen);

// For a key reader that waits (WaitForAny) instead of polling in a loop: the handle to wait on
// for input. It is kNoWaitHandle (-1) when the transport is closed or the carrier is lost, so
// that the wait skips it and a dead connection never wakes the waiter over and over.
TWaitHandle CommHandle();
// True when received bytes are already buffered (then a wait would not report them).
bool CommBuffered();

// A send that the caller takes nothing of for NetState().Comm.SendStallMs (door/net/netstate.h)
// counts the caller as gone.

// What the caller's client has reported about its terminal (window size, terminal type) since
// CommOpen, if anything.
const TTelnetTerminal& CommTerminal();
