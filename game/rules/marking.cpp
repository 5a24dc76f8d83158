// The marking of a guess against the word, letter by letter.
#include "game/rules/marking.h"

namespace {

char At(std::string_view AText, int APos) {
    return APos >= 0 && APos < static_cast<int>(AText.size())
               ? AText[static_cast<std::size_t>(APos)]
               : '\0';
}

// Position p (0-based) of the guess is green when it holds the word's letter there.
bool IsGreen(std::string_view AWord, std::string_view AGuess, int APos) {
    char g = At(AGuess, APos);
    return g != '\0' && g == At(AWord, APos);
}

int CountOf(std::string_view AText, char ACh) {
    int count = 0;
    for (int p = 0; p < WORD_LENGTH; ++p)
        if (At(AText, p) == ACh) ++count;
    return count;
}

// State of a guess letter that the word holds, but not at its position. CharCount2 is how
// often the letter occurs in the guess, CharCount how often in the word; Spot1..Spot3 are its
// positions in the guess. An occurrence beyond those the word can account for turns gray.
TLetterState MarkElsewhere(std::string_view AWord, std::string_view AGuess, int i) {
    const char letter = At(AGuess, i);
    const int CharCount2 = CountOf(AGuess, letter);
    const int CharCount = CountOf(AWord, letter);
    int spots[3] = {-1, -1, -1};
    int SpotCounter = 0;
    for (int p = 0; p < WORD_LENGTH && SpotCounter < 3; ++p)
        if (At(AGuess, p) == letter) spots[SpotCounter++] = p;
    const int Spot1 = spots[0], Spot2 = spots[1], Spot3 = spots[2];
    auto green = [&](int APos) { return IsGreen(AWord, AGuess, APos); };

    if (CharCount2 == 3) {
        if (i == Spot1 && CharCount == 2 && green(Spot2) && green(Spot3))
            return TLetterState::lsGray;
        if (i == Spot2 && CharCount == 2 && green(Spot1) && green(Spot3))
            return TLetterState::lsGray;
        if (i == Spot3 && CharCount == 2 && (green(Spot1) || green(Spot2)))
            return TLetterState::lsGray;
        if (i == Spot1 && CharCount == 1 && (green(Spot2) || green(Spot3)))
            return TLetterState::lsGray;
        if (i == Spot2 && CharCount == 1) return TLetterState::lsGray;
        if (i == Spot3 && CharCount == 1) return TLetterState::lsGray;
    } else if (CharCount2 == 2) {
        if (i == Spot1 && CharCount == 1 && green(Spot2)) return TLetterState::lsGray;
        if (i == Spot2 && CharCount == 1) return TLetterState::lsGray;
    }
    return TLetterState::lsOrange;
}

} // namespace

TGuessMarks MarkGuess(std::string_view AWord, std::string_view AGuess) {
    TGuessMarks marks{};
    for (int i = 0; i < WORD_LENGTH; ++i) {
        auto& mark = marks[static_cast<std::size_t>(i)];
        const char letter = At(AGuess, i);
        if (IsGreen(AWord, AGuess, i))
            mark = TLetterState::lsGreen;
        else if (letter != '\0' && CountOf(AWord, letter) > 0)
            mark = MarkElsewhere(AWord, AGuess, i);
        else
            mark = TLetterState::lsGray;
    }
    return marks;
}
