// A small HTTP/1.0 server on 127.0.0.1 for the update check's tests: a fixed answer per path
// (404 for others), or silence; it counts the connections it accepted.
#pragma once

#include "tests/support/platform.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TestHttpServer {
  public:
    TestHttpServer() : FListen(TestListen(FPort)), FThread([this] { Run(); }) {}
    ~TestHttpServer() {
        FStop = true;
        FThread.join();
        for (TTestSocket s : FHeld) TestClose(s);
        TestClose(FListen);
    }
    std::string Url(const std::string& APath) const {
        return "http://127.0.0.1:" + std::to_string(FPort) + APath;
    }
    // AHead: the status line's code and text, and further header lines each ended by CR LF.
    void Serve(const std::string& APath, const std::string& ABody,
               const std::string& AHead = "200 OK\r\n") {
        std::lock_guard guard(FLock);
        FRoutes[APath] = "HTTP/1.0 " + AHead + "Content-Length: " + std::to_string(ABody.size()) +
                         "\r\n\r\n" + ABody;
    }
    std::atomic<bool> Silent{false}; // accepts and holds connections without an answer
    std::atomic<int> Connections{0};
    static std::string RefusedUrl() { // nothing listens there (bound, then closed)
        std::uint16_t port = 0;
        TestClose(TestListen(port));
        return "http://127.0.0.1:" + std::to_string(port) + "/glimraversion.txt";
    }

  private:
    void Run() {
        while (!FStop) {
            const TTestSocket s = TestAccept(FListen, 20);
            if (s == kNoSocket) continue;
            ++Connections;
            if (Silent) {
                FHeld.push_back(s);
                continue;
            }
            const std::string head = TestReceive(s, 2000, 4096);
            const std::size_t start = head.find(' ') + 1;
            std::lock_guard guard(FLock);
            const auto route = FRoutes.find(head.substr(start, head.find(' ', start) - start));
            TestSend(s, route != FRoutes.end() ? route->second : "HTTP/1.0 404 Not Found\r\n\r\n");
            TestClose(s);
        }
    }

    std::uint16_t FPort = 0;
    TTestSocket FListen;
    std::atomic<bool> FStop{false};
    std::mutex FLock;
    std::map<std::string, std::string> FRoutes;
    std::vector<TTestSocket> FHeld;
    std::thread FThread;
};
