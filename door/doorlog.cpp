// The door's log: line format, the session's first and last lines, and how the session ended.
#include "door/doorlog.h"

#include "door/platform/logfile.h"
#include "door/platform/system.h"
#include "door/state.h"

#include <algorithm>
#include <ctime>

std::string DoorLogFileName;
std::int64_t DoorLogMaxBytes = kDoorLogMaxBytes;

namespace {

// A line longer than this (a long failure text) is cut.
constexpr std::size_t kMaxText = 400;
constexpr std::size_t kMaxAlias = 40;

// One line of text: line ends and other control bytes become blanks, runs of blanks one blank.
std::string OneLine(const std::string& AText, std::size_t AMax) {
    std::string line;
    for (char c : AText) {
        const bool blank = static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == ' ';
        if (blank && (line.empty() || line.back() == ' ')) continue;
        line += blank ? ' ' : c;
        if (line.size() >= AMax) break;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

} // namespace

void DoorLog(const std::string& AText) {
    if (DoorLogFileName.empty()) return;
    const std::string line =
        DoorLogTimeText(DoorNow()) + " node " + std::to_string(DoorDropInfo.Node) + " [" +
        OneLine(DoorDropInfo.Alias, kMaxAlias) + "] " + OneLine(AText, kMaxText) + "\n";
    DoorLogAppend(DoorLogFileName, line, DoorLogMaxBytes);
}

void DoorTellBbs(const std::string& AReason) {
    SystemWriteStderr(DoorProgramFileName() + ": " + OneLine(AReason, kMaxText) + "\n");
}

void DoorLogEnding(const std::string& AHow) {
    std::string& ending = DoorState().LogEnding;
    if (ending.empty()) ending = AHow;
}

void DoorLogSessionStart(const std::string& ADetails) {
    DoorState().LogEnding.clear();
    DoorLog("session start: " + ADetails);
    DoorState().LogEndDue = !DoorLogFileName.empty();
}

void DoorLogSessionEnd() {
    TDoorState& state = DoorState();
    if (!state.LogEndDue) return;
    state.LogEndDue = false;
    DoorLog("session end: " + (state.LogEnding.empty() ? std::string("ended") : state.LogEnding));
}

std::string DoorLogTimeText(TDateTime ATime) {
    const std::tm local = SystemLocalTime(std::chrono::system_clock::to_time_t(ATime));
    char text[32];
    if (std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 0) return "?";
    return text;
}
