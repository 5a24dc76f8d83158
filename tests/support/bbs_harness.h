// End-to-end harness: the test plays the BBS (accepts the caller's TCP connection on 127.0.0.1,
// writes a drop file, starts a door binary that inherits the connection, keeps its own
// descriptor) and the caller (a TCP client whose received bytes feed a terminal emulator).
#pragma once

#include "tests/support/child_process.h"
#include "tests/support/vterm_screen.h"

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// How to start a door.
struct TDoorLaunch {
    std::string Binary;            // the door program
    std::vector<std::string> Args; // its arguments, after the program name
    // Run through these first, e.g. {"faketime", "2027-03-01 12:00:00"}; a sanitized door is
    // told to accept the preloaded library.
    std::vector<std::string> Prefix;
    std::vector<std::pair<std::string, std::string>> Env; // set in the door's environment
    std::vector<int> InheritFds;   // further descriptors the door inherits, as they are
    bool LocalTerminal = false;    // standard input and output on a pseudo-terminal (80x25)
    bool LocalUtf8 = true;         // the terminal's locale: UTF-8 (C.UTF-8), else C (CP437)
    std::filesystem::path WorkDir; // empty: the harness's own working directory
};

class TBbsHarness {
  public:
    // Listens on 127.0.0.1, connects the caller and accepts the connection as the BBS would.
    TBbsHarness();
    // Kills a door still running and removes the temporary directory.
    ~TBbsHarness();
    TBbsHarness(const TBbsHarness&) = delete;
    TBbsHarness& operator=(const TBbsHarness&) = delete;

    // ---- The BBS ----
    // A fresh temporary directory, the door's working directory unless the launch says else.
    const std::filesystem::path& WorkDir() const { return FDir.Work(); }
    // The BBS's descriptor of the caller's connection; the door inherits this number.
    int DoorHandle() const { return FBbsFd; }
    // Writes a file into the working directory and returns its path.
    std::filesystem::path WriteFile(const std::string& AName, const std::string& AText) const {
        return FDir.WriteFile(AName, AText);
    }
    // The eleven lines of a DOOR32.SYS: telnet, the handle, AMinutes left, node ANode.
    static std::string Door32Sys(int AHandle, int AMinutes, const std::string& AAlias,
                                 int ANode = 1);
    // Starts the door; its standard output and error go to DoorLog() (or to the terminal).
    void Start(const TDoorLaunch& ALaunch);
    // The door's exit code (128 + signal when a signal killed it), or nothing when it is still
    // running after ALimit.
    std::optional<int> WaitExit(std::chrono::milliseconds ALimit);
    bool Running();
    void Signal(int ASignal);
    pid_t Pid() const { return FChild.Pid(); }
    // What the door wrote to its standard output and error (empty with a local terminal).
    std::string DoorLog() const;
    // The BBS talking to its caller after the door: send, and read what arrives within ALimit.
    void BbsSend(const std::string& ABytes);
    std::string BbsReceive(std::chrono::milliseconds ALimit);

    // ---- The caller ----
    void CallerSend(const std::string& ABytes);
    // Reads what has arrived, waiting at most ALimit for the first new byte.
    void CallerPump(std::chrono::milliseconds ALimit);
    // Pumps until the raw bytes contain AText or ALimit passes.
    bool CallerWaitFor(const std::string& AText, std::chrono::milliseconds ALimit);
    // Pumps until the caller's screen satisfies ACondition or ALimit passes.
    bool CallerWaitForScreen(const std::function<bool(const TVTermScreen&)>& ACondition,
                             std::chrono::milliseconds ALimit);
    // Every byte the caller received, telnet commands included.
    const std::string& CallerReceived() const { return FReceived; }
    TVTermScreen& CallerScreen() { return FScreen; }
    // True once the caller has read the end of the connection.
    bool CallerSawEnd() const { return FCallerEof; }
    // Sends as much of ABytes as the door takes while reading what it sends meanwhile, so that
    // neither side blocks the other; stops when the door has ended, the connection is gone or
    // ALimit passes. Returns the number of bytes sent.
    std::size_t CallerFlood(const std::string& ABytes, std::chrono::milliseconds ALimit);
    // Pumps until every byte the caller sent has been read by the door (nothing left in the
    // connection toward it); false when ALimit passes first.
    bool CallerWaitDelivered(std::chrono::milliseconds ALimit);
    // The caller hangs up.
    void CallerHangUp();

    // ---- The local terminal (LocalTerminal launches) ----
    int LocalFd() const { return FPtyMaster; }
    void LocalSend(const std::string& ABytes);
    // Reads what the door shows on its terminal, waiting at most ALimit for the first new byte.
    void LocalPump(std::chrono::milliseconds ALimit);
    // Every byte the door wrote to its terminal so far.
    const std::string& LocalReceived() const { return FLocal; }
    // The door's terminal as the sysop sees it.
    TVTermScreen& LocalScreen() { return *FLocalScreen; }
    // Pumps until the local screen satisfies ACondition or ALimit passes.
    bool LocalWaitForScreen(const std::function<bool(const TVTermScreen&)>& ACondition,
                            std::chrono::milliseconds ALimit);
    // Closes the terminal's master side: the door's keyboard and display are gone.
    void LocalHangUp();

  private:
    TScratchDir FDir{"/tmp/bbsharness.XXXXXX"};
    TChildProcess FChild;
    int FBbsFd = -1;
    int FCallerFd = -1;
    int FPtyMaster = -1;
    std::string FReceived;
    std::string FLocal;
    bool FCallerEof = false;
    TVTermScreen FScreen;
    std::unique_ptr<TVTermScreen> FLocalScreen;
};
