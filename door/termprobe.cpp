// The caller's terminal at start-up: the telnet reports, then cursor position requests around a
// probe character for what remains unknown; and the control sequence reader the key reader uses.
#include "door/termprobe.h"

#include "door/comm.h"
#include "door/door.h"
#include "door/stringutils.h"

#include <algorithm>
#include <chrono>

TDoorTerminal DoorTerminal;

bool TCsiReader::Take(std::uint8_t AByte) {
    ++Length;
    if (AByte >= 0x40 && AByte <= 0x7E) {
        Final = static_cast<char>(AByte);
        return false;
    }
    if (AByte < 0x20 || AByte > 0x3F || Length >= MaxLength) return false;
    if (AByte >= '0' && AByte <= '9') {
        if (Count == 0) Count = 1;
        if (Count <= 2) {
            std::uint16_t& param = Params[Count - 1];
            param = static_cast<std::uint16_t>(std::min(param * 10 + (AByte - '0'), 9999));
        }
    } else if (AByte == ';') {
        Count = static_cast<std::uint8_t>(std::max(Count, std::uint8_t{1}) + 1);
    } else {
        Other = true;
    }
    return true;
}

bool TCsiReader::IsCursorReport() const {
    return Final == 'R' && Count == 2 && !Other;
}

char TCsiReader::CursorKey() const {
    return Count == 0 && !Other && Final >= 'A' && Final <= 'D' ? Final : 0;
}

bool TermTypeIsCp437(const std::string& AType) {
    const std::string type = UpperCase(AType);
    for (const char* prefix : {"ANSI", "SYNCTERM", "PCANSI", "SCOANSI", "CTERM"}) {
        if (type.starts_with(prefix)) return true;
    }
    return false;
}

std::string TermProbeText(bool ACharset, bool ASize) {
    const std::string report = "\x1B[6n";
    std::string text;
    if (ACharset) text += "\x1B[1;1H" + report + kProbeCharacter + report;
    if (ASize) text += "\x1B[999;999H" + report;
    // Three blanks cover the probe character however many columns it took.
    if (ACharset) text += "\x1B[1;1H   ";
    return text + "\x1B[1;1H";
}

bool TermProbeSaysUtf8(const TCursorReport& ABefore, const TCursorReport& AAfter) {
    const int moved = AAfter.Column - ABefore.Column;
    return ABefore.Row != 0 && AAfter.Row == ABefore.Row && (moved == 1 || moved == 2);
}

std::string TermSizeWarning(const TDoorTerminal& ATerminal) {
    if (ATerminal.Columns == 0 || ATerminal.Rows == 0) return {};
    if (ATerminal.Columns >= 80 && ATerminal.Rows >= 24) return {};
    return "Your screen is " + std::to_string(ATerminal.Columns) + "x" +
           std::to_string(ATerminal.Rows) + "; this door needs 80x24 and may look wrong.";
}

namespace {

using TClock = std::chrono::steady_clock;

// Within one answer the bytes may come apart as far as a key's escape sequence may.
constexpr int kAnswerByteWaitMs = 500;

int MillisecondsLeft(TClock::time_point ADeadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(ADeadline - TClock::now());
    return static_cast<int>(std::max<std::int64_t>(0, left.count()));
}

// Reads up to ACount cursor position reports into AOut until ADeadline; returns how many came.
// Other bytes among them are keys typed ahead: they are put back for the key reader.
int ReadReports(TCursorReport* AOut, int ACount, TClock::time_point ADeadline) {
    std::string keys;
    int got = 0;
    while (got < ACount && CommWaitChar(MillisecondsLeft(ADeadline))) {
        std::string read(1, CommReadChar());
        if (read[0] == '\x1B' && CommWaitChar(kAnswerByteWaitMs) && CommPeekChar() == '[') {
            read += CommReadChar();
            TCsiReader csi;
            bool more = true;
            while (more && CommWaitChar(kAnswerByteWaitMs)) {
                read += CommReadChar();
                more = csi.Take(static_cast<std::uint8_t>(read.back()));
            }
            if (csi.IsCursorReport()) {
                AOut[got++] = {csi.Params[0], csi.Params[1]};
                continue;
            }
        }
        keys += read;
    }
    CommUnread(keys);
    return got;
}

} // namespace

void DoorDetectTerminal(bool AForceUtf8) {
    DoorTerminal = {};
    CommSetUtf8(false);
    if (DoorLocal() || Stdio) return;
    CommCharAvail(); // takes in what the client has sent so far: its reports count first
    const bool charsetKnown = AForceUtf8 || TermTypeIsCp437(CommTerminal().Type);
    const bool sizeKnown = CommTerminal().Columns > 0 && CommTerminal().Rows > 0;
    DoorTerminal.Utf8 = AForceUtf8;
    if (!charsetKnown || !sizeKnown) {
        const auto deadline = TClock::now() + std::chrono::milliseconds(kProbeLimitMs);
        CommWriteRaw(TermProbeText(!charsetKnown, !sizeKnown));
        TCursorReport reports[3];
        const int wanted = (charsetKnown ? 0 : 2) + (sizeKnown ? 0 : 1);
        const int got = ReadReports(reports, wanted, deadline);
        if (!charsetKnown && got >= 2)
            DoorTerminal.Utf8 = TermProbeSaysUtf8(reports[0], reports[1]);
        if (!sizeKnown && got == wanted) {
            DoorTerminal.Rows = reports[wanted - 1].Row;
            DoorTerminal.Columns = reports[wanted - 1].Column;
        }
    }
    // A window size reported while the probe ran counts too.
    if (CommTerminal().Columns > 0 && CommTerminal().Rows > 0) {
        DoorTerminal.Columns = CommTerminal().Columns;
        DoorTerminal.Rows = CommTerminal().Rows;
    }
    CommSetUtf8(DoorTerminal.Utf8);
}
