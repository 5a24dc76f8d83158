// Marking a guess against the word: green, orange and gray, with the fixed rules for a letter
// that the guess holds two or three times.
#include "game/gameplay.h"

#include <gtest/gtest.h>

namespace {

// States written as letters: G green, O orange, X gray.
std::string Marks(std::string_view AWord, std::string_view AGuess) {
    std::string text;
    for (TLetterState state : MarkGuess(AWord, AGuess))
        text += state == TLetterState::lsGreen ? 'G' : state == TLetterState::lsOrange ? 'O' : 'X';
    return text;
}

struct TMarkCase {
    const char* Word;
    const char* Guess;
    const char* Expected;
    const char* Why;
};

const TMarkCase CASES[] = {
    // The four worked examples.
    {"ABBEY", "BOBBY", "OXGXG", "three B, two in word: Spot1 needs Spot2 and Spot3 green"},
    {"STEEL", "EERIE", "OOXXO", "three E, two in word, none green: all orange"},
    {"THEME", "EERIE", "OOXXG", "three E, two in word: Spot2 needs Spot1 and Spot3 green"},
    {"CRANE", "SPEED", "XXOXX", "two E, one in word, none green: Spot1 orange, Spot2 gray"},
    // No repeated letters.
    {"CRANE", "CRANE", "GGGGG", "all green"},
    {"CRANE", "NACRE", "OOOOG", "every letter elsewhere"},
    {"CRANE", "BUILT", "XXXXX", "no letter in the word"},
    {"CRANE", "TRACE", "XGGOG", "mixed"},
    {"SHEEP", "EPOCH", "OOXXO", "a guess letter once, the word holding it twice"},
    // The about screen's example for ARMED.
    {"ARMED", "PLANK", "XXOXX", "about example row 1"},
    {"ARMED", "RANGE", "OOXXO", "about example row 2"},
    {"ARMED", "TREAT", "XGOOX", "about example row 3: a doubled letter not in the word"},
    {"ARMED", "AROSE", "GGXXO", "about example row 4"},
    // Two of a letter in the guess.
    {"ALOFT", "AGAIN", "GXXXX", "one in word, green first: Spot2 gray"},
    {"TOWEL", "EMBER", "XXXGX", "one in word, green second: Spot1 gray"},
    {"ALOFT", "LLAMA", "XGOXX", "L green second grays Spot1; A none green: Spot1 orange"},
    {"CRANE", "LLAMA", "XXGXX", "one in word, green first, Spot2 gray; L not in word"},
    {"SHEEP", "EMBER", "OXXGX", "two in word: Spot1 stays orange beside a green Spot2"},
    {"GEESE", "EMBER", "OXXOX", "three in word: both orange"},
    // Three of a letter in the guess, one in the word.
    {"AFTER", "EERIE", "OXOXX", "none green: Spot1 orange, Spot2 and Spot3 gray"},
    {"THOSE", "EERIE", "XXXXG", "Spot3 green grays Spot1"},
    {"TEPID", "EERIE", "XGXGX", "Spot2 green grays Spot1 and Spot3"},
    {"EARTH", "EERIE", "GXGXX", "Spot1 green, Spot2 and Spot3 gray"},
    // Three of a letter in the guess, two in the word.
    {"ABBEY", "BBBEY", "XGGGG", "Spot2 and Spot3 green gray Spot1"},
    {"LEVEL", "LOLOL", "GXXXG", "Spot1 and Spot3 green gray Spot2"},
    {"LEVEL", "LULLS", "GXOXX", "Spot1 green grays Spot3; Spot2 needs Spot3 green too"},
    // Counts the rules do not list stay orange.
    {"GEESE", "EERIE", "OGXXG", "three in guess, three in word"},
    {"THEME", "EEEEX", "OOGOX", "four in guess"},
    {"CRANE", "EEEEE", "OOOOG", "five in guess"},
};

TEST(Marking, WorkedExamplesAndRepeatedLetters) {
    for (const TMarkCase& c : CASES)
        EXPECT_EQ(Marks(c.Word, c.Guess), c.Expected)
            << c.Word << " / " << c.Guess << ": " << c.Why;
}

TEST(Marking, ShortTextsNeverMatchBeyondTheirEnd) {
    EXPECT_EQ(Marks("CRANE", "CRA"), "GGGXX");
    EXPECT_EQ(Marks("", "CRANE"), "XXXXX");
    EXPECT_EQ(Marks("CR", "RCRCR"), "OOXXX"); // extra R and C occurrences find nothing to match
}

} // namespace
