// Start-up: the drop file readers, the command line, the session choice, the start-up screens
// that end the program, and the hand-back of the connection. Endings run in death-test children.
#include "door/dropfiles.h"
#include "tests/support/kit_fixture.h"

#include <sys/stat.h>

#include <random>

namespace {

using namespace std::string_literals;
using StartupTest = KitTest;
using Reader = void (*)(const std::string&);

std::string Fields() {
    const auto& d = DoorDropInfo;
    std::ostringstream s;
    s << "Access=" << d.Access << " Alias=" << d.Alias << " Baud=" << d.Baud << " Clean=" << d.Clean
      << " ComNum=" << d.ComNum << " ComType=" << int(d.ComType)
      << " Emulation=" << (d.Emulation == TDoorEmulationType::etANSI ? "ANSI" : "ASCII")
      << " Fairy=" << d.Fairy << " MaxSeconds=" << d.MaxSeconds << " Node=" << d.Node
      << " RealName=" << d.RealName << " RecPos=" << d.RecPos;
    return s.str();
}

// Reads ABytes as a drop file into a fresh record; "|" in the text stands for CR LF.
std::string Read(Reader AReader, std::string ABytes) {
    for (auto at = ABytes.find('|'); at != std::string::npos; at = ABytes.find('|', at))
        ABytes.replace(at, 1, "\r\n");
    std::ofstream("drop", std::ios::binary) << ABytes;
    DoorDropInfo = {};
    AReader("drop");
    return Fields();
}

TEST_F(StartupTest, DropFileReaders) {
    const std::string door32 = "2|1234|115200|Board|17|Ada Lovelace|Countess|255|30|1|3|";
    const std::string sys = "COM2:|||5|19200|||||Grace Hopper|||||100|||2700||GR||||||12" +
                            std::string(9, '|') + "|Amazing" + std::string(16, '|') + "last|";
    const std::tuple<Reader, std::string, std::string> cases[] = {
        {ReadDoor32, door32,
         "Access=255 Alias=Countess Baud=115200 Clean=0 ComNum=1234 ComType=2 "
         "Emulation=ANSI Fairy=0 MaxSeconds=1800 Node=3 RealName=Ada Lovelace RecPos=16"},
        {ReadDoor32, "0|-2147483648|||-2147483648|||||0|", // local; emulation 0 is ASCII
         "Access=0 Alias= Baud=38400 Clean=0 ComNum=-2147483648 ComType=0 Emulation=ASCII Fairy=0 "
         "MaxSeconds=0 Node=0 RealName= RecPos=-2147483648"},
        {ReadDoor32,
         "2\n\r\n9600\r\r5\nReal\r\nAlias\n10\r99999999\n2\n4", // mixed ends, no last end
         "Access=10 Alias=Alias Baud=9600 Clean=0 ComNum=-1 ComType=2 Emulation=ANSI Fairy=0 "
         "MaxSeconds=2147483647 Node=4 RealName=Real RecPos=4"},
        {ReadDoor32, "2| 42|1200||1|Real|Al\x1Aias|100|30|1|2|", // Ctrl-Z ends the file
         "Access=0 Alias=Al Baud=1200 Clean=0 ComNum=42 ComType=2 Emulation=ANSI Fairy=0 "
         "MaxSeconds=0 Node=0 RealName=Real RecPos=0"},
        {ReadDoorSys, sys,
         "Access=100 Alias=Amazing Baud=19200 Clean=0 ComNum=2 ComType=1 "
         "Emulation=ANSI Fairy=0 MaxSeconds=2700 Node=5 RealName=Grace Hopper RecPos=11"},
        {ReadDorInfo, "Board|||COM1|38400 BAUD,N,8,1||JOHN|SMITH||1|20|45|",
         "Access=20 Alias=JOHN Baud=38400 Clean=0 ComNum=1 ComType=1 Emulation=ANSI Fairy=0 "
         "MaxSeconds=2700 Node=0 RealName=JOHN SMITH RecPos=0"},
        {ReadDorInfo, "Board|||COM0|19200||JOHN|||2|20|45|",
         "Access=20 Alias=JOHN Baud=38400 Clean=0 ComNum=0 ComType=0 Emulation=ASCII Fairy=0 "
         "MaxSeconds=2700 Node=0 RealName=JOHN RecPos=0"},
        {ReadLordInfo, "4|3||fairy yes|10|Jo|Joanna|Bloggs|6|57600||telnet||Clean Mode On|",
         "Access=0 Alias=Jo Baud=57600 Clean=1 ComNum=6 ComType=2 Emulation=ANSI Fairy=1 "
         "MaxSeconds=600 Node=0 RealName=Joanna Bloggs RecPos=4"},
        {ReadLordInfo, "4|1||FAIRY YES |10|Jo|Joanna||6|57600||WC5||CLEAN MODE OFF|",
         "Access=0 Alias=Jo Baud=57600 Clean=0 ComNum=6 ComType=3 Emulation=ASCII Fairy=0 "
         "MaxSeconds=600 Node=0 RealName=Joanna RecPos=4"},
    };
    for (const auto& [reader, bytes, fields] : cases)
        EXPECT_EQ(Read(reader, bytes), fields) << bytes;

    // Numbers, ports, emulations and link types line by line.
    for (const char* bad : {"42 ", "", "-", "4x2", "0x10", "2147483648"})
        EXPECT_EQ(Read(ReadDoor32, "2|"s + bad + "|"), Read(ReadDoor32, "2|-1|")) << bad;
    for (const auto& [port, num, type] :
         {std::tuple{"COM0:", 0, 0}, {"COM1", 0, 0}, {"COM12:", 12, 1}}) {
        Read(ReadDoorSys, port + "|"s);
        EXPECT_EQ(std::pair(DoorDropInfo.ComNum, int(DoorDropInfo.ComType)), std::pair(num, type))
            << port;
    }
    for (const auto& [emulation, ansi] : {std::pair{"gr", true}, {"GR ", false}, {"NG", false}})
        EXPECT_EQ(Read(ReadDoorSys, std::string(19, '|') + emulation + "|").find("ANSI") !=
                      std::string::npos,
                  ansi);
    for (const auto& [link, type] : {std::pair{"local", 0}, {"TELNET ", 1}, {"", 1}}) {
        Read(ReadLordInfo, "4|3||||||||||"s + link + "|");
        EXPECT_EQ(DoorDropInfo.ComType, type) << link;
    }
    Read(ReadDorInfo, "Board|||COM1|14400 x y|");
    EXPECT_EQ(DoorDropInfo.Baud, 14400);
}

TEST_F(StartupTest, HostileOrMissingDropFilesCostBoundedMemoryAndChangeNothing) {
    const Reader readers[] = {ReadDoor32, ReadDoorSys, ReadDorInfo, ReadLordInfo};
    const std::string longLine(100000, 'A'); // cut, and the lines after it read in place
    EXPECT_EQ(Read(ReadDoor32, "2|" + longLine + "|300||1|" + longLine + "|Re\0al|"s).substr(0, 60),
              "Access=0 Alias=Re\0al Baud=300 Clean=0 ComNum=-1 ComType=2 Em"s);
    EXPECT_EQ(DoorDropInfo.RealName, std::string(4096, 'A'));
    std::mt19937 random(1);
    std::string junk(256 * 1024, '\0');
    for (char& c : junk) c = static_cast<char>(random());
    for (const std::string& bytes : {junk, std::string(3 << 20, 'x'), std::string(2 << 20, '\r')})
        for (Reader read : readers) {
            Read(read, bytes);
            EXPECT_LE(DoorDropInfo.Alias.size() + DoorDropInfo.RealName.size(), 3 * 4096u + 1);
        }
    ASSERT_EQ(::mkfifo("fifo", 0600), 0); // devices and pipes could block or never end
    ::mkdir("DOOR32.SYS", 0700);
    DoorDropInfo = {};
    DoorDropInfo.Alias = "before";
    const std::string before = Fields();
    for (Reader read : readers)
        for (const char* path : {"/dev/zero", "fifo", "missing", "DOOR32.SYS"}) read(path);
    EXPECT_EQ(Fields(), before);
}

TDoorCommandLine Parse(std::vector<const char*> AArgs) {
    AArgs.insert(AArgs.begin(), "door");
    return DoorParseCommandLine(static_cast<int>(AArgs.size()), AArgs.data());
}

TEST_F(StartupTest, CommandLineAndSessionChoice) {
    static std::string options;
    options.clear();
    DoorOnCLP = [](char AKey, const std::string& AValue) { options += AKey + AValue + ","; };
    using K = TDoorSessionKind;
    std::ofstream("Door.Sys").flush();
    std::filesystem::create_directories("INFO.3");
    std::ofstream("INFO.3/DORINFO1.DEF").flush();
    std::ofstream("info.2").flush();
    std::ofstream("door32.sys").flush();
    std::ofstream("CHAIN.TXT").flush();
    const std::tuple<std::vector<const char*>, K, std::string> cases[] = {
        {{}, K::Local, "1 0 -1  0"},
        {{"/n12", "-s1000", "-x"}, K::Socket, "0 12 1000  1"}, // either prefix and case
        {{"-N3", "-Nx", "-S5", "-S12 ", "-Dfirst.sys", "/Ddoor32.sys"},
         K::Door32,
         "0 0 -1 door32.sys 0"},
        {{"-", "/", "N5", "S1000", "D.sys", "", "-N-4"}, K::Local, "1 -4 -1  0"},
        {{"-N99999999999", "-L", "/i30", "-Zone two"}, K::Local, "1 0 -1  0"},
        {{"-S1000"}, K::Usage, "0 0 1000  0"},
        {{"-N1", "-S-1"}, K::Usage, "0 1 -1  0"},
        {{"/?"}, K::Usage, "0 0 -1  0"},
        {{"-D"}, K::Usage, "0 0 -1  0"},
        {{"-N1", "-S7", "-Dnone"}, K::Socket, "0 1 7 none 0"}, // the drop file is not looked for
        {{"-DDoor.Sys"}, K::DoorSys, "0 0 -1 Door.Sys 0"},
        {{"-DINFO.3/DORINFO1.DEF"}, K::DorInfo, "0 0 -1 INFO.3/DORINFO1.DEF 0"},
        {{"-Dinfo.2"}, K::LordInfo, "0 0 -1 info.2 0"},
        {{"-DCHAIN.TXT"}, K::MissingDropFile, "0 0 -1 CHAIN.TXT 0"},
        {{"-DINFO.3"}, K::MissingDropFile, "0 0 -1 INFO.3 0"},
    };
    for (const auto& [args, kind, parsed] : cases) {
        const TDoorCommandLine c = Parse(args);
        EXPECT_EQ(std::to_string(c.Local) + " " + std::to_string(c.Node) + " " +
                      std::to_string(c.Socket) + " " + c.DropFile + " " + std::to_string(c.Stdio),
                  parsed)
            << ::testing::PrintToString(args);
        EXPECT_EQ(DoorChooseSession(c), kind) << ::testing::PrintToString(args);
    }
    EXPECT_EQ(options, "L,I30,Zone two,");
}

void Startup(std::vector<const char*> AArgs) {
    AArgs.insert(AArgs.begin(), "/opt/bbs/doors/mydoor");
    DoorStartup(static_cast<int>(AArgs.size()), AArgs.data());
}

TEST_F(StartupTest, LocalLoginAndLocalDropFiles) {
    DoorOnLocalLogin = [] {
        DefaultOnLocalLogin(); // an emptied name asks again
        ExpectFixture("local_login.screen", Shot(LocalScreen()));
    };
    ConsolePushKeys("\x19\r\x19"
                    "Ann Lee\r");
    Startup({"-N5"});
    EXPECT_EQ(Fields(),
              "Access=0 Alias=Ann Lee Baud=0 Clean=0 ComNum=0 ComType=0 Emulation=ANSI Fairy=0 "
              "MaxSeconds=3600 Node=5 RealName=Ann Lee RecPos=0");
    EXPECT_TRUE(DoorLocal() && !DoorSession.Events && DoorSession.TimeOn != TDateTime{});
    EXPECT_EQ(DoorLastKey.Time, DoorSession.TimeOn);
    EXPECT_EQ(Row(3), "") << "the screen is cleared after the log-in";
    DoorOnLocalLogin = [] { FAIL() << "a drop file needs no log-in"; };
    std::ofstream("DOOR32.SYS")
        << "0\r\n5\r\n38400\r\nBBS\r\n1\r\nAnn\r\nann\r\n10\r\n20\r\n1\r\n4\r\n";
    std::ofstream("INFO.1")
        << "3\r\n3\r\n\r\n\r\n15\r\nbob\r\nBob\r\nStone\r\n0\r\n38400\r\n\r\nLOCAL\r\n";
    Startup({"-N9", "-DDOOR32.SYS"});
    EXPECT_EQ(std::tuple(DoorDropInfo.Node, DoorDropInfo.Alias, DoorLocal(), DoorSession.Events),
              std::tuple(4, "ann"s, true, false));
    DoorDropInfo = {};
    Startup({"-N7", "-DINFO.1"}); // INFO.n gives no node, and -N is not used with a drop file
    EXPECT_EQ(std::tuple(DoorDropInfo.Node, DoorDropInfo.RealName), std::tuple(0, "Bob Stone"s));
}

// Shows the local screen on standard error when a death-test child ends.
void DumpLocalScreen() {
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

// -X with a telnet drop file: a remote session with events whose socket is never used; -N -S
// fill only the connection. At the end our descriptor is closed without shutting the connection
// down; the exit guard's colour and cursor reach the caller only when the door ends without
// DoorShutdown (idle or time limit).
TEST_F(StartupTest, SocketSessionsAndTheHandBack) {
    for (const char* how : {"-X", "shutdown", "exit"}) {
        int pair[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        const std::string socket = "-S" + std::to_string(pair[0]);
        std::ofstream("DOOR32.SYS")
            << "2\r\n"
            << pair[0] << "\r\n38400\r\nBBS\r\n1\r\nA B\r\nab\r\n1\r\n30\r\n";
        ::send(pair[1], "key", 3, 0);
        EXPECT_EXIT(
            {
                if (how == "-X"s)
                    Startup({"-x", "-DDOOR32.SYS"});
                else
                    Startup({"-N2", socket.c_str()});
                DoorGotoXY(10, 5);
                DoorWrite("|0Ehello");
                std::fprintf(stderr,
                             "%s Local=%d Events=%d Carrier=%d Key=%d Bottom=%d ComNum=%d Max=%d "
                             "Alias=[%s]\n",
                             how, DoorLocal(), DoorSession.Events, DoorCarrier(), DoorKeyPressed(),
                             LocalScreen().Window().Bottom, DoorDropInfo.ComNum,
                             DoorDropInfo.MaxSeconds, DoorDropInfo.Alias.c_str());
                if (how == "shutdown"s) DoorShutdown();
                std::exit(0);
            },
            ::testing::ExitedWithCode(0),
            how == "-X"s
                ? "Local=0 Events=1 Carrier=1 Key=0 Bottom=24 ComNum=[0-9]+ Max=1800 Alias=\\[ab\\]"
                : "Local=0 Events=1 Carrier=1 Key=1 Bottom=24 ComNum=[0-9]+ Max=3600 "
                  "Alias=\\[Bob\\]");
        char buffer[256];
        const ssize_t n = ::recv(pair[1], buffer, sizeof buffer, MSG_DONTWAIT);
        const std::string received(buffer, n > 0 ? n : 0);
        if (how == "-X"s) {
            EXPECT_EQ(received, "");
            EXPECT_EQ(::recv(pair[0], buffer, 3, MSG_DONTWAIT), 3) << "the key was left alone";
        } else {
            EXPECT_TRUE(received.starts_with("\xFF\xFB\x00\xFF\xFB\x01"s) &&
                        received.find("hello") != std::string::npos);
            EXPECT_EQ(received.ends_with("\x1b[255B\x1b[255D"), how == "exit"s) << received;
            ASSERT_EQ(::send(pair[0], "bbs", 3, MSG_NOSIGNAL), 3); // the connection is whole
            EXPECT_EQ(::recv(pair[1], buffer, 3, 0), 3);
        }
        ::close(pair[0]);
        ::close(pair[1]);
    }
}

} // namespace
