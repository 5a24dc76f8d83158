// The caller's side of a game screen test: reads what the door sends while the door runs (the
// door writes many small pieces, and a caller that did not read along would fill the socket
// and stall the door), and replays captured bytes on the local screen.
#pragma once

#include "door/ansi.h"

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

class TReadAlong {
  public:
    explicit TReadAlong(int ACallerFd) : FFd(ACallerFd), FThread([this] { Run(); }) {}
    ~TReadAlong() { Stop(); }
    TReadAlong(const TReadAlong&) = delete;
    TReadAlong& operator=(const TReadAlong&) = delete;

    // Stops reading and returns every byte received.
    std::string Bytes() {
        Stop();
        return FBytes;
    }

  private:
    // Reads until told to stop, then takes what is still buffered.
    void Run() {
        char buffer[4096];
        for (;;) {
            pollfd pfd{FFd, POLLIN, 0};
            if (::poll(&pfd, 1, 10) <= 0) {
                if (FStop) return;
                continue;
            }
            const ssize_t got = ::read(FFd, buffer, sizeof buffer);
            if (got <= 0) return;
            FBytes.append(buffer, static_cast<std::size_t>(got));
        }
    }
    void Stop() {
        FStop = true;
        if (FThread.joinable()) FThread.join();
    }

    int FFd;
    std::string FBytes; // the reader's own until it has stopped
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

// Shows captured bytes on a fresh local screen, as the caller's terminal shows them.
inline void Replay(const std::string& ABytes) {
    AnsiReset();
    AnsiWrite(ABytes);
}
