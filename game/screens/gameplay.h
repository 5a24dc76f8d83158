// One game for the game date: the board screen, the guess checks against the two word lists,
// the marking of every letter (green, orange, gray) and the caller's stored score.
#pragma once

#include "game/rules/marking.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The background colour number sent for a letter state.
std::uint8_t LetterStateBackground(TLetterState AState);

// The game's shared values, reset at the start of each game or guess.
extern std::string WordGuess;    // the guess being read, upper-cased once accepted
extern std::int32_t OutsideLoop; // the guess number, 1 to 6
extern std::array<std::int32_t, 6> PossiblePoints; // points for a win on guess n at index n - 1
extern std::int32_t Winner;                        // green positions of the current guess
extern std::int32_t WordCheck;                     // matches of the dictionary lookups
extern std::string GreenLetters; // letters of the current guess marked green so far

// The winner message shown blinking after a win. Defined here, in the game module that shows
// it; the configuration reader of the program entry sets it from line 3 of "bbsglimra.cfg".
extern std::string StrWinnerText;

// Redraws one letter of the letter chart: on green when GreenLetters holds it, otherwise in
// the colours currently set. Characters other than A to Z draw nothing.
void GrayOutLetter(char Letter);

// True when AGuess is in the accepted words (any letter case) or in the answer words.
bool GuessInWordLists(const std::string& AGuess);

// Plays the word of the game date (Day, Month, Year) with the caller: stores a 0 score first,
// reads up to six guesses, stores the points of a win, shows the word and waits for a key.
void Game();
