// The kit: start-up (drop file readers and command lines against tables in tests/fixtures/, the
// local log-in, the start-up screens that end the program in death-test children), a session
// with a caller on a socket pair (output codes, keys and the line editor against tables, file
// display, the event pass, limits, status bar), and the socket transport with the BBS.
#include "door/dropfiles.h"
#include "door/events.h"
#include "door/net/comm.h"
#include "door/net/termprobe.h"
#include "door/startup.h"
#include "door/state.h"
#include "tests/support/kit_fixture.h"

#include <gtest/gtest.h>
#include <regex>
#include <thread>

namespace {

const auto RealSteadyNow = DoorSteadyNow; // the session clock the kit starts with

using StartupTest = KitTest;

std::string Fields() {
    const auto& d = DoorDropInfo;
    std::ostringstream s;
    s << "Access=" << d.Access << " Alias=" << d.Alias << " Baud=" << d.Baud << " Clean=" << d.Clean
      << " ComNum=" << d.ComNum << " ComType=" << int(d.ComType) << " ASCII=" << int(d.Emulation)
      << " Fairy=" << d.Fairy << " MaxSeconds=" << d.MaxSeconds << " Node=" << d.Node
      << " RealName=" << d.RealName << " RecPos=" << d.RecPos;
    return s.str();
}

const std::map<std::string, bool (*)(const std::string&)> kReaders = {{"DOOR32", ReadDoor32},
                                                                      {"DOOR.SYS", ReadDoorSys},
                                                                      {"DORINFO", ReadDorInfo},
                                                                      {"INFO", ReadLordInfo}};

TEST_F(StartupTest, DropFileReaders) {
    CheckCases("dropfiles.cases", 2, [](const std::vector<std::string>& ACase) {
        WriteFile("drop", ACase[1]);
        DoorDropInfo = {.Fairy = true}; // not a field of every format: stays unless read
        if (kReaders.at(ACase[0])("drop")) return std::vector{Fields()};
        return std::vector<std::string>{Fields(), "no connection"};
    });
    const std::string longLine(100000, 'A'); // cut, and the lines after it read in place
    WriteFile("drop", "2\r\n" + longLine + "\r\n300\r\n\r\n1\r\n" + longLine + "\r\nAl\r\n");
    ReadDoor32("drop");
    EXPECT_TRUE(DoorDropInfo.RealName == std::string(4096, 'A') && DoorDropInfo.Alias == "Al" &&
                DoorDropInfo.Baud == 300);
    // Devices, pipes, directories and missing files are not drop files: they change nothing.
    std::vector<std::string> paths = TestSpecialFiles();
    paths.insert(paths.end(), {"missing", "DOOR32.SYS"});
    std::filesystem::create_directory("DOOR32.SYS");
    DoorDropInfo = {};
    for (const auto& [name, read] : kReaders)
        for (const auto& path : paths) read(path);
    EXPECT_EQ(Fields(), (DoorDropInfo = {}, Fields()));
}

TEST_F(StartupTest, CommandLineAndSessionChoice) {
    std::filesystem::create_directory("INFO.3");
    for (const char* file :
         {"Door.Sys", "INFO.3/DORINFO1.DEF", "info.2", "door32.sys", "CHAIN.TXT"})
        WriteFile(file, "");
    static std::string options;
    DoorOnCLP = [](char AKey, const std::string& AValue) { options += AKey + AValue + ","; };
    CheckCases("commandline.cases", 1, [](const std::vector<std::string>& ACase) {
        std::vector<std::string> words = {"door"};
        std::istringstream in(ACase[0]);
        for (std::string word; std::getline(in, word, ';');) words.push_back(word);
        std::vector<const char*> argv;
        for (const auto& w : words) argv.push_back(w.c_str());
        options.clear();
        const TDoorCommandLine c = DoorParseCommandLine(static_cast<int>(argv.size()), argv.data());
        std::ostringstream s;
        s << int(DoorChooseSession(c)) << ": Local=" << c.Local << " Node=" << c.Node
          << " Socket=" << c.Socket << " DropFile=" << c.DropFile << " Stdio=" << c.Stdio
          << (c.Utf8 ? " Utf8=1" : "") << " Others=" << options;
        return std::vector{s.str()};
    });
}

void Startup(std::vector<const char*> AArgs) {
    AArgs.insert(AArgs.begin(), "/opt/bbs/doors/mydoor");
    DoorStartup(static_cast<int>(AArgs.size()), AArgs.data());
}

// A raw door socket (Synchronet's, or -R) gets no telnet command and no doubled 255, its 255 in
// is data, and the probe still finds the terminal.
TEST_F(StartupTest, RawDoorSocketFromTheDropFileOrTheSwitch) {
    DoorLogFileName = "door.log";
    CheckCases("rawsocket.cases", 2, [this](const std::vector<std::string>& ACase) {
        const TSocketPair pair = TestSocketPair();
        TestClose(std::exchange(Caller, pair.Caller));
        WriteFile("DOOR32.SYS", "2\r\n" + std::to_string(pair.Door) + "\r\n38400\r\n" + ACase[0] +
                                    "\r\n1\r\nAnn\r\nAnn\r\n10\r\n60\r\n1\r\n1\r\n");
        Send("\x1b[1;1R\x1b[1;4R\x1b[25;80R"); // the terminal's answers to the probe: CP437, 80x25
        Startup({"-DDOOR32.SYS", ACase[1].c_str()});
        const std::string sent = Received(), log = ReadFile("door.log");
        DoorWrite("\xFF!"), Send("\xFF\xFB\x01q\r\n\xFF\xFF.");
        std::string keys;
        while (!keys.ends_with('.') && CommWaitChar(2000)) keys += CommReadChar();
        return std::vector<std::string>{
            std::to_string(std::count(sent.begin(), sent.end(), '\xFF')),
            std::to_string(NetState().Terminal.Columns) + "x" +
                std::to_string(NetState().Terminal.Rows),
            keys, Received(), log.substr(log.rfind(", ") + 2)};
    });
}

// The reset for tests leaves nothing of a session behind: after a remote session that set every
// part of the kit's state, the kit shows what it showed fresh.
TEST_F(StartupTest, TheResetLeavesNothingOfASessionBehind) {
    const auto fresh = [] {
        DoorResetForTests();
        std::filesystem::remove("door.log");
        DoorLogFileName = "door.log", DoorNow = [] { return FakeNow; };
        DoorLogSessionEnd();          // an end line still due
        NewExitProc();                // an armed exit guard
        AnsiWrite("\x1b[u\x1b[28mX"); // the emulator's saved cursor and attribute, a cut sequence
        return Shot(LocalScreen()) + ReadFile("door.log") + DoorProgramFileName() +
               (ConsoleKeyPressed() ? " key" : "") + (CommCarrier() ? "" : " no carrier") +
               (CommUtf8() ? " UTF-8" : "") + (CommHandle() != kNoWaitHandle ? " open" : "") +
               (DoorSession.Events || DoorOnHangup != DefaultOnHangup ? " session" : "") +
               std::to_string(NetState().Terminal.Columns + DoorState().HangupReported);
    };
    const std::string before = fresh();
    const TSocketPair pair = TestSocketPair();
    TestClose(std::exchange(Caller, pair.Caller));
    Send("\x1b[1;1R\x1b[1;2R\x1b[30;100R"); // UTF-8, 100x30
    Startup({"-N1", ("-S" + std::to_string(pair.Door)).c_str()});
    DoorOnHangup = [] {};
    AnsiWrite("\x1b[5;5H\x1b[s\x1b[1;31m\x1b[8m\x1b[");
    ConsolePushKeys("k");
    HangUp();
    while (DoorCarrierNow()) CommWaitChar(100);
    DoorKeyPressed(); // the pass that reports the hang-up
    EXPECT_EQ(fresh(), before);
}

TEST_F(StartupTest, LocalLoginAndDropFilesThatStayLocal) {
    DoorOnLocalLogin = [] {
        DefaultOnLocalLogin(); // an emptied name asks again
        ExpectFixture("local_login.screen", Shot(LocalScreen()));
    };
    ConsolePushKeys("\x19\r\x19"
                    "Ann Lee\r");
    Startup({"-N5"});
    EXPECT_EQ(Fields(), "Access=0 Alias=Ann Lee Baud=0 Clean=0 ComNum=0 ComType=0 ASCII=0 Fairy=0 "
                        "MaxSeconds=3600 Node=5 RealName=Ann Lee RecPos=0");
    EXPECT_TRUE(DoorLocal() && !DoorSession.Events && DoorSession.TimeOn == DoorLastKey.Time);
    EXPECT_EQ(Shot(LocalScreen()), "@@\n") << "the screen is cleared after the log-in";
    DoorOnLocalLogin = [] { FAIL() << "a drop file needs no log-in"; };
    // A byte-order mark and blanks around numbers; no alias: the real name stands in.
    WriteFile("DOOR32.SYS", "\xEF\xBB\xBF"
                            "0 \r\n5\r\n38400\r\nBBS\r\n1\r\nAnn\r\n\r\n10\r\n20\r\n1\r\n 4 \r\n");
    WriteFile("INFO.1",
              "3\r\n3\r\n\r\n\r\n15\r\nbob\r\nBob\r\nStone\r\n0\r\n38400\r\n\r\nLOCAL\r\n");
    Startup({"-N9", "-DDOOR32.SYS"});
    EXPECT_TRUE(DoorDropInfo.Node == 4 && DoorDropInfo.Alias == "Ann" && DoorLocal() &&
                !DoorSession.Events);
    DoorDropInfo = {};
    Startup({"-N7", "-DINFO.1"}); // INFO.n gives no node, and -N is not used with a drop file
    EXPECT_TRUE(DoorDropInfo.Node == 0 && DoorDropInfo.RealName == "Bob Stone");
}

TEST_F(StartupTest, UsageAndFailureScreensEndTheProgram) {
    DoorLogFileName = "door.log"; // the children's lines, read at the end
    // The program ends (in a death test's child) with code 0 on the screen it returns, and says
    // AStderr on standard error (what the BBS logs when standard output is /dev/null).
    const auto ends = [](std::vector<const char*> AArgs, const std::string& AStderr = "") {
        std::filesystem::remove("ended.screen");
        EXPECT_EXIT((std::atexit([] { WriteFile("ended.screen", Shot(LocalScreen())); }),
                     Startup(AArgs), std::exit(1)),
                    ::testing::ExitedWithCode(0), AStderr);
        return ReadFile("ended.screen");
    };
    const auto text = [&](std::vector<const char*> AArgs, const std::string& AStderr) {
        const std::string shot = ends(AArgs, AStderr); // without the attribute map; substr: no
        return shot.substr(0, shot.find("@@"));        // throw in a child where it is empty
    };
    const std::string usage = ends({"-S1000"});
    ExpectFixture("usage.screen", usage);
    EXPECT_EQ((DoorOnUsage = nullptr, ends({"-?"})), "@@\n");
    EXPECT_EQ(text({"-D/no/such/DOOR32.SYS"}, "mydoor: Drop File Does Not Exist Or Is Not "
                                              "Supported: /no/such/DOOR32.SYS\n"),
              "\n  Drop File Does Not Exist Or Is Not Supported:\n  /no/such/DOOR32.SYS\n");
    const std::string noCarrier = "\n  No Carrier Detected\n",
                      lostLine = "mydoor: No Carrier Detected\n";
    EXPECT_EQ(text({"-N1", "-S1000"}, lostLine), noCarrier);
    // No usable connection in the drop file is no local session either.
    for (const char* drop : {"2\r\n-1\r\n", "", "x\r\n5\r\n"}) {
        WriteFile("DOOR32.SYS", drop);
        EXPECT_EQ(text({"-DDOOR32.SYS"}, lostLine), noCarrier) << drop;
    }
    const TSocketPair pair = TestSocketPair(); // a caller without a name or ANSI is told so
    for (const char* alias : {"", "Al"}) {     // ... and leaves
        WriteFile("DOOR32.SYS", "2\r\n" + std::to_string(pair.Door) + "\r\n\r\n\r\n\r\n\r\n" +
                                    alias + "\r\n\r\n\r\n" + (*alias ? "0" : "1") + "\r\n7\r\n");
        EXPECT_EQ(text({"-DDOOR32.SYS"},
                       *alias ? "mydoor: The drop file says the caller's terminal has no ANSI\n"
                              : "mydoor: The drop file gives no user name\n"),
                  *alias ? "\nSorry, this door needs a terminal with ANSI graphics.\nReturning you "
                           "to the BBS...\n"
                         : "\n  The BBS Gave No User Name.  Returning To BBS...\n");
    }
    TestClose(pair.Door), TestClose(pair.Caller);
    // Without the date and time, nor the child's handle of node 7 (maybe not ours).
    const std::string log = std::regex_replace(
        std::regex_replace(ReadFile("door.log"), std::regex("[^\n]* node "), " node "),
        std::regex("( node 7 .*handle )[^,]*"), "$1");
    const std::string lost = " node 0 [] No Carrier Detected\n node 0 [] session end: no carrier\n";
    const std::string drop = " node 0 [] session start: drop file DOOR32.SYS, connection type ";
    EXPECT_EQ(log,
              " node 0 [Bob] Drop File Does Not Exist Or Is Not Supported: /no/such/DOOR32.SYS\n"
              " node 1 [Bob] session start: command line, connection type 2 handle 1000, 60 min\n"
              " node 1 [Bob] No Carrier Detected\n node 1 [Bob] session end: no carrier\n" +
                  drop + "2 handle -1, 0 min\n" + lost + drop + "0 handle -1, 0 min\n" + lost +
                  drop + "0 handle 5, 0 min\n" + lost +
                  " node 7 [] session start: drop file DOOR32.SYS, connection type 2 handle , 0 "
                  "min\n node 7 [] session end: no user name\n"
                  " node 7 [Al] session start: drop file DOOR32.SYS, connection type 2 handle , 0 "
                  "min\n node 7 [Al] session end: no ANSI terminal\n");
    // Eight nodes log at once onto a full log: every line is in the log or its .1, and .1 is the
    // full log, never a nearly empty new one moved over it.
    DoorLogMaxBytes = 8000;
    for (int round = 0; round < 50; ++round) {
        WriteFile("door.log", std::string(7990, 'x') + "\n");
        std::vector<std::thread> nodes;
        while (nodes.size() < 8)
            nodes.emplace_back([] { DoorLog("1"), DoorLog("2"), DoorLog("3"); });
        for (auto& node : nodes) node.join();
        const std::string all = ReadFile("door.log.1") + ReadFile("door.log");
        EXPECT_TRUE(all.starts_with("xxx") && std::count(all.begin(), all.end(), '\n') == 25);
    }
}

using namespace std::string_literals;

class DoorTest : public KitTest {
  public:
    void SetUp() override {
        KitTest::SetUp();
        Connect();
    }
    // The keys read, as the PC keyboard gives them ("^" and a scan code for an extended key),
    // and the side each came from.
    static std::string Keys(std::size_t ACount) {
        std::string keys;
        for (; ACount > 0; --ACount) {
            const char ch = DoorReadKey();
            keys += (DoorLastKey.Extended ? "^"s : ""s) + ch +
                    (DoorLastKey.Location == TDoorLastKeyType::lkLocal ? "L" : "R");
        }
        return keys;
    }
};

TEST_F(DoorTest, OutputKeysAndLineEditorTables) {
    // Text (backtick codes on after "`:", centred after "center ") => bytes to the caller =>
    // local row 1 => the attribute of each of its cells and the pauses asked for.
    CheckCases("output.cases", 1, [this](const std::vector<std::string>& ACase) {
        AnsiReset();
        Delays.clear();
        DoorSession.TrelmWrite = ACase[0].starts_with("`:");
        const std::string text = ACase[0].substr(DoorSession.TrelmWrite ? 2 : 0);
        text.starts_with("center ") ? DoorWriteCentered(text.substr(7)) : DoorWrite(text);
        std::string attrs, delays;
        for (std::size_t col = 1; col <= Row(1).size(); ++col)
            attrs += std::to_string(AttrAt(col, 1)) + " ";
        for (int ms : Delays) delays += std::to_string(ms) + " ";
        return std::vector{Received(), Row(1), attrs + "/ " + delays};
    });
    // Remote bytes, local keys, how many to read => the keys read and the side each came from;
    // the same when the caller's bytes come in two receives, split at any byte.
    DoorOnSysopKey = [](char AKey) { return AKey == 59; }; // F1 is the sysop's
    CheckCases("keys.cases", 3, [this](const std::vector<std::string>& ACase) {
        std::string first;
        for (std::size_t at = ACase[0].size();; --at) {
            Send(ACase[0].substr(0, at));
            CommCharAvail(); // the first receive ends at the split
            Send(ACase[0].substr(at));
            ConsolePushKeys(ACase[1]);
            Advance(42);
            const std::string keys = Keys(std::stoul(ACase[2]));
            EXPECT_EQ(DoorSecondsIdle(), 0) << "a key read stamps the idle timer";
            EXPECT_EQ(keys, first.empty() ? (first = keys) : first) << "split at " << at;
            while (CommCharAvail()) CommReadChar();
            if (at <= 1) return std::vector{first};
        }
    });
    // The caller's terminal from what its client sent first; see the table's heading.
    CheckCases("terminal.cases", 2, [this](const std::vector<std::string>& ACase) {
        TestClose(Caller), Connect(); // a new client: no reports yet
        Send(ACase[0]);
        DoorDetectTerminal(ACase[1] == "-U");
        const std::string sent = Received();
        std::string keys;
        while (CommCharAvail()) keys += CommReadChar();
        DoorWrite("\xDB");
        std::size_t requests = 0;
        for (std::size_t at = 0; (at = sent.find("\x1b[6n", at)) != std::string::npos; ++at)
            ++requests;
        return std::vector{(NetState().Terminal.Utf8 ? "UTF-8 "s : "CP437 "s) +
                               std::to_string(NetState().Terminal.Columns) + "x" +
                               std::to_string(NetState().Terminal.Rows),
                           std::to_string(requests), keys, Received()};
    });
    CommSetUtf8(false);
    // Typed keys, default text, allowed set (A alpha, N numeric, F file name, * all), password
    // character, visible length and maximum => what is returned => local row 1 => bytes sent.
    const std::string sets[] = {DOOR_INPUT_CHARS_ALPHA, DOOR_INPUT_CHARS_NUMERIC,
                                DOOR_INPUT_CHARS_FILENAME, DOOR_INPUT_CHARS_ALL};
    CheckCases("editor.cases", 6, [&](const std::vector<std::string>& ACase) {
        AnsiReset();
        Send(ACase[0]);
        const std::string result =
            DoorInput(ACase[1], sets[std::string("ANF*").find(ACase[2])], ACase[3][0],
                      std::stoi(ACase[4]), std::stoi(ACase[5]), 0x1F);
        EXPECT_EQ(LocalScreen().TextAttr(), 7) << "the attribute is put back";
        return std::vector{result, Row(1), Received()};
    });
}

TEST_F(DoorTest, FileDisplayAndWhereNothingIsSent) {
    const std::pair<std::string, std::string> files[] = {
        {"a\r\nb\nc\rd|0Ae\r\n\r\nf\n", "a\r\nb\r\nc\r\nd\x1b[1;32m\x1b[40me\r\n\r\nf"},
        {"one\r\ntwo\x1ASAUCE00 record\r\nnot shown", "one\r\ntwo"},
        {"three\r\n\x1A\r\nnot shown", "three"},
        {std::string(65534, 'a') + "|0Ab",
         std::string(65534, 'a') + "\x1b[1;32m\x1b[40mb"}, // no code cut
    };
    for (const auto& [content, sent] : files) {
        WriteFile("shown.ans", content);
        DoorDisplayFile("shown.ans");
        EXPECT_EQ(Received(), sent) << content.substr(0, 40);
    }
    Send("kl");
    DoorDisplayFile("gone.ans");
    EXPECT_EQ(Received(),
              "Error reading \"gone.ans\": No such file or directory\r\nHit a key to continue\r\n");
    EXPECT_EQ(DoorReadKey(), 'l');
    Send("s");
    DoorDropInfo.ComType = 0; // locally or with stdio nothing is sent and the socket never read
    DoorWrite("local");
    EXPECT_FALSE(DoorKeyPressed());
    DoorDropInfo.ComType = 2;
    Stdio = true;
    DoorWrite("stdio");
    EXPECT_FALSE(DoorKeyPressed());
    EXPECT_EQ(Received(), "");
    Stdio = false;
    EXPECT_EQ(Keys(1), "sR");
    DoorDropInfo.ComType = 0; // a local session without a keyboard ends instead of waiting
    EXPECT_EXIT(DoorReadKey(), ::testing::ExitedWithCode(0), "");
}

TEST_F(DoorTest, EventPassLimitsWarningsAndHangUp) {
    static std::string log;
    log.clear();
    DoorOnHangup = [] { log += "hangup "; };
    DoorOnTimeOut = [] { log += "idle" + std::to_string(DoorSecondsIdle()) + " "; };
    DoorOnTimeUp = [] { log += "timeup "; };
    DoorOnStatusBar = [] { log += "bar "; };
    DoorOnTimeOutWarning = [](std::uint8_t AMin) { log += "warn" + std::to_string(AMin) + " "; };
    DoorOnTimeUpWarning = [](std::uint8_t AMin) { log += "left" + std::to_string(AMin) + " "; };
    DoorDropInfo.MaxSeconds = 400;
    DoorDoEvents(); // events are off until start-up turns them on
    DoorSession.Events = true;
    for (int ms : {0, 0, 999, 1}) { // a pass at most once a second
        FakeNow += std::chrono::milliseconds(ms);
        DoorKeyPressed();
    }
    EXPECT_EQ(log, "bar bar ");
    DoorOnStatusBar = nullptr;
    for (int second = 1; second <= 302; ++second, Advance(1))
        log += second == 301 ? "| " : "", DoorDoEvents();
    EXPECT_EQ(log.substr(8),
              "warn4 left5 warn3 left4 warn2 left3 warn1 left2 warn0 | idle301 idle302 ");
    log.clear();
    DoorSession.DoIdleCheck = false;
    Advance(98);
    DoorDoEvents();
    EXPECT_EQ(log + std::to_string(DoorSecondsLeft()), "timeup -1");
    log.clear();
    DoorDropInfo.MaxSeconds = 100000;
    HangUp();
    for (int pass = 0; pass < 3; ++pass) DoorKeyPressed(); // noticed at once, reported each second
    Advance(1);
    DoorKeyPressed();
    EXPECT_EQ(log, "hangup hangup ");
    DoorOnHangup = [] { ConsolePushKeys("x"); };
    DoorSteadyNow = RealSteadyNow; // a key wait wakes for the pass that finds the carrier gone
    EXPECT_EQ(DoorReadKey(), 'x');
    const TWaitHandle none = kNoWaitHandle; // no time to wait: back at once, on every system
    EXPECT_EQ(WaitForAny(&none, 1, 0), -1);
}

// A key wait sleeps until the next limit mark (no status bar on a headless console) and still
// sees every warning and limit on its second, also when the two limits' marks fall together.
TEST_F(DoorTest, KeyWaitSleepsUntilTheNextMarkAndSeesEveryOne) {
    static std::string log;
    log.clear();
    static const auto at = [] { return "@" + std::to_string(700 - DoorSecondsLeft()) + " "; };
    DoorOnTimeOut = [] { log += "idle" + at(), DoorSession.DoIdleCheck = false; };
    DoorOnTimeUp = [] { log += "up" + at(); };
    DoorOnTimeOutWarning = [](std::uint8_t AMin) { log += "w" + std::to_string(AMin) + at(); };
    DoorOnTimeUpWarning = [](std::uint8_t AMin) { log += "l" + std::to_string(AMin) + at(); };
    Connect();
    DoorDropInfo.MaxSeconds = 700;
    DoorSession.MaxIdle = 400;
    DoorLastKey.Time += std::chrono::milliseconds(400); // the idle clock runs out of step
    DoorSession.Events = true;
    int wakes = 0;
    while (log.find("up@701") == std::string::npos && wakes < 1000) {
        const int ms = DoorMillisecondsToNextPass();
        ASSERT_GT(ms, 0) << log;
        FakeNow += std::chrono::milliseconds(ms), ++wakes;
        DoorKeyPressed();
    }
    EXPECT_EQ(log, "w5@99 w4@159 w3@219 w2@279 w1@339 l5@399 w0@400 idle@401 l4@459 l3@519 "
                   "l2@579 l1@639 l0@699 up@700 up@701 ");
    EXPECT_LE(wakes, 20);
    DoorDropInfo.MaxSeconds = 100000; // no limit near: only a lost caller is due
    DoorOnHangup = [] { log += "hangup"; };
    HangUp();
    DoorKeyPressed(); // notices the hang-up, and a pass is due at once
    EXPECT_EQ(DoorMillisecondsToNextPass(), 0);
    DoorKeyPressed();
    EXPECT_EQ(DoorMillisecondsToNextPass(), 1000) << "a lost caller is reported each second";
    EXPECT_EQ(log.substr(log.size() - 6), "hangup");
}

TEST_F(DoorTest, StatusBarOnLocalRow25NeverReachesTheCaller) {
    DoorDropInfo.RealName = "Joe Caller";
    DoorSession.Events = true;
    DoorWrite("|0Ehere");
    Advance(75);
    DoorDoEvents();
    ExpectFixture("status_bar.screen", Shot(LocalScreen()));
    EXPECT_EQ(Received(), "\x1b[1;33m\x1b[40mhere");
    EXPECT_EQ(LocalScreen().WhereX() * 256 + LocalScreen().TextAttr(), 5 * 256 + 0x0E);
}

// A connection given to the transport as the BBS hands it over; the BBS keeps Bbs, a handle of
// its own on the same socket; the test is the Caller.
struct TLink {
    TTestSocket Door, Caller, Bbs;
    TLink() {
        const TSocketPair pair = TestSocketPair();
        Door = pair.Door, Caller = pair.Caller, Bbs = TestDuplicate(Door);
        CommOpen(static_cast<std::int32_t>(Door));
        EXPECT_EQ(TestRead(Caller, 6), "\xFF\xFB\x00\xFF\xFB\x01"s) << "telnet offers first";
    }
    ~TLink() {
        CommClose(false);
        TestClose(Caller), TestClose(Bbs);
    }
    std::string Receive() { // what the door reads of one receive
        std::string got;
        for (TestReadable(Bbs, 2000); CommCharAvail();) got += CommReadChar();
        return got;
    }
};

// What a caller's client sends: the keys and the terminal the transport learns are the same in
// one receive, split at any byte and one byte a receive; the door answers nothing.
TEST(Comm, TelnetCommandsAndLineEndsWhereverTheyAreSplit) {
    CheckCases("telnet.cases", 1, [](const std::vector<std::string>& ACase) {
        const std::string& in = ACase[0];
        std::vector<std::vector<std::string>> splits{{in}, {}};
        for (char byte : in) splits[1].push_back(std::string(1, byte));
        for (std::size_t at = 1; at < in.size(); ++at)
            splits.push_back({in.substr(0, at), in.substr(at)});
        std::vector<std::string> first;
        for (const auto& pieces : splits) {
            TLink link;
            std::string keys;
            for (const auto& piece : pieces) TestSend(link.Caller, piece), keys += link.Receive();
            const TTelnetTerminal& t = CommTerminal();
            const std::vector<std::string> got{keys, std::to_string(t.Columns) + "x" +
                                                         std::to_string(t.Rows) + ":" + t.Type};
            EXPECT_EQ(got, first.empty() ? got : first) << pieces.size() << " pieces";
            EXPECT_FALSE(TestReadable(link.Caller, 0)) << "the door answers nothing";
            if (first.empty()) first = got;
        }
        return first;
    });
}

TEST(Comm, ReadsPeeksWritesDoubleIacAndTheHandBackLeavesTheConnectionWhole) {
    {
        TLink link;
        TestSend(link.Caller, "\x1b[A");
        ASSERT_TRUE(TestReadable(link.Bbs, 2000));
        EXPECT_EQ((std::string{CommPeekChar(), CommReadChar(), CommPeekChar()}), "\x1b\x1b[");
        EXPECT_TRUE(CommBuffered() && !TestReadable(link.Bbs, 0)) << "the rest came in one receive";
        EXPECT_EQ((std::string{CommReadChar(), CommReadChar()}), "[A");
        EXPECT_FALSE(CommBuffered());
        std::thread later([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50)), TestSend(link.Caller, "q");
        });
        EXPECT_EQ(CommReadChar(), 'q') << "a read with nothing buffered waits for the byte";
        later.join();
        CommWrite("a\xFF"
                  "b\r\n\x1b[0m\xDB");
        CommWriteRaw("\xFF"); // raw: as given
        CommWrite("");
        CommWriteBlock("zz", 0);
        CommWriteBlock("\xFF.", 2);
        EXPECT_EQ(TestRead(link.Caller, 14), "a\xFF\xFF"
                                             "b\r\n\x1b[0m\xDB\xFF\xFF.");
        EXPECT_FALSE(TestReadable(link.Caller, 50)) << "empty writes send nothing";
        CommSetUtf8(true); // glyphs as UTF-8, the rest as given; 255 (U+00A0) needs no doubling
        CommWrite("a\xC9\xCD\xBB\xDB\xB0\xE1\xFF\x7F\x1b[0m");
        CommSetUtf8(false);
        EXPECT_EQ(TestRead(link.Caller, 25), "a╔═╗█░ß\xC2\xA0\x7F\x1b[0m");
        std::string big, expected; // larger than any socket buffer: whole, every 255 doubled
        for (int i = 0; i < 300000; ++i)
            big += char(i), expected.append(char(i) == '\xFF' ? 2 : 1, char(i));
        std::string got;
        std::thread reader([&] { got = TestRead(link.Caller, expected.size()); });
        CommWrite(big);
        reader.join();
        EXPECT_TRUE(got == expected) << got.size() << " of " << expected.size();
        CommClose(false); // the door's handle only: the BBS's still works, and blocks
        CommClose(false);
        EXPECT_TRUE(TestBlocks(link.Bbs));
        TestSend(link.Bbs, "welcome back");
        EXPECT_EQ(TestRead(link.Caller, 12), "welcome back");
        TestSend(link.Caller, "menu");
        EXPECT_EQ(TestRead(link.Bbs, 4), "menu");
        CommWrite("stray");
        EXPECT_FALSE(TestReadable(link.Caller, 0)) << "nothing is sent after the close";
    }
    TLink second; // a close with disconnect hangs up although the BBS holds a handle
    CommClose(true);
    EXPECT_TRUE(TestReadable(second.Caller, 2000) && TestReceive(second.Caller).empty());
}

TEST(Comm, LostConnectionsEndTheCarrierForGood) {
    for (const bool reset : {false, true}) { // a client that hangs up, or one that crashed
        TLink link;
        TestSend(link.Caller, "ok");
        TestReadable(link.Bbs, 2000);
        TestClose(std::exchange(link.Caller, kNoSocket), reset);
        const std::string keys = link.Receive(); // a reset may take back what was not read
        EXPECT_TRUE(keys == "ok" || (reset && keys.empty())) << "bytes before the hang-up are keys";
        EXPECT_FALSE(CommCarrier()) << "noticed by reading alone; reset " << reset;
        for (int i = 0; i < 20; ++i) CommWrite(std::string(1000, 'x')); // EPIPE, not SIGPIPE
        EXPECT_EQ(CommHandle(), kNoWaitHandle) << "a dead connection must not wake a wait forever";
        EXPECT_EQ(CommReadChar(), '\0') << "reading a lost connection does not wait";
    }
    {
        TLink link; // a caller who stops reading cannot hang the door
        TestSetBuffers(link.Caller, 4096, 4096);
        TestSetBuffers(link.Bbs, 4096, 4096);
        NetState().Comm.SendStallMs = 200;
        CommWrite(std::string(16 << 20, 'x'));
        EXPECT_FALSE(CommCarrier());
        NetState().Comm.SendStallMs = 60000;
        CommWrite(std::string(1 << 20, 'y')); // dropped without another wait
    }
}

} // namespace
