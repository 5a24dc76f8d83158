// The installed art files drawn through the local ANSI emulator: each one paints only where its
// screen leaves room for it, and the menu entries land where the game greys them out.
#include "door/ansi.h"
#include "door/console.h"
#include "door/screen.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace {

const TScreenCell Untouched{0x01, 0x5A};

std::string ReadArt(const std::string& AName) {
    std::ifstream in(std::string(GLIMRA_SOURCE_DIR) + "/data/art/" + AName, std::ios::binary);
    EXPECT_TRUE(in) << AName;
    return {std::istreambuf_iterator<char>(in), {}};
}

// Splits a file as the door shows it: lines end at CR, LF or CR LF; Ctrl-Z ends the file.
std::vector<std::string> ArtLines(std::string AData) {
    AData = AData.substr(0, AData.find('\x1a'));
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < AData.size(); ++i) {
        if (AData[i] == '\r' || AData[i] == '\n') {
            if (AData[i] == '\r' && i + 1 < AData.size() && AData[i + 1] == '\n') ++i;
            lines.push_back(line);
            line.clear();
        } else {
            line += AData[i];
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

class ArtLayout : public ::testing::Test {
  protected:
    void SetUp() override {
        ConsoleUseHeadless();
        AnsiReset();
        // A remote session keeps row 25 for the status bar.
        LocalScreen().SetWindow(1, 1, 80, 24);
        const std::string marks(TScreen::Width, static_cast<char>(Untouched.Ch));
        for (int row = 1; row <= TScreen::Height; ++row)
            LocalScreen().WriteCells(1, row, marks, Untouched.Attr);
    }

    // Draws a file line by line with CR LF between the lines, from the given cursor position.
    void Draw(const std::string& AName, int ACol = 1, int ARow = 1) {
        LocalScreen().GotoXY(ACol, ARow);
        const auto lines = ArtLines(ReadArt(AName));
        ASSERT_FALSE(lines.empty()) << AName;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            AnsiWrite(lines[i]);
            if (i + 1 < lines.size()) AnsiWrite("\r\n");
        }
    }

    static bool Touched(int ACol, int ARow) { return LocalScreen().Cell(ACol, ARow) != Untouched; }

    // Every painted cell lies inside the rectangle; returns how many there are.
    static int ExpectPaintedOnlyIn(int ALeft, int ATop, int ARight, int ABottom) {
        int painted = 0;
        for (int row = 1; row <= TScreen::Height; ++row)
            for (int col = 1; col <= TScreen::Width; ++col) {
                if (!Touched(col, row)) continue;
                ++painted;
                EXPECT_TRUE(col >= ALeft && col <= ARight && row >= ATop && row <= ABottom)
                    << "painted at (" << col << ", " << row << ")";
            }
        return painted;
    }
};

TEST_F(ArtLayout, EveryFileShowsAsWrittenAndLeavesPlainColours) {
    const std::regex pipeCode("\\|[0-9A-Fa-f]{2}");
    for (const char* name : {"header.ans", "del_glimra.ans", "menu.ans", "box.ans"}) {
        SCOPED_TRACE(name);
        SetUp();
        const std::string data = ReadArt(name);
        // The door turns a bar and two hex digits into a colour, even inside an art file.
        EXPECT_FALSE(std::regex_search(data, pipeCode));
        Draw(name);
        // The screens after the art write text with a colour but keep the background it left.
        EXPECT_EQ(LocalScreen().TextAttr() & 0xF0, 0);
        // A glyph in column 80 wraps at once on the local console but lazily on a terminal.
        for (int row = 1; row <= TScreen::Height; ++row) EXPECT_FALSE(Touched(80, row)) << row;
        // The two titles stay above row 8.
        if (name == std::string("header.ans") || name == std::string("del_glimra.ans")) {
            EXPECT_GT(ExpectPaintedOnlyIn(1, 1, 79, 7), 300);
            for (int row = 1; row <= 5; ++row) EXPECT_TRUE(Touched(44, row)) << row;
        }
    }
}

// The bulletin copies del_glimra.ans below its own first line, so it must draw the same picture
// from wherever the cursor stands in column 1.
TEST_F(ArtLayout, DelGlimraDrawsTheSameFromAnyRow) {
    Draw("del_glimra.ans");
    std::vector<TScreenCell> top;
    for (int row = 1; row <= 7; ++row)
        for (int col = 1; col <= TScreen::Width; ++col) top.push_back(LocalScreen().Cell(col, row));

    SetUp();
    Draw("del_glimra.ans", 1, 12);
    std::size_t i = 0;
    for (int row = 12; row <= 18; ++row)
        for (int col = 1; col <= TScreen::Width; ++col, ++i)
            ASSERT_EQ(LocalScreen().Cell(col, row), top[i]) << "(" << col << ", " << row << ")";
    ExpectPaintedOnlyIn(1, 12, 79, 18);
}

TEST_F(ArtLayout, MenuEntriesSitBesideTheLeaderPanel) {
    Draw("menu.ans");
    const char* entries[] = {"[1] Play Glimra",   "[2] Score Card", "[3] Daily Champs",
                             "[4] View a Day",    "[5] Last Month", "[6] All-Time Board",
                             "[7] Recent Champs", "[Q] Quit",       "[A] About/Instructions"};
    for (int i = 0; i < 9; ++i) {
        const std::string text = entries[i];
        EXPECT_EQ(LocalScreen().RowText(12 + i).substr(28, text.size()), text);
        // The greyed-out copy the game writes over an entry must hide all of it.
        const int after = 29 + static_cast<int>(text.size());
        EXPECT_TRUE(!Touched(after, 12 + i) || LocalScreen().CharAt(after, 12 + i) == ' ');
    }
    for (int row = 1; row <= TScreen::Height; ++row)
        for (int col = 1; col <= TScreen::Width; ++col) {
            const bool title = row <= 7;
            const bool panel = col >= 56 && row >= 10 && row <= 21;
            const bool versionLines = row >= 23;
            if (title || panel || versionLines) {
                EXPECT_FALSE(Touched(col, row)) << "(" << col << ", " << row << ")";
            }
        }
}

TEST_F(ArtLayout, BoxFramesTheTilesWithoutCoveringThem) {
    Draw("box.ans");
    ExpectPaintedOnlyIn(31, 8, 50, 15);
    for (int row = 9; row <= 14; ++row) {
        for (int col = 38; col <= 42; ++col) EXPECT_FALSE(Touched(col, row));
        EXPECT_TRUE(Touched(37, row) && Touched(43, row)) << row;
    }
    for (int col = 38; col <= 42; ++col) EXPECT_TRUE(Touched(col, 8) && Touched(col, 15)) << col;
}

} // namespace
