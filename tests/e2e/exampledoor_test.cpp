// The example door, the smallest door built with the kit, as a BBS starts it on a socket: the
// greeting, the hand-back at every kind of end, start-up failures, the usage screen and a local
// session on the sysop's terminal.
#include "tests/support/harness.h"
#include "tests/support/shots.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <memory>

namespace {

using namespace std::string_literals;
const std::string kExample = std::string(GLIMRA_BINARY_DIR) + "/exampledoor";

TLaunch Door32(TBbs& ABbs, int AMinutes, const std::string& AName = "DOOR32.SYS",
               std::vector<std::string> AMore = {}) {
    TLaunch launch{
        .Binary = kExample,
        .Args = {"-D" +
                 ABbs.Write(AName, TBbs::Door32(2, ABbs.Handle(), "Tester", AMinutes)).string()}};
    launch.Args.insert(launch.Args.end(), AMore.begin(), AMore.end());
    return launch;
}

TEST(ExampleDoor, GreetsEchoesAndHandsBackAtEveryEnd) {
    for (const std::string how : {"DOOR32.SYS", "door32.sys", "-N1 -S"}) {
        TBbs bbs;
        TLaunch launch = Door32(bbs, 60, how == "-N1 -S" ? "DOOR32.SYS" : how);
        if (how == "-N1 -S") launch.Args = {"-N1", "-S" + std::to_string(bbs.Handle())};
        bbs.Start(launch);
        ASSERT_TRUE(bbs.See("Type a line")) << bbs.Screen().Dump() << bbs.Log();
        bbs.Settle();
        ExpectFixture(how == "-N1 -S" ? "e2e_example_noname.screen" : "e2e_example.screen",
                      Shot(bbs.Screen()));
        EXPECT_TRUE(bbs.Received().starts_with("\xFF\xFB\x00\xFF\xFB\x01"s))
            << "telnet offers first";
        bbs.Send("hello door\r\n");
        EXPECT_TRUE(bbs.See("You typed: hello door"));
        EXPECT_TRUE(bbs.HandedBack()) << how;
        EXPECT_EQ(bbs.Log(), "");
    }
    // The idle and time limits, SIGHUP and SIGTERM: the exit guard leaves light gray and the
    // cursor bottom left on the caller's screen, where the BBS's next byte lands.
    const std::tuple<std::string, int, std::string> ends[] = {
        {"Idle Time Limit Exceeded.  Returning To BBS...", 60, "-I1"},
        {"Your Time Has Expired.  Returning To BBS...", 0, "-I300"},
        {"SIGHUP", 60, ""},
        {"SIGTERM", 60, ""},
    };
    for (const auto& [end, minutes, more] : ends) {
        TBbs bbs;
        bbs.Start(Door32(bbs, minutes, "door32.sys", {more}));
        ASSERT_TRUE(bbs.See(end.starts_with("SIG") ? "Type a line" : end))
            << end << bbs.Screen().Dump();
        if (end.starts_with("SIG")) bbs.Signal(end == "SIGHUP" ? SIGHUP : SIGTERM);
        EXPECT_TRUE(bbs.HandedBack()) << end;
        EXPECT_TRUE(bbs.See(1, 25, "Back at the BBS")) << end << bbs.Screen().Dump();
        EXPECT_EQ(bbs.Screen().Attr(1, 25), 7);
    }
    TBbs bbs; // a caller who drops ends the door
    bbs.Start(Door32(bbs, 60));
    ASSERT_TRUE(bbs.See("Hello, Tester!"));
    bbs.HangUp();
    EXPECT_EQ(bbs.WaitExit(4s), 0);
}

// A missing drop file and handles that are -1, 0, closed or not a socket: the door's screen on
// the local console only, nothing sent anywhere, exit code 0. The usage screen outlives the
// console, through a pipe and on a terminal.
TEST(ExampleDoor, StartFailuresAndUsageShowOnTheConsoleOnly) {
    int pipeFds[2];
    ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK), 0);
    const std::pair<int, std::string> cases[] = {
        {-2, "Drop File Does Not Exist Or Is Not Supported:"},
        {-1, "No Carrier Detected"},
        {0, "No Carrier Detected"},
        {987, "No Carrier Detected"},
        {pipeFds[1], "No Carrier Detected"},
    };
    std::vector<std::unique_ptr<TBbs>> bbses; // side by side: each waits 2.5 s on its screen
    for (const auto& [handle, screen] : cases) {
        bbses.push_back(std::make_unique<TBbs>());
        if (handle != -2) bbses.back()->Write("DOOR32.SYS", TBbs::Door32(2, handle, "Tester"));
        bbses.back()->Start({.Binary = kExample,
                             .Args = {"-D" + (bbses.back()->Dir() / "DOOR32.SYS").string()},
                             .LocalTerminal = true,
                             .InheritFds = {pipeFds[1]}});
    }
    for (std::size_t i = 0; i < bbses.size(); ++i) {
        EXPECT_TRUE(bbses[i]->Line(true).WaitFor(
            [&](const TVTermScreen& S) { return S.Shows(cases[i].second); }, 6s))
            << bbses[i]->Line(true).Screen->Dump();
        EXPECT_TRUE(bbses[i]->HandedBack()) << i;
        EXPECT_EQ(bbses[i]->Received().find("No Carrier"), std::string::npos);
    }
    char byte;
    EXPECT_EQ(::read(pipeFds[0], &byte, 1), -1) << "nothing went into the pipe";
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    for (const bool terminal : {false, true}) {
        TBbs usage;
        usage.Start({.Binary = kExample, .Args = {"/?"}, .LocalTerminal = terminal});
        EXPECT_EQ(usage.WaitExit(), 0);
        usage.Line(true).Pump(100ms);
        const std::string out = terminal ? usage.Line(true).Received : usage.Log();
        const std::size_t left = terminal ? out.rfind("\x1b[?1049l") : 0; // after the console's end
        ASSERT_NE(left, std::string::npos) << out;
        EXPECT_NE(out.find(" Example: exampledoor -N1 -S1000",
                           out.find(" USAGE: exampledoor <PARAMETERS>", left)),
                  std::string::npos)
            << out;
    }
}

TEST(ExampleDoor, LocalSessionOnTheSysopsTerminal) {
    for (const bool hangUp : {false, true}) {
        TBbs bbs;
        bbs.Start({.Binary = kExample, .Args = {"-L"}, .LocalTerminal = true, .Utf8 = true});
        TLine& local = bbs.Line(true);
        ASSERT_TRUE(
            local.WaitFor([](const TVTermScreen& S) { return S.Shows("Name or handle :"); }, 10s));
        EXPECT_TRUE(local.Screen->Shows("LOCAL LOGIN - FOR NODE 0"));
        if (hangUp) {
            local.Close();
            EXPECT_EQ(bbs.WaitExit(2s), 0);
            continue;
        }
        local.Send("\rlocal line\r");
        EXPECT_TRUE(local.WaitFor(
            [](const TVTermScreen& S) { return S.Shows("You typed: local line"); }, 10s));
        EXPECT_TRUE(local.Screen->Shows("Hello, SYSOP!"));
        EXPECT_EQ(bbs.WaitExit(), 0);
        local.Pump(100ms);
        EXPECT_TRUE(local.Received.ends_with("\x1b[?1049l"))
            << "the terminal is put back at the very end";
        EXPECT_EQ(bbs.Received(), "");
    }
}

} // namespace
