// The store's host: the door kit behind every callback, set before the program's first statement
// so that every program and test built on the game finds the store wired to the kit.
#include "door/door.h"
#include "door/doorlog.h"
#include "door/events.h"
#include "door/platform/ending.h"
#include "door/platform/files.h"
#include "door/platform/wait.h"
#include "door/shutdown.h"
#include "door/term/ansi.h"
#include "game/screens/theme.h"
#include "game/store/host.h"

namespace {

// The wait line on row 24, yellow on black.
constexpr std::uint8_t WAIT_LINE_X = 2, WAIT_LINE_Y = 24;

TStoreHost KitHost() {
    TStoreHost host;
    host.CallerAlias = [] { return DoorDropInfo.Alias; };
    host.MayKeepWaiting = [] { return !DoorEnding() && DoorCarrierNow() && DoorSecondsLeft() > 0; };
    host.ShowWaitLine = [](const std::string& AText) {
        DoorGotoXY(WAIT_LINE_X, WAIT_LINE_Y);
        DoorTextBackground(COLOUR_BLACK);
        DoorTextColour(COLOUR_YELLOW);
        DoorWrite(AText);
    };
    host.Sleep = [](std::int32_t AMs) { return DoorSleep(AMs); };
    host.Pause = [](std::int32_t AMs) { DoorDelay(AMs); };
    host.CallerWaited = [] { DoorLastKey.Time = DoorSteadyNow(); };
    host.WhyWaitEnded = [] {
        return DoorEnding()     ? "an ending signal"
               : !DoorCarrier() ? "the caller hung up"
                                : "the caller's time is up";
    };
    host.EndSession = [] {
        DoorEndIfSignalled();
        const TDoorProc end = DoorCarrier() ? DoorOnTimeUp : DoorOnHangup;
        if (end) end();
    };
    host.LocalNotice = [](const std::string& AText) { AnsiWrite(AText); };
    host.SyncToDisk = [](const std::string& AName) { return SyncToDisk(AName); };
    host.WaitReadable = [](int ASocket, std::int32_t AMs) {
        const TWaitHandle socket = ASocket;
        return WaitForAny(&socket, 1, AMs) == 0;
    };
    host.WaitWritable = [](int ASocket, std::int32_t AMs) { return WaitWritable(ASocket, AMs); };
    return host;
}

const bool KitHostSet = (StoreHost() = KitHost(), true);

} // namespace
