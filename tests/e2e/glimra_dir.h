// Shared by every end-to-end test of the game: where bbsglimra and makedb are, the day the door
// runs on, a door directory set up as a sysop would, and checks of text on the caller's screen.
#pragma once

#include "game/sqldb.h"
#include "tests/support/vterm_screen.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace glimra_e2e {

namespace fs = std::filesystem;

inline const std::string kDoor = std::string(GLIMRA_BINARY_DIR) + "/bbsglimra";
inline const std::string kMakeDb = std::string(GLIMRA_BINARY_DIR) + "/makedb";
inline const fs::path kSource = GLIMRA_SOURCE_DIR;

// The door runs under faketime at noon of this day: the 15th, so the leader panel shows the
// month's standings (it treats the 1st apart) and no run straddles midnight.
inline const std::string kToday = "2026-03-15";

// ALength characters of row ARow from column ACol on (both counted from 1).
inline std::string Text(const TVTermScreen& AScreen, int ACol, int ARow, std::size_t ALength) {
    return AScreen.RowText(ARow).substr(static_cast<std::size_t>(ACol - 1), ALength);
}

inline std::function<bool(const TVTermScreen&)> TextAt(int ACol, int ARow,
                                                       const std::string& AText) {
    return [=](const TVTermScreen& AScreen) {
        return Text(AScreen, ACol, ARow, AText.size()) == AText;
    };
}

inline std::function<bool(const TVTermScreen&)> Shows(const std::string& AText) {
    return [=](const TVTermScreen& AScreen) {
        return AScreen.Dump().find(AText) != std::string::npos;
    };
}

// A database as makedb builds it, made once per test program and copied for each directory.
inline const fs::path& TemplateDatabase() {
    static const fs::path path = [] {
        const fs::path db = fs::temp_directory_path() /
                            ("glimra_e2e_template_" + std::to_string(::getpid()) + ".db");
        const std::string command = "cd '" + kSource.string() + "' && '" + kMakeDb +
                                    "' --output '" + db.string() + "' >/dev/null";
        if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
        std::atexit([] {
            std::error_code ec;
            fs::remove(fs::temp_directory_path() /
                           ("glimra_e2e_template_" + std::to_string(::getpid()) + ".db"),
                       ec);
        });
        return db;
    }();
    return path;
}

// The door's directory: the database with "cider" as the word of each of AWordDates (the door
// itself gives the other days of the month theirs), the art files and the configuration AConfig
// (no configuration file when AConfig is empty).
inline void InstallGlimra(const fs::path& ADir, const std::string& AConfig,
                          const std::vector<std::string>& AWordDates = {kToday}) {
    const fs::path db = ADir / "glimradb.db";
    fs::copy_file(TemplateDatabase(), db, fs::copy_options::overwrite_existing);
    {
        SqlConnection conn(db.string());
        for (const auto& date : AWordDates)
            SqlStatement(conn, "INSERT INTO tblWordsByDate (dtDate, strWord) VALUES (?, 'cider')")
                .Bind(1, date)
                .Execute();
    }
    for (const char* art : {"header.ans", "del_glimra.ans", "menu.ans", "box.ans"})
        fs::copy_file(kSource / "data/art" / art, ADir / art, fs::copy_options::overwrite_existing);
    if (!AConfig.empty()) std::ofstream(ADir / "bbsglimra.cfg", std::ios::binary) << AConfig;
}

} // namespace glimra_e2e
