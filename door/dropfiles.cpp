// Drop file readers. A drop file is read line by line with bounded cost whatever it holds:
// lines are cut to kMaxLine bytes and no more than kMaxBytes bytes of the file are looked at.
#include "door/dropfiles.h"

#include "door/door.h"
#include "door/lines.h"
#include "door/platform/files.h"
#include "door/stringutils.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

constexpr std::size_t kMaxLine = 4096;
constexpr std::size_t kMaxBytes = 1 << 20;
constexpr int kEnd = -1;
constexpr int kCtrlZ = 26;

// Reads the lines of a drop file. Only regular files are opened: a FIFO or a device named as
// a drop file could block or never end.
class DropFile {
  public:
    explicit DropFile(const std::string& AFileName) : FFile(AFileName, true) {}

    bool IsOpen() const { return FFile.IsOpen(); }

    // The next line without its line end (CR, LF or CR LF); empty once the file has ended.
    std::string Line() {
        std::string line;
        for (int c = Next(); c != kEnd; c = Next()) {
            const TLineSplitter::TStep step = FSplitter.Take(static_cast<char>(c));
            if (step == TLineSplitter::TStep::Skip) continue;
            if (step == TLineSplitter::TStep::LineEnd) break;
            if (line.size() < kMaxLine) line += static_cast<char>(c);
        }
        return line;
    }

    // Skips ACount lines.
    void Skip(int ACount) {
        for (int i = 0; i < ACount; ++i) Line();
    }

  private:
    int Peek() {
        if (FPos == FLen && !Fill()) return kEnd;
        return FBuf[FPos];
    }
    int Next() {
        int c = Peek();
        if (c != kEnd) ++FPos;
        return c;
    }
    // Refills the buffer; false at the end of the file, at Ctrl-Z, or at the byte limit.
    bool Fill() {
        if (FEnded || !FFile.IsOpen() || FTotal >= kMaxBytes) return false;
        const long got = FFile.Read(FBuf, std::min(sizeof FBuf, kMaxBytes - FTotal));
        if (got <= 0) {
            FEnded = true;
            return false;
        }
        FTotal += static_cast<std::size_t>(got);
        FPos = 0;
        FLen = static_cast<std::size_t>(got);
        // Ctrl-Z marks the end of the file: nothing after it is read.
        for (std::size_t i = 0; i < FLen; ++i) {
            if (FBuf[i] == kCtrlZ) {
                FLen = i;
                FEnded = true;
                break;
            }
        }
        return FLen > 0;
    }

    TFileReader FFile;
    std::uint8_t FBuf[4096];
    std::size_t FPos = 0;
    std::size_t FLen = 0;
    std::size_t FTotal = 0;
    bool FEnded = false;
    TLineSplitter FSplitter;
};

// The whole text as a decimal integer, blanks (and a byte-order mark) around it allowed, or
// ADefault when it is not one. A number beyond 32 bits is held to the nearest 32-bit value: a
// BBS that writes "unlimited" as a huge number of minutes means plenty, not none.
std::int32_t Number(const std::string& AText, std::int32_t ADefault) {
    return ReadInteger(AText, TIntegerText::FileField, TIntegerRange::Clamp).value_or(ADefault);
}

// A port line, "COM1:" or "COM1": the number after "COM" (any case) and before a colon; -1 when
// the line holds none.
std::int32_t PortNumber(const std::string& ALine) {
    const auto com = UpperCase(ALine).find("COM");
    if (com == std::string::npos) return -1;
    const std::string rest = ALine.substr(com + 3);
    return Number(rest.substr(0, rest.find(':')), -1);
}

// A connection type from 0 (local) to 3, and for a remote one a handle; what a session needs.
bool UsableConnection() {
    return DoorDropInfo.ComType <= 3 && (DoorDropInfo.ComType == 0 || DoorDropInfo.ComNum >= 0);
}

std::int32_t Minutes(const std::string& AText) {
    return Clamp32(std::int64_t{Number(AText, 0)} * 60);
}

// Drop files count user records from 1; the session counts from 0.
std::int32_t RecordFromOne(const std::string& AText) {
    return Clamp32(std::int64_t{Number(AText, 1)} - 1);
}

} // namespace

bool ReadDoor32(const std::string& AFileName) {
    DropFile f(AFileName);
    if (!f.IsOpen()) return false;
    TDoorDropInfo& d = DoorDropInfo;
    const std::int32_t type = Number(f.Line(), -1);
    d.ComType = static_cast<std::uint8_t>(std::clamp(type, 0, 255));
    d.ComNum = Number(f.Line(), -1);
    d.Baud = Number(f.Line(), 38400);
    d.BbsName = f.Line();
    d.RecPos = RecordFromOne(f.Line());
    d.RealName = f.Line();
    d.Alias = f.Line();
    d.Access = Number(f.Line(), 0);
    d.MaxSeconds = Minutes(f.Line());
    d.Emulation =
        Number(f.Line(), 1) == 0 ? TDoorEmulationType::etASCII : TDoorEmulationType::etANSI;
    d.Node = Number(f.Line(), 0);
    return type >= 0 && UsableConnection();
}

bool ReadDoorSys(const std::string& AFileName) {
    DropFile f(AFileName);
    if (!f.IsOpen()) return false;
    TDoorDropInfo& d = DoorDropInfo;
    // "COM0:" is a local session.
    const std::int32_t port = PortNumber(f.Line());
    d.ComNum = std::max(port, 0);
    if (d.ComNum > 0) d.ComType = 1;
    f.Skip(2);
    d.Node = Number(f.Line(), 0);
    d.Baud = Number(f.Line(), 38400);
    f.Skip(4);
    d.RealName = f.Line();
    f.Skip(4);
    d.Access = Number(f.Line(), 0);
    f.Skip(2);
    d.MaxSeconds = Number(f.Line(), 0);
    f.Skip(1);
    // Only a file that says "no graphics" makes a plain-text caller: an empty field, "GR" or
    // "RIP" (whose terminals take ANSI) leave ANSI on, so the door never refuses on a guess.
    std::string graphics = UpperCase(f.Line());
    std::erase(graphics, ' ');
    d.Emulation = graphics == "NG" ? TDoorEmulationType::etASCII : TDoorEmulationType::etANSI;
    f.Skip(5);
    d.RecPos = RecordFromOne(f.Line());
    f.Skip(9);
    d.Alias = f.Line();
    f.Skip(16);
    return port >= 0;
}

bool ReadDorInfo(const std::string& AFileName) {
    DropFile f(AFileName);
    if (!f.IsOpen()) return false;
    TDoorDropInfo& d = DoorDropInfo;
    f.Skip(3);
    // "COM0" is a local session.
    const std::int32_t port = PortNumber(f.Line());
    d.ComNum = std::max(port, 0);
    if (d.ComNum > 0) d.ComType = 1;
    // "38400 BAUD,N,8,1": the number before the first blank.
    std::string baud = f.Line();
    std::size_t blank = baud.find(' ');
    d.Baud = blank == std::string::npos ? 38400 : Number(baud.substr(0, blank), 38400);
    f.Skip(1);
    d.Alias = f.Line();
    std::string lastName = f.Line();
    d.RealName = lastName.empty() ? d.Alias : d.Alias + " " + lastName;
    f.Skip(1);
    d.Emulation =
        Number(f.Line(), 1) == 1 ? TDoorEmulationType::etANSI : TDoorEmulationType::etASCII;
    d.Access = Number(f.Line(), 0);
    d.MaxSeconds = Minutes(f.Line());
    f.Skip(1);
    return port >= 0;
}

bool ReadLordInfo(const std::string& AFileName) {
    DropFile f(AFileName);
    if (!f.IsOpen()) return false;
    TDoorDropInfo& d = DoorDropInfo;
    d.RecPos = Number(f.Line(), 0);
    d.Emulation =
        Number(f.Line(), 3) == 3 ? TDoorEmulationType::etANSI : TDoorEmulationType::etASCII;
    f.Skip(1);
    d.Fairy = UpperCase(f.Line()) == "FAIRY YES";
    d.MaxSeconds = Minutes(f.Line());
    d.Alias = f.Line();
    d.RealName = f.Line();
    std::string lastName = f.Line();
    if (!lastName.empty()) d.RealName += " " + lastName;
    d.ComNum = Number(f.Line(), -1);
    d.Baud = Number(f.Line(), 38400);
    f.Skip(1);
    std::string type = UpperCase(f.Line());
    d.ComType = type == "LOCAL" ? 0 : type == "TELNET" ? 2 : type == "WC5" ? 3 : 1;
    f.Skip(1);
    d.Clean = UpperCase(f.Line()) == "CLEAN MODE ON";
    return !type.empty() && UsableConnection();
}
