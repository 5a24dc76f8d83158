// A small HTTP/1.0 server on 127.0.0.1 for the update check's tests: a fixed answer per path
// (404 for others), or silence; it counts the connections it accepted.
#pragma once

#include <arpa/inet.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TestHttpServer {
  public:
    TestHttpServer() : FListen(Listen(FPort)), FThread([this] { Run(); }) {}
    ~TestHttpServer() {
        FStop = true;
        FThread.join();
        for (int fd : FHeld) ::close(fd);
        ::close(FListen);
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
        ::close(Listen(port));
        return "http://127.0.0.1:" + std::to_string(port) + "/glimraversion.txt";
    }

  private:
    static int Listen(std::uint16_t& APort) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t len = sizeof addr;
        ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len);
        ::listen(fd, 16);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
        APort = ntohs(addr.sin_port);
        return fd;
    }
    void Run() {
        for (pollfd p{FListen, POLLIN, 0}; !FStop;) {
            const int fd =
                ::poll(&p, 1, 20) > 0 ? ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC) : -1;
            if (fd < 0) continue;
            ++Connections;
            if (Silent) {
                FHeld.push_back(fd);
                continue;
            }
            std::string head(4096, '\0');
            const timeval limit{2, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            head.resize(std::max<ssize_t>(::recv(fd, head.data(), head.size(), 0), 0));
            const std::size_t start = head.find(' ') + 1;
            std::lock_guard guard(FLock);
            const auto route = FRoutes.find(head.substr(start, head.find(' ', start) - start));
            const std::string reply =
                route != FRoutes.end() ? route->second : "HTTP/1.0 404 Not Found\r\n\r\n";
            (void)!::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
            ::close(fd);
        }
    }

    std::uint16_t FPort = 0;
    int FListen;
    std::atomic<bool> FStop{false};
    std::mutex FLock;
    std::map<std::string, std::string> FRoutes;
    std::vector<int> FHeld;
    std::thread FThread;
};
