// The one runner of whole-screen and whole-file fixtures.
#include "tests/support/shots.h"

#include "door/term/cp437.h"
#include "door/term/screen.h"
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
    for (std::string line : ALines) out += line.erase(line.find_last_not_of(AFill) + 1) + '\n';
    out.erase(out.find_last_not_of('\n') + 1);
    return out.empty() ? out : out + '\n';
}

const std::string kPath = std::string(GLIMRA_SOURCE_DIR) + "/tests/fixtures/";

} // namespace

std::string Shot(const TCellReader& ACells) {
    std::vector<std::string> text(TScreen::Height), map(TScreen::Height);
    std::map<std::uint8_t, char> legend;
    for (int row = 1; row <= TScreen::Height; ++row)
        for (int col = 1; col <= TScreen::Width; ++col) {
            const auto [ch, attr] = ACells(col, row);
            Cp437AppendUtf8(text[row - 1], ch);
            if (attr > 15 && !legend.count(attr))
                legend[attr] = static_cast<char>('a' + legend.size());
            map[row - 1] += attr > 15 ? legend[attr] : "0123456.89ABCDEF"[attr];
        }
    std::string head = "@@";
    for (const auto& [attr, mark] : legend)
        head += {' ', mark, '=', "0123456789ABCDEF"[attr >> 4], "0123456789ABCDEF"[attr & 15]};
    return Trimmed(text, ' ') + head + '\n' + Trimmed(map, '.');
}

std::string Shot(const TScreen& AScreen) {
    return Shot(
        [&](int c, int r) { return std::pair(AScreen.CharAt(c, r), AScreen.AttrAt(c, r)); });
}

std::string Shot(const TVTermScreen& AScreen) {
    return Shot([&](int c, int r) { return std::pair(AScreen.Char(c, r), AScreen.Attr(c, r)); });
}

std::string ReadFile(const std::string& APath) {
    std::ifstream in(APath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& APath, const std::string& ABytes) {
    std::ofstream(APath, std::ios::binary) << ABytes;
}

std::string Fixture(const std::string& AName) {
    return ReadFile(kPath + AName);
}

void ExpectFixture(const std::string& AName, const std::string& AActual) {
    const char* mode = std::getenv("GLIMRA_FIXTURES");
    if (mode != nullptr && std::string(mode) == "write") {
        WriteFile(kPath + AName, AActual);
        return;
    }
    EXPECT_EQ(AActual, Fixture(AName)) << "fixture " << AName;
}

namespace {

std::string Unescaped(const std::string& AText) {
    std::string out;
    for (std::size_t i = 0; i < AText.size(); ++i) {
        const char c = AText[i] == '\\' && i + 1 < AText.size() ? AText[++i] : 0;
        if (c == 'x')
            out += static_cast<char>(std::stoi(AText.substr(i + 1, 2), nullptr, 16)), i += 2;
        else if (c)
            out += std::string("\x1b\r\n\t\0\\", 6)[std::string("ernt0\\").find(c)];
        else
            out += AText[i];
    }
    return out;
}

std::string Escaped(const std::string& AText) {
    std::string out;
    for (const unsigned char c : AText) {
        const auto named = std::string("\x1b\r\n\t\0\\", 6).find(static_cast<char>(c));
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        out += named != std::string::npos ? std::string{'\\', "ernt0\\"[named]}
               : c < 0x20 || c >= 0x7F    ? std::string(hex)
                                          : std::string(1, static_cast<char>(c));
    }
    return out;
}

} // namespace

void CheckCases(
    const std::string& AName, std::size_t AInputs,
    const std::function<std::vector<std::string>(const std::vector<std::string>&)>& ARun) {
    const bool write = std::getenv("GLIMRA_FIXTURES") != nullptr;
    std::istringstream in(Fixture(AName));
    std::string written;
    int cases = 0;
    for (std::string line; std::getline(in, line); written += line + '\n') {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        for (std::size_t at = 0, end = 0; end != std::string::npos; at = end + 4)
            fields.push_back(Unescaped(line.substr(at, (end = line.find(" => ", at)) - at)));
        fields.resize(std::max(fields.size(), AInputs));
        const std::vector<std::string> inputs(fields.begin(), fields.begin() + AInputs);
        const std::vector<std::string> outputs = ARun(inputs);
        ++cases;
        if (!write) {
            EXPECT_EQ(std::vector(fields.begin() + AInputs, fields.end()), outputs)
                << AName << ": " << line;
            continue;
        }
        line.clear();
        for (const auto& field : inputs) line += Escaped(field) + " => ";
        for (const auto& field : outputs) line += Escaped(field) + " => ";
        line.resize(line.size() - 4);
    }
    EXPECT_GT(cases, 0) << "no cases in " << AName;
    if (write) WriteFile(kPath + AName, written);
}
