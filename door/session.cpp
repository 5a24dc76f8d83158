// The session's records and their global instances, the clocks and the one delay, and the
// running program's name.
#include "door/session.h"

#include "door/platform/ending.h"
#include "door/platform/system.h"
#include "door/platform/wait.h"
#include "door/state.h"

#include <algorithm>
#include <filesystem>

namespace {

constexpr const char* kProgramNameAndVersion = "Portek v13.09.02";

} // namespace

TDoorDropInfo DoorDropInfo;
TDoorLastKey DoorLastKey;
TDoorMOREPrompts DoorMOREPrompts;
std::string DoorProgramNameAndVersion = kProgramNameAndVersion;
TDoorSession DoorSession;
bool Stdio = false;

namespace {

TDateTime SystemNow() {
    return std::chrono::system_clock::now();
}

// The wall-clock time of the first reading, run on by the monotonic clock since.
TDateTime SteadyNow() {
    static const TDateTime wallStart = std::chrono::system_clock::now();
    static const auto steadyStart = std::chrono::steady_clock::now();
    return wallStart + std::chrono::duration_cast<TDateTime::duration>(
                           std::chrono::steady_clock::now() - steadyStart);
}

// The default delay: the caller is gone or the node is shutting down once an ending signal has
// come, so the pause ends then.
void SystemDelay(std::int32_t AMilliseconds) {
    DoorSleep(AMilliseconds);
}

} // namespace

TDateTime (*DoorNow)() = SystemNow;
TDateTime (*DoorSteadyNow)() = SteadyNow;
void (*DoorDelay)(std::int32_t AMilliseconds) = SystemDelay;

bool DoorSleep(std::int32_t AMilliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0, AMilliseconds));
    for (;;) {
        if (DoorEnding()) return false;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return true;
        // The ending handle stays ready once signalled. Without one the wait only sleeps, and
        // the signal interrupts it.
        const TWaitHandle ending = DoorSignalFd();
        WaitForAny(&ending, 1, static_cast<int>(left.count()));
    }
}

void DoorResetSessionGlobals() {
    DoorDropInfo = {};
    DoorLastKey = {};
    DoorMOREPrompts = {};
    DoorProgramNameAndVersion = kProgramNameAndVersion;
    DoorSession = {};
    Stdio = false;
    DoorNow = SystemNow;
    DoorSteadyNow = SteadyNow;
    DoorDelay = SystemDelay;
}

void DoorSetProgramPath(const std::string& APath) {
    DoorState().ProgramPath = APath;
}

std::string DoorProgramFileName() {
    std::string path = DoorState().ProgramPath;
    if (path.empty()) path = SystemProgramPath();
    return std::filesystem::path(path).filename().string();
}
