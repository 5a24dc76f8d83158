// ANSI escape sequences for the caller's terminal, and the emulator that carries the same byte
// stream out on the local screen so the sysop's console mirrors the caller's.
#pragma once

#include "door/term/sgr.h"

#include <array>
#include <cstdint>
#include <string>

// Cursor moves and clearing; every builder returns the full sequence and changes nothing.
std::string AnsiCursorDown(std::uint8_t n);
std::string AnsiCursorLeft(std::uint8_t n);
std::string AnsiCursorRight(std::uint8_t n);
std::string AnsiGotoXY(std::uint8_t x, std::uint8_t y);
std::string AnsiGotoX(std::uint8_t x);
std::string AnsiClrScr();

// Colours are PC palette numbers. ACurrent is the attribute the caller's terminal has before the
// sequence: a dark colour and blink off restate its background (and colour), as they reset it.
std::string AnsiTextBackground(std::uint8_t k);
std::string AnsiTextColour(std::uint8_t k, std::uint8_t ACurrent);
std::string AnsiTextAttr(std::uint8_t a, std::uint8_t ACurrent);
std::string AnsiBlink(bool on, std::uint8_t ACurrent);

// Shows AText on the local screen, carrying out its escape sequences, then lets the console
// back-end show the change. A sequence cut between two calls is completed by the next call.
void AnsiWrite(const std::string& AText);

// Clears the emulator's parser state and saved values and resets the local screen model to its
// start state (for tests and tools that draw several independent screens).
void AnsiReset();
