// The smallest door built with the kit: start-up, a greeting, one line of input echoed back, and
// the hand-back to the BBS. Run it as "exampledoor -DDOOR32.SYS", "exampledoor -N1 -S<socket>"
// or "exampledoor -L"; "-I<seconds>" sets the idle limit (default 300).
#include "door/door.h"
#include "door/doorlog.h"

#include <cstdlib>
#include <exception>
#include <string>

namespace {

// Options the kit does not know reach the door through DoorOnCLP.
void OnCommandLineOption(char AKey, const std::string& AValue) {
    if (AKey == 'I') {
        char* end = nullptr;
        const long seconds = std::strtol(AValue.c_str(), &end, 10);
        if (!AValue.empty() && *end == '\0' && seconds > 0 && seconds <= 86400) {
            DoorSession.MaxIdle = static_cast<std::int32_t>(seconds);
        }
    }
}

void Run(int argc, char** argv) {
    DoorOnCLP = OnCommandLineOption;
    DoorLogFileName = "exampledoor.log"; // the kit logs each session's start and how it ended
    DoorStartup(argc, argv);

    DoorClrScr();
    DoorWriteLn("|0EHello, |0F" + DoorDropInfo.Alias + "|0E! This is the example door.|07");
    // A rule of CP437 upper half blocks: the caller's terminal shows it as the code page's glyph.
    DoorWriteLn("|09" + std::string(37, '\xDF') + "|07");
    DoorWriteLn();
    DoorWrite("|0AType a line and press Enter |0F:|07 ");
    const std::string line = DoorInput("", DOOR_INPUT_CHARS_ALL, 0, 40, 60, 31);
    DoorWriteLn("|0BYou typed: |0F" + line + "|07");
    DoorLogEnding("line typed");
    DoorShutdown();
}

} // namespace

int main(int argc, char** argv) {
    try {
        Run(argc, argv);
    } catch (const std::exception& error) {
        DoorWriteLn();
        DoorWriteLn(std::string("|0CThe door failed: ") + error.what() + "|07");
        DoorDelay(2500);
    }
    // Every end goes through exit(), so the exit guard hands the caller back to the BBS.
    std::exit(0);
}
