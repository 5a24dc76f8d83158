// Fixture for the score boards and the calendar: a real database file in a temporary working
// directory with empty stand-ins for the art, and a local session whose keys are queued.
#pragma once

#include "door/console.h"
#include "gamedb_fixture.h"

class BoardsTest : public GameDbTest {
  protected:
    void SetUp() override {
        GameDbTest::SetUp();
        MakeDatabase({"crane"});
        FOldDir = std::filesystem::current_path();
        std::filesystem::current_path(Dir);
        // Art is drawn as it is; empty files keep the screen to what the game itself draws.
        for (const char* art : {"header.ans", "del_glimra.ans", "box.ans"})
            std::ofstream(art).flush();
        // A local session: output only on the local screen, keys from the local keyboard.
        DoorDropInfo.ComType = 0;
        DoorDropInfo.Alias = "Bob";
    }
    void TearDown() override {
        std::filesystem::current_path(FOldDir);
        GameDbTest::TearDown();
    }

    void AddScore(const std::string& AName, const std::string& ADate, int AScore) {
        SqlConnection conn(GameDatabaseFile);
        SqlStatement(conn, "INSERT INTO tblScores VALUES (?, ?, ?)")
            .Bind(1, AName)
            .Bind(2, ADate)
            .Bind(3, std::int64_t{AScore})
            .Execute();
    }

    static std::string TextAt(int ACol, int ARow, std::size_t ALength) {
        return LocalScreen().RowText(ARow).substr(static_cast<std::size_t>(ACol - 1), ALength);
    }
    static std::uint8_t AttrAt(int ACol, int ARow) { return LocalScreen().AttrAt(ACol, ARow); }
    // The row from ACol on, trailing blanks removed.
    static std::string RowFrom(int ARow, int ACol) {
        const std::string text = Row(ARow);
        return text.size() < static_cast<std::size_t>(ACol) ? "" : text.substr(ACol - 1);
    }
    // The expected text of a row from AFromCol on: each part at its column, blanks between.
    static std::string Placed(int AFromCol,
                              const std::vector<std::pair<int, std::string>>& AParts) {
        std::string text;
        for (const auto& [col, part] : AParts) {
            text.resize(static_cast<std::size_t>(col - AFromCol), ' ');
            text += part;
        }
        return text;
    }

    std::filesystem::path FOldDir;
};

// Attributes on the local screen: foreground | background << 4.
inline constexpr std::uint8_t ATTR_GREEN = 0x02;
inline constexpr std::uint8_t ATTR_BROWN = 0x06;
inline constexpr std::uint8_t ATTR_DARK_GRAY = 0x08;
inline constexpr std::uint8_t ATTR_LIGHT_GREEN = 0x0A;
inline constexpr std::uint8_t ATTR_YELLOW = 0x0E;
inline constexpr std::uint8_t ATTR_YELLOW_ON_GREEN = 0x2E;
