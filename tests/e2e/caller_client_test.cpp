// What a caller's client, the clock and the BBS's signals do to the real bbsglimra: telnet
// commands and cursor keys change nothing, idle time ignores wall-clock steps, and an ending
// signal ends a door stuck on a caller who stopped reading or on a locked database at once.
#include "tests/e2e/glimra_node.h"
#include "tests/support/pty_harness.h"

#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <csignal>
#include <cstring>
#include <thread>

namespace {

using namespace glimra_e2e;
using namespace std::string_literals;
using std::chrono::steady_clock;

// Window size 81x49 ("Q" and "1"), terminal type XTERM, keep-alives, answers to the offers.
const std::string kTelnet = "\xFF\xFA\x1F\x00\x51\x00\x31\xFF\xF0\xFF\xFA\x18\x00XTERM\xFF\xF0"
                            "\xFF\xF1\xFF\xF1\xFF\xFD\x01\xFF\xFD\x00\xFF\xFB\x1F"s;
const std::string kNop = "\xFF\xF1";

bool Board(const TVTermScreen& AScreen) {
    const std::string dump = AScreen.Dump();
    return dump.find("TODAY'S HIGH SCORES") != std::string::npos &&
           dump.find("Version 2024.10.2") == std::string::npos;
}

TEST(CallerClient, TelnetCommandsAndCursorKeysAreNoKeys) {
    TNode node("Client", 1);
    InstallGlimra(node.Bbs->WorkDir(), "0\n300\n\n");
    node.Start();
    ASSERT_TRUE(node.SeeMenu()) << node.Screen().Dump();

    // At the menu: neither "Q" nor "1" inside the reports is a key; "2" opens today's board.
    node.Send(kTelnet + "2");
    ASSERT_TRUE(node.See(Board)) << node.Screen().Dump();
    // At "press any key": the answers dismiss nothing, so "A" closes the board and "2" opens it
    // again (with the board dismissed early, "A" would open the about pages).
    const std::size_t before = node.Bbs->CallerReceived().size();
    node.Send(kTelnet + "A2");
    ASSERT_TRUE(node.See([&](const TVTermScreen& AScreen) {
        return node.Bbs->CallerReceived().find("Version 2024.10.2", before) != std::string::npos &&
               Board(AScreen);
    })) << node.Screen().Dump();
    node.Send(" 1");

    // In a guess field: no report, cursor key or function key types or ends anything.
    ASSERT_TRUE(node.See(30, 16, "Enter Guess 1: ")) << node.Screen().Dump();
    node.Send("cr" + kTelnet + "\x1b[A\x1b[D\x1bOA\x1bOB\x1bOP" + "ane\r");
    ASSERT_TRUE(node.See(30, 16, "Enter Guess 2: ")) << node.Screen().Dump();
    EXPECT_EQ(Text(node.Screen(), 38, 9, 5), "CRANE");
}

TEST(CallerClient, IdleTimeIgnoresWallClockStepsAndKeepAlives) {
    struct TStep {
        explicit TStep(const char* ATo) : To(ATo) {}
        const char* To;
        std::unique_ptr<TBbsHarness> Bbs = std::make_unique<TBbsHarness>();
        fs::path Clock;
        std::optional<steady_clock::duration> TimedOut;
    } steps[] = {TStep("@2026-03-16 12:00:00"), TStep("@2026-03-15 11:50:00")};
    const auto launched = steady_clock::now();
    for (TStep& step : steps) {
        InstallGlimra(step.Bbs->WorkDir(), "0\n5\n\n");
        step.Clock = step.Bbs->WriteFile("faketime.rc", "@2026-03-15 12:00:00\n");
        TDoorLaunch launch = GlimraLaunch(*step.Bbs, "Idler");
        launch.Prefix.clear(); // the clock file is read at every reading of the clock
        launch.Env = {{"LD_PRELOAD", FakeTimeLibrary()},
                      {"FAKETIME_TIMESTAMP_FILE", step.Clock.string()},
                      {"FAKETIME_NO_CACHE", "1"},
                      {"FAKETIME_DONT_FAKE_MONOTONIC", "1"}};
        step.Bbs->Start(launch);
    }
    for (TStep& step : steps) {
        ASSERT_TRUE(step.Bbs->CallerWaitForScreen(TextAt(32, 23, "Version 2024.10.2"), 10s));
        fs::rename(step.Bbs->WriteFile("faketime.new", step.To + "\n"s), step.Clock);
    }
    // Keep-alives every half second until each door gives up on its idle caller.
    while (steady_clock::now() < launched + 20s && (!steps[0].TimedOut || !steps[1].TimedOut)) {
        for (TStep& step : steps) {
            if (step.TimedOut) continue;
            if (step.Bbs->CallerWaitFor("Idle Time Limit Exceeded", 250ms)) {
                step.TimedOut = steady_clock::now() - launched;
            } else {
                step.Bbs->CallerSend(kNop);
            }
        }
    }
    for (TStep& step : steps) {
        ASSERT_TRUE(step.TimedOut) << step.To << ": keep-alives kept the caller on the node";
        EXPECT_GE(*step.TimedOut, 6s) << step.To << ": the step counted as idle time";
        EXPECT_EQ(step.Bbs->WaitExit(10s), 0);
    }
}

TEST(CallerClient, EndingSignalsCutStalledSendsAndLockedDatabasesShort) {
    struct TStall {
        int Signal;
        bool LockedDatabase;
        TNode Node;
    } stalls[] = {{SIGTERM, false, {"Stalled", 1}},
                  {SIGINT, false, {"Stalled", 2}},
                  {SIGHUP, true, {"Locked", 3}}};
    std::unique_ptr<SqlConnection> lock;
    for (TStall& stall : stalls) {
        const fs::path dir = stall.Node.Bbs->WorkDir();
        InstallGlimra(dir, "0\n300\n\n");
        if (stall.LockedDatabase) {
            lock = std::make_unique<SqlConnection>((dir / "glimradb.db").string());
            lock->Exec("BEGIN EXCLUSIVE");
        }
        TDoorLaunch launch = GlimraLaunch(*stall.Node.Bbs, stall.Node.Alias, stall.Node.Number);
        launch.Prefix.clear(); // the signal goes to the door itself
        stall.Node.Bbs->Start(launch);
    }
    for (TStall& stall : stalls) {
        TBbsHarness& bbs = *stall.Node.Bbs;
        if (stall.LockedDatabase) {
            ASSERT_TRUE(bbs.CallerWaitFor("\x1b[2J", 10s)) << "start-up cleared the screen";
        } else {
            // The caller asks for screen after screen and reads none of them, until a send waits.
            ASSERT_TRUE(stall.Node.SeeMenu()) << stall.Node.Screen().Dump();
            const int small = 4096;
            ::setsockopt(bbs.DoorHandle(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
            for (int i = 0; i < 100; ++i) bbs.CallerSend("Axx");
            int queued = 0, same = 0;
            for (int tries = 0; same < 5 && tries < 400; ++tries) {
                int now = 0;
                ::ioctl(bbs.DoorHandle(), SIOCOUTQ, &now);
                same = now > 0 && now == queued ? same + 1 : 0;
                queued = now;
                std::this_thread::sleep_for(50ms);
            }
            ASSERT_EQ(same, 5) << "the door's sends do not stall";
        }
        bbs.Signal(stall.Signal);
        EXPECT_EQ(bbs.WaitExit(1s), 0) << strsignal(stall.Signal) << "\n" << bbs.DoorLog();
        // The caller is handed back: the BBS's words arrive after all the door sent.
        std::size_t seen;
        do {
            seen = bbs.CallerReceived().size();
            bbs.CallerPump(300ms);
        } while (seen != bbs.CallerReceived().size());
        bbs.BbsSend("Back at the BBS");
        EXPECT_TRUE(bbs.CallerWaitFor("Back at the BBS", 10s));
        EXPECT_FALSE(bbs.CallerSawEnd());
    }
}

} // namespace
