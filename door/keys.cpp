// The key decoder: a small state machine over a terminal's bytes, one byte at a time, so that a
// sequence split over two reads is still read whole, and nothing of a sequence is ever typed.
#include "door/keys.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kCsi8 = 0x9B; // the 8-bit forms of Esc [ and Esc O
constexpr std::uint8_t kSs38 = 0x8F;

bool IsFinal(std::uint8_t AByte) {
    return AByte >= 0x40 && AByte <= 0x7E;
}

// The key of Esc [ n ~ (the VT220's editing and function keys).
TKeyCode TildeKey(std::uint16_t AParam) {
    switch (AParam) {
    case 1:
    case 7: return TKeyCode::Home;
    case 2: return TKeyCode::Ins;
    case 3: return TKeyCode::Del;
    case 4:
    case 8: return TKeyCode::End;
    case 5: return TKeyCode::PgUp;
    case 6: return TKeyCode::PgDn;
    default: break;
    }
    if (AParam >= 11 && AParam <= 15) return TKeyCode(59 + AParam - 11); // F1-F5
    if (AParam >= 17 && AParam <= 21) return TKeyCode(64 + AParam - 17); // F6-F10
    return TKeyCode::None;
}

// The key of a final byte that means the same after Esc [ and Esc O.
TKeyCode LetterKey(std::uint8_t AFinal) {
    switch (AFinal) {
    case 'A': return TKeyCode::Up;
    case 'B': return TKeyCode::Down;
    case 'C': return TKeyCode::Right;
    case 'D': return TKeyCode::Left;
    case 'H': return TKeyCode::Home;
    case 'F': return TKeyCode::End;
    case 'P':
    case 'Q':
    case 'R':
    case 'S': return TKeyCode(59 + AFinal - 'P'); // F1-F4
    default: return TKeyCode::None;
    }
}

} // namespace

TTermInput TKeyDecoder::Take(std::uint8_t AByte) {
    switch (State_) {
    case TState::Ground: return Ground(AByte);
    case TState::Esc:
        if (AByte == '[' || AByte == 'O') {
            Keep(AByte);
            State_ = AByte == '[' ? TState::Csi : TState::Ss3;
            return {};
        }
        State_ = TState::Ground; // Esc followed by a key is the Esc key, then that key
        return {.Kind = TTermInputKind::Char, .Used = false, .Ch = static_cast<char>(kEsc)};
    case TState::Csi:
        if (Fresh_ && AByte == '[') { // the Linux console's F1-F5: Esc [ [ A to E
            Keep(AByte);
            State_ = TState::LinuxF;
            return {};
        }
        return Parameters(AByte);
    case TState::Ss3: return Parameters(AByte);
    case TState::LinuxF:
        if (AByte < 0x20 || AByte > 0x7E) break;
        Keep(AByte);
        return AByte >= 'A' && AByte <= 'E' ? End(TTermInputKind::Key, TKeyCode(59 + AByte - 'A'))
                                            : End(TTermInputKind::Dropped);
    case TState::Mouse: // three bytes of any value: button, column, row
        Keep(AByte);
        return --MouseLeft_ == 0 ? End(TTermInputKind::Dropped) : TTermInput{};
    }
    State_ = TState::Ground;
    return {.Kind = TTermInputKind::Dropped, .Used = false};
}

TTermInput TKeyDecoder::TimeOut() {
    const TState state = State_;
    State_ = TState::Ground;
    switch (state) {
    case TState::Ground: return {};
    case TState::Esc: return {.Kind = TTermInputKind::Char, .Ch = static_cast<char>(kEsc)};
    case TState::Csi: return {.Kind = TTermInputKind::Broken};
    default: return {.Kind = TTermInputKind::Dropped};
    }
}

void TKeyDecoder::Start(TState AState, std::uint8_t AByte) {
    State_ = AState;
    Length_ = 0;
    Params_[0] = Params_[1] = 0;
    Count_ = 0;
    Private_ = false;
    Fresh_ = true;
    Keep(AByte);
}

void TKeyDecoder::Keep(std::uint8_t AByte) {
    if (Length_ < MaxKept) Kept_[Length_] = AByte;
    ++Length_;
}

TTermInput TKeyDecoder::Ground(std::uint8_t AByte) {
    // 0x9B and 0x8F inside a UTF-8 character are part of it, not the 8-bit introducers.
    const bool continuation = Utf8Left_ > 0 && AByte >= 0x80 && AByte <= 0xBF;
    Utf8Left_ = continuation ? Utf8Left_ - 1 : 0;
    if (!continuation) {
        if (AByte == kEsc) return Start(TState::Esc, AByte), TTermInput{};
        if (AByte == kCsi8) return Start(TState::Csi, AByte), TTermInput{};
        if (AByte == kSs38) return Start(TState::Ss3, AByte), TTermInput{};
        if (AByte >= 0xC2 && AByte <= 0xF4) Utf8Left_ = AByte >= 0xF0 ? 3 : AByte >= 0xE0 ? 2 : 1;
    }
    return {.Kind = TTermInputKind::Char, .Ch = static_cast<char>(AByte)};
}

// Parameter, intermediate and final bytes of Esc [ and Esc O; any other byte breaks it off.
TTermInput TKeyDecoder::Parameters(std::uint8_t AByte) {
    if (IsFinal(AByte)) {
        Keep(AByte);
        return State_ == TState::Csi ? CsiFinal(AByte) : Ss3Final(AByte);
    }
    if (AByte < 0x20 || AByte > 0x3F) {
        const bool csi = State_ == TState::Csi;
        State_ = TState::Ground;
        return {.Kind = csi ? TTermInputKind::Broken : TTermInputKind::Dropped, .Used = false};
    }
    Keep(AByte);
    Fresh_ = false;
    if (AByte >= '0' && AByte <= '9') {
        Count_ = std::max<std::uint8_t>(Count_, 1);
        if (Count_ <= 2) {
            std::uint16_t& param = Params_[Count_ - 1];
            param = static_cast<std::uint16_t>(std::min(param * 10 + (AByte - '0'), 9999));
        }
    } else if (AByte == ';') {
        Count_ = static_cast<std::uint8_t>(std::min(std::max<int>(Count_, 1) + 1, 255));
    } else {
        Private_ = true; // a private marker, a colon or an intermediate byte
    }
    return {};
}

TTermInput TKeyDecoder::CsiFinal(std::uint8_t AFinal) {
    if (Private_) return End(TTermInputKind::Dropped); // mouse (SGR), device attributes, ...
    if (AFinal == 'M' && Count_ == 0) {                // an X10 mouse report: three bytes follow
        State_ = TState::Mouse;
        MouseLeft_ = 3;
        return {};
    }
    if (AFinal == 'R' && Count_ == 2) {
        State_ = TState::Ground;
        return {.Kind = TTermInputKind::Report, .Row = Params_[0], .Column = Params_[1]};
    }
    // A modifier (a second parameter) leaves the key as it is.
    const TKeyCode key = AFinal == '~' ? TildeKey(Params_[0]) : LetterKey(AFinal);
    return key != TKeyCode::None ? End(TTermInputKind::Key, key) : End(TTermInputKind::Dropped);
}

TTermInput TKeyDecoder::Ss3Final(std::uint8_t AFinal) {
    const TKeyCode key = Private_ ? TKeyCode::None : LetterKey(AFinal);
    return key != TKeyCode::None ? End(TTermInputKind::Key, key) : End(TTermInputKind::Dropped);
}

TTermInput TKeyDecoder::End(TTermInputKind AKind, TKeyCode AKey) {
    State_ = TState::Ground;
    return {.Kind = AKind, .Key = AKey};
}
