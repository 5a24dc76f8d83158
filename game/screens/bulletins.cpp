// The bulletin files: built whole in memory from the scores table and the header art, then put in
// place with one rename so that the BBS and other nodes only ever see complete files.
#include "game/screens/bulletins.h"

#include "door/door.h"
#include "game/rules/gamedate.h"
#include "game/screens/theme.h"
#include "game/screens/today.h"
#include "game/store/database.h"
#include "game/store/scores.h"
#include "game/store/totals.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>

const std::string BULLETIN_FILE = "bulletin.ans";
const std::string BULLETIN2_FILE = "bulletin2.ans";
const std::string BULLETIN_ART_FILE = "del_glimra.ans";

namespace {

const std::string CRLF = "\r\n";
const std::string ESC = "\x1b";

// Header art beyond this size is not art; it is left out rather than read into memory.
constexpr std::uintmax_t MAX_ART_BYTES = 4 * 1024 * 1024;

// The title: GLIMRA in six lines of plain ASCII, shown in the banner's bright yellow.
constexpr const char* TITLE[6] = {
    R"(                _____    _       _   _     _   _____      _)",
    R"(               / ____)  | |     | | | \   / | |  __ \    / \)",
    R"(               | |  __  | |     | | |  \_/  | | |__) )  / _ \)",
    R"(               | | |_ \ | |     | | | |\_/| | |  _  /  / /_\ \)",
    R"(               | |__| | | |___  | | | |   | | | | \ \  |  _  |)",
    R"(               \_____/  |_____) |_| |_|   |_| |_|  \_\ |_| |_|)",
};

std::string Banner() {
    return ESC + "[0;1;40;33m" + std::string(30, ' ') + "BBS CONTESTRIA";
}

std::string Invitation() {
    return ESC + "[0;1;40;32m" + std::string(22, ' ') + "PLAY TODAY!  NEW WORD EVERY DAY!" + ESC +
           "[0m";
}

std::string DateLine() {
    return ESC + "[32m" + ESC + "[15C" + std::string(10, ' ') + "Glimra Scores for " +
           std::to_string(Month) + "/" + std::to_string(Day) + "/" + std::to_string(Year);
}

// 79 columns of green on green.
std::string GreenBar() {
    std::string bar = ESC + "[0;42;32m";
    for (int i = 0; i < 37; ++i) bar += "\xC2\xB0";
    return bar + "   \xC2\xB0" + ESC + "[0m";
}

// The top five of today, of the month and of all time; unfilled places read NOBODY and 0.
struct TTopFives {
    std::array<std::string, 5> StrDHS, StrMHS, StrAHS;
    std::array<std::int32_t, 5> IntDHS{}, IntMHS{}, IntAHS{};
    TTopFives() {
        StrDHS.fill("NOBODY");
        StrMHS.fill("NOBODY");
        StrAHS.fill("NOBODY");
    }
};

// Copies the first five rows into the list, best first, the names cut to 19.
template <typename TRow>
void CopyTopFive(const std::vector<TRow>& ARows, std::int64_t TRow::*AScore,
                 std::array<std::string, 5>& ANames, std::array<std::int32_t, 5>& AScores) {
    for (std::size_t k = 0; k < 5 && k < ARows.size(); ++k) {
        ANames[k] = PlayerName(ARows[k].UserName, ARows[k].Board, 19);
        AScores[k] = static_cast<std::int32_t>(ARows[k].*AScore);
    }
}

TTopFives FillTopFives() {
    TTopFives lists;
    CopyTopFive(DayTopScores(GameDay(Day), 5), &TDayScore::Score, lists.StrDHS, lists.IntDHS);
    CopyTopFive(TopMonthTotals(Year, Month, 5), &TScoreTotal::Total, lists.StrMHS, lists.IntMHS);
    CopyTopFive(TopAllTimeTotals(5), &TScoreTotal::Total, lists.StrAHS, lists.IntAHS);
    return lists;
}

std::string Blanks(std::size_t AWidth, std::size_t AUsed) {
    return std::string(AUsed < AWidth ? AWidth - AUsed : 0, ' ');
}

// The heading and five pairs of lines: names, then their scores in the same columns.
std::string ScoreTable(const TTopFives& ALists) {
    const std::string bright = ESC + "[0;1;40;32m";
    std::string table =
        ESC + "[0;40;32m" + "         Daily                 Monthly               All-Time" + CRLF;
    for (std::size_t k = 0; k < 5; ++k) {
        const std::string place = std::to_string(k + 1) + ".";
        table += bright + std::string(10, ' ') + place + ALists.StrDHS[k] +
                 Blanks(20, ALists.StrDHS[k].size()) + place + ALists.StrMHS[k] +
                 Blanks(20, ALists.StrMHS[k].size()) + place + ALists.StrAHS[k] + CRLF;
        const std::string daily = std::to_string(ALists.IntDHS[k]);
        const std::string monthly = std::to_string(ALists.IntMHS[k]);
        table += bright + std::string(12, ' ') + daily + Blanks(22, daily.size()) + monthly +
                 Blanks(22, monthly.size()) + std::to_string(ALists.IntAHS[k]) + CRLF;
    }
    return table;
}

// The art file's text up to a Ctrl-Z, or nothing when it cannot be read.
std::optional<std::string> ReadArt() {
    std::error_code ec;
    const auto size = std::filesystem::file_size(BULLETIN_ART_FILE, ec);
    if (ec || size > MAX_ART_BYTES) return std::nullopt;
    std::ifstream in(BULLETIN_ART_FILE, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text(static_cast<std::size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) return std::nullopt;
    text.resize(static_cast<std::size_t>(in.gcount()));
    const auto ctrlZ = text.find('\x1a');
    if (ctrlZ != std::string::npos) text.resize(ctrlZ);
    return text;
}

// The lines of AText (ended by CR, LF or CR LF) each ended by CR LF.
std::string WithCrLf(const std::string& AText) {
    std::string out;
    out.reserve(AText.size() + AText.size() / 16);
    std::size_t start = 0;
    for (std::size_t i = 0; i < AText.size(); ++i) {
        const char ch = AText[i];
        if (ch != '\r' && ch != '\n') continue;
        out.append(AText, start, i - start);
        out += CRLF;
        if (ch == '\r' && i + 1 < AText.size() && AText[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < AText.size()) out.append(AText, start, std::string::npos) += CRLF;
    return out;
}

// A name for a temporary file beside AFileName that no other process will pick.
std::string TemporaryName(const std::string& AFileName) {
    static std::random_device entropy;
    char suffix[20];
    std::snprintf(suffix, sizeof suffix, ".%08x%08x", entropy(), entropy());
    return AFileName + suffix + ".tmp";
}

// The file that writing AFileName reaches: a sysop may have linked the bulletin to a file in
// the BBS's own text directory, and that file, not the link, is the one to replace.
std::string WriteTarget(const std::string& AFileName) {
    std::filesystem::path path = AFileName;
    std::error_code ec;
    // A link may point at a file not made yet; follow a few links by hand, as opening would.
    for (int hop = 0; hop < 8 && std::filesystem::is_symlink(path, ec); ++hop) {
        const auto link = std::filesystem::read_symlink(path, ec);
        if (ec) break;
        path = link.is_absolute() ? link : path.parent_path() / link;
    }
    return path.string();
}

// Replaces AFileName by AText in one step: the text is written to a new file in the same
// directory, which is then renamed over the old one. False (and the old file untouched) when
// either step fails.
bool ReplaceFile(const std::string& AFileName, const std::string& AText) {
    const std::string target = WriteTarget(AFileName);
    std::string temporary;
    std::FILE* file = nullptr;
    for (int attempt = 0; attempt < 8 && !file; ++attempt) {
        temporary = TemporaryName(target);
        file = std::fopen(temporary.c_str(), "wbx"); // never reuses an existing file
    }
    if (!file) return false;
    const bool written = std::fwrite(AText.data(), 1, AText.size(), file) == AText.size();
    const bool closed = std::fclose(file) == 0;
    std::error_code ec;
    if (written && closed) std::filesystem::rename(temporary, target, ec);
    if (!written || !closed || ec) {
        std::filesystem::remove(temporary, ec);
        return false;
    }
    return true;
}

} // namespace

void WriteBulletin() {
    DoorClrScr();
    DoorTextColour(COLOUR_GREEN);
    DoorWrite("Writing Bulletins and Returning Back To BBS");
    DoorTextColour(COLOUR_BLACK);
    DoorTextBackground(COLOUR_BLACK);
    GetToday();

    std::string text = Banner() + CRLF;
    for (const char* line : TITLE) text += line + CRLF;
    text += DateLine() + CRLF + GreenBar() + CRLF + Invitation() + CRLF;
    text += ScoreTable(FillTopFives());
    ReplaceFile(BULLETIN_FILE, text);

    WriteBulletin2();
    DoorTextColour(COLOUR_LIGHT_GRAY);
    DoorTextBackground(COLOUR_BLACK);
}

void WriteBulletin2() {
    DoorTextColour(COLOUR_BLACK);
    DoorTextBackground(COLOUR_BLACK);
    const std::optional<std::string> art = ReadArt();
    if (!art) return;
    const std::string text =
        Banner() + CRLF + WithCrLf(*art) + Invitation() + CRLF + CRLF + ScoreTable(FillTopFives());
    ReplaceFile(BULLETIN2_FILE, text);
}
