// A remote caller on a socketpair for game screen tests: the door's end goes to the socket
// transport as the inherited connection; the test sends keys and reads the bytes the caller
// receives, telnet commands taken out as a telnet client would.
#pragma once

#include "door/ansi.h"
#include "door/comm.h"
#include "door/door.h"

#include <gtest/gtest.h>

#include <atomic>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

class TTestCaller {
  public:
    TTestCaller() {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        FCaller = fds[1];
        DoorDropInfo.ComType = 2;
        DoorDropInfo.ComNum = fds[0];
        CommOpen(fds[0]);
        // The door writes many small pieces; a caller that did not read along would fill the
        // socket and stall the door, so a reader takes the bytes as they come.
        FReader = std::thread([this] { ReadAlong(); });
    }
    ~TTestCaller() {
        CommClose(false);
        Hangup();
        DoorDropInfo.ComType = 0;
        DoorDropInfo.ComNum = 0;
    }
    TTestCaller(const TTestCaller&) = delete;
    TTestCaller& operator=(const TTestCaller&) = delete;

    // Keys typed by the caller; they wait in the socket until the door reads them.
    void Send(const std::string& AKeys) {
        ASSERT_EQ(::write(FCaller, AKeys.data(), AKeys.size()), static_cast<ssize_t>(AKeys.size()));
    }

    // The caller hangs up.
    void Hangup() {
        StopReader();
        if (FCaller >= 0) ::close(FCaller);
        FCaller = -1;
    }

    // Everything the door has sent so far, telnet commands removed and IAC IAC undoubled.
    std::string Received() {
        StopReader();
        const std::string& raw = FRaw;
        std::string text;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (static_cast<unsigned char>(raw[i]) != 0xFF) {
                text += raw[i];
            } else if (i + 1 < raw.size() && static_cast<unsigned char>(raw[i + 1]) == 0xFF) {
                text += raw[++i];
            } else {
                i += 2; // IAC, a command and its option
            }
        }
        return text;
    }

  private:
    // Reads until told to stop; then takes what is still buffered and ends.
    void ReadAlong() {
        char buffer[4096];
        for (;;) {
            pollfd pfd{FCaller, POLLIN, 0};
            const int ready = ::poll(&pfd, 1, 10);
            if (ready <= 0) {
                if (FStop) return;
                continue;
            }
            const ssize_t n = ::read(FCaller, buffer, sizeof buffer);
            if (n <= 0) return;
            FRaw.append(buffer, static_cast<std::size_t>(n));
        }
    }

    void StopReader() {
        if (!FReader.joinable()) return;
        FStop = true;
        FReader.join();
    }

    int FCaller = -1;
    std::string FRaw; // written by the reader only while it runs
    std::atomic<bool> FStop{false};
    std::thread FReader;
};

// Shows a captured byte stream on a fresh local screen, as the caller's terminal would.
inline void Replay(const std::string& ABytes) {
    AnsiReset();
    AnsiWrite(ABytes);
}
