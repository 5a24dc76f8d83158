// Door start-up: command-line parsing, the session choice, the start-up screens that end the
// program, and the hand-back of the connection. Endings run in death-test children.
#include "door_session_fixture.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Args = std::vector<const char*>;

TDoorCommandLine Parse(Args AArgs) {
    AArgs.insert(AArgs.begin(), "door");
    return DoorParseCommandLine(static_cast<int>(AArgs.size()), AArgs.data());
}

void Startup(Args AArgs) {
    AArgs.insert(AArgs.begin(), "/opt/bbs/doors/mydoor");
    DoorStartup(static_cast<int>(AArgs.size()), AArgs.data());
}

// Shows the local screen on standard error when a death-test child ends, so the parent can
// match what the sysop would have seen.
void DumpLocalScreen() {
    for (int row = 1; row <= 25; ++row) {
        std::string text = LocalScreen().RowText(row);
        text.erase(text.find_last_not_of(' ') + 1);
        std::fprintf(stderr, "%02d|%s\n", row, text.c_str());
    }
}

std::vector<std::pair<char, std::string>> GCommandLineOptions;
void RecordOption(char AKey, const std::string& AValue) {
    GCommandLineOptions.emplace_back(AKey, AValue);
}

// Everything readable on AFd right now.
std::string Drain(int AFd) {
    std::string bytes;
    char buffer[4096];
    ssize_t n;
    while ((n = ::recv(AFd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) bytes.append(buffer, n);
    return bytes;
}

class StartupTest : public DoorKitTest {
  protected:
    void SetUp() override {
        DoorKitTest::SetUp();
        GCommandLineOptions.clear();
    }

    std::string WriteDropFile(const std::string& AName, const std::string& AText) {
        const auto path = Dir / AName;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << AText;
        return path.string();
    }
};

TEST_F(StartupTest, ParsesOptions) {
    const auto parsed = [](Args AArgs) {
        const TDoorCommandLine c = Parse(std::move(AArgs));
        return "Local=" + std::to_string(c.Local) + " Node=" + std::to_string(c.Node) +
               " Socket=" + std::to_string(c.Socket) + " DropFile=" + c.DropFile +
               " Stdio=" + std::to_string(c.Stdio);
    };
    EXPECT_EQ(parsed({}), "Local=1 Node=0 Socket=-1 DropFile= Stdio=0");
    // Either prefix, either case, the value glued to the letter.
    EXPECT_EQ(parsed({"/n12", "-s1000", "-x"}), "Local=0 Node=12 Socket=1000 DropFile= Stdio=1");
    // Later options win, also with values that are not numbers.
    EXPECT_EQ(parsed({"-N3", "-Nx", "-S5", "-S12 ", "-Dfirst.sys", "/Dsecond.sys"}),
              "Local=0 Node=0 Socket=-1 DropFile=second.sys Stdio=0");
    EXPECT_EQ(Parse({"-N-4"}).Node, -4);
    EXPECT_EQ(Parse({"-N99999999999"}).Node, 0);
    // Too short, or without - or /: ignored.
    EXPECT_EQ(parsed({"-", "/", "N5", "S1000", "D.sys", ""}), parsed({}));

    // Other letters reach DoorOnCLP upper-cased, with the rest of the argument.
    DoorOnCLP = RecordOption;
    EXPECT_EQ(parsed({"-L", "/i30", "-Zone two", "-N2"}),
              "Local=1 Node=2 Socket=-1 DropFile= Stdio=0");
    const std::vector<std::pair<char, std::string>> expected{
        {'L', ""}, {'I', "30"}, {'Z', "one two"}};
    EXPECT_EQ(GCommandLineOptions, expected);
}

TEST_F(StartupTest, ChoosesTheSession) {
    using K = TDoorSessionKind;
    const std::string door32 = "-D" + WriteDropFile("node1/door32.sys", "");
    std::filesystem::create_directories(Dir / "DOOR.SYS");
    // A socket and node win over a drop file, which is then not even looked for. The reader is
    // chosen from the whole path, without regard to case; unsupported names, missing files and
    // directories are missing drop files.
    const std::pair<Args, K> cases[] = {
        {{}, K::Local},
        {{"-L"}, K::Local},
        {{"-N5"}, K::Local},
        {{"-S1000"}, K::Usage},
        {{"-N1", "-S1000"}, K::Socket},
        {{"-N1", "-S-1"}, K::Usage},
        {{"/?"}, K::Usage},
        {{"-D"}, K::Usage},
        {{"-N1", "-S7", door32.c_str()}, K::Socket},
        {{door32.c_str()}, K::Door32},
    };
    for (const auto& [args, kind] : cases)
        EXPECT_EQ(DoorChooseSession(Parse(args)), kind) << ::testing::PrintToString(args);
    const std::pair<std::string, K> files[] = {
        {WriteDropFile("Door.Sys", ""), K::DoorSys},
        {WriteDropFile("INFO.3/DORINFO1.DEF", ""), K::DorInfo},
        {WriteDropFile("info.2", ""), K::LordInfo},
        {WriteDropFile("CHAIN.TXT", ""), K::MissingDropFile},
        {(Dir / "DOOR32.SYS").string(), K::MissingDropFile},
        {(Dir / "DOOR.SYS").string(), K::MissingDropFile},
    };
    for (const auto& [path, kind] : files)
        EXPECT_EQ(DoorChooseSession(Parse({("-D" + path).c_str()})), kind) << path;
}

TEST_F(StartupTest, LocalLogin) {
    // Enter takes the default name; the screen is cleared after the log-in.
    ConsolePushKeys("\r");
    Startup({"-N5"});
    EXPECT_TRUE(DoorLocal());
    EXPECT_EQ(DropInfoFields(), "Access=0 Alias=SYSOP Baud=0 Clean=0 ComNum=0 ComType=0 "
                                "Emulation=ANSI Fairy=0 MaxSeconds=3600 Node=5 RealName=SYSOP "
                                "RecPos=0");
    EXPECT_FALSE(DoorSession.Events);
    EXPECT_NE(DoorSession.TimeOn, TDateTime{});
    EXPECT_EQ(DoorLastKey.Time, DoorSession.TimeOn);
    EXPECT_EQ(LocalScreen().RowText(3), std::string(80, ' '));
    EXPECT_EQ(LocalScreen().Window(), (TScreenWindow{1, 1, 80, 25}));

    // An emptied name asks again; the next answer is taken.
    DoorDropInfo = TDoorDropInfo{};
    AnsiReset();
    DoorOnLocalLogin = [] {
        DefaultOnLocalLogin();
        // Seen before start-up clears the screen.
        EXPECT_NE(LocalScreen().RowText(3).find("  LOCAL LOGIN - FOR NODE 0"), std::string::npos);
        EXPECT_EQ(LocalScreen().AttrAt(5, 3), 0x1F);
        EXPECT_NE(LocalScreen().RowText(6).find("Run mydoor /? for command-line usage help"),
                  std::string::npos);
    };
    ConsolePushKeys("\x19\r\x19"
                    "Ann Lee\r");
    Startup({});
    EXPECT_EQ(DoorDropInfo.Node, 0);
    EXPECT_EQ(DoorDropInfo.Alias, "Ann Lee");
}

TEST_F(StartupTest, DropFileSessionsThatStayLocal) {
    // A DOOR32.SYS of a local connection: no log-in, the names stay, no events.
    const std::string door32 = "-D" + WriteDropFile("DOOR32.SYS", "0\r\n5\r\n38400\r\nBBS\r\n1\r\n"
                                                                  "Ann Lee\r\nann\r\n10\r\n20\r\n"
                                                                  "1\r\n4\r\n");
    Startup({"-N9", door32.c_str()});
    EXPECT_TRUE(DoorLocal());
    EXPECT_EQ(DropInfoFields(), "Access=10 Alias=ann Baud=38400 Clean=0 ComNum=5 ComType=0 "
                                "Emulation=ANSI Fairy=0 MaxSeconds=1200 Node=4 RealName=Ann Lee "
                                "RecPos=0");
    EXPECT_FALSE(DoorSession.Events);

    // INFO.n gives no node: -N is not used with a drop file.
    DoorDropInfo = TDoorDropInfo{};
    const std::string info = "-D" + WriteDropFile("INFO.1", "3\r\n3\r\n\r\n\r\n15\r\nbob\r\nBob\r\n"
                                                            "Stone\r\n0\r\n38400\r\n\r\nLOCAL\r\n");
    Startup({"-N7", info.c_str()});
    EXPECT_EQ(DoorDropInfo.Node, 0);
    EXPECT_EQ(DoorDropInfo.RealName, "Bob Stone");
    EXPECT_TRUE(DoorLocal());
}

using StartupDeathTest = StartupTest;

TEST_F(StartupDeathTest, UsageAndFailureScreens) {
    const auto run = [](Args AArgs) {
        std::atexit(DumpLocalScreen);
        Startup(std::move(AArgs));
        std::fprintf(stderr, "started\n");
        std::exit(1);
    };
    const char* usage =
        "02\\| USAGE: mydoor <PARAMETERS>\n03\\|\n"
        "04\\| Load settings from a dropfile \\(DOOR32.SYS, DOOR.SYS, DORINFO\\*.DEF "
        "or INFO.\\*\\)\n"
        ".*06\\| Example: mydoor -DC:\\\\BBS\\\\NODE1\\\\DOOR32.SYS\n"
        ".*11\\| Example: mydoor -N1 -S1000\n"
        ".*18\\|  -X         DISABLE COMM ROUTINES \\(STDIO MODE\\)\n19\\|\n";
    EXPECT_EXIT(run({"-S1000"}), ::testing::ExitedWithCode(0), usage);
    EXPECT_EXIT(run({"/?"}), ::testing::ExitedWithCode(0), usage);
    EXPECT_EXIT(run({"-D", "-N3"}), ::testing::ExitedWithCode(0), usage);
    // A cleared hook ends the program all the same, without a screen.
    EXPECT_EXIT(
        {
            DoorOnUsage = nullptr;
            run({"-?"});
        },
        ::testing::ExitedWithCode(0), "01\\|\n02\\|\n");

    EXPECT_EXIT(run({"-D/no/such/dir/DOOR32.SYS"}), ::testing::ExitedWithCode(0),
                "01\\|\n02\\|  Drop File Does Not Exist Or Is Not Supported:\n"
                "03\\|  /no/such/dir/DOOR32.SYS\n04\\|\n");

    // Handle 1000 is not open here, and -1 names no handle: no carrier.
    const char* noCarrier = "01\\|\n02\\|  No Carrier Detected\n03\\|\n";
    EXPECT_EXIT(run({"-N1", "-S1000"}), ::testing::ExitedWithCode(0), noCarrier);
    const std::string door32 = "-D" + WriteDropFile("DOOR32.SYS", "2\r\n-1\r\n");
    EXPECT_EXIT(run({door32.c_str()}), ::testing::ExitedWithCode(0), noCarrier);
}

TEST_F(StartupDeathTest, SocketFromTheCommandLineFillsOnlyTheConnection) {
    EXPECT_EXIT(
        {
            Startup({"-N1", "-S1000", "-X"});
            std::fprintf(stderr, "ComNum=%d ComType=%d Node=%d MaxSeconds=%d Alias=[%s] Events=%d",
                         DoorDropInfo.ComNum, DoorDropInfo.ComType, DoorDropInfo.Node,
                         DoorDropInfo.MaxSeconds, DoorDropInfo.Alias.c_str(), DoorSession.Events);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0),
        "ComNum=1000 ComType=2 Node=1 MaxSeconds=3600 Alias=\\[\\] Events=1");
}

// -X with a telnet drop file: a remote session with events, but the socket is never used.
TEST_F(StartupDeathTest, StdioNeverTouchesTheSocket) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    const std::string door32 =
        "-D" + WriteDropFile("DOOR32.SYS", "2\r\n" + std::to_string(pair[0]) +
                                               "\r\n38400\r\nBBS\r\n1\r\nA B\r\nab\r\n1\r\n30\r\n");
    ::send(pair[1], "key", 3, 0);
    EXPECT_EXIT(
        {
            Startup({"-x", door32.c_str()});
            DoorWrite("hello");
            const bool key = DoorKeyPressed();
            std::fprintf(stderr, "Local=%d Events=%d Carrier=%d Key=%d Bottom=%d", DoorLocal(),
                         DoorSession.Events, DoorCarrier(), key, LocalScreen().Window().Bottom);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "Local=0 Events=1 Carrier=1 Key=0 Bottom=24");
    EXPECT_EQ(Drain(pair[1]), "");
    EXPECT_EQ(Drain(pair[0]), "key");
    ::close(pair[0]);
    ::close(pair[1]);
}

// The hand-back: our descriptor is closed without shutting the connection down. After
// DoorShutdown the exit guard's colour and cursor reach the local screen only; when the door
// ends without it (idle or time limit), they reach the caller before the close.
TEST_F(StartupDeathTest, HandBack) {
    for (const bool shutdownFirst : {true, false}) {
        SCOPED_TRACE(shutdownFirst ? "after DoorShutdown" : "at exit");
        int pair[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        const std::string socket = "-S" + std::to_string(pair[0]);
        EXPECT_EXIT(
            {
                std::atexit(DumpLocalScreen);
                Startup({"-N2", socket.c_str()});
                DoorGotoXY(10, 5);
                DoorWrite("|0Ehello");
                if (shutdownFirst) DoorShutdown();
                std::exit(0);
            },
            ::testing::ExitedWithCode(0), "05\\|         hello\n");
        const std::string received = Drain(pair[1]);
        const std::string offers("\xFF\xFB\x00\xFF\xFB\x01", 6);
        EXPECT_EQ(received.substr(0, 6), offers);
        EXPECT_NE(received.find("hello"), std::string::npos);
        const std::string guard = "\x1b[255B\x1b[255D";
        EXPECT_EQ(received.size() >= guard.size() &&
                      received.compare(received.size() - guard.size(), guard.size(), guard) == 0,
                  !shutdownFirst)
            << received;
        // The connection is still whole: the BBS's descriptor still talks to the caller.
        ASSERT_EQ(::send(pair[0], "bbs", 3, MSG_NOSIGNAL), 3);
        EXPECT_EQ(Drain(pair[1]), "bbs");
        ASSERT_EQ(::send(pair[1], "caller", 6, MSG_NOSIGNAL), 6);
        EXPECT_EQ(Drain(pair[0]), "caller");
        ::close(pair[0]);
        ::close(pair[1]);
    }
}

} // namespace
