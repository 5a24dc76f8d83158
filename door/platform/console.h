// The local console's back-end interface, shared by console.cpp (the choice and the calls) and
// the platform back-ends in console_posix.cpp and console_windows.cpp.
#pragma once

#include "door/platform/wait.h"
#include "door/term/screen.h"

#include <array>
#include <cstddef>
#include <memory>

// Keys waiting to be read, in a fixed ring; keys beyond its size are dropped.
class TKeyQueue {
  public:
    bool Empty() const { return Count_ == 0; }
    void Push(char c) {
        if (Count_ == Keys_.size()) return;
        Keys_[(Head_ + Count_) % Keys_.size()] = c;
        ++Count_;
    }
    char Pop() {
        const char c = Keys_[Head_];
        Head_ = (Head_ + 1) % Keys_.size();
        --Count_;
        return c;
    }

  private:
    std::array<char, 256> Keys_{};
    std::size_t Head_ = 0;
    std::size_t Count_ = 0;
};

// A back-end shows the screen model and supplies local keys. This base is the headless one: no
// display, only the keys tests queue.
class TConsoleBackend {
  public:
    virtual ~TConsoleBackend() = default;
    virtual void Refresh(const TScreen&) {}
    virtual bool KeyPressed() { return !Keys.Empty(); }
    virtual char ReadKey() { return Keys.Empty() ? 0 : Keys.Pop(); }
    virtual TWaitHandle KeyHandle() const { return kNoWaitHandle; }
    virtual bool InputEnded() const { return false; }
    virtual bool IsTerminal() const { return false; }
    TKeyQueue Keys;
};

// The back-end for this process's standard handles: the platform's console when they are one,
// else null (then the console runs headless).
std::unique_ptr<TConsoleBackend> SystemConsole();

// The slot holding the current back-end (empty until first use).
std::unique_ptr<TConsoleBackend>& ConsoleBackendSlot();

// A terminal back-end on the given descriptors (raw mode on AInFd, display on AOutFd with glyphs
// as UTF-8 or as CP437 bytes), or null when there is none (not a terminal; on Windows always).
std::unique_ptr<TConsoleBackend> TerminalConsole(int AInFd, int AOutFd, bool AUtf8);

// The door is ending on a signal (async-signal-safe). From now on output that a terminal does
// not take within a moment is dropped and the display ends, so that a caller's line that has
// stalled cannot hold the door; a write blocked when the signal came gives up.
void ConsoleStopWaiting();

// Puts the terminal back as it was found (modes, screen, cursor). Safe to call more than once,
// from the exit path (the kit's shutdown, door/shutdown.h) and from a signal handler. When a
// terminal is taken, fatal signals and SIGINT/SIGQUIT that have no handler yet get one that calls
// it before the signal's default action. After it the console shows nothing more.
void ConsoleRestore();
