// bbsglimra: the door program the BBS starts for one caller. Every end of the program, a failure
// included, leaves through the kit's one way out (DoorExit): the exit guard's last output, the
// log's end line, the console restored, the caller handed back to the BBS, exit code 0.
#include "door/door.h"
#include "door/doorlog.h"
#include "door/platform/ending.h"
#include "door/shutdown.h"
#include "door/term/ansi.h"
#include "game/app/program.h"
#include "game/rules/gamedate.h"
#include "game/screens/theme.h"
#include "game/store/storeerror.h"

#include <exception>
#include <string>

namespace {

// Runs before anything else the program does, its static initialisation included, so that an
// ending signal at any moment ends the door with exit code 0.
[[gnu::constructor(101)]] void InstallSignalHandlersFirst() {
    DoorInstallSignalHandlers();
}

// Tells the caller why the door stops in one plain line (ACallerText) and lets them read it;
// the local console, the log and, for a start-up that fails, the BBS get the whole reason
// (AWhat).
void ShowFailure(const std::string& ACallerText, const std::string& AWhat) {
    DoorLogEnding("failure");
    DoorLog("Glimra stopped: " + AWhat);
    if (!GlimraStarted) DoorTellBbs(AWhat);
    try {
        DoorWriteLn();
        DoorTextColour(COLOUR_LIGHT_RED);
        DoorWriteLn("Glimra stopped: " + ACallerText);
        if (AWhat != ACallerText) AnsiWrite(AWhat + "\r\n");
        DoorTextColour(COLOUR_LIGHT_GRAY);
        DoorDelay(2500);
    } catch (...) {
        // Nothing more can be shown; the exit path still runs.
    }
}

} // namespace

int main(int argc, char** argv) {
    try {
        GlimraMain(argc, argv);
    } catch (const GameDatabaseError& error) {
        DoorEndIfSignalled(); // a wait cut short by an ending signal is no failure to report
        ShowFailure(error.CallerText(), error.LogText());
    } catch (const std::exception& error) {
        DoorEndIfSignalled();
        ShowFailure(error.what(), error.what());
    } catch (...) {
        DoorEndIfSignalled();
        ShowFailure("unexpected error", "unexpected error");
    }
    DoorExit();
}
