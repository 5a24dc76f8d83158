// Reading "bbsglimra.cfg" at start-up: the update check switch, the idle limit and the winner
// text, each from its own line.
#include "game/app/config.h"

#include "door/door.h"
#include "door/doorlog.h"
#include "door/platform/files.h"
#include "door/stringutils.h"
#include "game/app/updatecheck.h"
#include "game/screens/gameplay.h"

#include <cerrno>
#include <cstring>

namespace {

// Lines after the third are never looked at, so reading stops there.
constexpr std::int32_t CONFIG_LINES = 3;
// A longer line keeps its first MAX_LINE_LENGTH bytes; the rest is dropped.
constexpr std::size_t MAX_LINE_LENGTH = 1024;
// No more of the file is read: three lines never need more, whatever the file holds.
constexpr std::size_t MAX_BYTES = 64 * 1024;

std::string ErrorText(int AErrno) {
    if (AErrno == ENOENT) return "File not found";
    return std::strerror(AErrno);
}

void ApplyLine(TConfigValues& AValues, const std::string& ALine) {
    ++AValues.LinesRead;
    switch (AValues.LinesRead) {
    case 1: AValues.CheckVersion = ALine == "1"; break;
    case 2: AValues.MaxIdle = ParseIdleLimit(ALine); break;
    case 3: AValues.WinnerText = ALine; break;
    default: break;
    }
}

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
    // Line ends are CR, LF or CR LF, as in any text file a sysop may have edited.
    std::string line;
    bool lineOpen = false;
    bool afterCR = false;
    char buffer[4096];
    bool ok = true;
    while (AValues.LinesRead < CONFIG_LINES) {
        const long got = total < MAX_BYTES ? file.Read(buffer, sizeof buffer) : 0;
        if (got < 0) {
            AError = ErrorText(file.Error());
            ok = false;
            break;
        }
        if (got == 0) {
            if (lineOpen) ApplyLine(AValues, line);
            break;
        }
        total += static_cast<std::size_t>(got);
        for (long i = 0; i < got && AValues.LinesRead < CONFIG_LINES; ++i) {
            char c = buffer[i];
            if (c == '\n' && afterCR) {
                afterCR = false;
                continue;
            }
            afterCR = c == '\r';
            if (c == '\r' || c == '\n') {
                ApplyLine(AValues, line);
                line.clear();
                lineOpen = false;
                continue;
            }
            lineOpen = true;
            if (line.size() < MAX_LINE_LENGTH) line.push_back(c);
        }
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
    if (!ok) {
        const std::string message = std::string("File handling error occurred. Details (") +
                                    CONFIG_FILE_NAME + "): " + error;
        DoorWriteLn(message);
        DoorLog(message);
        DoorTellBbs(message);
    }
}
