// The door directory every end-to-end test of the game starts from (makedb's database with the
// word "cider" on given days, the art, a configuration), bbsglimra started as a BBS node, and
// checks of the database and of the bytes a caller received.
#pragma once

#include "game/sqldb.h"
#include "tests/support/harness.h"
#include "tests/support/shots.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string_view>

namespace fs = std::filesystem;

inline const std::string kToday = "2026-03-15"; // a Sunday, past the 1st, which is treated apart

inline std::vector<std::string> Query(const fs::path& ADir, const std::string& ASql,
                                      const std::string& AValue = "") {
    SqlConnection conn((ADir / "glimradb.db").string());
    SqlStatement query(conn, ASql);
    if (ASql.find('?') != std::string::npos) query.Bind(1, AValue);
    std::vector<std::string> rows;
    while (query.Step()) {
        rows.emplace_back();
        for (int i = 0; i < query.ColumnCount(); ++i)
            rows.back() += (i ? "|" : "") + query.ColumnText(i);
    }
    return rows;
}

// makedb's database (made once per test program), "cider" on the dates, art, configuration.
inline void InstallGlimra(const fs::path& ADir, const std::string& AConfig = "0\n300\nWell done!\n",
                          const std::vector<std::string>& ADates = {kToday}) {
    static const std::string made = [] {
        const std::string db =
            fs::temp_directory_path() / ("glimra-" + std::to_string(::getpid()) + ".db");
        if (std::system(("cd " GLIMRA_SOURCE_DIR " && " GLIMRA_BINARY_DIR "/makedb -o " + db +
                         " >/dev/null")
                            .c_str()))
            throw std::runtime_error("makedb failed");
        std::atexit([] {
            fs::remove(fs::temp_directory_path() /
                       ("glimra-" + std::to_string(::getpid()) + ".db"));
        });
        return db;
    }();
    fs::copy_file(made, ADir / "glimradb.db", fs::copy_options::overwrite_existing);
    for (const auto& date : ADates)
        Query(ADir, "INSERT INTO tblWordsByDate VALUES (?, 'cider')", date);
    for (const char* art : {"header.ans", "del_glimra.ans", "menu.ans", "box.ans"})
        fs::copy_file(fs::path(GLIMRA_SOURCE_DIR) / "data/art" / art, ADir / art);
    if (!AConfig.empty()) std::ofstream(ADir / "bbsglimra.cfg") << AConfig;
}

// bbsglimra on the BBS's connection with a DOOR32.SYS for AAlias, at noon of ADate.
inline TLaunch Glimra(TBbs& ABbs, const std::string& AAlias = "Tester", int ANode = 1,
                      const std::string& ADate = kToday) {
    const auto drop = ABbs.Write("DOOR32.SYS", TBbs::Door32(2, ABbs.Handle(), AAlias, 60, ANode));
    return {.Binary = GLIMRA_BINARY_DIR "/bbsglimra",
            .Args = {"-D" + drop.string()},
            .FakeTime = ADate + " 12:00:00"};
}

inline std::string ReadFile(const fs::path& APath) {
    std::ifstream in(APath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The file is sound and every date has one word: what concurrent nodes must never break.
inline void ExpectSound(const fs::path& ADir) {
    EXPECT_EQ(Query(ADir, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    EXPECT_EQ(
        Query(ADir, "SELECT dtDate FROM tblWordsByDate GROUP BY 1 HAVING COUNT(*) > 1").size(), 0u);
}

inline bool Menu(TBbs& ABbs) {
    return ABbs.See(32, 23, "Version 2024.10.2") && ABbs.See(29, 12, "[1] Play Glimra");
}
inline bool Board(TBbs& ABbs) { // a board that waits for a key, the menu gone
    return ABbs.WaitFor([](const TVTermScreen& S) {
        return !S.Shows("Version 2024.10.2") && S.Shows("Press Any Key to Continue");
    });
}

// The first byte of AStream that the door's own screens never send, or empty. The door sends
// text, CP437 glyphs, CR, LF, BS, CSI sequences with numeric parameters and (ATelnet) telnet
// offers and IAC IAC; anything else was carried by a name or a key.
inline std::string Foreign(const std::string& AStream, bool ATelnet = true) {
    for (std::size_t i = 0; i < AStream.size(); ++i) {
        const auto b = static_cast<unsigned char>(AStream[i]),
                   next = static_cast<unsigned char>(AStream[i + 1]);
        if (b == 0xFF && ATelnet && (next == 0xFF || next >= 0xFB)) {
            i += next == 0xFF ? 1 : 2;
        } else if (b == 0x1B && next == '[') {
            i = AStream.find_first_not_of("0123456789;?", i + 2);
            if (i == std::string::npos ||
                std::string_view("ABCDHJKfmsuhl").find(AStream[i]) == std::string_view::npos)
                return "bad sequence at " + std::to_string(i);
        } else if ((b < 0x20 && b != '\r' && b != '\n' && b != '\b') || b == 0x7F ||
                   (b == 0xFF && ATelnet)) {
            return "byte " + std::to_string(b) + " in " + AStream.substr(i > 20 ? i - 20 : 0, 40);
        }
    }
    return {};
}
