// The telnet receive filter: a small state machine over the caller's bytes (RFC 854), one byte at
// a time, so that a command split over two receives is still removed whole. It never answers:
// the door negotiates nothing beyond its two offers.
#include "door/net/telnet.h"

namespace {

using TPhase = TTelnetReceiver::TPhase;

constexpr std::uint8_t kSE = 240;
constexpr std::uint8_t kSB = 250;
constexpr std::uint8_t kWILL = 251;
constexpr std::uint8_t kDONT = 254;
constexpr std::uint8_t kIAC = 255;
constexpr std::uint8_t kOptionTTYPE = 24;
constexpr std::uint8_t kOptionNAWS = 31;
constexpr std::uint8_t kTTYPEIs = 0;
constexpr std::size_t kMaxTypeLength = 40;

// Writes the keys of the buffer being filtered; never ahead of the byte being read.
struct TKeyOut {
    std::uint8_t* Next;
    TLineEndFolder& LineEnd;

    // A data byte, its line end folded (also over two receives).
    void Data(std::uint8_t AByte) {
        const int key = LineEnd.Take(AByte);
        if (key >= 0) *Next++ = static_cast<std::uint8_t>(key);
    }
};

void KeepSub(TTelnetReceiver& AReceiver, std::uint8_t AByte) {
    if (AReceiver.SubLength < TTelnetReceiver::MaxSub) AReceiver.Sub[AReceiver.SubLength] = AByte;
    ++AReceiver.SubLength;
}

// A finished subnegotiation: a window size or a terminal type is kept, anything else ignored.
void EndSub(TTelnetReceiver& AReceiver) {
    const std::uint8_t* sub = AReceiver.Sub;
    const std::size_t length = AReceiver.SubLength;
    if (length == 5 && sub[0] == kOptionNAWS) {
        AReceiver.Terminal.Columns = static_cast<std::uint16_t>(sub[1] << 8 | sub[2]);
        AReceiver.Terminal.Rows = static_cast<std::uint16_t>(sub[3] << 8 | sub[4]);
    } else if (length > 2 && length <= 2 + kMaxTypeLength && sub[0] == kOptionTTYPE &&
               sub[1] == kTTYPEIs) {
        std::string type;
        for (std::size_t i = 2; i < length; ++i)
            if (sub[i] > ' ' && sub[i] < 0x7F) type += static_cast<char>(sub[i]);
        AReceiver.Terminal.Type = type;
    }
}

// The byte after an IAC.
void Command(TTelnetReceiver& AReceiver, std::uint8_t AByte, TKeyOut& AOut) {
    AReceiver.Phase = TPhase::Data;
    if (AByte == kIAC) {
        AOut.Data(kIAC);
    } else if (AByte >= kWILL && AByte <= kDONT) {
        AReceiver.Phase = TPhase::Option;
    } else if (AByte == kSB) {
        AReceiver.SubLength = 0;
        AReceiver.Phase = TPhase::Sub;
    }
    // Any other byte (NOP, AYT, IP, GA, a stray SE, ...) ends the command unanswered.
}

} // namespace

std::size_t TelnetFilter(TTelnetReceiver& AReceiver, std::uint8_t* ABuf, std::size_t ALength) {
    TKeyOut out{ABuf, AReceiver.LineEnd};
    for (std::size_t i = 0; i < ALength; ++i) {
        const std::uint8_t byte = ABuf[i];
        if (AReceiver.Raw) {
            out.Data(byte);
            continue;
        }
        switch (AReceiver.Phase) {
        case TPhase::Data:
            if (byte == kIAC) {
                AReceiver.Phase = TPhase::Command;
            } else {
                out.Data(byte);
            }
            break;
        case TPhase::Command: Command(AReceiver, byte, out); break;
        case TPhase::Option: AReceiver.Phase = TPhase::Data; break;
        case TPhase::Sub:
            if (byte == kIAC) {
                AReceiver.Phase = TPhase::SubCommand;
            } else if (AReceiver.SubLength >= TTelnetReceiver::MaxSub) {
                // Longer than any the door reads: a client that never ends it must not swallow
                // every later key, so it is given up and the bytes are keys again.
                AReceiver.Phase = TPhase::Data;
                out.Data(byte);
            } else {
                KeepSub(AReceiver, byte);
            }
            break;
        case TPhase::SubCommand:
            if (byte == kSE) {
                EndSub(AReceiver);
                AReceiver.Phase = TPhase::Data;
            } else if (byte == kIAC) {
                KeepSub(AReceiver, kIAC);
                AReceiver.Phase = TPhase::Sub;
            } else {
                // A malformed subnegotiation ends at the next command, which then counts as one.
                Command(AReceiver, byte, out);
            }
            break;
        }
    }
    return static_cast<std::size_t>(out.Next - ABuf);
}
