// Doors run the way a BBS runs a standard-input door: on a pseudo-terminal that is the caller's
// connection, with a DOOR32.SYS naming handle -1 (type 0 local, or type 2 with -X). CP437 bytes on
// the caller's screen, no status bar, the remote limits of -X, every way the caller can go away,
// and the terminal's modes put back; the game played so, and tools/ansiview on a terminal.
#include "door/ansi.h"
#include "door/console.h"
#include "door/screen.h"
#include "tests/e2e/glimra.h"

#include <csignal>

namespace {

const std::string kExample = std::string(GLIMRA_BINARY_DIR) + "/exampledoor";

TLaunch OnPty(TBbs& ABbs, const std::string& ABinary, int AType,
              std::vector<std::string> AMore = {}) {
    TLaunch launch{
        .Binary = ABinary,
        .Args = {"-D" + ABbs.Write("door32.sys", TBbs::Door32(AType, -1, "Tester")).string()}};
    if (AType != 0) launch.Args.push_back("-X");
    launch.Args.insert(launch.Args.end(), AMore.begin(), AMore.end());
    launch.OnPty = true;
    return launch;
}

bool ModesBack(const TBbs& ABbs) {
    const termios now = ABbs.Modes();
    return now.c_lflag == ABbs.ModesAtStart.c_lflag && now.c_iflag == ABbs.ModesAtStart.c_iflag &&
           now.c_oflag == ABbs.ModesAtStart.c_oflag;
}

TEST(Stdio, ExampleDoorGreetsInCp437KeepsItsLimitsAndEndsOnEveryHangUp) {
    for (const int type : {0, 2}) {
        TBbs bbs;
        bbs.Start(OnPty(bbs, kExample, type));
        ASSERT_TRUE(bbs.See("Type a line")) << bbs.Screen().Dump();
        bbs.Settle();
        ExpectFixture("e2e_example_pty.screen", Shot(bbs.Screen())); // no status bar on row 25
        EXPECT_NE(bbs.Received().find(std::string(37, '\xDF')), std::string::npos)
            << "CP437, not UTF-8";
        EXPECT_EQ(bbs.Modes().c_lflag & (ICANON | ECHO), 0u) << "keys reach the door one at a time";
        bbs.Send("pty line\r\n"); // Enter as CR LF, as many BBS terminals pass it
        EXPECT_TRUE(bbs.See("You typed: pty line"));
        EXPECT_EQ(bbs.WaitExit(), 0);
        EXPECT_TRUE(ModesBack(bbs)) << type;
    }
    for (const auto& [minutes, more, message] :
         {std::tuple{60, "-I1", "Idle Time Limit Exceeded.  Returning To BBS..."},
          {0, "-I300", "Your Time Has Expired.  Returning To BBS..."}}) {
        TBbs bbs;
        bbs.Write("door32.sys", TBbs::Door32(2, -1, "Tester", minutes));
        bbs.Start({.Binary = kExample,
                   .Args = {"-D" + (bbs.Dir() / "door32.sys").string(), "-X", more},
                   .OnPty = true});
        ASSERT_TRUE(bbs.See(message)) << bbs.Screen().Dump();
        const auto start = std::chrono::steady_clock::now();
        bbs.Signal(SIGTERM); // during the closing pause: the door ends at once
        EXPECT_EQ(bbs.WaitExit(), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms)
            << "the 2.5 s pause was sat out";
        EXPECT_TRUE(ModesBack(bbs));
        EXPECT_EQ(bbs.Received().find("Left:"), std::string::npos);
    }
    const std::pair<std::string, std::function<void(TBbs&)>> ends[] = {
        {"terminal closed", [](TBbs& B) { B.HangUp(); }},
        {"SIGHUP", [](TBbs& B) { B.Signal(SIGHUP); }},
        {"SIGTERM", [](TBbs& B) { B.Signal(SIGTERM); }},
        {"SIGHUP then SIGTERM", [](TBbs& B) { B.Signal(SIGHUP), B.Signal(SIGTERM); }},
    };
    for (const int type : {0, 2})
        for (const auto& [name, end] : ends) {
            TBbs bbs;
            bbs.Start(OnPty(bbs, kExample, type));
            ASSERT_TRUE(bbs.See("Type a line"));
            bbs.Send("half a li");
            ASSERT_TRUE(bbs.See("half a li"));
            end(bbs);
            EXPECT_EQ(bbs.WaitExit(2s), 0) << name << type;
            EXPECT_TRUE(name == "terminal closed" || ModesBack(bbs)) << name << type;
        }
    TBbs bbs; // a telnet drop file without -X has no connection: the door says so and ends
    TLaunch launch = OnPty(bbs, kExample, 2);
    launch.Args.pop_back();
    bbs.Start(launch);
    EXPECT_EQ(bbs.WaitExit(6s), 0);
    EXPECT_NE(bbs.Received().find("No Carrier Detected"), std::string::npos);
}

TEST(Stdio, GlimraPlaysQuitsAndKeepsTheScoreOfAGameLeftMidway) {
    const std::pair<std::string, std::function<void(TBbs&)>> ends[] = {
        {"quit", [](TBbs& B) { B.Send("cider\r\n  q"); }},
        {"idle", [](TBbs& B) { B.Send("cider\r\n  "); }}, // the idle limit of -X, then SIGTERM
        {"terminal closed", [](TBbs& B) { B.HangUp(); }},
        {"SIGHUP", [](TBbs& B) { B.Signal(SIGHUP); }},
        {"SIGTERM", [](TBbs& B) { B.Signal(SIGTERM); }},
    };
    for (const auto& [name, end] : ends) {
        TBbs bbs;
        InstallGlimra(bbs.Dir(), name == "idle" ? "0\n2\n\n" : "0\n300\n\n");
        TLaunch launch = OnPty(bbs, kDoor, name == "idle" ? 2 : 0);
        launch.FakeTime = kToday + " 12:00:00";
        bbs.Start(launch);
        ASSERT_TRUE(Menu(bbs)) << bbs.Screen().Dump();
        bbs.Send("1");
        ASSERT_TRUE(bbs.See(30, 16, "Enter Guess 1: "));
        bbs.Send("crane\r\n"); // the LF of CR LF is no key
        ASSERT_TRUE(bbs.See(30, 16, "Enter Guess 2: "));
        bbs.Settle();
        if (name == "quit") ExpectFixture("e2e_pty_guess.screen", Shot(bbs.Screen()));
        end(bbs);
        if (name == "idle") {
            ASSERT_TRUE(bbs.See(1, 2, "  Idle Time Limit Exceeded.  Returning To BBS..."))
                << bbs.Screen().Dump();
            bbs.Signal(SIGTERM);
        }
        EXPECT_EQ(bbs.WaitExit(name == "quit" ? 10s : 2s), 0) << name;
        EXPECT_TRUE(name == "terminal closed" || ModesBack(bbs)) << name;
        EXPECT_EQ(Query(bbs.Dir(), "SELECT * FROM tblScores"),
                  std::vector<std::string>{"Tester|" + kToday + "|" +
                                           (name == "quit" || name == "idle" ? "160" : "0")})
            << name;
    }
}

TEST(Stdio, AnsiviewShowsArtAsTheEmulatorDrawsItAndPutsTheTerminalBack) {
    std::string art =
        "\x1b[0m\x1b[2J\x1b[1;1H\x1b[1;37;44m\xc9" + std::string(40, '\xcd') + "\xbb\x1b[0m\r\n";
    for (int row = 0; row < 5; ++row) {
        art += "\x1b[" + std::to_string(2 + row * 3) + "C";
        for (int i = 0; i < 40; ++i)
            art += "\x1b[" + std::string(i % 2 ? "1;" : "0;") + std::to_string(30 + (row + i) % 8) +
                   ";" + std::to_string(40 + (row * 3 + i) % 8) + "m" +
                   "\xdb\xdc\xdf\xdd\xde"[i % 5];
        art += "\x1b[0m\r\n";
    }
    art += "\x1b[15;60H\x1b[1;31m\xfe\xfe\xfe\x1b[3D\x1b[B\x1b[0;32mdown\x1b[20;1H\x1b[0;44m\x1b["
           "Kblue\x1b[0m\r\nend";
    TBbs bbs;
    bbs.Write("one.ans", art + "\x1aSAUCE00 trailer");
    bbs.Write("two.ans", "\x1b[2J\x1b[H\x1b[1;35msecond\x1b[0m \xb0\xb1\xb2\xdb");
    bbs.Start({.Binary = std::string(GLIMRA_BINARY_DIR) + "/ansiview",
               .Args = {"one.ans", "two.ans"},
               .OnPty = true,
               .Utf8 = true});
    ASSERT_TRUE(bbs.See("end")) << bbs.Screen().Dump();
    bbs.Settle();
    ConsoleUseHeadless();
    AnsiReset();
    AnsiWrite(art);
    EXPECT_EQ(Shot(bbs.Screen()), Shot(LocalScreen()));
    EXPECT_EQ(std::pair(bbs.Screen().CursorX(), bbs.Screen().CursorY()),
              std::pair(LocalScreen().CursorColumn(), LocalScreen().CursorRow()));
    bbs.Send("\x1b[A"); // a cursor key is one key: on to the next file only
    ASSERT_TRUE(bbs.See("second"));
    EXPECT_TRUE(bbs.Running());
    bbs.Send("x");
    EXPECT_EQ(bbs.WaitExit(), 0);
    EXPECT_TRUE(ModesBack(bbs));
    EXPECT_TRUE(bbs.Received().ends_with("\x1b[?1049l")) << "the shell's screen is back";
}

} // namespace
