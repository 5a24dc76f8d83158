// The about pages and the instructions screen: fixed text, drawn at absolute positions.
#include "game/screens/about.h"

#include "door/door.h"
#include "game/rules/gamedate.h"
#include "game/screens/leaders.h"
#include "game/screens/theme.h"

#include <cstdint>
#include <string>

namespace {

// A run of letters of one state, written together after one colour change.
struct TExampleRun {
    void (*SetState)();
    const char* Letters;
};

struct TExampleRow {
    const char* Label;
    TExampleRun Runs[5];
};

// The worked example for the word ARMED.
const TExampleRow EXAMPLE_ROWS[] = {
    {"Guess 1-> ", {{SetGray, "PL"}, {SetOrange, "A"}, {SetGray, "NK"}}},
    {"Guess 2-> ", {{SetOrange, "RA"}, {SetGray, "NG"}, {SetOrange, "E"}}},
    {"Guess 3-> ", {{SetGray, "T"}, {SetGreen, "R"}, {SetOrange, "EA"}, {SetGray, "T"}}},
    {"Guess 4-> ", {{SetGreen, "AR"}, {SetGray, "OS"}, {SetOrange, "E"}}},
    {"WIN!   -> ", {{SetGreen, "ARMED"}}},
};

// One legend line: 14 blanks, the state's name in its colours, its meaning in yellow on black.
void LegendLine(void (*ASetState)(), const char* AName, const char* AMeaning) {
    DoorWrite(std::string(14, ' '));
    ASetState();
    DoorWrite(AName);
    DoorTextBackground(COLOUR_BLACK);
    DoorTextColour(COLOUR_YELLOW);
    DoorWriteLn(AMeaning);
}

struct TLegend {
    void (*SetState)();
    const char* Name;
    const char* Meaning;
};
const TLegend LEGEND[] = {
    {SetGreen, "Green", " means letter is in the right space."},
    {SetOrange, "Orange", " means correct letter in wrong space."},
    {SetGray, "Gray", " means the letter is not in the word."},
};

void LineAt5(const char* AText) {
    DoorGotoX(5);
    DoorWriteLn(AText);
}

void PressAnyKey() {
    DoorWriteCentered("Press Any Key");
    DoorTextColour(COLOUR_BLACK);
}

void AboutRules() {
    DoorClrScr();
    DoorTextColour(COLOUR_YELLOW);
    DoorWriteLn();
    LineAt5("Glimra is built on the popular daily five-letter word puzzle, played");
    LineAt5("here by every caller of the board.  You have six tries to guess the");
    LineAt5("word.  Each guess must be a valid 5 letter word. Hit the enter button to");
    LineAt5("submit.  After each guess, the color of the letters will change to show");
    LineAt5("how close your guess was to the word. ");
    DoorWriteLn();
    for (const TLegend& legend : LEGEND) {
        DoorGotoX(5);
        LegendLine(legend.SetState, legend.Name, legend.Meaning);
    }
    DoorWriteLn();
    DoorTextColour(COLOUR_YELLOW);
    LineAt5("The BBS Contestria version of the game keeps track of players and pits");
    LineAt5("users word for word.  All users get the same word each day assigned to");
    LineAt5("them.                         Example:");
    DoorWriteLn();
    for (const TExampleRow& row : EXAMPLE_ROWS) {
        DoorGotoX(32);
        DoorTextBackground(COLOUR_BLACK);
        DoorTextColour(COLOUR_YELLOW);
        DoorWrite(row.Label);
        for (const TExampleRun& run : row.Runs) {
            if (run.Letters == nullptr) break;
            run.SetState();
            DoorWrite(run.Letters);
        }
        DoorWriteLn();
    }
    DoorWriteLn();
    DoorTextBackground(COLOUR_BLACK);
    DoorTextColour(COLOUR_YELLOW);
    PressAnyKey();
    DoorReadKey();
}

void AboutCredits() {
    DoorClrScr();
    DoorTextColour(COLOUR_YELLOW);
    DoorWriteLn();
    LineAt5("Glimra: a daily five-letter word puzzle door for bulletin board systems.");
    LineAt5("Written by the Glimra team, with its own door kit: drop files, telnet");
    LineAt5("sockets, ANSI screens on the caller's terminal and the sysop's console.");
    LineAt5("Thanks to everyone who helped build it, and to the sysops and callers");
    LineAt5("who tested it night after night and told us what to mend.");
    LineAt5("Every caller on this board gets the same word each day, and every");
    LineAt5("score counts toward the daily, monthly and all-time boards.");
    DoorWriteLn();
    LineAt5("Questions, ideas and bug reports: leave a message for your sysop, who");
    LineAt5("will pass them on to the Glimra team.");
    DoorWriteLn();
    PressAnyKey();
    DoorGotoX(5);
    DoorReadKey();
}

} // namespace

void About() {
    AboutRules();
    AboutCredits();
}

void Instructions() {
    DoorClrScr();
    DoorTextColour(COLOUR_HEADING);
    DoorTextBackground(COLOUR_BLACK);
    DoorGotoXY(51, 8);
    DoorWrite("Playing for " + std::to_string(Month) + "/" + std::to_string(Day) + "/" +
              std::to_string(Year));

    DoorGotoXY(51, 10);
    DoorTextBackground(COLOUR_LIGHT_BLUE);
    DoorTextColour(COLOUR_YELLOW);
    if (Day != 1) {
        DoorWrite("Monthly Leaders");
        for (std::size_t k = 0; k < 4; ++k) {
            if (ArrMonthlyScores[k] == 0) continue;
            const auto row = static_cast<std::uint8_t>(11 + k);
            DoorTextColour(COLOUR_HEADING);
            DoorTextBackground(COLOUR_BLACK);
            DoorGotoXY(51, row);
            DoorWrite(ShownName(ArrMonthlyLeaders[k], LEADER_NAME_LENGTH));
            DoorGotoXY(70, row);
            DoorWrite(std::to_string(ArrMonthlyScores[k]));
        }
    } else {
        DoorTextColour(COLOUR_YELLOW);
        DoorTextBackground(COLOUR_BLACK);
        DoorGotoXY(51, 10);
        DoorWrite("Top Scores Display");
        DoorGotoXY(51, 11);
        DoorWrite("After 1st Day");
    }

    DoorGotoXY(11, 8);
    DoorTextColour(COLOUR_HEADING);
    DoorTextBackground(COLOUR_BLACK);
    DoorWrite("Letter Chart");
    DoorTextBackground(COLOUR_BLACK);
    DoorTextColour(COLOUR_DARK_GRAY);
    DoorGotoXY(12, 10);
    DoorWriteLn("QWERTYUIOP");
    DoorGotoXY(12, 11);
    DoorWriteLn("ASDFGHJKL");
    DoorGotoXY(12, 12);
    DoorWriteLn(" ZXCVBNM");

    DoorGotoXY(12, 18);
    DoorTextColour(COLOUR_YELLOW);
    DoorWriteLn("Instructions: Enter a five letter word.");
    std::uint8_t row = 19;
    for (const TLegend& legend : LEGEND) {
        DoorGotoXY(12, row++);
        LegendLine(legend.SetState, legend.Name, legend.Meaning);
    }
}
