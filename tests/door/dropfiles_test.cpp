// The drop file readers: each format's lines and conversions, the common line frame, and
// hostile files that must cost bounded time and memory.
#include "door/door.h"
#include "door/dropfiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <string>

namespace {

using namespace std::string_literals;
using Reader = void (*)(const std::string&);
using Emu = TDoorEmulationType;

class DropFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/dropfiles-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
        DoorDropInfo = TDoorDropInfo{};
    }
    void TearDown() override {
        std::system(("rm -rf '" + dir + "'").c_str());
        DoorDropInfo = TDoorDropInfo{};
    }

    // Writes the bytes as a file in the test directory and returns its path.
    std::string Write(const std::string& ABytes, const std::string& AName = "drop") {
        std::string path = dir + "/" + AName;
        std::ofstream(path, std::ios::binary) << ABytes;
        return path;
    }

    // A file of ACount lines, empty except the numbered ones given, each ended by AEnd.
    std::string File(int ACount, const std::map<int, std::string>& ALines,
                     const std::string& AEnd = "\r\n") {
        std::string bytes;
        for (int i = 1; i <= ACount; ++i) {
            auto it = ALines.find(i);
            bytes += (it == ALines.end() ? "" : it->second) + AEnd;
        }
        return Write(bytes);
    }

    // Reads a fresh DOOR32.SYS whose line 2 is AText, and returns ComNum (default -1).
    std::int32_t Door32Number(const std::string& AText) {
        DoorDropInfo = TDoorDropInfo{};
        ReadDoor32(File(11, {{1, "2"}, {2, AText}}));
        return DoorDropInfo.ComNum;
    }

    std::string dir;
};

const std::map<int, std::string> kDoor32 = {
    {1, "2"},        {2, "1234"}, {3, "115200"}, {4, "Board name"}, {5, "17"}, {6, "Ada Lovelace"},
    {7, "Countess"}, {8, "255"},  {9, "30"},     {10, "1"},         {11, "3"},
};

TEST_F(DropFiles, Door32Lines) {
    DoorDropInfo.Fairy = true; // not a DOOR32.SYS field: stays
    ReadDoor32(File(11, kDoor32));
    const auto& d = DoorDropInfo;
    EXPECT_EQ(d.ComType, 2);
    EXPECT_EQ(d.ComNum, 1234);
    EXPECT_EQ(d.Baud, 115200);
    EXPECT_EQ(d.RecPos, 16);
    EXPECT_EQ(d.RealName, "Ada Lovelace");
    EXPECT_EQ(d.Alias, "Countess");
    EXPECT_EQ(d.Access, 255);
    EXPECT_EQ(d.MaxSeconds, 1800);
    EXPECT_EQ(d.Emulation, Emu::etANSI);
    EXPECT_EQ(d.Node, 3);
    EXPECT_TRUE(d.Fairy);

    // Local whatever the handle says; emulation 0 is ASCII, any other value ANSI.
    auto local = kDoor32;
    local[1] = "0";
    local[10] = "0";
    ReadDoor32(File(11, local));
    EXPECT_EQ(DoorDropInfo.ComType, 0);
    EXPECT_EQ(DoorDropInfo.ComNum, 1234);
    EXPECT_EQ(DoorDropInfo.Emulation, Emu::etASCII);
    local[10] = "2";
    ReadDoor32(File(11, local));
    EXPECT_EQ(DoorDropInfo.Emulation, Emu::etANSI);

    // A short file: the missing lines give the defaults, so no minutes left at all.
    DoorDropInfo = TDoorDropInfo{};
    ReadDoor32(File(3, {{1, "2"}, {2, "7"}}));
    EXPECT_EQ(d.ComType, 2);
    EXPECT_EQ(d.ComNum, 7);
    EXPECT_EQ(d.Baud, 38400);
    EXPECT_EQ(d.RecPos, 0);
    EXPECT_EQ(d.Alias, "");
    EXPECT_EQ(d.MaxSeconds, 0);
    EXPECT_EQ(d.Emulation, Emu::etANSI);
    EXPECT_EQ(d.Node, 0);
}

TEST_F(DropFiles, NumberLinesAreWholeDecimalIntegers) {
    EXPECT_EQ(Door32Number("   42"), 42);
    EXPECT_EQ(Door32Number("-7"), -7);
    EXPECT_EQ(Door32Number("+8"), 8);
    EXPECT_EQ(Door32Number("-2147483648"), std::numeric_limits<std::int32_t>::min());
    for (const char* bad :
         {"42 ", "", " ", "-", "4x2", "0x10", "2147483648", "99999999999999999999"})
        EXPECT_EQ(Door32Number(bad), -1) << '"' << bad << '"';

    // Conversions that scale or shift a number stay within 32 bits.
    ReadDoor32(File(11, {{5, "-2147483648"}, {9, "99999999"}}));
    EXPECT_EQ(DoorDropInfo.RecPos, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(DoorDropInfo.MaxSeconds, std::numeric_limits<std::int32_t>::max());
}

TEST_F(DropFiles, LineEndsCtrlZAndMissingFiles) {
    for (const std::string end : {"\r\n", "\n", "\r"}) {
        DoorDropInfo = TDoorDropInfo{};
        ReadDoor32(File(11, kDoor32, end));
        EXPECT_EQ(DoorDropInfo.Alias, "Countess");
        EXPECT_EQ(DoorDropInfo.Node, 3);
        EXPECT_EQ(DoorDropInfo.MaxSeconds, 1800);
    }
    // Mixed ends, an empty line kept as a line, and a last line without an end.
    DoorDropInfo = TDoorDropInfo{};
    ReadDoor32(Write("2\n\r\n9600\r\r5\nReal\r\nAlias\n10\r60\n1\n4"));
    EXPECT_EQ(DoorDropInfo.ComNum, -1);
    EXPECT_EQ(DoorDropInfo.Baud, 9600);
    EXPECT_EQ(DoorDropInfo.RecPos, 4);
    EXPECT_EQ(DoorDropInfo.Alias, "Alias");
    EXPECT_EQ(DoorDropInfo.MaxSeconds, 3600);
    EXPECT_EQ(DoorDropInfo.Node, 4);

    // Ctrl-Z ends the file, even in the middle of a line.
    ReadDoor32(Write("2\r\n55\r\n1200\r\n\r\n1\r\nReal\r\nAl\x1Aias\r\n100\r\n30\r\n1\r\n2\r\n"));
    EXPECT_EQ(DoorDropInfo.ComNum, 55);
    EXPECT_EQ(DoorDropInfo.RealName, "Real");
    EXPECT_EQ(DoorDropInfo.Alias, "Al");
    EXPECT_EQ(DoorDropInfo.Access, 0);
    EXPECT_EQ(DoorDropInfo.MaxSeconds, 0);
    EXPECT_EQ(DoorDropInfo.Node, 0);

    // Nothing changes for a missing file, a directory, or a file that cannot be opened.
    ::mkdir((dir + "/DOOR32.SYS").c_str(), 0700);
    std::string locked = File(11, kDoor32);
    ::chmod(locked.c_str(), 0);
    bool root = ::geteuid() == 0;
    for (Reader read : {ReadDoor32, ReadDoorSys, ReadDorInfo, ReadLordInfo}) {
        DoorDropInfo = TDoorDropInfo{};
        DoorDropInfo.Alias = "before";
        DoorDropInfo.ComNum = 9;
        read(dir + "/missing");
        read(dir + "/DOOR32.SYS");
        if (!root) read(locked);
        EXPECT_EQ(DoorDropInfo.Alias, "before");
        EXPECT_EQ(DoorDropInfo.ComNum, 9);
        EXPECT_EQ(DoorDropInfo.MaxSeconds, 3600);
    }
}

TEST_F(DropFiles, DoorSysLines) {
    std::map<int, std::string> lines = {
        {1, "COM2:"}, {4, "5"},   {5, "19200"}, {10, "Grace Hopper"}, {15, "100"},
        {18, "2700"}, {20, "GR"}, {26, "12"},   {36, "Amazing"},      {52, "last"},
    };
    ReadDoorSys(File(52, lines));
    const auto& d = DoorDropInfo;
    EXPECT_EQ(d.ComNum, 2);
    EXPECT_EQ(d.ComType, 1);
    EXPECT_EQ(d.Node, 5);
    EXPECT_EQ(d.Baud, 19200);
    EXPECT_EQ(d.RealName, "Grace Hopper");
    EXPECT_EQ(d.Access, 100);
    EXPECT_EQ(d.MaxSeconds, 2700);
    EXPECT_EQ(d.Emulation, Emu::etANSI);
    EXPECT_EQ(d.RecPos, 11);
    EXPECT_EQ(d.Alias, "Amazing");

    // The emulation line compares in upper case, but exactly.
    for (auto [text, emu] : {std::pair{"gr", Emu::etANSI}, std::pair{"GR ", Emu::etASCII},
                             std::pair{"NG", Emu::etASCII}}) {
        lines[20] = text;
        ReadDoorSys(File(52, lines));
        EXPECT_EQ(d.Emulation, emu) << '"' << text << '"';
    }

    // COM0: and a port line without its colon leave the session local.
    for (const char* port : {"COM0:", "COM1", "COM1: "}) {
        DoorDropInfo = TDoorDropInfo{};
        lines[1] = port;
        ReadDoorSys(File(52, lines));
        EXPECT_EQ(d.ComNum, 0) << port;
        EXPECT_EQ(d.ComType, 0) << port;
    }
    lines[1] = "COM12:";
    ReadDoorSys(File(52, lines));
    EXPECT_EQ(d.ComNum, 12);
    EXPECT_EQ(d.ComType, 1);
    // A local port leaves a type set before as it was.
    DoorDropInfo.ComType = 2;
    lines[1] = "COM0:";
    ReadDoorSys(File(52, lines));
    EXPECT_EQ(d.ComType, 2);
}

TEST_F(DropFiles, DorInfoLines) {
    std::map<int, std::string> lines = {
        {1, "Board"}, {4, "COM1"}, {5, "38400 BAUD,N,8,1"}, {7, "JOHN"}, {8, "SMITH"}, {10, "1"},
        {11, "20"},   {12, "45"},
    };
    ReadDorInfo(File(13, lines));
    const auto& d = DoorDropInfo;
    EXPECT_EQ(d.ComNum, 1);
    EXPECT_EQ(d.ComType, 1);
    EXPECT_EQ(d.Baud, 38400);
    EXPECT_EQ(d.Alias, "JOHN");
    EXPECT_EQ(d.RealName, "JOHN SMITH");
    EXPECT_EQ(d.Emulation, Emu::etANSI);
    EXPECT_EQ(d.Access, 20);
    EXPECT_EQ(d.MaxSeconds, 2700);

    DoorDropInfo = TDoorDropInfo{};
    lines[4] = "COM0";
    lines[5] = "2400 BAUD";
    lines[8] = "";
    lines[10] = "2";
    ReadDorInfo(File(13, lines));
    EXPECT_EQ(d.ComNum, 0);
    EXPECT_EQ(d.ComType, 0);
    EXPECT_EQ(d.Baud, 2400);
    EXPECT_EQ(d.Alias, "JOHN");
    EXPECT_EQ(d.RealName, "JOHN");
    EXPECT_EQ(d.Emulation, Emu::etASCII);

    // Only the text before the first blank is the speed; no blank gives the default.
    for (auto [text, baud] : {std::pair{"19200", 38400}, std::pair{"14400 x y", 14400}}) {
        lines[5] = text;
        ReadDorInfo(File(13, lines));
        EXPECT_EQ(d.Baud, baud) << text;
    }
}

TEST_F(DropFiles, LordInfoLines) {
    std::map<int, std::string> lines = {
        {1, "4"},      {2, "3"},       {4, "fairy yes"},      {5, "10"},
        {6, "Jo"},     {7, "Joanna"},  {8, "Bloggs"},         {9, "6"},
        {10, "57600"}, {12, "telnet"}, {14, "Clean Mode On"},
    };
    ReadLordInfo(File(14, lines));
    const auto& d = DoorDropInfo;
    EXPECT_EQ(d.RecPos, 4);
    EXPECT_EQ(d.Emulation, Emu::etANSI);
    EXPECT_TRUE(d.Fairy);
    EXPECT_EQ(d.MaxSeconds, 600);
    EXPECT_EQ(d.Alias, "Jo");
    EXPECT_EQ(d.RealName, "Joanna Bloggs");
    EXPECT_EQ(d.ComNum, 6);
    EXPECT_EQ(d.Baud, 57600);
    EXPECT_EQ(d.ComType, 2);
    EXPECT_TRUE(d.Clean);

    lines[2] = "1";
    lines[4] = "FAIRY YES ";
    lines[8] = "";
    lines[14] = "CLEAN MODE OFF";
    ReadLordInfo(File(14, lines));
    EXPECT_EQ(d.Emulation, Emu::etASCII);
    EXPECT_FALSE(d.Fairy);
    EXPECT_EQ(d.RealName, "Joanna");
    EXPECT_FALSE(d.Clean);

    for (auto [text, type] :
         {std::pair{"local", 0}, std::pair{"WC5", 3}, std::pair{"TELNET ", 1}, std::pair{"", 1}}) {
        lines[12] = text;
        ReadLordInfo(File(14, lines));
        EXPECT_EQ(d.ComType, type) << '"' << text << '"';
    }
}

TEST_F(DropFiles, HostileFilesCostBoundedMemoryAndNeverCrash) {
    const Reader readers[] = {ReadDoor32, ReadDoorSys, ReadDorInfo, ReadLordInfo};

    // A line of 100,000 bytes is cut, and the lines after it are still read in place.
    std::string longLine(100000, 'A');
    std::string path =
        Write("2\r\n" + longLine + "\r\n300\r\n\r\n1\r\n" + longLine + "\r\nAlias\r\n");
    ReadDoor32(path);
    EXPECT_EQ(DoorDropInfo.ComNum, -1);
    EXPECT_EQ(DoorDropInfo.Baud, 300);
    EXPECT_EQ(DoorDropInfo.RealName, std::string(4096, 'A'));
    EXPECT_EQ(DoorDropInfo.Alias, "Alias");

    // A zero byte is an ordinary byte of its line: not a number, kept in text.
    ReadDoor32(Write("2\0\r\n77\r\n\r\n\r\n\r\nRe\0al\r\n"s));
    EXPECT_EQ(DoorDropInfo.ComType, 0);
    EXPECT_EQ(DoorDropInfo.ComNum, 77);
    EXPECT_EQ(DoorDropInfo.RealName, "Re\0al"s);

    std::mt19937 random(1);
    std::string junk(256 * 1024, '\0');
    for (char& c : junk) c = static_cast<char>(random());
    const std::string hostile[] = {
        junk,
        std::string(3 << 20, 'x'),  // no line end at all, larger than the cap
        std::string(2 << 20, '\r'), // millions of empty lines
        std::string(100, '\0'),
        "",
    };
    for (const auto& bytes : hostile) {
        std::string file = Write(bytes);
        for (Reader read : readers) {
            DoorDropInfo = TDoorDropInfo{};
            read(file);
            EXPECT_LE(DoorDropInfo.Alias.size(), 4096u);
            EXPECT_LE(DoorDropInfo.RealName.size(), 2 * 4096u + 1);
        }
    }

    // Named devices and pipes are not drop files: they could block or never end.
    std::string fifo = dir + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (Reader read : readers) {
        DoorDropInfo = TDoorDropInfo{};
        read("/dev/zero");
        read(fifo);
        EXPECT_EQ(DoorDropInfo.MaxSeconds, 3600);
        EXPECT_EQ(DoorDropInfo.ComNum, 0);
    }
}

} // namespace
