// The door directory every end-to-end test of the game starts from (makedb's database with the
// word "cider" on given days, the art, a configuration), the launch of bbsglimra as a BBS node,
// and checks of the database and of the bytes a caller received.
#pragma once

#include "game/sqldb.h"
#include "tests/support/harness.h"
#include "tests/support/shots.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string_view>

namespace fs = std::filesystem;

inline const std::string kDoor = std::string(GLIMRA_BINARY_DIR) + "/bbsglimra";
inline const std::string kToday = "2026-03-15"; // a Sunday; the 1st is treated apart

// The database makedb builds, made once per test program; the door's directory from it.
inline void InstallGlimra(const fs::path& ADir, const std::string& AConfig = "0\n300\nWell done!\n",
                          const std::vector<std::string>& AWordDates = {kToday}) {
    static const fs::path made = [] {
        const fs::path db =
            fs::temp_directory_path() / ("glimra-e2e-" + std::to_string(::getpid()) + ".db");
        const std::string command = "cd " GLIMRA_SOURCE_DIR " && " +
                                    std::string(GLIMRA_BINARY_DIR) + "/makedb -o " + db.string() +
                                    " >/dev/null";
        if (std::system(command.c_str()) != 0) throw std::runtime_error(command);
        std::atexit([] {
            fs::remove(fs::temp_directory_path() /
                       ("glimra-e2e-" + std::to_string(::getpid()) + ".db"));
        });
        return db;
    }();
    fs::copy_file(made, ADir / "glimradb.db", fs::copy_options::overwrite_existing);
    SqlConnection conn((ADir / "glimradb.db").string());
    for (const auto& date : AWordDates)
        SqlStatement(conn, "INSERT INTO tblWordsByDate VALUES (?, 'cider')")
            .Bind(1, date)
            .Execute();
    for (const char* art : {"header.ans", "del_glimra.ans", "menu.ans", "box.ans"})
        fs::copy_file(fs::path(GLIMRA_SOURCE_DIR) / "data/art" / art, ADir / art);
    if (!AConfig.empty()) std::ofstream(ADir / "bbsglimra.cfg") << AConfig;
}

// bbsglimra on the BBS's connection with a DOOR32.SYS for AAlias, at noon of ADate.
inline TLaunch Glimra(TBbs& ABbs, const std::string& AAlias = "Tester", int ANode = 1,
                      const std::string& ADate = kToday) {
    const auto drop = ABbs.Write("DOOR32.SYS", TBbs::Door32(2, ABbs.Handle(), AAlias, 60, ANode));
    return {.Binary = kDoor, .Args = {"-D" + drop.string()}, .FakeTime = ADate + " 12:00:00"};
}

inline std::string ReadFile(const fs::path& APath) {
    std::ifstream in(APath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::vector<std::string> Query(const fs::path& ADir, const std::string& ASql) {
    SqlConnection conn((ADir / "glimradb.db").string());
    SqlStatement query(conn, ASql);
    std::vector<std::string> rows;
    while (query.Step()) {
        std::string row;
        for (int i = 0; i < query.ColumnCount(); ++i) row += (i ? "|" : "") + query.ColumnText(i);
        rows.push_back(row);
    }
    return rows;
}

// The file is sound and every date has one word: what concurrent nodes must never break.
inline void ExpectSound(const fs::path& ADir) {
    EXPECT_EQ(Query(ADir, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    EXPECT_EQ(Query(ADir, "SELECT dtDate FROM tblWordsByDate GROUP BY dtDate HAVING COUNT(*) > 1"),
              std::vector<std::string>{});
}

inline bool Menu(TBbs& ABbs) {
    return ABbs.See(32, 23, "Version 2024.10.2") && ABbs.See(29, 12, "[1] Play Glimra");
}
inline bool Board(TBbs& ABbs) { // a board that waits for a key, the menu gone
    return ABbs.WaitFor([](const TVTermScreen& S) {
        return !S.Shows("Version 2024.10.2") && S.Shows("Press Any Key to Continue");
    });
}

// The first byte of AStream that the door's own screens never send (printable text, CP437
// glyphs, CR, LF, BS, CSI sequences with numeric parameters, with ATelnet offers and IAC IAC), or
// empty: a byte a name or a key carried.
inline std::string Foreign(const std::string& AStream, bool ATelnet = true) {
    for (std::size_t i = 0; i < AStream.size(); ++i) {
        const auto b = static_cast<unsigned char>(AStream[i]);
        const auto next = [&](std::size_t k) {
            return i + k < AStream.size() ? static_cast<unsigned char>(AStream[i + k]) : 0;
        };
        if (b == 0xFF && ATelnet && (next(1) == 0xFF || (next(1) >= 0xFB && next(1) <= 0xFE))) {
            i += next(1) == 0xFF ? 1 : 2;
        } else if (b == 0x1B && next(1) == '[') {
            i += 2;
            while (i < AStream.size() &&
                   std::string_view("0123456789;?").find(AStream[i]) != std::string_view::npos)
                ++i;
            if (i >= AStream.size() ||
                std::string_view("ABCDHJKfmsuhl").find(AStream[i]) == std::string_view::npos)
                return "bad sequence at " + std::to_string(i);
        } else if ((b < 0x20 && b != '\r' && b != '\n' && b != '\b') || b == 0x7F ||
                   (b == 0xFF && ATelnet)) {
            return "byte " + std::to_string(b) + " at " + std::to_string(i) + ": " +
                   AStream.substr(i > 20 ? i - 20 : 0, 40);
        }
    }
    return {};
}
