// End-to-end harness for standard-input doors: the test plays a BBS that runs the door on a
// pseudo-terminal (the door's standard input, output and error, and its controlling terminal)
// and holds the master side as the caller's connection, read into a CP437 terminal emulator.
#pragma once

#include "tests/support/child_process.h"
#include "tests/support/vterm_screen.h"

#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The preloadable libfaketime of the faketime package.
std::string FakeTimeLibrary();

// How to start a door on the pseudo-terminal.
struct TPtyLaunch {
    std::string Binary;              // the door program
    std::vector<std::string> Args;   // its arguments, after the program name
    std::vector<std::string> Prefix; // run through these first
    // "YYYY-MM-DD hh:mm:ss": the door's clock starts there and runs on (libfaketime preloaded
    // into the door itself, so that signals sent to the door's process reach the door and not
    // a wrapper process).
    std::string FakeTime;
    std::vector<std::pair<std::string, std::string>> Env; // set in the door's environment
    // LC_ALL of the door. "C" is the locale a BBS service usually runs with; it makes the door
    // send CP437 bytes, which the caller's screen expects.
    std::string Locale = "C";
    std::filesystem::path WorkDir; // empty: the harness's own working directory
};

class TPtyBbs {
  public:
    // A fresh temporary working directory; the terminal is made by Start().
    TPtyBbs();
    // Kills a door still running, closes the terminal and removes the directory.
    ~TPtyBbs();
    TPtyBbs(const TPtyBbs&) = delete;
    TPtyBbs& operator=(const TPtyBbs&) = delete;

    // ---- The BBS ----
    const std::filesystem::path& WorkDir() const { return FDir.Work(); }
    // Writes a file into the working directory and returns its path.
    std::filesystem::path WriteFile(const std::string& AName, const std::string& AText) const {
        return FDir.WriteFile(AName, AText);
    }
    // The eleven lines of a DOOR32.SYS with the given connection type (0 local, 2 telnet) and
    // handle (-1: none, the caller is on standard input), AMinutes left, node ANode.
    static std::string Door32Sys(int AComType, int AHandle, int AMinutes, const std::string& AAlias,
                                 int ANode = 1);
    // Opens an 80x25 pseudo-terminal and starts the door on it as a session leader whose
    // controlling terminal it is, as a BBS does.
    void Start(const TPtyLaunch& ALaunch);
    // The door's exit code (128 + signal when a signal killed it), or nothing when it is still
    // running after ALimit. The terminal is drained meanwhile, so the door never blocks on it.
    std::optional<int> WaitExit(std::chrono::milliseconds ALimit);
    void Signal(int ASignal);
    pid_t Pid() const { return FChild.Pid(); }
    // The terminal's modes as the door found them, and as they are now (read through the master,
    // which shares them; only while the terminal is open).
    const termios& ModesAtStart() const { return FModesAtStart; }
    termios ModesNow() const;

    // ---- The caller ----
    void Send(const std::string& ABytes);
    // Reads what the door wrote, waiting at most ALimit for the first new byte.
    void Pump(std::chrono::milliseconds ALimit);
    // Pumps until the raw bytes contain AText, or the screen satisfies ACondition, or ALimit
    // passes.
    bool WaitFor(const std::string& AText, std::chrono::milliseconds ALimit);
    bool WaitForScreen(const std::function<bool(const TVTermScreen&)>& ACondition,
                       std::chrono::milliseconds ALimit);
    // Pumps until the door has been quiet for AQuiet.
    void Settle(std::chrono::milliseconds AQuiet = std::chrono::milliseconds(300));
    // Every byte the door wrote to the terminal.
    const std::string& Received() const { return FReceived; }
    TVTermScreen& Screen() { return FScreen; }
    // The caller's line drops: the BBS closes the master side.
    void HangUp();

  private:
    TScratchDir FDir{"/tmp/ptybbs.XXXXXX"};
    TChildProcess FChild;
    int FMaster = -1;
    termios FModesAtStart{};
    std::string FReceived;
    TVTermScreen FScreen{TVTermScreen::TOptions{.Telnet = false, .Cp437 = true}};
};
