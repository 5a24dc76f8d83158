// ansiview FILE...: shows ANSI art through the door's own emulator on the local console, one
// file at a time with a key between them, so a sysop sees art as the door will draw it.
#include "door/lines.h"
#include "door/term/ansi.h"
#include "door/term/console.h"
#include "door/term/cp437.h"
#include "door/term/screen.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Reads a whole file; false with the reason when it cannot be read.
bool ReadFile(const char* APath, std::string& AText, std::string& AError) {
    std::ifstream in(APath, std::ios::binary);
    if (!in) {
        AError = std::strerror(errno);
        return false;
    }
    AText.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        AError = "read error";
        return false;
    }
    return true;
}

// Draws the text as the door shows a file: line by line (a line ends at CR, LF or CR LF), CR LF
// between lines and none after the last, nothing from a Ctrl-Z (0x1A) on.
void ShowLikeTheDoor(const std::string& AText) {
    const std::vector<std::string> lines = SplitLines(AText.substr(0, AText.find('\x1a')));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) AnsiWrite("\r\n");
        AnsiWrite(lines[i]);
    }
}

// Without a terminal the screen goes to standard output as text, one line per row.
void PrintScreen() {
    std::string out;
    for (int row = 1; row <= TScreen::Height; ++row) {
        std::string line = LocalScreen().RowText(row);
        line.erase(line.find_last_not_of(' ') + 1);
        for (char c : line) Cp437AppendUtf8(out, static_cast<std::uint8_t>(c));
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
}

// Waits for one key; an extended key's scan code is read with it. False when input has ended.
bool WaitForKey() {
    if (ConsoleReadKey() == 0 && !ConsoleInputEnded()) ConsoleReadKey();
    return !ConsoleInputEnded();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "Usage: " << argv[0] << " FILE...\n"
                  << "Shows each ANSI file as the door draws it; a key goes to the next.\n";
        return 2;
    }
    const bool terminal = ConsoleIsTerminal();
    int failures = 0;
    for (int i = 1; i < argc; ++i) {
        AnsiReset();
        std::string text, error;
        if (ReadFile(argv[i], text, error)) {
            ShowLikeTheDoor(text);
        } else {
            ++failures;
            AnsiWrite("Cannot read \"" + std::string(argv[i]) + "\": " + error + "\r\n");
        }
        if (!terminal) {
            PrintScreen();
        } else if (!WaitForKey()) {
            break;
        }
    }
    ConsoleRestore();
    return failures == 0 ? 0 : 1;
}
