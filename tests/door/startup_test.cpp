// Start-up: the drop file readers and the command line against the tables in tests/fixtures/,
// hostile drop files, the local log-in, the start-up screens that end the program, and socket
// sessions with -X. Endings run in death-test children.
#include "door/dropfiles.h"
#include "tests/support/kit_fixture.h"

#include <sys/stat.h>

#include <random>

namespace {

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

const std::map<std::string, void (*)(const std::string&)> kReaders = {{"DOOR32", ReadDoor32},
                                                                      {"DOOR.SYS", ReadDoorSys},
                                                                      {"DORINFO", ReadDorInfo},
                                                                      {"INFO", ReadLordInfo}};

TEST_F(StartupTest, DropFileReaders) {
    CheckCases("dropfiles.cases", 2, [](const std::vector<std::string>& ACase) {
        std::ofstream("drop", std::ios::binary) << ACase[1];
        DoorDropInfo = {};
        DoorDropInfo.Fairy = true; // not a field of every format: stays unless read
        kReaders.at(ACase[0])("drop");
        return std::vector{Fields()};
    });
    const std::string longLine(100000, 'A'); // cut, and the lines after it read in place
    std::ofstream("drop", std::ios::binary)
        << "2\r\n" + longLine + "\r\n300\r\n\r\n1\r\n" + longLine + "\r\nAl\r\n";
    ReadDoor32("drop");
    EXPECT_TRUE(DoorDropInfo.RealName == std::string(4096, 'A') && DoorDropInfo.Alias == "Al" &&
                DoorDropInfo.Baud == 300);
    // Hostile files cost bounded memory; devices, pipes, directories and missing files are
    // not drop files and change nothing.
    std::mt19937 random(1);
    std::string junk(256 * 1024, '\0');
    for (char& c : junk) c = static_cast<char>(random());
    for (const std::string& bytes : {junk, std::string(3 << 20, 'x'), std::string(2 << 20, '\r')})
        for (const auto& [name, read] : kReaders) {
            std::ofstream("drop", std::ios::binary) << bytes;
            read("drop");
            EXPECT_LE(DoorDropInfo.Alias.size() + DoorDropInfo.RealName.size(), 3 * 4096u + 1);
        }
    ASSERT_EQ(::mkfifo("fifo", 0600), 0);
    ::mkdir("DOOR32.SYS", 0700);
    DoorDropInfo = {};
    for (const auto& [name, read] : kReaders)
        for (const char* path : {"/dev/zero", "fifo", "missing", "DOOR32.SYS"}) read(path);
    EXPECT_EQ(Fields(), (DoorDropInfo = {}, Fields()));
}

TEST_F(StartupTest, CommandLineAndSessionChoice) {
    std::filesystem::create_directory("INFO.3");
    for (const char* file :
         {"Door.Sys", "INFO.3/DORINFO1.DEF", "info.2", "door32.sys", "CHAIN.TXT"})
        std::ofstream(file).flush();
    static std::string options;
    DoorOnCLP = [](char AKey, const std::string& AValue) { options += AKey + AValue + ","; };
    CheckCases("commandline.cases", 1, [](const std::vector<std::string>& ACase) {
        std::vector<std::string> words = {"door"};
        for (std::size_t at = 0, end = 0; end != std::string::npos && !ACase[0].empty();
             at = end + 1)
            words.push_back(ACase[0].substr(at, (end = ACase[0].find(';', at)) - at));
        std::vector<const char*> argv;
        for (const auto& w : words) argv.push_back(w.c_str());
        options.clear();
        const TDoorCommandLine c = DoorParseCommandLine(static_cast<int>(argv.size()), argv.data());
        std::ostringstream s;
        s << int(DoorChooseSession(c)) << ": Local=" << c.Local << " Node=" << c.Node
          << " Socket=" << c.Socket << " DropFile=" << c.DropFile << " Stdio=" << c.Stdio
          << " Others=" << options;
        return std::vector{s.str()};
    });
}

void Startup(std::vector<const char*> AArgs) {
    AArgs.insert(AArgs.begin(), "/opt/bbs/doors/mydoor");
    DoorStartup(static_cast<int>(AArgs.size()), AArgs.data());
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
    std::ofstream("DOOR32.SYS")
        << "0\r\n5\r\n38400\r\nBBS\r\n1\r\nAnn\r\nann\r\n10\r\n20\r\n1\r\n4\r\n";
    std::ofstream("INFO.1")
        << "3\r\n3\r\n\r\n\r\n15\r\nbob\r\nBob\r\nStone\r\n0\r\n38400\r\n\r\nLOCAL\r\n";
    Startup({"-N9", "-DDOOR32.SYS"});
    EXPECT_TRUE(DoorDropInfo.Node == 4 && DoorDropInfo.Alias == "ann" && DoorLocal() &&
                !DoorSession.Events);
    DoorDropInfo = {};
    Startup({"-N7", "-DINFO.1"}); // INFO.n gives no node, and -N is not used with a drop file
    EXPECT_TRUE(DoorDropInfo.Node == 0 && DoorDropInfo.RealName == "Bob Stone");
}

void DumpLocalScreen() { // what the sysop saw, for the death test's parent
    for (int row = 1; row <= 25; ++row)
        std::fprintf(stderr, "%02d|%s\n", row, KitTest::Row(row).c_str());
}

TEST_F(StartupTest, UsageAndFailureScreensEndTheProgram) {
    const auto run = [](std::vector<const char*> AArgs) {
        std::atexit(DumpLocalScreen);
        Startup(AArgs);
        std::exit(1);
    };
    const char* usage =
        "02\\| USAGE: mydoor <PARAMETERS>\n03\\|\n04\\| Load settings from a dropfile "
        "\\(DOOR32.SYS, DOOR.SYS, DORINFO\\*.DEF or INFO.\\*\\)\n.*06\\| Example: mydoor "
        "-DC:\\\\BBS\\\\NODE1\\\\DOOR32.SYS\n.*11\\| Example: mydoor -N1 -S1000\n"
        ".*18\\|  -X         DISABLE COMM ROUTINES \\(STDIO MODE\\)\n19\\|\n";
    EXPECT_EXIT(run({"-S1000"}), ::testing::ExitedWithCode(0), usage);
    EXPECT_EXIT(run({"-D", "-N3"}), ::testing::ExitedWithCode(0), usage);
    EXPECT_EXIT((DoorOnUsage = nullptr, run({"-?"})), ::testing::ExitedWithCode(0),
                "01\\|\n02\\|\n");
    EXPECT_EXIT(
        run({"-D/no/such/DOOR32.SYS"}), ::testing::ExitedWithCode(0),
        "02\\|  Drop File Does Not Exist Or Is Not Supported:\n03\\|  /no/such/DOOR32.SYS\n");
    const char* noCarrier = "01\\|\n02\\|  No Carrier Detected\n03\\|\n";
    EXPECT_EXIT(run({"-N1", "-S1000"}), ::testing::ExitedWithCode(0), noCarrier);
    std::ofstream("DOOR32.SYS") << "2\r\n-1\r\n";
    EXPECT_EXIT(run({"-DDOOR32.SYS"}), ::testing::ExitedWithCode(0), noCarrier);
}

// -X with a telnet drop file: a remote session with events whose socket is never used.
TEST_F(StartupTest, StdioNeverTouchesTheSocket) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    std::ofstream("DOOR32.SYS") << "2\r\n"
                                << pair[0] << "\r\n38400\r\nBBS\r\n1\r\nA B\r\nab\r\n1\r\n30\r\n";
    ::send(pair[1], "key", 3, 0);
    EXPECT_EXIT(
        {
            Startup({"-x", "-DDOOR32.SYS"});
            DoorWrite("hello");
            std::fprintf(stderr, "Local=%d Events=%d Carrier=%d Key=%d Bottom=%d Alias=%s",
                         DoorLocal(), DoorSession.Events, DoorCarrier(), DoorKeyPressed(),
                         LocalScreen().Window().Bottom, DoorDropInfo.Alias.c_str());
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "Local=0 Events=1 Carrier=1 Key=0 Bottom=24 Alias=ab");
    char buffer[8];
    EXPECT_EQ(::recv(pair[1], buffer, sizeof buffer, MSG_DONTWAIT), -1) << "nothing was sent";
    EXPECT_EQ(::recv(pair[0], buffer, sizeof buffer, MSG_DONTWAIT), 3) << "the key was left alone";
    ::close(pair[0]);
    ::close(pair[1]);
}

} // namespace
