// Shared by the end-to-end tests of many nodes, dropped callers and hostile callers: a door
// directory set up as a sysop would, nodes of the real bbsglimra started on it, and checks of
// the database and of the bytes a caller received.
#pragma once

#include "game/sqldb.h"
#include "tests/e2e/glimra_dir.h"
#include "tests/support/bbs_harness.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace glimra_e2e {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A directory of the test's own, removed with everything in it.
class TTempDir {
  public:
    TTempDir() {
        char path[] = "/tmp/glimranodes.XXXXXX";
        if (::mkdtemp(path) == nullptr) throw std::runtime_error("mkdtemp failed");
        FPath = path;
    }
    ~TTempDir() {
        std::error_code ec;
        fs::remove_all(FPath, ec);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const fs::path& Path() const { return FPath; }

  private:
    fs::path FPath;
};

inline std::string ReadFile(const fs::path& APath) {
    std::ifstream in(APath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// bbsglimra on ABbs's connection with a DOOR32.SYS for AAlias on node ANode, under faketime at
// noon of AToday.
inline TDoorLaunch GlimraLaunch(TBbsHarness& ABbs, const std::string& AAlias, int ANode = 1,
                                const std::string& AToday = kToday) {
    const auto dropFile =
        ABbs.WriteFile("DOOR32.SYS", TBbsHarness::Door32Sys(ABbs.DoorHandle(), 60, AAlias, ANode));
    TDoorLaunch launch;
    launch.Binary = kDoor;
    launch.Args = {"-D" + dropFile.string()};
    launch.Prefix = {"faketime", AToday + " 12:00:00"};
    return launch;
}

// One BBS node: its own connection and drop file (in the harness's directory), and the door.
struct TNode {
    std::string Alias;
    int Number;
    std::unique_ptr<TBbsHarness> Bbs = std::make_unique<TBbsHarness>();

    TNode(const std::string& AAlias, int ANumber) : Alias(AAlias), Number(ANumber) {}

    // Starts the door on the directory ADir (the harness's own when empty).
    void Start(const fs::path& ADir = {}) {
        TDoorLaunch launch = GlimraLaunch(*Bbs, Alias, Number);
        launch.WorkDir = ADir;
        Bbs->Start(launch);
    }

    const TVTermScreen& Screen() const { return Bbs->CallerScreen(); }
    void Send(const std::string& AKeys) const { Bbs->CallerSend(AKeys); }
    bool See(const std::function<bool(const TVTermScreen&)>& ACondition,
             std::chrono::milliseconds ALimit = 10s) const {
        return Bbs->CallerWaitForScreen(ACondition, ALimit);
    }
    bool See(int ACol, int ARow, const std::string& AText,
             std::chrono::milliseconds ALimit = 10s) const {
        return See(TextAt(ACol, ARow, AText), ALimit);
    }
    // The whole main menu: the version line and the art after it.
    bool SeeMenu(std::chrono::milliseconds ALimit = 10s) const {
        return See(32, 23, "Version 2024.10.2", ALimit) && See(29, 12, "[1] Play Glimra", ALimit);
    }
};

struct TScoreRow {
    std::string Name;
    std::string Date;
    std::int64_t Score;
};

inline std::vector<TScoreRow> ScoreRows(const fs::path& ADir) {
    SqlConnection conn((ADir / "glimradb.db").string());
    SqlStatement query(conn, "SELECT strUserName, dtDate, intScore FROM tblScores "
                             "ORDER BY dtDate, strUserName");
    std::vector<TScoreRow> rows;
    while (query.Step())
        rows.push_back({query.ColumnText(0), query.ColumnText(1), query.ColumnInt(2)});
    return rows;
}

// "ok" for a sound database file, else SQLite's list of what is wrong.
inline std::string IntegrityCheck(const fs::path& ADir) {
    SqlConnection conn((ADir / "glimradb.db").string());
    SqlStatement query(conn, "PRAGMA integrity_check");
    std::string result;
    while (query.Step()) result += query.ColumnText(0);
    return result;
}

// The dates that have more than one word; empty when every date has one.
inline std::vector<std::string> DatesWithSeveralWords(const fs::path& ADir) {
    SqlConnection conn((ADir / "glimradb.db").string());
    SqlStatement query(conn, "SELECT dtDate FROM tblWordsByDate GROUP BY dtDate "
                             "HAVING COUNT(*) > 1");
    std::vector<std::string> dates;
    while (query.Step()) dates.push_back(query.ColumnText(0));
    return dates;
}

// Describes the first byte of AStream that the door's own screens never send, or returns
// empty. The door sends printable text, CP437 glyphs, CR, LF and backspace, CSI sequences
// with numeric parameters (its own and those of its art files), and, with ATelnet, telnet
// offers (byte 255 is then doubled); a byte the caller typed or a name carried (any other control
// byte, ESC in another role) is foreign. Files are read with ATelnet false.
inline std::string ForeignOutput(const std::string& AStream, bool ATelnet = true) {
    auto describe = [&](std::size_t AAt) {
        return "byte " + std::to_string(static_cast<unsigned char>(AStream[AAt])) + " at " +
               std::to_string(AAt) + " in \"" + AStream.substr(AAt > 20 ? AAt - 20 : 0, 40) + "\"";
    };
    for (std::size_t i = 0; i < AStream.size(); ++i) {
        const auto byte = static_cast<unsigned char>(AStream[i]);
        if (byte == 0xFF && ATelnet) { // telnet: IAC IAC is a data byte, or an offer of an option
            if (i + 1 >= AStream.size()) return describe(i);
            const auto command = static_cast<unsigned char>(AStream[i + 1]);
            if (command == 0xFF) {
                ++i;
            } else if (command >= 0xFB && command <= 0xFE && i + 2 < AStream.size()) {
                i += 2;
            } else {
                return describe(i);
            }
        } else if (byte == 0x1B) {
            std::size_t j = i + 1;
            if (j >= AStream.size() || AStream[j] != '[') return describe(i);
            for (++j; j < AStream.size() && (std::isdigit(static_cast<unsigned char>(AStream[j])) ||
                                             AStream[j] == ';' || AStream[j] == '?');
                 ++j) {
            }
            if (j >= AStream.size() ||
                std::string_view("ABCDHJKfmsuhl").find(AStream[j]) == std::string_view::npos)
                return describe(i);
            i = j;
        } else if (byte < 0x20 && byte != '\r' && byte != '\n' && byte != '\b') {
            return describe(i);
        } else if (byte == 0x7F) {
            return describe(i);
        }
    }
    return {};
}

} // namespace glimra_e2e
