// The example door, the smallest door built with the kit, started every way a BBS starts a door:
// an inherited socket (DOOR32.SYS or -N -S), or the caller's pseudo-terminal (type 0, or type 2
// with -X). The greeting, every kind of end and the hand-back, the terminal's modes put back,
// the usage screen, a local session; and tools/ansiview on a terminal.
#include "door/ansi.h"
#include "door/console.h"
#include "door/screen.h"
#include "tests/support/harness.h"
#include "tests/support/shots.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

const std::string kExample = std::string(GLIMRA_BINARY_DIR) + "/exampledoor";

// "socket", "-N -S", "pty" (type 0) or "pty -X" (type 2); AMinutes left, then AMore arguments.
void Start(TBbs& ABbs, const std::string& AHow, int AMinutes = 60, const std::string& AMore = "") {
    const bool pty = AHow.starts_with("pty");
    const auto drop =
        ABbs.Write("door32.sys", TBbs::Door32(AHow == "pty" ? 0 : 2, pty ? -1 : ABbs.Handle(),
                                              "Tester", AMinutes));
    TLaunch launch{.Binary = kExample, .Args = {"-D" + drop.string(), AMore}, .OnPty = pty};
    if (AHow == "-N -S") launch.Args = {"-N1", "-S" + std::to_string(ABbs.Handle())};
    if (AHow == "pty -X") launch.Args.push_back("-X");
    ABbs.Start(launch);
}

TEST(Doors, GreetingLineAndEveryEndHandTheCallerBack) {
    for (const std::string how : {"socket", "-N -S", "pty", "pty -X"}) {
        TBbs bbs;
        Start(bbs, how);
        ASSERT_TRUE(bbs.See("Type a line")) << how << bbs.Screen().Dump() << bbs.Log();
        bbs.Settle();
        // CP437 on a pty too, the name from the drop file only, no status bar on row 25.
        ExpectFixture(how == "-N -S" ? "e2e_example_noname.screen" : "e2e_example.screen",
                      Shot(bbs.Screen()));
        EXPECT_TRUE(
            bbs.Received().starts_with(how.starts_with("pty") ? "" : "\xFF\xFB\x00\xFF\xFB\x01"));
        bbs.Send("a line\r\n"); // Enter as CR LF, as many BBS terminals pass it
        EXPECT_TRUE(bbs.See("You typed: a line")) << how;
        EXPECT_EQ(bbs.WaitExit(), 0);
        EXPECT_TRUE(how.starts_with("pty") ? bbs.ModesBack() : bbs.HandedBack()) << how;
        EXPECT_EQ(bbs.Log(), "");
    }
    // Limits show their message; a SIGTERM during the closing pause ends it at once; hang-ups
    // and the BBS's signals end the door within 2 s. The exit guard leaves light gray and the
    // cursor bottom left on the caller's screen, where the BBS's next byte lands.
    const std::pair<std::string, int> ends[] = {
        {"Idle Time Limit Exceeded.  Returning To BBS...", 60},
        {"Your Time Has Expired.  Returning To BBS...", 0},
        {"hang-up", 60},
        {"SIGHUP", 60},
        {"SIGTERM", 60},
        {"SIGHUP then SIGTERM", 60}};
    for (const std::string how : {"socket", "pty", "pty -X"})
        for (const auto& [end, minutes] : ends) {
            if (how == "pty" && end.ends_with("...")) continue; // a local session has no limits
            TBbs bbs;
            Start(bbs, how, minutes, end.ends_with("...") ? "-I1" : "");
            ASSERT_TRUE(bbs.See(end.ends_with("...") ? end : "Type a line")) << how << end;
            if (!end.ends_with("...")) bbs.Send("half a li");
            ASSERT_TRUE(end.ends_with("...") || bbs.See("half a li"));
            if (end == "hang-up") bbs.HangUp();
            if (end.starts_with("SIGHUP")) bbs.Signal(SIGHUP);
            if (end != "hang-up" && end != "SIGHUP") bbs.Signal(SIGTERM);
            EXPECT_EQ(bbs.WaitExit(how == "socket" && end == "hang-up" ? 4s : 2s), 0) << how << end;
            if (how != "socket" && end != "hang-up") EXPECT_TRUE(bbs.ModesBack()) << how << end;
            if (how != "socket" || end == "hang-up") continue;
            EXPECT_TRUE(bbs.HandedBack()) << end;
            EXPECT_TRUE(bbs.See(1, 25, "Back at the BBS") && bbs.Screen().Attr(1, 25) == 7) << end;
        }
}

TEST(Doors, NoCarrierUsageAndALocalSession) {
    TBbs noCarrier; // a telnet drop file on a pty without -X has no connection: it says so
    noCarrier.Write("door32.sys", TBbs::Door32(2, -1, "Tester"));
    noCarrier.Start({.Binary = kExample, .Args = {"-Ddoor32.sys"}, .OnPty = true});
    EXPECT_TRUE(noCarrier.See("No Carrier Detected"));
    EXPECT_EQ(noCarrier.WaitExit(6s), 0);
    for (const bool terminal : {false, true}) { // the usage screen outlives the console
        TBbs usage;
        usage.Start({.Binary = kExample, .Args = {"/?"}, .LocalTerminal = terminal});
        EXPECT_EQ(usage.WaitExit(), 0);
        const std::string out = terminal ? usage.Local().Received : usage.Log();
        const std::size_t left = terminal ? out.rfind("\x1b[?1049l") : 0;
        EXPECT_NE(
            out.find(" Example: exampledoor -N1 -S1000", out.find(" USAGE: exampledoor", left)),
            std::string::npos)
            << out;
        EXPECT_EQ(usage.Received(), "");
    }
    for (const bool hangUp : {false, true}) {
        TBbs bbs;
        bbs.Start({.Binary = kExample, .Args = {"-L"}, .LocalTerminal = true, .Utf8 = true});
        TLine& local = bbs.Local();
        ASSERT_TRUE(local.WaitFor(
            [](const TVTermScreen& S) { return S.Shows("LOCAL LOGIN - FOR NODE 0"); }));
        if (hangUp) local.Close();
        local.Send("\rlocal line\r");
        EXPECT_TRUE(hangUp || local.WaitFor([](const TVTermScreen& S) {
            return S.Shows("You typed: local line");
        }));
        EXPECT_EQ(bbs.WaitExit(2s), 0);
        EXPECT_TRUE(hangUp || (local.Screen->Shows("Hello, SYSOP!") &&
                               local.Received.ends_with("\x1b[?1049l")));
        EXPECT_EQ(bbs.Received(), "");
    }
}

TEST(Doors, AnsiviewShowsArtAsTheEmulatorDrawsItAndPutsTheTerminalBack) {
    std::string art =
        "\x1b[0m\x1b[2J\x1b[1;1H\x1b[1;37;44m\xc9" + std::string(40, '\xcd') + "\xbb\r\n";
    for (int row = 0; row < 5; ++row) {
        art += "\x1b[" + std::to_string(2 + row * 3) + "C";
        for (int i = 0; i < 40; ++i)
            art += "\x1b[" + std::string(i % 2 ? "1;" : "0;") + std::to_string(30 + (row + i) % 8) +
                   ";" + std::to_string(40 + (row * 3 + i) % 8) + "m" +
                   "\xdb\xdc\xdf\xdd\xde"[i % 5];
        art += "\x1b[0m\r\n";
    }
    art += "\x1b[15;60H\x1b[1;31m\xfe\xfe\x1b[3D\x1b[B\x1b[0;32mdown\x1b[20;1H\x1b[0;44m\x1b["
           "Kblue\r\nend";
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
    EXPECT_EQ(bbs.Screen().CursorX() * 100 + bbs.Screen().CursorY(),
              LocalScreen().CursorColumn() * 100 + LocalScreen().CursorRow());
    bbs.Send("\x1b[A"); // a cursor key is one key: on to the next file only
    ASSERT_TRUE(bbs.See("second"));
    EXPECT_TRUE(bbs.Running());
    bbs.Send("x");
    EXPECT_EQ(bbs.WaitExit(), 0);
    EXPECT_TRUE(bbs.ModesBack() && bbs.Received().ends_with("\x1b[?1049l"))
        << "the shell's screen is back";
}

} // namespace
