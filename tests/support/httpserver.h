// A small HTTP/1.0 server on 127.0.0.1 for the update check's tests: a fixed answer per path
// (404 for others), or silence; it counts the connections and keeps the paths asked for.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
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
                         "\r\nConnection: close\r\n\r\n" + ABody;
    }
    std::atomic<bool> Silent{false}; // accepts and holds connections without an answer
    std::atomic<int> Connections{0};
    std::vector<std::string> Paths() {
        std::lock_guard guard(FLock);
        return FPaths;
    }
    // A port with nothing listening (bound, then closed): connecting is refused.
    static std::string RefusedUrl() {
        std::uint16_t port = 0;
        ::close(Listen(port));
        return "http://127.0.0.1:" + std::to_string(port) + "/glimraversion.txt";
    }

  private:
    static int Listen(std::uint16_t& APort) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len);
        ::listen(fd, 16);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
        APort = ntohs(addr.sin_port);
        return fd;
    }
    void Run() {
        while (!FStop) {
            pollfd p{FListen, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            const int fd = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            ++Connections;
            if (Silent) {
                FHeld.push_back(fd);
                continue;
            }
            std::string head;
            char buffer[1024];
            const timeval limit{2, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            while (head.find("\r\n\r\n") == std::string::npos) {
                const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
                if (got <= 0) break;
                head.append(buffer, static_cast<std::size_t>(got));
            }
            const std::size_t start = head.find(' ') + 1;
            const std::string path = head.substr(start, head.find(' ', start) - start);
            std::string reply = "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n";
            {
                std::lock_guard guard(FLock);
                FPaths.push_back(path);
                if (FRoutes.count(path)) reply = FRoutes[path];
            }
            (void)!::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
            ::close(fd);
        }
    }

    std::uint16_t FPort = 0;
    int FListen;
    std::atomic<bool> FStop{false};
    std::mutex FLock;
    std::map<std::string, std::string> FRoutes;
    std::vector<std::string> FPaths;
    std::vector<int> FHeld;
    std::thread FThread;
};
