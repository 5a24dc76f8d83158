// The one runner of whole-screen and whole-file fixtures.
#include "tests/support/shots.h"

#include "door/cp437.h"
#include "door/screen.h"
#include "tests/support/vterm_screen.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace {

// Cuts trailing AFill characters from every line and trailing empty lines from AText.
std::string Trimmed(const std::vector<std::string>& ALines, char AFill) {
    std::string out;
    std::size_t pending = 0; // empty lines held back until a non-empty one follows
    for (std::string line : ALines) {
        line.erase(line.find_last_not_of(AFill) + 1);
        if (line.empty()) {
            ++pending;
            continue;
        }
        out += std::string(pending, '\n') + line + '\n';
        pending = 0;
    }
    return out;
}

const std::string kPath = std::string(GLIMRA_SOURCE_DIR) + "/tests/fixtures/";

} // namespace

std::string Shot(const TCellReader& ACells) {
    std::vector<std::string> text, map;
    std::map<std::uint8_t, char> legend;
    for (int row = 1; row <= TScreen::Height; ++row) {
        text.emplace_back();
        map.emplace_back();
        for (int col = 1; col <= TScreen::Width; ++col) {
            const auto [ch, attr] = ACells(col, row);
            Cp437AppendUtf8(text.back(), ch);
            char mark = "0123456.89ABCDEF"[attr & 15];
            if (attr > 15) {
                if (!legend.count(attr)) legend[attr] = static_cast<char>('a' + legend.size());
                mark = legend[attr];
            }
            map.back() += mark;
        }
    }
    std::ostringstream head;
    head << "@@";
    for (const auto& [attr, mark] : legend)
        head << ' ' << mark << '=' << "0123456789ABCDEF"[attr >> 4]
             << "0123456789ABCDEF"[attr & 15];
    return Trimmed(text, ' ') + head.str() + '\n' + Trimmed(map, '.');
}

std::string Shot(const TScreen& AScreen) {
    return Shot(
        [&](int c, int r) { return std::pair(AScreen.CharAt(c, r), AScreen.AttrAt(c, r)); });
}

std::string Shot(const TVTermScreen& AScreen) {
    return Shot([&](int c, int r) { return std::pair(AScreen.Char(c, r), AScreen.Attr(c, r)); });
}

std::string Fixture(const std::string& AName) {
    std::ifstream in(kPath + AName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void ExpectFixture(const std::string& AName, const std::string& AActual) {
    const char* mode = std::getenv("GLIMRA_FIXTURES");
    if (mode != nullptr && std::string(mode) == "write") {
        std::ofstream(kPath + AName, std::ios::binary) << AActual;
        return;
    }
    EXPECT_EQ(AActual, Fixture(AName)) << "fixture " << AName;
}
