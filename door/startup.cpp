// Door start-up: the command line, the choice of session, the local log-in and usage screens,
// opening the transport and arming the exit guard and the shutdown (door/shutdown.*).
#include "door/startup.h"

#include "door/door.h"
#include "door/doorlog.h"
#include "door/dropfiles.h"
#include "door/events.h"
#include "door/net/comm.h"
#include "door/net/netstate.h"
#include "door/net/termprobe.h"
#include "door/platform/ending.h"
#include "door/platform/system.h"
#include "door/shutdown.h"
#include "door/stringutils.h"
#include "door/term/ansi.h"
#include "door/term/console.h"
#include "door/term/screen.h"

#include <filesystem>
#include <string>
#include <system_error>

namespace {

bool IsFile(const std::string& APath) {
    std::error_code error;
    return std::filesystem::is_regular_file(APath, error);
}

// Writes plain text to standard output with LF line ends.
void WriteStdout(const std::string& AText) {
    std::string text = AText;
    std::erase(text, '\r');
    SystemWriteStdout(text);
}

// A terminal console leaves its alternate screen at exit and takes the text with it: the text
// is written again on the restored terminal, so that the sysop can still read it.
void KeepOnTerminal(const std::string& AText) {
    if (!ConsoleIsTerminal()) return;
    ConsoleRestore();
    WriteStdout(AText);
}

// Start-up failures are shown on the local console only: the caller is not being served yet.
// The log and standard error (the BBS's log) keep them, for a console nobody watches.
void LocalFailureScreen(const std::string& ALines, const std::string& AHow) {
    DoorLog(ALines);
    DoorTellBbs(ALines);
    DoorLogEnding(AHow);
    const std::string text = "\r\n" + ALines + "\r\n";
    AnsiWrite(AnsiClrScr());
    AnsiWrite(text);
    DoorDelay(2500);
    KeepOnTerminal(text);
    DoorExit();
}

bool IsDropFile(TDoorSessionKind AKind) {
    return AKind == TDoorSessionKind::Door32 || AKind == TDoorSessionKind::DoorSys ||
           AKind == TDoorSessionKind::DorInfo || AKind == TDoorSessionKind::LordInfo;
}

// The log's account of the session the start-up found.
std::string SessionText(TDoorSessionKind AKind, const TDoorCommandLine& ACommandLine, bool ARaw) {
    const TDoorDropInfo& d = DoorDropInfo;
    std::string text = AKind == TDoorSessionKind::Local    ? "local"
                       : AKind == TDoorSessionKind::Socket ? "command line"
                                                           : "drop file " + ACommandLine.DropFile;
    if (AKind != TDoorSessionKind::Local)
        text += ", connection type " + std::to_string(d.ComType) + " handle " +
                std::to_string(d.ComNum) + ", " + std::to_string(d.MaxSeconds / 60) + " min";
    if (Stdio) text += ", -X";
    if (ARaw && d.ComType != 0 && !Stdio) text += ", raw socket";
    return text;
}

// A drop file with neither alias nor real name: every such caller would be one player.
void EndWithoutName(TDoorSessionKind AKind) {
    if (!IsDropFile(AKind) || !DoorDropInfo.Alias.empty()) return;
    DoorTellBbs("The drop file gives no user name");
    DoorEndSession("  The BBS Gave No User Name.  Returning To BBS...", "no user name");
}

// A caller whose drop file says the terminal has no ANSI is told so in plain text and handed
// back before anything else is sent.
void RefuseWithoutAnsi() {
    DoorTellBbs("The drop file says the caller's terminal has no ANSI");
    DoorWrite("\r\nSorry, this door needs a terminal with ANSI graphics.\r\n"
              "Returning you to the BBS...\r\n");
    DoorLogEnding("no ANSI terminal");
    DoorDelay(2500);
    DoorClose(false);
    DoorExit();
}

// A caller whose terminal is known to be smaller than 80 by 24 is told once, then the door goes
// on.
void WarnSmallTerminal() {
    const std::string warning = TermSizeWarning(NetState().Terminal);
    if (warning.empty()) return;
    DoorWriteLn(warning);
    DoorDelay(2500);
}

} // namespace

TDoorCommandLine DoorParseCommandLine(int argc, const char* const* argv) {
    TDoorCommandLine result;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] != nullptr ? argv[i] : "";
        if (arg.size() < 2 || (arg[0] != '-' && arg[0] != '/')) continue;
        const char key = UpperCase(arg[1]);
        const std::string value = arg.substr(2);
        switch (key) {
        case 'D':
            result.DropFile = value;
            result.Local = false;
            break;
        case 'N': result.Node = ReadInteger(value, TIntegerText::Signed).value_or(0); break;
        case 'S':
            result.Socket = ReadInteger(value, TIntegerText::Signed).value_or(-1);
            result.Local = false;
            break;
        case 'R': result.Raw = value != "0"; break;
        case '?': result.Local = false; break;
        case 'U': result.Utf8 = true; break;
        case 'X': result.Stdio = true; break;
        default:
            if (DoorOnCLP != nullptr) DoorOnCLP(key, value);
            break;
        }
    }
    return result;
}

TDoorSessionKind DoorChooseSession(const TDoorCommandLine& ACommandLine) {
    if (ACommandLine.Local) return TDoorSessionKind::Local;
    if (ACommandLine.Socket >= 0 && ACommandLine.Node > 0) return TDoorSessionKind::Socket;
    if (ACommandLine.DropFile.empty()) return TDoorSessionKind::Usage;
    if (!IsFile(ACommandLine.DropFile)) return TDoorSessionKind::MissingDropFile;
    const std::string name = UpperCase(ACommandLine.DropFile);
    if (name.find("DOOR32.SYS") != std::string::npos) return TDoorSessionKind::Door32;
    if (name.find("DOOR.SYS") != std::string::npos) return TDoorSessionKind::DoorSys;
    if (name.find("DORINFO") != std::string::npos) return TDoorSessionKind::DorInfo;
    if (name.find("INFO.") != std::string::npos) return TDoorSessionKind::LordInfo;
    return TDoorSessionKind::MissingDropFile;
}

bool DoorRawSocket(const TDoorCommandLine& ACommandLine, const TDoorDropInfo& ADropInfo) {
    if (ACommandLine.Raw.has_value()) return *ACommandLine.Raw;
    return UpperCase(ADropInfo.BbsName).find("SYNCHRONET") != std::string::npos;
}

namespace {

// Fills DoorDropInfo as the session kind says: from the command line, the local log-in or the
// drop file; the usage screen and a missing drop file end the program. False when the drop file
// names no usable connection.
bool FillDropInfo(TDoorSessionKind AKind, const TDoorCommandLine& ACommandLine) {
    bool usable = true; // the drop file names a connection
    switch (AKind) {
    case TDoorSessionKind::Local:
        DoorDropInfo.Node = ACommandLine.Node;
        if (DoorOnLocalLogin != nullptr) {
            DoorOnLocalLogin();
            DoorClrScr();
        }
        break;
    case TDoorSessionKind::Socket:
        DoorDropInfo.ComNum = ACommandLine.Socket;
        DoorDropInfo.ComType = 2;
        DoorDropInfo.Node = ACommandLine.Node;
        break;
    case TDoorSessionKind::Door32: usable = ReadDoor32(ACommandLine.DropFile); break;
    case TDoorSessionKind::DoorSys: usable = ReadDoorSys(ACommandLine.DropFile); break;
    case TDoorSessionKind::DorInfo: usable = ReadDorInfo(ACommandLine.DropFile); break;
    case TDoorSessionKind::LordInfo: usable = ReadLordInfo(ACommandLine.DropFile); break;
    case TDoorSessionKind::MissingDropFile:
        DoorDropInfo.Node = ACommandLine.Node;
        LocalFailureScreen("  Drop File Does Not Exist Or Is Not Supported:\r\n  " +
                               ACommandLine.DropFile + "\r\n",
                           "no drop file");
        break;
    case TDoorSessionKind::Usage:
        if (DoorOnUsage != nullptr) DoorOnUsage();
        DoorExit();
    }
    return usable;
}

} // namespace

void DoorDetectTerminal(bool AForceUtf8) {
    NetState().Terminal = {};
    CommSetUtf8(false);
    if (DoorLocal() || Stdio) return;
    TermDetect(AForceUtf8);
}

void DoorStartup(int argc, const char* const* argv) {
    DoorInstallSignalHandlers();
    DoorEndIfSignalled(); // a signal that came before anything was done
    DoorSetProgramPath(argc > 0 && argv[0] != nullptr ? argv[0] : "");
    // Take the console now, and arm the shutdown that restores it at the end.
    ConsoleIsTerminal();
    DoorArmExit();

    Stdio = false;
    const TDoorCommandLine commandLine = DoorParseCommandLine(argc, argv);
    Stdio = commandLine.Stdio;

    const TDoorSessionKind kind = DoorChooseSession(commandLine);
    const bool usable = FillDropInfo(kind, commandLine);

    // Two callers without an alias must not become one player: the real name stands in.
    if (IsDropFile(kind) && DoorDropInfo.Alias.empty()) DoorDropInfo.Alias = DoorDropInfo.RealName;

    const TDateTime now = DoorSteadyNow();
    DoorLastKey.Time = now;
    DoorSession.TimeOn = now;
    const bool raw = DoorRawSocket(commandLine, DoorDropInfo);
    DoorLogSessionStart(SessionText(kind, commandLine, raw));

    // A drop file without a usable connection never becomes a local session that nobody sees
    // (with -X the caller is on standard input and output, and no handle is needed).
    if (!usable && !Stdio) LocalFailureScreen("  No Carrier Detected\r\n", "no carrier");
    if (DoorLocal()) {
        EndWithoutName(kind);
        return;
    }
    if (!DoorOpenComm(raw)) LocalFailureScreen("  No Carrier Detected\r\n", "no carrier");
    if (DoorDropInfo.Emulation == TDoorEmulationType::etASCII) RefuseWithoutAnsi();
    DoorArmExitGuard();
    DoorSession.Events = true;
    DoorSession.EventsTime = TDateTime{};
    DoorDetectTerminal(commandLine.Utf8);
    DoorClrScr();
    // Row 25 belongs to the status bar.
    LocalScreen().SetWindow(1, 1, 80, 24);
    EndWithoutName(kind);
    WarnSmallTerminal();
}

bool DoorOpenComm(bool ARaw) {
    // Descriptor 0 is a handle like any other here (a BBS may pass the caller as standard
    // input); CommOpen finds out whether it is a connected socket.
    if (DoorDropInfo.ComType == 0 || Stdio) return true;
    CommOpen(DoorDropInfo.ComNum, ARaw ? TCommMode::Raw : TCommMode::Telnet);
    return CommCarrier();
}

void DefaultOnUsage() {
    const std::string name = DoorProgramFileName();
    AnsiWrite(AnsiClrScr());
    const std::string lines[] = {
        "",
        " USAGE: " + name + " <PARAMETERS>",
        "",
        " Load settings from a dropfile (DOOR32.SYS, DOOR.SYS, DORINFO*.DEF or INFO.*)",
        "  -D         PATH\\FILENAME OF DROPFILE",
        " Example: " + name + " -DC:\\BBS\\NODE1\\DOOR32.SYS",
        "",
        " Pass settings on command-line",
        "  -N         NODE NUMBER",
        "  -S         SOCKET HANDLE",
        " Example: " + name + " -N1 -S1000",
        "",
        " Run in local mode",
        "  -L         LOCAL MODE",
        " Example: " + name + " -L",
        "",
        " Optional parameters",
        "  -X         DISABLE COMM ROUTINES (STDIO MODE)",
        "  -U         SEND UTF-8 TO THE CALLER INSTEAD OF CP437",
        "  -R         RAW SOCKET, NO TELNET (-R0 TELNET; DEFAULT: RAW FOR SYNCHRONET)",
        "",
    };
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    AnsiWrite(text);
    // Also as plain output that outlives the console: the usage asked for on a command line
    // must still be readable when the program has ended, on a terminal or through a pipe.
    ConsoleRestore();
    WriteStdout(text);
    DoorExit();
}

void DefaultOnLocalLogin() {
    DoorTextAttr(7);
    DoorClrScr();
    DoorWriteLn();
    DoorWriteLn();
    DoorWriteLn("  |1F  LOCAL LOGIN - FOR NODE " + std::to_string(DoorDropInfo.Node) + "|07");
    DoorWriteLn();
    DoorWriteLn();
    DoorWriteLn("  |09Run " + DoorProgramFileName() + " /? for command-line usage help|07");
    DoorWriteLn();
    std::string name;
    while (name.empty()) {
        DoorWrite("  |0AName or handle |0F:|07 ");
        name = DoorInput("SYSOP", "qwertyuiopasdfghjklzxcvbnmQWERTYUIOPASDFGHJKLZXCVBNM ", 0, 40,
                         40, 31);
    }
    DoorDropInfo.RealName = name;
    DoorDropInfo.Alias = name;
}
