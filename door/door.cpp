// The door session: globals and hooks, output to both screens, key input from both sides, the
// line editor and the once-a-second event pass with its default handlers.
#include "door/door.h"

#include "door/doorlog.h"
#include "door/keys.h"
#include "door/net/comm.h"
#include "door/platform/ending.h"
#include "door/platform/wait.h"
#include "door/stringutils.h"
#include "door/term/ansi.h"
#include "door/term/console.h"
#include "door/term/screen.h"
#include "door/term/videoutils.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

TDoorDropInfo DoorDropInfo;
TDoorLastKey DoorLastKey;
TDoorMOREPrompts DoorMOREPrompts;
std::string DoorProgramNameAndVersion = "Portek v13.09.02";
TDoorSession DoorSession;
bool Stdio = false;

void (*DoorOnCLP)(char AKey, const std::string& AValue) = nullptr;
TDoorProc DoorOnHangup = DefaultOnHangup;
TDoorProc DoorOnLocalLogin = DefaultOnLocalLogin;
TDoorProc DoorOnStatusBar = DefaultOnStatusBar;
bool (*DoorOnSysopKey)(char AKey) = nullptr;
TDoorProc DoorOnTimeOut = DefaultOnTimeOut;
void (*DoorOnTimeOutWarning)(std::uint8_t AMinutes) = nullptr;
TDoorProc DoorOnTimeUp = DefaultOnTimeUp;
void (*DoorOnTimeUpWarning)(std::uint8_t AMinutes) = nullptr;
TDoorProc DoorOnUsage = DefaultOnUsage;

namespace {

TDateTime SystemNow() {
    return std::chrono::system_clock::now();
}

// The wall-clock time of the first reading, run on by the monotonic clock since.
TDateTime SteadyNow() {
    static const TDateTime wallStart = std::chrono::system_clock::now();
    static const auto steadyStart = std::chrono::steady_clock::now();
    return wallStart + std::chrono::duration_cast<TDateTime::duration>(
                           std::chrono::steady_clock::now() - steadyStart);
}

// The default delay: the caller is gone or the node is shutting down once an ending signal has
// come, so the pause ends then.
void SystemDelay(std::int32_t AMilliseconds) {
    DoorSleep(AMilliseconds);
}

std::string PrintableRange(char AFirst, char ALast) {
    std::string s;
    for (char c = AFirst; c <= ALast; ++c) s += c;
    return s;
}

std::string FileNameCharacters() {
    std::string s = PrintableRange(' ', '~');
    std::erase_if(s, [](char c) { return std::strchr("\"*/<>?`|", c) != nullptr; });
    return s;
}

} // namespace

TDateTime (*DoorNow)() = SystemNow;
TDateTime (*DoorSteadyNow)() = SteadyNow;
void (*DoorDelay)(std::int32_t AMilliseconds) = SystemDelay;

bool DoorSleep(std::int32_t AMilliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0, AMilliseconds));
    for (;;) {
        if (DoorEnding()) return false;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return true;
        // The ending handle stays ready once signalled. Without one the wait only sleeps, and
        // the signal interrupts it.
        const TWaitHandle ending = DoorSignalFd();
        WaitForAny(&ending, 1, static_cast<int>(left.count()));
    }
}

const std::string DOOR_INPUT_CHARS_ALL = PrintableRange(' ', '~');
const std::string DOOR_INPUT_CHARS_ALPHA = PrintableRange('A', 'Z') + PrintableRange('a', 'z');
const std::string DOOR_INPUT_CHARS_NUMERIC = PrintableRange('0', '9');
const std::string DOOR_INPUT_CHARS_FILENAME = FileNameCharacters();

bool DoorLocal() {
    return DoorDropInfo.ComType == 0;
}

namespace {

constexpr char kBackspace = 8;
constexpr char kEnter = 13;
constexpr char kCtrlY = 25;
constexpr char kEsc = 27;
constexpr char kDelete = 127;

// The caller is served through the socket (not a local session, not -X).
bool RemoteIO() {
    return !DoorLocal() && !Stdio;
}

// Renders a finished text locally and sends the same bytes to the caller.
void WriteBoth(const std::string& AText) {
    AnsiWrite(AText);
    if (RemoteIO()) CommWrite(AText);
}

// ---- Backtick codes -------------------------------------------------------------------------

// The "more" prompt of code k: waits for a key, then erases its eight characters.
void BacktickMore() {
    DoorWrite("`r0  `2<`0MORE`2>");
    DoorReadKey();
    DoorWrite(std::string(8, '\b') + std::string(8, ' ') + std::string(8, '\b'));
}

// A bar turning for about 0.9 s, leaving a blank with the cursor where it started.
void BacktickSpinner() {
    std::string text = "|";
    for (char c : std::string_view("\\-/|\\-/|")) {
        text += "`w`d";
        text += c;
    }
    text += "`w`d `d";
    DoorWrite(text);
}

// Carries out a two-character backtick code; false when the code is not one.
bool BacktickCode(char ACode) {
    static constexpr std::string_view kColours = "*1234567890!@#$%"; // colours 0 to 15
    if (const auto colour = kColours.find(ACode); colour != std::string_view::npos) {
        DoorTextColourAndBlink(static_cast<std::uint8_t>(colour), false);
        return true;
    }
    switch (ACode) {
    case 'b': DoorTextColourAndBlink(4, true); return true;
    case 'y': DoorTextColourAndBlink(14, true); return true;
    case 'c':
        DoorTextAttr(7);
        DoorClrScr();
        DoorWrite("\r\n\r\n");
        return true;
    case 'd': DoorWrite("\b"); return true;
    case 'x': DoorWrite(" "); return true;
    case '\\': DoorWrite("\r\n"); return true;
    case 'l': DoorDelay(500); return true;
    case 'w': DoorDelay(100); return true;
    case 'k': BacktickMore(); return true;
    case '|': BacktickSpinner(); return true;
    default: return false;
    }
}

// Writes a text holding backtick codes: the plain runs between codes, and each code's action.
void WriteBacktickText(const std::string& AText) {
    const std::size_t n = AText.size();
    std::size_t i = 0;
    while (i < n) {
        if (AText[i] != '`') {
            const std::size_t next = std::min(AText.find('`', i), n);
            DoorWrite(AText.substr(i, next - i));
            i = next;
        }
        while (i < n && AText[i] == '`') {
            if (i + 1 == n) return; // a lone backtick at the end
            if (BacktickCode(AText[i + 1])) {
                i += 2;
            } else if (AText[i + 1] == 'r' && i + 2 < n) {
                const char digit = AText[i + 2];
                if (digit >= '0' && digit <= '7') DoorTextBackground(digit - '0');
                i += 3;
            } else {
                i += 2; // unrecognised codes vanish
            }
        }
    }
}

void WriteTranslated(const std::string& AText) {
    if (DoorSession.TrelmWrite && AText.size() > 1 && AText.find('`') != std::string::npos) {
        WriteBacktickText(AText);
    } else {
        WriteBoth(AText);
    }
}

} // namespace

void DoorWrite(const std::string& AText) {
    if (AText.find('|') != std::string::npos) {
        WriteTranslated(PipeToAnsi(AText));
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
    DoorWrite(AnsiTextAttr(AAttr));
}
void DoorTextColour(std::uint8_t AColour) {
    DoorWrite(AnsiTextColour(AColour));
}
void DoorTextBackground(std::uint8_t AColour) {
    DoorWrite(AnsiTextBackground(AColour));
}

void DoorTextColourAndBlink(std::uint8_t AColour, bool ABlink) {
    DoorWrite(AnsiTextColour(AColour));
    // Built only now: turning blink off restates the colours just set locally.
    DoorWrite(AnsiBlink(ABlink));
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
            const bool wasCR = FLastWasCR;
            FLastWasCR = c == '\r';
            if (c == '\n' && wasCR) continue; // the LF of a CR LF
            if (FBreakPending) {
                DoorWriteLn();
                FBreakPending = false;
            }
            if (c == '\r' || c == '\n') {
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
    bool FLastWasCR = false;
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

// ---- Key input ------------------------------------------------------------------------------

namespace {

// Whole seconds between two moments, however they are ordered.
std::int64_t WholeSeconds(TDateTime AFrom, TDateTime ATo) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(ATo - AFrom).count();
    return seconds < 0 ? -seconds : seconds;
}

// Set once the event pass has reported a lost carrier. Until then a lost caller is reported
// at once instead of at the next whole second, so the node is handed back promptly; afterwards
// passes keep their once-a-second pace, also when a replaced hang-up hook lets the door go on.
bool HangupReported = false;

// True when the carrier has gone and no pass has reported it yet.
bool HangupDue() {
    if (DoorCarrier()) HangupReported = false; // a new connection starts afresh
    return !HangupReported && !DoorCarrier();
}

// Milliseconds until the next event pass is due, rounded up; -1 when no pass will run.
int MillisecondsToNextPass() {
    if (!DoorSession.Events) return -1;
    if (HangupDue()) return 0;
    const auto elapsed = DoorSteadyNow() - DoorSession.EventsTime;
    if (elapsed >= std::chrono::seconds(1) || elapsed <= -std::chrono::seconds(1)) return 0;
    if (elapsed < decltype(elapsed)::zero()) return 1000; // the clock went back: look again soon
    const auto remaining = std::chrono::seconds(1) - elapsed;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(remaining).count());
}

// The socket, when remote keys can still arrive on it; else -1.
TWaitHandle RemoteKeyFd() {
    return RemoteIO() ? CommHandle() : kNoWaitHandle;
}

// Blocks until the local keyboard or the socket is readable, or ATimeoutMs has passed
// (-1: no limit). Returns true when something is readable.
// SIGHUP and SIGTERM wake it through DoorSignalFd() and end the program.
bool WaitReadable(TWaitHandle AConsoleFd, TWaitHandle ASocketFd, int ATimeoutMs) {
    if (AConsoleFd == kNoWaitHandle && ASocketFd == kNoWaitHandle && ATimeoutMs < 0) {
        // Nothing can ever deliver a key and no event pass is due: the session has no input.
        DoorLogEnding("no input");
        std::exit(0);
    }
    const TWaitHandle handles[3] = {AConsoleFd, ASocketFd, DoorSignalFd()};
    DoorEndIfSignalled();
    const bool readable = WaitForAny(handles, 3, ATimeoutMs) >= 0;
    DoorEndIfSignalled();
    return readable;
}

// Waits until a key is waiting on either side; event passes run meanwhile.
void WaitForKey() {
    while (!DoorKeyPressed()) {
        if (ConsoleInputEnded()) {
            DoorLogEnding("end of input");
            std::exit(0);
        }
        WaitReadable(ConsoleKeyFd(), RemoteKeyFd(), MillisecondsToNextPass());
    }
}

// True once a byte from the caller is buffered, waiting up to the sequence wait for it.
bool WaitRemoteByte() {
    if (CommCharAvail()) return true;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kRemoteSequenceWaitMs);
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || RemoteKeyFd() < 0) return CommCharAvail();
        if (WaitReadable(-1, RemoteKeyFd(), static_cast<int>(left.count()))) {
            return CommCharAvail();
        }
    }
}

void SetKey(bool AExtended, TDoorLastKeyType ALocation) {
    DoorLastKey.Extended = AExtended;
    DoorLastKey.Location = ALocation;
}

// Reads a local key; an extended key (0, then its scan code) may be taken by the sysop hook.
char ReadLocalKey() {
    char ch = ConsoleReadKey();
    if (ch != 0) {
        SetKey(false, TDoorLastKeyType::lkLocal);
        return ch;
    }
    ch = ConsoleReadKey();
    if (DoorOnSysopKey == nullptr || !DoorOnSysopKey(ch)) SetKey(true, TDoorLastKeyType::lkLocal);
    return ch;
}

// The caller's bytes between two keys: only a UTF-8 character may run on from one key to the next.
TKeyDecoder RemoteDecoder;

// Reads what the caller's next bytes come to: a key (extended for the four cursor keys), or
// nothing when they were a report or any other sequence, which vanishes whole. A sequence
// that stops coming ends after the sequence wait. Event passes run meanwhile, so a sequence that
// never ends cannot hold off the limits.
char ReadRemoteKey() {
    if (RemoteDecoder.Busy()) RemoteDecoder.TimeOut(); // a read that a hook broke off
    for (;;) {
        TTermInput input;
        if (!RemoteDecoder.Busy() || WaitRemoteByte()) {
            input = RemoteDecoder.Take(static_cast<std::uint8_t>(CommPeekChar()));
            if (input.Used) CommReadChar();
        } else {
            input = RemoteDecoder.TimeOut();
        }
        switch (input.Kind) {
        case TTermInputKind::None: DoorDoEvents(); continue;
        case TTermInputKind::Char: SetKey(false, TDoorLastKeyType::lkRemote); return input.Ch;
        case TTermInputKind::Key:
            // The caller's four cursor keys only: the scan codes of the others are letters (PgDn
            // is Q, F7 is A) that a menu reading the key would take for its own.
            if (!IsCursorKey(input.Key)) return 0;
            SetKey(true, TDoorLastKeyType::lkRemote);
            return static_cast<char>(input.Key);
        default: return 0;
        }
    }
}

} // namespace

bool DoorKeyPressed() {
    DoorEndIfSignalled(); // also when keys are queued: nothing waits, so nothing else looks
    DoorDoEvents();
    bool pressed = ConsoleKeyPressed();
    if (!pressed && RemoteIO()) pressed = CommCharAvail();
    return pressed;
}

char DoorReadKey() {
    char ch = 0;
    DoorLastKey.Location = TDoorLastKeyType::lkNone;
    do {
        WaitForKey();
        if (ConsoleKeyPressed()) {
            ch = ReadLocalKey(); // local keys win over remote ones
        } else if (RemoteIO() && CommCharAvail()) {
            ch = ReadRemoteKey();
        }
    } while (DoorLastKey.Location == TDoorLastKeyType::lkNone);
    DoorLastKey.Ch = ch;
    DoorLastKey.Time = DoorSteadyNow();
    return ch;
}

// ---- Line editor ----------------------------------------------------------------------------

namespace {

// The field DoorInput edits, and how it is drawn.
struct TInputField {
    std::string Text;
    std::uint8_t XPos;
    std::uint8_t Visible;
    char Password;

    // What the caller sees for ACount characters of the field, ending at its end.
    std::string Shown(std::size_t ACount) const {
        return Password != 0 ? std::string(ACount, Password) : Text.substr(Text.size() - ACount);
    }

    // Draws the whole field: its tail when it is longer than the field, else the text and blanks.
    void Redraw() const {
        DoorGotoX(XPos);
        if (Text.size() > Visible) {
            DoorWrite(Shown(Visible));
            DoorGotoX(static_cast<std::uint8_t>(XPos + Visible));
        } else {
            DoorWrite(Shown(Text.size()) + std::string(Visible - Text.size(), ' '));
            DoorGotoX(static_cast<std::uint8_t>(XPos + Text.size()));
        }
    }
};

} // namespace

std::string DoorInput(const std::string& ADefaultText, const std::string& AAllowedCharacters,
                      char APasswordCharacter, std::uint8_t AVisibleLength, std::uint8_t AMaxLength,
                      std::uint8_t AAttr) {
    const std::string defaultText = ADefaultText.substr(0, AMaxLength);
    const std::uint8_t savedAttr = LocalScreen().TextAttr();
    DoorTextAttr(AAttr);
    TInputField field{defaultText, static_cast<std::uint8_t>(LocalScreen().WhereX()),
                      AVisibleLength, APasswordCharacter};
    field.Redraw();
    char ch;
    do {
        ch = DoorReadKey();
        if (DoorLastKey.Extended) {
            ch = 0; // cursor and function keys neither edit nor end the field
        } else if ((ch == kBackspace || ch == kDelete) && !field.Text.empty()) {
            field.Text.pop_back();
            DoorWrite("\b \b");
            if (field.Text.size() >= AVisibleLength) field.Redraw();
        } else if (ch == kCtrlY && !field.Text.empty()) {
            field.Text.clear();
            field.Redraw();
        } else if (ch != 0 && AAllowedCharacters.find(ch) != std::string::npos &&
                   field.Text.size() < AMaxLength) {
            field.Text += ch;
            if (field.Text.size() > AVisibleLength) {
                field.Redraw();
            } else {
                DoorWrite(std::string(1, APasswordCharacter != 0 ? APasswordCharacter : ch));
            }
        }
    } while (ch != kEnter && ch != kEsc);
    DoorTextAttr(savedAttr);
    DoorWriteLn();
    return ch == kEsc ? defaultText : field.Text;
}

// ---- Event pass -----------------------------------------------------------------------------

std::int32_t DoorSecondsIdle() {
    return Clamp32(WholeSeconds(DoorLastKey.Time, DoorSteadyNow()));
}

std::int32_t DoorSecondsLeft() {
    return Clamp32(DoorDropInfo.MaxSeconds - WholeSeconds(DoorSession.TimeOn, DoorSteadyNow()));
}

bool DoorCarrier() {
    return DoorLocal() || Stdio || CommCarrier();
}

bool DoorCarrierNow() {
    if (RemoteIO()) CommCharAvail();
    return DoorCarrier();
}

namespace {

// Calls a warning hook when ASeconds is one second past a whole minute, five minutes or less.
void WarnAt(std::int64_t ASeconds, void (*AHook)(std::uint8_t)) {
    if (AHook != nullptr && ASeconds % 60 == 1 && ASeconds / 60 <= 5) {
        AHook(static_cast<std::uint8_t>(ASeconds / 60));
    }
}

void Call(TDoorProc AHook) {
    if (AHook != nullptr) AHook();
}

std::string PadRight(std::string AText, std::size_t AWidth) {
    if (AText.size() < AWidth) AText.append(AWidth - AText.size(), ' ');
    return AText;
}

} // namespace

void DoorEndSession(const std::string& AMessage, const std::string& AHow) {
    DoorLogEnding(AHow);
    DoorTextAttr(15);
    DoorClrScr();
    DoorWriteLn();
    DoorWriteLn(AMessage);
    DoorDelay(2500);
    std::exit(0);
}

void DoorDoEvents() {
    // A hook that reads keys would otherwise start a pass inside the pass.
    static bool running = false;
    if (!DoorSession.Events || running) return;
    if (!HangupDue() && WholeSeconds(DoorSession.EventsTime, DoorSteadyNow()) < 1) return;
    struct TRunning {
        TRunning() { running = true; }
        ~TRunning() { running = false; } // also when a hook throws
    } guard;
    if (!DoorCarrier()) {
        HangupReported = true;
        Call(DoorOnHangup);
    }
    if (DoorSession.DoIdleCheck && DoorSecondsIdle() > DoorSession.MaxIdle) Call(DoorOnTimeOut);
    if (DoorSession.DoIdleCheck) {
        WarnAt(std::int64_t{DoorSession.MaxIdle} - DoorSecondsIdle(), DoorOnTimeOutWarning);
    }
    if (DoorSecondsLeft() < 1) Call(DoorOnTimeUp);
    WarnAt(DoorSecondsLeft(), DoorOnTimeUpWarning);
    if (RemoteIO()) Call(DoorOnStatusBar);
    DoorSession.EventsTime = DoorSteadyNow();
}

void DefaultOnHangup() {
    // The caller is gone: the message is for the local console only.
    DoorLogEnding("dropped carrier");
    LocalScreen().SetTextAttr(15);
    LocalScreen().ClrScr();
    ConsoleRefresh();
    AnsiWrite("\r\n   Caller Dropped Carrier.  Returning To BBS...\r\n");
    DoorDelay(2500);
    std::exit(0);
}

void DefaultOnTimeOut() {
    DoorEndSession("  Idle Time Limit Exceeded.  Returning To BBS...", "idle");
}

void DefaultOnTimeUp() {
    DoorEndSession("  Your Time Has Expired.  Returning To BBS...", "time up");
}

void DefaultOnStatusBar() {
    std::string bar(80, ' ');
    for (int column : {1, 29, 49, 63, 80}) bar[column - 1] = '\xFE';
    FastWrite(bar, 1, 25, 30);
    FastWrite(PadRight(DoorDropInfo.RealName, 22), 3, 25, 31);
    FastWrite(DoorProgramNameAndVersion, 31, 25, 31);
    FastWrite(PadRight("Idle: " + SecToMS(DoorSecondsIdle()), 11), 51, 25, 31);
    FastWrite("Left: " + SecToHMS(DoorSecondsLeft()), 65, 25, 31);
}
