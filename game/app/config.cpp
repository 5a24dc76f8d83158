// Reading "bbsglimra.cfg" at start-up: the update check switch, the idle limit and the winner
// text, each from its own line.
#include "game/app/config.h"

#include "door/door.h"
#include "door/doorlog.h"
#include "door/lines.h"
#include "door/platform/files.h"
#include "door/stringutils.h"
#include "game/app/updatecheck.h"
#include "game/screens/gameplay.h"
#include "game/store/store.h"

#include <cerrno>
#include <cstring>

namespace {

// Lines after the fifth are never looked at, so reading stops there.
constexpr std::int32_t CONFIG_LINES = 5;
// A longer line keeps its first MAX_LINE_LENGTH bytes; the rest is dropped.
constexpr std::size_t MAX_LINE_LENGTH = 1024;
// No more of the file is read: five lines never need more, whatever the file holds.
constexpr std::size_t MAX_BYTES = 64 * 1024;

std::string ErrorText(int AErrno) {
    if (AErrno == ENOENT) return "File not found";
    return std::strerror(AErrno);
}

// ALine without the blanks and tabs around it.
std::string Trim(const std::string& ALine) {
    const auto first = ALine.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return ALine.substr(first, ALine.find_last_not_of(" \t") - first + 1);
}

void ApplyLine(TConfigValues& AValues, const std::string& ALine) {
    ++AValues.LinesRead;
    switch (AValues.LinesRead) {
    case 1: AValues.CheckVersion = ALine == "1"; break;
    case 2: AValues.MaxIdle = ParseIdleLimit(ALine); break;
    case 3: AValues.WinnerText = ALine; break;
    // A line of blanks counts as empty: the board stays on its own file.
    case 4: AValues.Connection = Trim(ALine); break;
    case 5: AValues.Board = Trim(ALine); break;
    default: break;
    }
}

// The configuration's lines, gathered from the bytes as they are read; lines after the fifth
// are never looked at.
class TConfigLines {
  public:
    explicit TConfigLines(TConfigValues& AValues) : FValues(AValues) {}

    bool Done() const { return FValues.LinesRead >= CONFIG_LINES; }

    void Feed(const char* ABytes, long ACount) {
        for (long i = 0; i < ACount && !Done(); ++i) {
            const char c = ABytes[i];
            switch (FSplitter.Take(c)) {
            case TLineSplitter::TStep::Skip: break;
            case TLineSplitter::TStep::LineEnd:
                ApplyLine(FValues, FLine);
                FLine.clear();
                FOpen = false;
                break;
            case TLineSplitter::TStep::Byte:
                FOpen = true;
                if (FLine.size() < MAX_LINE_LENGTH) FLine.push_back(c);
                break;
            }
        }
    }

    // The end of the file: a last line without a line end counts too.
    void End() {
        if (FOpen) ApplyLine(FValues, FLine);
    }

  private:
    TConfigValues& FValues;
    TLineSplitter FSplitter;
    std::string FLine;
    bool FOpen = false; // a line has begun that has not ended
};

} // namespace

std::optional<std::int32_t> ParseIdleLimit(const std::string& ALine) {
    const auto value = ReadInteger(ALine, TIntegerText::SignedPadded);
    if (!value || *value < 1) return std::nullopt;
    return value;
}

bool ReadConfigFile(const std::string& AFileName, TConfigValues& AValues, std::string& AError) {
    // As a drop file is read: only a regular file, so a FIFO or a device cannot hold start-up.
    TFileReader file(AFileName, true);
    if (!file.IsOpen()) {
        AError = file.NotRegular() ? "Not a regular file" : ErrorText(file.Error());
        return false;
    }
    std::size_t total = 0;
    TConfigLines lines(AValues);
    char buffer[4096];
    bool ok = true;
    while (!lines.Done()) {
        const long got = total < MAX_BYTES ? file.Read(buffer, sizeof buffer) : 0;
        if (got < 0) {
            AError = ErrorText(file.Error());
            ok = false;
            break;
        }
        if (got == 0) {
            lines.End();
            break;
        }
        total += static_cast<std::size_t>(got);
        lines.Feed(buffer, got);
    }
    if (!file.Close() && ok) {
        AError = ErrorText(file.Error());
        ok = false;
    }
    return ok;
}

void ReadConfiguration() {
    TConfigValues values;
    std::string error;
    bool ok = ReadConfigFile(CONFIG_FILE_NAME, values, error);
    CheckVersion = values.CheckVersion;
    if (values.MaxIdle) DoorSession.MaxIdle = *values.MaxIdle;
    if (values.LinesRead >= 3) StrWinnerText = values.WinnerText;
    // The tag is checked where the store is made, so that a bad one fails start-up plainly.
    GameStoreSetting = {values.Connection, values.Board};
    if (!ok) {
        const std::string message = std::string("File handling error occurred. Details (") +
                                    CONFIG_FILE_NAME + "): " + error;
        DoorWriteLn(message);
        DoorLog(message);
        DoorTellBbs(message);
    }
}
