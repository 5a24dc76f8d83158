// The drop file readers: each format's lines and conversions, the common line frame, and
// hostile files that must cost bounded time and memory.
#include "door/dropfiles.h"
#include "door_session_fixture.h"

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
using Reader = bool (*)(const std::string&);
using Lines = std::map<int, std::string>;

class DropFiles : public DoorKitTest {
  protected:
    // Writes the bytes as a file in the test directory and returns its path.
    std::string Write(const std::string& ABytes) {
        std::ofstream(Dir / "drop", std::ios::binary) << ABytes;
        return (Dir / "drop").string();
    }

    // A file of ACount lines, empty except the numbered ones given, each ended by AEnd.
    std::string File(int ACount, const Lines& ALines, const std::string& AEnd = "\r\n") {
        std::string bytes;
        for (int i = 1; i <= ACount; ++i) {
            auto it = ALines.find(i);
            bytes += (it == ALines.end() ? "" : it->second) + AEnd;
        }
        return Write(bytes);
    }

    // Reads AFile with AReader into a fresh DoorDropInfo and returns its fields.
    std::string Read(Reader AReader, const std::string& AFile) {
        DoorDropInfo = TDoorDropInfo{};
        AReader(AFile);
        return DropInfoFields();
    }
};

const Lines kDoor32 = {
    {1, "2"},        {2, "1234"}, {3, "115200"}, {4, "Board name"}, {5, "17"}, {6, "Ada Lovelace"},
    {7, "Countess"}, {8, "255"},  {9, "30"},     {10, "1"},         {11, "3"},
};

TEST_F(DropFiles, Door32Lines) {
    DoorDropInfo.Fairy = true; // not a DOOR32.SYS field: stays
    ReadDoor32(File(11, kDoor32));
    EXPECT_EQ(DropInfoFields(),
              "Access=255 Alias=Countess Baud=115200 Clean=0 ComNum=1234 ComType=2 "
              "Emulation=ANSI Fairy=1 MaxSeconds=1800 Node=3 RealName=Ada Lovelace "
              "RecPos=16");

    // Local whatever the handle says; emulation 0 is ASCII, any other value ANSI.
    auto local = kDoor32;
    local[1] = local[10] = "0";
    ReadDoor32(File(11, local));
    EXPECT_EQ(DoorDropInfo.ComType, 0);
    EXPECT_EQ(DoorDropInfo.ComNum, 1234);
    EXPECT_EQ(DoorDropInfo.Emulation, TDoorEmulationType::etASCII);
    local[10] = "2";
    ReadDoor32(File(11, local));
    EXPECT_EQ(DoorDropInfo.Emulation, TDoorEmulationType::etANSI);

    // A short file: the missing lines give the defaults, so no minutes left at all.
    EXPECT_EQ(Read(ReadDoor32, File(3, {{1, "2"}, {2, "7"}})),
              "Access=0 Alias= Baud=38400 Clean=0 ComNum=7 ComType=2 Emulation=ANSI Fairy=0 "
              "MaxSeconds=0 Node=0 RealName= RecPos=0");
}

TEST_F(DropFiles, NumberLinesAreWholeDecimalIntegers) {
    const auto number = [&](const char* AText) {
        Read(ReadDoor32, File(11, {{1, "2"}, {2, AText}}));
        return DoorDropInfo.ComNum;
    };
    EXPECT_EQ(number("   42"), 42);
    EXPECT_EQ(number("-7"), -7);
    EXPECT_EQ(number("+8"), 8);
    EXPECT_EQ(number("-2147483648"), std::numeric_limits<std::int32_t>::min());
    for (const char* bad :
         {"42 ", "", " ", "-", "4x2", "0x10", "2147483648", "99999999999999999999"})
        EXPECT_EQ(number(bad), -1) << '"' << bad << '"';
    // Conversions that scale or shift a number stay within 32 bits.
    ReadDoor32(File(11, {{5, "-2147483648"}, {9, "99999999"}}));
    EXPECT_EQ(DoorDropInfo.RecPos, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(DoorDropInfo.MaxSeconds, std::numeric_limits<std::int32_t>::max());
}

TEST_F(DropFiles, LineEndsCtrlZAndMissingFiles) {
    const std::string whole = Read(ReadDoor32, File(11, kDoor32));
    for (const std::string end : {"\n", "\r"})
        EXPECT_EQ(Read(ReadDoor32, File(11, kDoor32, end)), whole) << int(end[0]);

    // Mixed ends, an empty line kept as a line, and a last line without an end.
    EXPECT_EQ(Read(ReadDoor32, Write("2\n\r\n9600\r\r5\nReal\r\nAlias\n10\r60\n1\n4")),
              "Access=10 Alias=Alias Baud=9600 Clean=0 ComNum=-1 ComType=2 Emulation=ANSI "
              "Fairy=0 MaxSeconds=3600 Node=4 RealName=Real RecPos=4");

    // Ctrl-Z ends the file, even in the middle of a line.
    EXPECT_EQ(
        Read(ReadDoor32,
             Write("2\r\n55\r\n1200\r\n\r\n1\r\nReal\r\nAl\x1Aias\r\n100\r\n30\r\n1\r\n2\r\n")),
        "Access=0 Alias=Al Baud=1200 Clean=0 ComNum=55 ComType=2 Emulation=ANSI Fairy=0 "
        "MaxSeconds=0 Node=0 RealName=Real RecPos=0");

    // Nothing changes for a missing file, a directory, or a file that cannot be opened.
    ::mkdir((Dir.string() + "/DOOR32.SYS").c_str(), 0700);
    std::string locked = File(11, kDoor32);
    ::chmod(locked.c_str(), 0);
    for (Reader read : {ReadDoor32, ReadDoorSys, ReadDorInfo, ReadLordInfo}) {
        DoorDropInfo = TDoorDropInfo{};
        DoorDropInfo.Alias = "before";
        DoorDropInfo.ComNum = 9;
        const std::string before = DropInfoFields();
        read(Dir.string() + "/missing");
        read(Dir.string() + "/DOOR32.SYS");
        if (::geteuid() != 0) read(locked);
        EXPECT_EQ(DropInfoFields(), before);
    }
}

TEST_F(DropFiles, DoorSysLines) {
    Lines lines = {
        {1, "COM2:"}, {4, "5"},   {5, "19200"}, {10, "Grace Hopper"}, {15, "100"},
        {18, "2700"}, {20, "GR"}, {26, "12"},   {36, "Amazing"},      {52, "last"},
    };
    EXPECT_EQ(Read(ReadDoorSys, File(52, lines)),
              "Access=100 Alias=Amazing Baud=19200 Clean=0 ComNum=2 ComType=1 Emulation=ANSI "
              "Fairy=0 MaxSeconds=2700 Node=5 RealName=Grace Hopper RecPos=11");

    // The emulation line compares in upper case, but exactly.
    for (auto [text, emu] : {std::pair{"gr", "ANSI"}, {"GR ", "ASCII"}, {"NG", "ASCII"}}) {
        lines[20] = text;
        EXPECT_NE(Read(ReadDoorSys, File(52, lines)).find("Emulation="s + emu), std::string::npos)
            << '"' << text << '"';
    }
    // COM0: and a port line without its colon leave the session local.
    for (const char* port : {"COM0:", "COM1", "COM1: ", "COM12:"}) {
        lines[1] = port;
        Read(ReadDoorSys, File(52, lines));
        const bool com12 = port == "COM12:"s;
        EXPECT_EQ(DoorDropInfo.ComNum, com12 ? 12 : 0) << port;
        EXPECT_EQ(DoorDropInfo.ComType, com12 ? 1 : 0) << port;
    }
    // A local port leaves a type set before as it was.
    DoorDropInfo.ComType = 2;
    lines[1] = "COM0:";
    ReadDoorSys(File(52, lines));
    EXPECT_EQ(DoorDropInfo.ComType, 2);
}

TEST_F(DropFiles, DorInfoLines) {
    Lines lines = {
        {1, "Board"}, {4, "COM1"}, {5, "38400 BAUD,N,8,1"}, {7, "JOHN"}, {8, "SMITH"}, {10, "1"},
        {11, "20"},   {12, "45"},
    };
    EXPECT_EQ(Read(ReadDorInfo, File(13, lines)),
              "Access=20 Alias=JOHN Baud=38400 Clean=0 ComNum=1 ComType=1 Emulation=ANSI Fairy=0 "
              "MaxSeconds=2700 Node=0 RealName=JOHN SMITH RecPos=0");
    lines[4] = "COM0";
    lines[5] = "2400 BAUD";
    lines[8] = "";
    lines[10] = "2";
    EXPECT_EQ(Read(ReadDorInfo, File(13, lines)),
              "Access=20 Alias=JOHN Baud=2400 Clean=0 ComNum=0 ComType=0 Emulation=ASCII Fairy=0 "
              "MaxSeconds=2700 Node=0 RealName=JOHN RecPos=0");

    // Only the text before the first blank is the speed; no blank gives the default.
    for (auto [text, baud] : {std::pair{"19200", 38400}, {"14400 x y", 14400}}) {
        lines[5] = text;
        ReadDorInfo(File(13, lines));
        EXPECT_EQ(DoorDropInfo.Baud, baud) << text;
    }
}

TEST_F(DropFiles, LordInfoLines) {
    Lines lines = {
        {1, "4"},      {2, "3"},       {4, "fairy yes"},      {5, "10"},
        {6, "Jo"},     {7, "Joanna"},  {8, "Bloggs"},         {9, "6"},
        {10, "57600"}, {12, "telnet"}, {14, "Clean Mode On"},
    };
    EXPECT_EQ(Read(ReadLordInfo, File(14, lines)),
              "Access=0 Alias=Jo Baud=57600 Clean=1 ComNum=6 ComType=2 Emulation=ANSI Fairy=1 "
              "MaxSeconds=600 Node=0 RealName=Joanna Bloggs RecPos=4");
    lines[2] = "1";
    lines[4] = "FAIRY YES ";
    lines[8] = "";
    lines[14] = "CLEAN MODE OFF";
    EXPECT_EQ(Read(ReadLordInfo, File(14, lines)),
              "Access=0 Alias=Jo Baud=57600 Clean=0 ComNum=6 ComType=2 Emulation=ASCII Fairy=0 "
              "MaxSeconds=600 Node=0 RealName=Joanna RecPos=4");

    for (auto [text, type] : {std::pair{"local", 0}, {"WC5", 3}, {"TELNET ", 1}, {"", 1}}) {
        lines[12] = text;
        ReadLordInfo(File(14, lines));
        EXPECT_EQ(DoorDropInfo.ComType, type) << '"' << text << '"';
    }
}

TEST_F(DropFiles, HostileFilesCostBoundedMemoryAndNeverCrash) {
    const Reader readers[] = {ReadDoor32, ReadDoorSys, ReadDorInfo, ReadLordInfo};

    // A line of 100,000 bytes is cut, and the lines after it are still read in place.
    std::string longLine(100000, 'A');
    ReadDoor32(Write("2\r\n" + longLine + "\r\n300\r\n\r\n1\r\n" + longLine + "\r\nAlias\r\n"));
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
            Read(read, file);
            EXPECT_LE(DoorDropInfo.Alias.size(), 4096u);
            EXPECT_LE(DoorDropInfo.RealName.size(), 2 * 4096u + 1);
        }
    }

    // Named devices and pipes are not drop files: they could block or never end.
    std::string fifo = Dir.string() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    DoorDropInfo = TDoorDropInfo{};
    const std::string untouched = DropInfoFields();
    for (Reader read : readers) {
        read("/dev/zero");
        read(fifo);
        EXPECT_EQ(DropInfoFields(), untouched);
    }
}

} // namespace
