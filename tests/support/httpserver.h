// A small HTTP/1.0 server on 127.0.0.1 for tests: answers each path with a fixed response, can
// stay silent, and counts the connections it accepted.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TestHttpServer {
  public:
    struct Response {
        int Status = 200;
        std::string Body;
        std::string ExtraHeaders; // each line ending in "\r\n", e.g. "Location: /x\r\n"
    };

    // Listens on an ephemeral port of 127.0.0.1 and serves on a thread of its own.
    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    std::uint16_t Port() const { return FPort; }
    // "http://127.0.0.1:<port><APath>".
    std::string Url(const std::string& APath) const;

    // The response for APath; a path without one gets 404.
    void Serve(const std::string& APath, const Response& AResponse);
    void Serve(const std::string& APath, const std::string& ABody) {
        Serve(APath, {200, ABody, ""});
    }
    // Silent: connections are accepted and read, but never answered until the server stops.
    void SetSilent(bool ASilent) { FSilent = ASilent; }

    int Connections() const { return FConnections; }
    // The request paths served, in order.
    std::vector<std::string> Paths();

    // A port on 127.0.0.1 with nothing listening (bound, then closed): connecting is refused.
    static std::uint16_t RefusedPort();

  private:
    void Run();
    void Answer(int AFd);

    int FListen = -1;
    int FWakeRead = -1;
    int FWakeWrite = -1;
    std::uint16_t FPort = 0;
    std::atomic<bool> FSilent{false};
    std::atomic<int> FConnections{0};
    std::mutex FLock;
    std::map<std::string, Response> FRoutes;
    std::vector<std::string> FPaths;
    std::vector<int> FHeld; // silent connections, closed at stop
    std::thread FThread;
};
