// The rules of one game: the five-letter word, the marking of every letter of a guess (green,
// orange, gray) and the points a win scores on each guess.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// Letters in the word and in every guess.
inline constexpr int WORD_LENGTH = 5;

// Points for a win on guess n at index n - 1: 320 on the first, halving down to 10 on the sixth.
inline constexpr std::array<std::int32_t, 6> GUESS_POINTS = {320, 160, 80, 40, 20, 10};

// The three letter states. Each is drawn as black text on its background: green 2 (right
// place), orange 14 (in the word elsewhere; reaches the caller as brown, SGR 43), gray 7 (not
// in the word, or an occurrence beyond those the word has).
enum class TLetterState { lsGreen, lsOrange, lsGray };
using TGuessMarks = std::array<TLetterState, 5>;

// Marks the five letters of AGuess against AWord (both upper case). Repeated letters follow
// fixed rules for two and three occurrences in the guess; see marking.cpp. Positions beyond
// the end of either text never match.
TGuessMarks MarkGuess(std::string_view AWord, std::string_view AGuess);
