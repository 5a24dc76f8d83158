// The one decoder of what a terminal sends: typed bytes, the escape sequences of cursor and
// function keys, and the reports a terminal sends (cursor position, mouse), in 7-bit and 8-bit
// form. The caller's key reader, the terminal probe and the local POSIX console all use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// A key without a character. Its value is the local keyboard's scan code, which DoorReadKey
// returns with DoorLastKey.Extended set.
enum class TKeyCode : std::uint8_t {
    None = 0,
    F1 = 59,
    F2,
    F3,
    F4,
    F5,
    F6,
    F7,
    F8,
    F9,
    F10,
    Home = 71,
    Up = 72,
    PgUp = 73,
    Left = 75,
    Right = 77,
    End = 79,
    Down = 80,
    PgDn = 81,
    Ins = 82,
    Del = 83,
};

// Up, down, left or right.
constexpr bool IsCursorKey(TKeyCode AKey) {
    return AKey == TKeyCode::Up || AKey == TKeyCode::Down || AKey == TKeyCode::Left ||
           AKey == TKeyCode::Right;
}

// How long a sequence may pause between two of its bytes before it is taken as it stands (a lone
// Esc is the Esc key; anything longer is dropped). A caller's bytes cross the network, and a
// telnet client may send one key's sequence in two packets: 500 ms covers a slow link and is
// still short enough that a caller pressing Esc is answered at once to the eye. The local
// terminal writes a key's whole sequence at once on this machine, so 30 ms is ample there, and a
// sysop pressing Esc is not held up.
inline constexpr int kRemoteSequenceWaitMs = 500;
inline constexpr int kLocalSequenceWaitMs = 30;

// What the bytes offered so far come to.
enum class TTermInputKind : std::uint8_t {
    None,    // nothing complete yet: the byte belongs to a sequence under way
    Char,    // a typed byte, Esc included when no sequence follows it
    Key,     // an extended key
    Report,  // a cursor position report, Esc [ row ; column R
    Broken,  // a control sequence cut short by a byte that cannot be in it, or by the wait
    Dropped, // any other sequence: unknown keys, mouse reports, answers nobody asked for
};

struct TTermInput {
    TTermInputKind Kind = TTermInputKind::None;
    // False when the byte offered was not part of what came before: that is complete, and the
    // byte must be offered again.
    bool Used = true;
    char Ch = 0;                   // Char
    TKeyCode Key = TKeyCode::None; // Key
    std::uint16_t Row = 0;         // Report
    std::uint16_t Column = 0;
};

// The decoder's state between two bytes. Fixed size: a sequence of any length costs nothing
// more than its first bytes (the parameters are capped, the kept bytes too).
class TKeyDecoder {
  public:
    // The bytes of a sequence kept for Sequence(); a longer one is still read to its end.
    static constexpr std::size_t MaxKept = 16;

    // Takes the next byte.
    TTermInput Take(std::uint8_t AByte);
    // No byte came within the wait: what is under way ends as it stands.
    TTermInput TimeOut();
    // True while a sequence is under way.
    bool Busy() const { return State_ != TState::Ground; }
    // The bytes of the sequence completed last (its first MaxKept), to put a key back as it came.
    std::string_view Sequence() const {
        return {reinterpret_cast<const char*>(Kept_), KeptLength()};
    }

  private:
    enum class TState : std::uint8_t { Ground, Esc, Csi, LinuxF, Ss3, Mouse };

    std::size_t KeptLength() const { return Length_ < MaxKept ? Length_ : MaxKept; }
    void Start(TState AState, std::uint8_t AByte);
    void Keep(std::uint8_t AByte);
    TTermInput Ground(std::uint8_t AByte);
    TTermInput Parameters(std::uint8_t AByte);
    TTermInput CsiFinal(std::uint8_t AFinal);
    TTermInput Ss3Final(std::uint8_t AFinal);
    TTermInput End(TTermInputKind AKind, TKeyCode AKey = TKeyCode::None);

    TState State_ = TState::Ground;
    bool Fresh_ = false; // nothing has come after the sequence's introducer yet
    std::uint8_t Kept_[MaxKept] = {};
    std::size_t Length_ = 0;       // bytes of the sequence so far, kept or not
    std::uint16_t Params_[2] = {}; // the first two numeric parameters, each at most 9999
    std::uint8_t Count_ = 0;       // parameters seen, 0 when none is given
    bool Private_ = false;         // a private marker (< = > ?), a colon or an intermediate
    std::uint8_t MouseLeft_ = 0;   // bytes of an X10 mouse report still to come
    std::uint8_t Utf8Left_ = 0;    // continuation bytes of a UTF-8 character still to come
};

// Folds the line ends a caller's client or a terminal may send for Enter: CR LF, CR NUL and
// CR LF NUL become one CR, a lone LF a CR. Keeps its state from one byte to the next, so a line
// end split over two reads is folded whole. The socket transport and the local POSIX console
// both fold here.
class TLineEndFolder {
  public:
    // The key AByte comes to (LF as CR), or -1 when it is the rest of a line end already given.
    int Take(std::uint8_t AByte) {
        if (State_ == TState::AfterCR && (AByte == '\n' || AByte == 0)) {
            State_ = AByte == '\n' ? TState::AfterCRLF : TState::None;
            return -1;
        }
        if (State_ == TState::AfterCRLF && AByte == 0) {
            State_ = TState::None;
            return -1;
        }
        State_ = AByte == '\r' ? TState::AfterCR : TState::None;
        return AByte == '\n' ? '\r' : AByte;
    }
    // Something other than a byte came between (an extended key): no line end is under way.
    void Reset() { State_ = TState::None; }

  private:
    enum class TState : std::uint8_t { None, AfterCR, AfterCRLF };
    TState State_ = TState::None;
};
