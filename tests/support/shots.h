// Whole-screen expectations: a screen as plain text (UTF-8, trailing blanks cut) and an
// attribute map, compared with a fixture file in tests/fixtures/. Map cells: '.' is light gray
// on black, a hex digit another colour on black, a letter any other attribute as the legend on
// the "@@" line says. GLIMRA_FIXTURES=write writes the files instead (review them before use).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TScreen;
class TVTermScreen;

// The character and attribute of a cell, by 1-based column and row.
using TCellReader = std::function<std::pair<std::uint8_t, std::uint8_t>(int, int)>;

std::string Shot(const TCellReader& ACells);
std::string Shot(const TScreen& AScreen);
std::string Shot(const TVTermScreen& AScreen);

// The bytes of a file (of tests/fixtures/AName), or empty.
std::string ReadFile(const std::string& APath);
// Writes the file APath with exactly these bytes (no line-end translation on any system).
void WriteFile(const std::string& APath, const std::string& ABytes);
std::string Fixture(const std::string& AName);
// Adds a failure with both texts unless AActual equals the fixture AName.
void ExpectFixture(const std::string& AName, const std::string& AActual);

// A table of cases in tests/fixtures/AName, one a line: AInputs fields, then the expected
// outputs, separated by " => ", with \\e \\r \\n \\t \\0 \\\\ and \\xHH escapes ('#' starts a
// comment line). ARun gives the outputs of the inputs; GLIMRA_FIXTURES=write writes them in.
void CheckCases(
    const std::string& AName, std::size_t AInputs,
    const std::function<std::vector<std::string>(const std::vector<std::string>&)>& ARun);
