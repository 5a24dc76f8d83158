// Output to both screens: every text through the ANSI emulator locally and the transport to the
// caller, the cursor and colour operations, and the display of text files.
#include "door/output.h"

#include "door/codes.h"
#include "door/door.h"
#include "door/lines.h"
#include "door/net/comm.h"
#include "door/stringutils.h"
#include "door/term/ansi.h"
#include "door/term/screen.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

// The caller is served through the socket (not a local session, not -X).
bool DoorRemoteIO() {
    return !DoorLocal() && !Stdio;
}

// Renders a finished text locally and sends the same bytes to the caller.
void DoorWriteBoth(const std::string& AText) {
    AnsiWrite(AText);
    if (DoorRemoteIO()) CommWrite(AText);
}

namespace {

// The attribute the caller's terminal has now: every byte sent to it went through the emulator
// as well, so the local screen's attribute is the caller's.
std::uint8_t ShownAttr() {
    return LocalScreen().TextAttr();
}

void WriteTranslated(const std::string& AText) {
    if (DoorSession.TrelmWrite && AText.size() > 1 && AText.find('`') != std::string::npos) {
        DoorWriteBacktickText(AText);
    } else {
        DoorWriteBoth(AText);
    }
}

} // namespace

void DoorWrite(const std::string& AText) {
    if (AText.find('|') != std::string::npos) {
        WriteTranslated(PipeToAnsi(AText, ShownAttr()));
    } else {
        WriteTranslated(AText);
    }
}

void DoorWriteLn() {
    DoorWrite("\r\n");
}

void DoorWriteLn(const std::string& AText) {
    DoorWrite(AText + "\r\n");
}

void DoorWriteCentered(const std::string& AText) {
    const auto width =
        static_cast<long>(DoorSession.TrelmWrite ? TrelmStrip(AText).size() : AText.size());
    // A text wider than the screen starts at the left edge.
    DoorGotoX(static_cast<std::uint8_t>(std::max(0L, (80 - width) / 2)));
    DoorWrite(AText);
}

void DoorClrScr() {
    DoorWrite(AnsiClrScr());
}
void DoorGotoX(std::uint8_t AX) {
    DoorWrite(AnsiGotoX(AX));
}
void DoorGotoXY(std::uint8_t AX, std::uint8_t AY) {
    DoorWrite(AnsiGotoXY(AX, AY));
}
void DoorCursorDown(std::uint8_t ACount) {
    DoorWrite(AnsiCursorDown(ACount));
}
void DoorCursorLeft(std::uint8_t ACount) {
    DoorWrite(AnsiCursorLeft(ACount));
}
void DoorTextAttr(std::uint8_t AAttr) {
    DoorWrite(AnsiTextAttr(AAttr, ShownAttr()));
}
void DoorTextColour(std::uint8_t AColour) {
    DoorWrite(AnsiTextColour(AColour, ShownAttr()));
}
void DoorTextBackground(std::uint8_t AColour) {
    DoorWrite(AnsiTextBackground(AColour));
}

void DoorTextColourAndBlink(std::uint8_t AColour, bool ABlink) {
    DoorWrite(AnsiTextColour(AColour, ShownAttr()));
    // Built only now: turning blink off restates the colours just set.
    DoorWrite(AnsiBlink(ABlink, ShownAttr()));
}

// ---- File display ---------------------------------------------------------------------------

namespace {

// A line longer than this (art without line ends) is written in pieces.
constexpr std::size_t kMaxLinePiece = 64 * 1024;

// Splits a file's bytes into lines (ended by CR, LF or CR LF) and writes them with a line end
// between two lines, none after the last.
class TLineWriter {
  public:
    void Feed(const char* ABytes, std::size_t ACount) {
        for (std::size_t i = 0; i < ACount; ++i) {
            const char c = ABytes[i];
            const TLineSplitter::TStep step = FSplitter.Take(c);
            if (step == TLineSplitter::TStep::Skip) continue;
            if (FBreakPending) {
                DoorWriteLn();
                FBreakPending = false;
            }
            if (step == TLineSplitter::TStep::LineEnd) {
                EndLine();
            } else {
                FLine += c;
                if (FLine.size() >= kMaxLinePiece) WritePiece();
            }
        }
    }

    void Finish() {
        if (!FLine.empty()) DoorWrite(FLine);
        FLine.clear();
    }

  private:
    void EndLine() {
        if (!FLine.empty()) DoorWrite(FLine);
        FLine.clear();
        FBreakPending = true;
    }

    // Writes most of an overlong line, never cutting through a pipe or backtick code.
    void WritePiece() {
        std::size_t cut = FLine.size();
        const auto isCode = [](char c) { return c == '|' || c == '`'; };
        if (isCode(FLine[cut - 1])) {
            cut -= 1;
        } else if (isCode(FLine[cut - 2])) {
            cut -= 2;
        }
        DoorWrite(FLine.substr(0, cut));
        FLine.erase(0, cut);
    }

    std::string FLine;
    TLineSplitter FSplitter;
    bool FBreakPending = false;
};

struct TFileCloser {
    void operator()(std::FILE* AFile) const { std::fclose(AFile); }
};

// Writes the file's text up to its end or a Ctrl-Z; 0 on success, else the errno value.
int WriteFileText(const std::string& AFileName) {
    std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(AFileName.c_str(), "rb"));
    if (!file) return errno != 0 ? errno : ENOENT;
    TLineWriter writer;
    char buffer[4096];
    for (;;) {
        const std::size_t count = std::fread(buffer, 1, sizeof buffer, file.get());
        if (count == 0 && std::ferror(file.get())) return errno != 0 ? errno : EIO;
        const auto* end = static_cast<const char*>(std::memchr(buffer, 26, count));
        writer.Feed(buffer, end != nullptr ? static_cast<std::size_t>(end - buffer) : count);
        if (end != nullptr || count < sizeof buffer) {
            if (std::ferror(file.get())) return errno != 0 ? errno : EIO;
            writer.Finish();
            return 0;
        }
    }
}

} // namespace

void DoorDisplayFile(const std::string& AFileName) {
    errno = 0;
    const int error = WriteFileText(AFileName);
    if (error == 0) return;
    DoorWriteLn("Error reading \"" + AFileName + "\": " + std::strerror(error));
    DoorWriteLn("Hit a key to continue");
    DoorReadKey();
}
