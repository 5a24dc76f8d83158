// One game: set-up (leaders, fixed screen, zero score, word), up to six guesses checked against
// the word lists and marked on the board and the letter chart, the winning score, the end line.
#include "game/screens/gameplay.h"

#include "door/door.h"
#include "door/stringutils.h"
#include "game/rules/gamedate.h"
#include "game/screens/about.h"
#include "game/screens/leaders.h"
#include "game/screens/theme.h"
#include "game/store/database.h"
#include "game/store/scores.h"

#include <algorithm>

std::string WordGuess;
std::int32_t OutsideLoop = 0;
std::array<std::int32_t, 6> PossiblePoints{};
std::int32_t Winner = 0;
std::int32_t WordCheck = 0;
std::string GreenLetters;
std::string StrWinnerText;

namespace {

const std::string GUESS_CHARS = "qwertyuiopasdfghjklzxcvbnmQWERTYUIOPASDFGHJKLZXCVBNM";

// The letter chart as the instructions screen draws it: three keyboard rows.
struct TChartRow {
    const char* Letters;
    std::uint8_t Column; // column of the first letter
    std::uint8_t Row;
};
constexpr TChartRow CHART_ROWS[] = {
    {"QWERTYUIOP", 12, 10}, {"ASDFGHJKL", 12, 11}, {"ZXCVBNM", 13, 12}};

// Loads the word of the game date. A session that ran past midnight into a new month finds
// no word for the date (start-up maintenance gave words to the old month only), and a word
// edited by hand may be unplayable: the month's days get their words as start-up maintenance
// gives them, and the date's word is played.
void LoadGameWord() {
    Word.clear();
    GetWord();
    if (!IsPlayableWord(Word)) {
        AssignMonthWords(Year, Month, DaysInMonth(Year, Month));
        Word.clear();
        GetWord();
    }
    Word = UpperCase(Word);
    if (!IsPlayableWord(Word))
        throw GameDatabaseError(TDatabaseFault::Damaged,
                                "The game database \"" + GameStore().Name() +
                                    "\" holds no five-letter word for " +
                                    DateKey(Year, Month, Day) + " (found \"" + Word + "\").");
}

// Reads guesses until one is found in a word list; a rejected guess costs no guess.
void ReadAcceptedGuess() {
    do {
        Winner = 0;
        WordCheck = 0;
        GreenLetters.clear();
        DoorGotoXY(5, 16);
        DoorTextBackground(COLOUR_BLACK);
        DoorTextColour(COLOUR_WHITE);
        DoorWrite("Possible Total - " + std::to_string(PossiblePoints[OutsideLoop - 1]) + " ");
        DoorGotoXY(30, 16);
        DoorTextBackground(COLOUR_BLACK);
        DoorTextColour(COLOUR_LIGHT_CYAN);
        DoorWrite("Enter Guess " + std::to_string(OutsideLoop) + ": ");
        WordGuess = DoorInput("", GUESS_CHARS, '\0', WORD_LENGTH, WORD_LENGTH, ATTR_INPUT_FIELD);

        const bool known = GuessInWordLists(WordGuess);
        DoorTextColour(COLOUR_HEADING);
        DoorTextBackground(COLOUR_BLACK);
        if (!known) {
            DoorGotoXY(52, 16);
            DoorWrite("I do not have " + WordGuess);
            DoorGotoXY(52, 17);
            DoorWrite(" in my database.");
            WordGuess.clear();
        } else {
            DoorGotoXY(52, 16);
            DoorWrite(std::string(19, ' '));
            DoorGotoXY(52, 17);
            DoorWrite(std::string(16, ' '));
        }
    } while (WordGuess.size() != WORD_LENGTH);
}

// Draws the marked guess on its board row and recolours the chart, letter by letter.
void DrawGuess(const TGuessMarks& AMarks) {
    for (int i = 0; i < WORD_LENGTH; ++i) {
        const char letter = WordGuess[static_cast<std::size_t>(i)];
        DoorTextBackground(LetterStateBackground(TLetterState::lsGray));
        DoorTextColour(COLOUR_BLACK);
        if (AMarks[static_cast<std::size_t>(i)] != TLetterState::lsGray)
            DoorTextBackground(LetterStateBackground(AMarks[static_cast<std::size_t>(i)]));
        if (AMarks[static_cast<std::size_t>(i)] == TLetterState::lsGreen) {
            GreenLetters += letter;
            ++Winner;
        }
        DoorGotoXY(static_cast<std::uint8_t>(38 + i), static_cast<std::uint8_t>(8 + OutsideLoop));
        DoorWrite(std::string(1, letter));
        GrayOutLetter(letter);
    }
}

void ShowWin() {
    DoorGotoXY(50, 16);
    DoorTextBackground(COLOUR_BLACK);
    DoorTextColour(COLOUR_YELLOW);
    DoorWrite("<-");
    DoorTextColourAndBlink(COLOUR_YELLOW, true);
    DoorWrite(StrWinnerText);
    DoorTextColourAndBlink(COLOUR_YELLOW, false);
    SetScore(PossiblePoints[OutsideLoop - 1], GameDay(Day));
}

} // namespace

std::uint8_t LetterStateBackground(TLetterState AState) {
    switch (AState) {
    case TLetterState::lsGreen: return COLOUR_GREEN;
    case TLetterState::lsOrange: return COLOUR_YELLOW;
    case TLetterState::lsGray: break;
    }
    return COLOUR_LIGHT_GRAY;
}

void GrayOutLetter(char Letter) {
    if (GreenLetters.find(Letter) != std::string::npos)
        DoorTextBackground(LetterStateBackground(TLetterState::lsGreen));
    for (const TChartRow& row : CHART_ROWS) {
        const std::string_view letters(row.Letters);
        const auto at = letters.find(Letter);
        if (Letter == '\0' || at == std::string_view::npos) continue;
        DoorGotoXY(static_cast<std::uint8_t>(row.Column + at), row.Row);
        DoorWrite(std::string(1, Letter));
        return;
    }
}

bool GuessInWordLists(const std::string& AGuess) {
    WordCheck = WordListMatches(AGuess);
    return WordCheck != 0;
}

void Game() {
    SetMonthlyAndDaily();
    Instructions();
    // The word first: a date whose word cannot be played must not cost the caller the day.
    LoadGameWord();
    // The date counts as played before the first guess, so a caller who drops keeps the 0.
    SetScore(0, GameDay(Day));
    PossiblePoints = GUESS_POINTS;
    DoorGotoXY(0, 0);
    DoorDisplayFile("box.ans");
    DoorGotoXY(0, 0);
    DisplayHeader();

    for (OutsideLoop = 1; OutsideLoop <= 6; ++OutsideLoop) {
        ReadAcceptedGuess();
        WordGuess = UpperCase(WordGuess);
        DrawGuess(MarkGuess(Word, WordGuess));
        if (Winner == WORD_LENGTH) {
            ShowWin();
            break;
        }
    }
    OutsideLoop = std::min(OutsideLoop, 6);

    DoorTextColour(COLOUR_HEADING);
    DoorTextBackground(COLOUR_BLACK);
    DoorGotoXY(2, 24);
    DoorWrite("The Word Was: " + Word);
    DoorWriteCentered(" Press Any Key to Return");
    DoorTextColour(COLOUR_BLACK);
    DoorReadKey();
}
