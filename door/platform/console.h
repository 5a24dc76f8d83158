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
