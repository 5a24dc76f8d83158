// The one end-to-end harness: the test plays the BBS (a scratch directory, the drop file, a door
// binary started as a child that inherits the caller's TCP connection or runs on the caller's
// pseudo-terminal, its exit code, the connection it hands back) and the caller (keys in, bytes
// read into a libvterm screen). A socket door may also get a terminal of its own (the sysop's).
#pragma once

#include "tests/support/shots.h"
#include "tests/support/vterm_screen.h"

#include <signal.h>
#include <termios.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using TMs = std::chrono::milliseconds;
using TCondition = std::function<bool(const TVTermScreen&)>;

// ALength characters of a row from a column (both from 1).
inline std::string Text(const TVTermScreen& AScreen, int ACol, int ARow, std::size_t ALength) {
    return AScreen.RowText(ARow).substr(static_cast<std::size_t>(ACol - 1), ALength);
}

struct TLaunch {
    std::string Binary;
    std::vector<std::string> Args;
    // The door's wall clock from libfaketime, preloaded into the door itself: "YYYY-MM-DD
    // hh:mm:ss", or the path of a file that holds "@" and that, read afresh at every reading.
    std::string FakeTime;
    std::vector<std::pair<std::string, std::string>> Env;
    bool OnPty = false;            // the caller is the door's terminal (a standard-input door)
    bool LocalTerminal = false;    // a socket door with a terminal for the sysop
    bool Utf8 = false;             // the terminal's locale: C.UTF-8, else C (CP437 bytes)
    bool CallerUtf8 = false;       // a socket door's caller has a UTF-8 terminal, else CP437
    bool CallerSilent = false;     // ... that never answers a cursor position request
    int CallerRows = 25;           // ... of 80 columns and this many rows
    std::filesystem::path WorkDir; // empty: the harness's own directory
};

// One end of a line: its descriptor, everything read from it and the screen it draws.
struct TLine {
    int Fd = -1;
    bool Ended = false;
    std::string Received;
    std::unique_ptr<TVTermScreen> Screen;
    bool Answers = true;   // sends what the terminal answers
    void Pump(TMs ALimit); // reads what arrives, waiting at most ALimit for the first byte
    bool WaitFor(const TCondition& ACondition, TMs ALimit = 10s);
    void Send(const std::string& ABytes);
    std::size_t Offer(std::string_view ABytes); // sends what the connection takes now
    void Close();
};

class TBbs {
  public:
    TBbs();
    ~TBbs();

    const std::filesystem::path& Dir() const { return FDir; }
    std::filesystem::path Write(const std::string& AName, const std::string& AText) const {
        return WriteFile((FDir / AName).string(), AText), FDir / AName;
    }
    // A DOOR32.SYS: connection type (0 local, 2 telnet), handle, alias, minutes left, node,
    // emulation (0 no ANSI).
    static std::string Door32(int AType, int AHandle, const std::string& AAlias, int AMinutes = 60,
                              int ANode = 1, int AEmulation = 1);
    int Handle() const { return FBbsFd; } // the BBS's descriptor, which the door inherits
    pid_t Pid() const { return FPid; }    // the door's process

    void Start(const TLaunch& ALaunch);
    // 128 + signal when killed. The caller's and sysop's lines are read meanwhile (a door never
    // blocks on its output) unless ADrain is false: a caller who has stopped reading.
    std::optional<int> WaitExit(TMs ALimit = 10s, bool ADrain = true);
    void Signal(int ASignal) {
        if (FPid > 0 && !FExit) ::kill(FPid, ASignal);
    }
    // The door's output when it has no terminal.
    std::string Log() const { return ReadFile(FDir.string() + ".log"); }
    bool ModesBack() const; // the door's terminal is in the modes it was started with

    TLine& Local() { return FLocal; } // the sysop's terminal
    TVTermScreen& Screen() { return *FCaller.Screen; }
    const std::string& Received() const { return FCaller.Received; }
    void Send(const std::string& AKeys) { FCaller.Send(AKeys); }
    std::size_t Offer(std::string_view AKeys) { return FCaller.Offer(AKeys); }
    bool WaitFor(const TCondition& ACondition, TMs ALimit = 10s);
    bool See(const std::string& AText, TMs ALimit = 10s) {
        return WaitFor([&](const TVTermScreen& S) { return S.Shows(AText); }, ALimit);
    }
    bool See(int ACol, int ARow, const std::string& AText, TMs ALimit = 10s) {
        return WaitFor([&](const auto& S) { return Text(S, ACol, ARow, AText.size()) == AText; },
                       ALimit);
    }
    void Settle(TMs AQuiet = 300ms); // until the door has been quiet for AQuiet
    void HangUp() { FCaller.Close(); }
    // The door has ended with 0 and the BBS talks to its caller again on its own descriptor.
    bool HandedBack();

  private:
    std::filesystem::path FDir;
    pid_t FPid = -1;
    std::optional<int> FExit;
    int FBbsFd = -1;
    termios FModes{};
    TLine FCaller, FLocal;
};
