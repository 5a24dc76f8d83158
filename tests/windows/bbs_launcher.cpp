// The BBS side of the Windows end-to-end test, itself a Windows program: accepts one caller on
// 127.0.0.1, lets the door inherit the accepted socket through DOOR32.SYS, waits for the door and
// then shows that its own handle still works (a line sent, a line received back).
// Usage: bbs_launcher DOOR_DIR DOOR_EXE USER_NAME
// Standard output: "PORT <n>" once listening; after the door ended "DOOR EXIT <code>", "BBS
// SOCKET BLOCKING" or "BBS SOCKET NON-BLOCKING" (the door must leave it as the BBS made it), and
// "BBS GOT <line>". The exit code is 0 when the BBS's handle still sent and received.
#include <windows.h>
#include <winsock2.h>

#include <cstdio>
#include <string>

namespace {

int Fail(const char* AWhat) {
    std::printf("FAILED %s %d\n", AWhat, static_cast<int>(::WSAGetLastError()));
    std::fflush(stdout);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const std::string doorDir = argv[1];
    const std::string doorExe = argv[2];
    const std::string userName = argv[3];
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return Fail("WSAStartup");
    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return Fail("listen");
    std::printf("PORT %d\n", ntohs(address.sin_port));
    std::fflush(stdout);
    SOCKET caller = ::accept(listener, nullptr, nullptr);
    if (caller == INVALID_SOCKET) return Fail("accept");
    ::closesocket(listener);
    ::SetHandleInformation(reinterpret_cast<HANDLE>(caller), HANDLE_FLAG_INHERIT,
                           HANDLE_FLAG_INHERIT);

    const std::string dropFile = doorDir + "\\DOOR32.SYS";
    if (FILE* f = std::fopen(dropFile.c_str(), "wb")) {
        std::fprintf(f,
                     "2\r\n%llu\r\n38400\r\nTest BBS\r\n1\r\n%s\r\n%s\r\n100\r\n60\r\n1\r\n1\r\n",
                     static_cast<unsigned long long>(caller), userName.c_str(), userName.c_str());
        std::fclose(f);
    } else {
        return Fail("DOOR32.SYS");
    }
    std::string command = "\"" + doorExe + "\" -D" + dropFile;
    STARTUPINFOA start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          doorDir.c_str(), &start, &process))
        return Fail("CreateProcess");
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    ::GetExitCodeProcess(process.hProcess, &code);
    std::printf("DOOR EXIT %lu\n", static_cast<unsigned long>(code));
    std::fflush(stdout);

    // A blocking socket runs into the receive time-out; a non-blocking one fails at once.
    DWORD ms = 200;
    ::setsockopt(caller, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
    char none = 0;
    const bool blocking =
        ::recv(caller, &none, 1, MSG_PEEK) == SOCKET_ERROR && ::WSAGetLastError() == WSAETIMEDOUT;
    std::printf("BBS SOCKET %s\n", blocking ? "BLOCKING" : "NON-BLOCKING");
    std::fflush(stdout);
    ms = 0;
    ::setsockopt(caller, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);

    // The caller is back at the BBS: the BBS's own handle sends and receives.
    const char back[] = "\r\nBACK AT THE BBS\r\n";
    if (::send(caller, back, sizeof back - 1, 0) != static_cast<int>(sizeof back - 1))
        return Fail("send");
    std::string line;
    char c = 0;
    while (line.size() < 80 && ::recv(caller, &c, 1, 0) == 1 && c != '\n') {
        if (c != '\r') line += c;
    }
    std::printf("BBS GOT %s\n", line.c_str());
    std::fflush(stdout);
    ::closesocket(caller);
    return line.empty() ? 1 : 0;
}
