// tools/ansiview in a real terminal (tmux): each file appears as the local emulator draws it,
// a key moves on, and the terminal's modes and screen are as before once it exits.
#include "door/ansi.h"
#include "door/console.h"
#include "door/screen.h"
#include "tests/support/vterm_screen.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a shell command and returns its standard output.
std::string RunShell(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Art with colours, blocks and cursor moves, as a sysop would draw it; ends without a line end
// and carries a trailer after Ctrl-Z that must not be shown.
std::string FirstArt() {
    std::string art = "\x1b[0m\x1b[2J\x1b[1;1H\x1b[1;37;44m\xc9";
    art += std::string(40, '\xcd') + "\xbb\x1b[0m\r\n";
    art += "\x1b[1;37;44m\xba\x1b[0;34;44m\xb0\xb1\xb2\x1b[1;33m G L I M R A \x1b[0;34;44m"
           "\xb2\xb1\xb0\x1b[21C\x1b[1;37m\xba\x1b[0m\r\n";
    art += "\x1b[1;37;44m\xc8" + std::string(40, '\xcd') + "\xbc\x1b[0m\r\n";
    for (int row = 0; row < 5; ++row) {
        art += "\x1b[" + std::to_string(2 + row * 3) + "C";
        for (int i = 0; i < 40; ++i)
            art += "\x1b[" + std::string(i % 2 ? "1;" : "0;") + std::to_string(30 + (row + i) % 8) +
                   ";" + std::to_string(40 + (row * 3 + i) % 8) + "m" +
                   "\xdb\xdc\xdf\xdd\xde"[i % 5];
        art += "\x1b[0m\r\n";
    }
    art += "\x1b[15;60H\x1b[1;31m\xfe\xfe\xfe\x1b[3D\x1b[B\x1b[0;32mdown\x1b[5A\x1b[1;36mup";
    art += "\x1b[20;1H\x1b[0;44m\x1b[Kblue bar\x1b[0m\r\nend of first";
    return art;
}

std::string SecondArt() {
    return "\x1b[2J\x1b[H\x1b[1;35msecond\x1b[0m \xb0\xb1\xb2\xdb\r\n\x1b[5;5H\x1b[1;32;41mok";
}

class AnsiviewInTmux : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::system("command -v tmux >/dev/null 2>&1") != 0) GTEST_SKIP() << "no tmux";
        char tmpl[] = "/tmp/ansiview-tmux-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        Dir = tmpl;
        Tmux = "env LC_ALL=C.UTF-8 tmux -S " + Quote(Dir + "/sock") + " ";
        std::ofstream(Dir + "/tmux.conf") << "set -g status off\n";
        std::ofstream(Dir + "/one.ans", std::ios::binary) << FirstArt() << "\x1aSAUCE00 trailer";
        std::ofstream(Dir + "/two.ans", std::ios::binary) << SecondArt();
        ASSERT_EQ(std::system((Tmux + "-f " + Quote(Dir + "/tmux.conf") +
                               " new-session -d -x 80 -y 25 -s t 'env LC_ALL=C.UTF-8 sh'")
                                  .c_str()),
                  0);
        Started = true;
        ConsoleUseHeadless();
    }
    void TearDown() override {
        if (Started) std::system((Tmux + "kill-server 2>/dev/null").c_str());
        if (!Dir.empty()) std::system(("rm -rf " + Quote(Dir)).c_str());
    }
    std::string Capture(bool escapes) {
        return RunShell(Tmux + "capture-pane -p " + (escapes ? "-e -N " : "") + "-t t");
    }
    // Waits until the pane shows a text; false after ten seconds.
    bool WaitForText(const std::string& text) {
        for (int i = 0; i < 200; ++i) {
            if (Capture(false).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    // The pane, read back through a terminal emulator, against the local emulator's screen for
    // the same art.
    void ExpectPaneShows(const std::string& art) {
        AnsiReset();
        AnsiWrite(art);
        std::this_thread::sleep_for(std::chrono::milliseconds(200)); // let the repaint settle
        std::string pane = Capture(true);
        if (!pane.empty() && pane.back() == '\n') pane.pop_back();
        std::string stream;
        for (char c : pane) stream += c == '\n' ? std::string("\r\n") : std::string(1, c);
        TVTermScreen term({.Telnet = false, .Cp437 = false});
        term.Feed(stream);
        const TScreen& s = LocalScreen();
        int mismatches = 0;
        for (int row = 1; row <= 25; ++row)
            for (int col = 1; col <= 80; ++col) {
                const int fg = s.AttrAt(col, row) & 15, bg = (s.AttrAt(col, row) >> 4) & 7;
                const std::uint8_t ch = s.CharAt(col, row);
                if (term.Char(col, row) != ch || term.Bg(col, row) != bg ||
                    (ch != ' ' && term.Fg(col, row) != fg))
                    if (++mismatches <= 5)
                        ADD_FAILURE() << "cell " << col << "," << row << ": pane '"
                                      << char(term.Char(col, row)) << "' " << term.Fg(col, row)
                                      << "/" << term.Bg(col, row) << ", emulator '" << char(ch)
                                      << "' " << fg << "/" << bg;
            }
        EXPECT_EQ(mismatches, 0) << term.Dump();
        const std::string cursor = RunShell(Tmux + "display -p -t t '#{cursor_x},#{cursor_y}'");
        EXPECT_EQ(cursor, std::to_string(s.CursorColumn() - 1) + "," +
                              std::to_string(s.CursorRow() - 1) + "\n");
    }
    std::string Dir;
    std::string Tmux;
    bool Started = false;
};

TEST_F(AnsiviewInTmux, ShowsArtAsTheEmulatorDrawsItAndPutsTheTerminalBack) {
    const std::string tool = std::string(GLIMRA_BINARY_DIR) + "/ansiview";
    const std::string script = "cd " + Quote(Dir) + " && stty -a > before.txt; " + Quote(tool) +
                               " one.ans two.ans; stty -a > after.txt; echo finished > done.txt";
    ASSERT_EQ(std::system((Tmux + "send-keys -t t " + Quote(script) + " Enter").c_str()), 0);
    ASSERT_TRUE(WaitForText("end of first")) << Capture(false);
    ExpectPaneShows(FirstArt());
    EXPECT_EQ(Capture(false).find("SAUCE"), std::string::npos) << "nothing after Ctrl-Z";
    // A cursor key (an escape sequence) is one key: it moves on to the next file only.
    ASSERT_EQ(std::system((Tmux + "send-keys -t t Up").c_str()), 0);
    ASSERT_TRUE(WaitForText("second")) << Capture(false);
    ExpectPaneShows(SecondArt());
    ASSERT_EQ(std::system((Tmux + "send-keys -t t x").c_str()), 0);
    for (int i = 0; i < 200 && ReadAll(Dir + "/done.txt").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(ReadAll(Dir + "/done.txt"), "finished\n");
    const std::string before = ReadAll(Dir + "/before.txt");
    EXPECT_NE(before.find("icanon"), std::string::npos) << before;
    EXPECT_EQ(ReadAll(Dir + "/after.txt"), before) << "terminal modes as before";
    const std::string shell = Capture(false);
    EXPECT_EQ(shell.find("second"), std::string::npos) << "the shell's screen is back:\n" << shell;
    EXPECT_NE(shell.find("stty -a > before.txt"), std::string::npos) << shell;
}

} // namespace
