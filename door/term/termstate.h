// The terminal layer's state for the one session this process serves: the local screen model,
// the emulator's parser between two writes, and the console back-end. The kit's session object
// (door/state.h) holds it together with the other layers' state and resets it for tests.
#pragma once

#include "door/platform/console.h"
#include "door/term/screen.h"

#include <array>
#include <cstdint>
#include <memory>

// Parameters beyond this count in one sequence are read but ignored: the list must stay bounded
// whatever arrives over the wire or out of an art file.
inline constexpr int kMaxAnsiParams = 32;

// The digits of the parameter being read, kept as a number; a value that leaves the 32-bit range
// is remembered as such and counts as 0.
struct TAnsiNumber {
    std::int64_t Value = 0;
    bool Overflow = false;
    void Reset() { *this = {}; }
    void AddDigit(int d) {
        if (Overflow) return;
        Value = Value * 10 + d;
        if (Value > INT32_MAX) Overflow = true;
    }
    std::int32_t Get() const { return Overflow ? 0 : static_cast<std::int32_t>(Value); }
};

// The parameters of the current sequence; Items[0] is a place holder, the parameters are
// Items[1] to Items[Count].
struct TAnsiParams {
    std::array<std::int32_t, kMaxAnsiParams + 1> Items{};
    int Count = 0;
    void Clear() { Count = 0; }
    std::int32_t operator[](int i) const { return i <= Count ? Items[i] : 0; }
};

enum class TAnsiParserState { None, HaveEscape, HaveBracket };

// The emulator between two AnsiWrite calls: a sequence may be cut anywhere.
struct TAnsiEmulator {
    TAnsiParserState State = TAnsiParserState::None;
    TAnsiNumber Number;
    TAnsiParams Params;
    std::uint8_t ConcealedAttr = 7; // the attribute SGR 8 hid, which SGR 28 brings back
    std::int32_t SavedXY = 257;     // the cursor ESC[s saved: column + 256 * row
};

struct TTermState {
    TScreen Screen;
    TAnsiEmulator Emulator;
    std::unique_ptr<TConsoleBackend> Console; // empty until first use (door/term/console.cpp)
};

// The one instance.
TTermState& TermState();
