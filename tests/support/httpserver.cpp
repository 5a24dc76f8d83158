// The test HTTP server: one thread, poll() on the listening socket and a wake-up pipe.
#include "tests/support/httpserver.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int ListenOnLoopback(std::uint16_t& APort) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    APort = ntohs(addr.sin_port);
    return fd;
}

std::string StatusText(int AStatus) {
    switch (AStatus) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

// Reads the request head (up to the blank line, or 2 s, or 8 KiB) and returns its path.
std::string ReadRequestPath(int AFd) {
    std::string head;
    char buffer[1024];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 8192) {
        pollfd p{AFd, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0) break;
        ssize_t got = ::recv(AFd, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        head.append(buffer, static_cast<std::size_t>(got));
    }
    std::size_t start = head.find(' ');
    if (start == std::string::npos) return "";
    std::size_t end = head.find(' ', start + 1);
    return head.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
}

} // namespace

TestHttpServer::TestHttpServer() {
    FListen = ListenOnLoopback(FPort);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    FWakeRead = pipeFds[0];
    FWakeWrite = pipeFds[1];
    FThread = std::thread([this] { Run(); });
}

TestHttpServer::~TestHttpServer() {
    char stop = 1;
    (void)::write(FWakeWrite, &stop, 1);
    FThread.join();
    for (int fd : FHeld) ::close(fd);
    ::close(FListen);
    ::close(FWakeRead);
    ::close(FWakeWrite);
}

std::string TestHttpServer::Url(const std::string& APath) const {
    return "http://127.0.0.1:" + std::to_string(FPort) + APath;
}

void TestHttpServer::Serve(const std::string& APath, const Response& AResponse) {
    std::lock_guard<std::mutex> guard(FLock);
    FRoutes[APath] = AResponse;
}

std::vector<std::string> TestHttpServer::Paths() {
    std::lock_guard<std::mutex> guard(FLock);
    return FPaths;
}

std::uint16_t TestHttpServer::RefusedPort() {
    std::uint16_t port = 0;
    ::close(ListenOnLoopback(port));
    return port;
}

void TestHttpServer::Run() {
    for (;;) {
        pollfd fds[2] = {{FListen, POLLIN, 0}, {FWakeRead, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        int fd = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++FConnections;
        Answer(fd);
    }
}

void TestHttpServer::Answer(int AFd) {
    if (FSilent) {
        FHeld.push_back(AFd);
        return;
    }
    std::string path = ReadRequestPath(AFd);
    Response response{404, "not found\n", ""};
    {
        std::lock_guard<std::mutex> guard(FLock);
        FPaths.push_back(path);
        auto it = FRoutes.find(path);
        if (it != FRoutes.end()) response = it->second;
    }
    std::string reply = "HTTP/1.0 " + std::to_string(response.Status) + " " +
                        StatusText(response.Status) + "\r\nContent-Type: text/plain\r\n" +
                        "Content-Length: " + std::to_string(response.Body.size()) + "\r\n" +
                        response.ExtraHeaders + "Connection: close\r\n\r\n" + response.Body;
    std::size_t sent = 0;
    while (sent < reply.size()) {
        ssize_t n = ::send(AFd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
    }
    ::close(AFd);
}
