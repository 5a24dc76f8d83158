// The caller's terminal at start-up: the telnet reports, then cursor position requests around a
// probe character for what remains unknown.
#include "door/net/termprobe.h"

#include "door/keys.h"
#include "door/net/comm.h"
#include "door/net/netstate.h"

#include <algorithm>
#include <chrono>

bool TermTypeIsCp437(const std::string& AType) {
    std::string type = AType;
    for (char& c : type) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
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

int MillisecondsLeft(TClock::time_point ADeadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(ADeadline - TClock::now());
    return static_cast<int>(std::max<std::int64_t>(0, left.count()));
}

// Reads up to ACount cursor position reports into AOut until ADeadline (within one answer the
// bytes may come apart as far as a key's sequence may); returns how many came. A report cut short
// takes its place with row and column 0, so the answers after it still line up with their
// requests; a report equal to the one before it is a second copy of that answer (the probe
// character always moves the cursor, and the bottom-right corner is elsewhere). Keys typed ahead
// are put back for the key reader as they came; other sequences are dropped.
int ReadReports(TCursorReport* AOut, int ACount, TClock::time_point ADeadline) {
    std::string keys;
    TKeyDecoder decoder;
    int got = 0;
    while (got < ACount) {
        TTermInput input;
        if (CommWaitChar(decoder.Busy() ? kRemoteSequenceWaitMs : MillisecondsLeft(ADeadline))) {
            input = decoder.Take(static_cast<std::uint8_t>(CommPeekChar()));
            if (input.Used) CommReadChar();
        } else if (decoder.Busy()) {
            input = decoder.TimeOut();
        } else {
            break;
        }
        const TCursorReport report{input.Row, input.Column};
        if (input.Kind == TTermInputKind::Char) keys += input.Ch;
        if (input.Kind == TTermInputKind::Key) keys += decoder.Sequence();
        if (input.Kind == TTermInputKind::Broken) AOut[got++] = {};
        if (input.Kind == TTermInputKind::Report &&
            (got == 0 || AOut[got - 1].Row != report.Row || AOut[got - 1].Column != report.Column))
            AOut[got++] = report;
    }
    CommUnread(keys);
    return got;
}

} // namespace

void TermDetect(bool AForceUtf8) {
    TDoorTerminal& terminal = NetState().Terminal;
    terminal = {};
    CommSetUtf8(false);
    CommCharAvail(); // takes in what the client has sent so far: its reports count first
    const bool charsetKnown = AForceUtf8 || TermTypeIsCp437(CommTerminal().Type);
    const bool sizeKnown = CommTerminal().Columns > 0 && CommTerminal().Rows > 0;
    terminal.Utf8 = AForceUtf8;
    if (!charsetKnown || !sizeKnown) {
        const auto deadline = TClock::now() + std::chrono::milliseconds(kProbeLimitMs);
        CommWriteRaw(TermProbeText(!charsetKnown, !sizeKnown));
        TCursorReport reports[3];
        const int wanted = (charsetKnown ? 0 : 2) + (sizeKnown ? 0 : 1);
        const int got = ReadReports(reports, wanted, deadline);
        if (!charsetKnown && got >= 2) terminal.Utf8 = TermProbeSaysUtf8(reports[0], reports[1]);
        if (!sizeKnown && got == wanted) {
            terminal.Rows = reports[wanted - 1].Row;
            terminal.Columns = reports[wanted - 1].Column;
        }
    }
    // A window size reported while the probe ran counts too.
    if (CommTerminal().Columns > 0 && CommTerminal().Rows > 0) {
        terminal.Columns = CommTerminal().Columns;
        terminal.Rows = CommTerminal().Rows;
    }
    CommSetUtf8(terminal.Utf8);
}
