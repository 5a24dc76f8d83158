// The BBS side of the Windows end-to-end test, itself a Windows program: accepts one caller on
// 127.0.0.1, lets the door inherit the accepted socket through DOOR32.SYS, waits for the door and
// then shows that its own handle still works (a line sent, a line received back).
// Usage: bbs_launcher DOOR_DIR DOOR_EXE USER_NAME
// Standard output: "PORT <n>" once listening; after the door ended "DOOR EXIT <code>", "BBS
// SOCKET BLOCKING" or "BBS SOCKET NON-BLOCKING" (the door must leave it as the BBS made it), and
// "BBS GOT <line>". The exit code is 0 when the BBS's handle still sent and received.
#include "tests/support/platform.h"
#include "tests/support/shots.h"

#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const std::string doorDir = argv[1], doorExe = argv[2], user = argv[3];
    std::uint16_t port = 0;
    const TTestSocket listener = TestListen(port);
    std::printf("PORT %d\n", port);
    std::fflush(stdout);
    const TTestSocket caller = TestAccept(listener, 20000);
    TestClose(listener);
    if (caller == kNoSocket) return 1;
    ::SetHandleInformation(reinterpret_cast<HANDLE>(caller), HANDLE_FLAG_INHERIT,
                           HANDLE_FLAG_INHERIT);
    const std::string dropFile = doorDir + "\\DOOR32.SYS";
    WriteFile(dropFile, "2\r\n" + std::to_string(caller) + "\r\n38400\r\nTest BBS\r\n1\r\n" + user +
                            "\r\n" + user + "\r\n100\r\n60\r\n1\r\n1\r\n");
    std::string command = "\"" + doorExe + "\" -D" + dropFile;
    STARTUPINFOA start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          doorDir.c_str(), &start, &process))
        return 1;
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    ::GetExitCodeProcess(process.hProcess, &code);
    std::printf("DOOR EXIT %lu\nBBS SOCKET %s\n", static_cast<unsigned long>(code),
                TestBlocks(caller) ? "BLOCKING" : "NON-BLOCKING");
    std::fflush(stdout);
    // The caller is back at the BBS: the BBS's own handle sends and receives.
    TestSend(caller, "\r\nBACK AT THE BBS\r\n");
    std::string line;
    for (std::string c;
         line.size() < 80 && !(c = TestReceive(caller, 10000, 1)).empty() && c != "\n";)
        line += c == "\r" ? "" : c;
    std::printf("BBS GOT %s\n", line.c_str());
    std::fflush(stdout);
    TestClose(caller);
    return line.empty() ? 1 : 0;
}
