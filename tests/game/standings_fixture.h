// A local door session over a real glimradb.db in a temporary working directory that also holds
// the header art, for the boards and bulletins: the screen is read from the local screen model.
#pragma once

#include "gamedb_fixture.h"

#include "door/ansi.h"
#include "door/console.h"
#include "door/screen.h"

#include <filesystem>
#include <string>

class StandingsTest : public GameDbTest {
  protected:
    void SetUp() override {
        GameDbTest::SetUp();
        ConsoleUseHeadless();
        AnsiReset();
        DoorSession = {};
        DoorDropInfo = {}; // ComType 0: a local session, nothing is sent
        DoorDropInfo.Alias = "Bob";
        MakeDatabase({"cider"});
        std::filesystem::copy_file(std::string(GLIMRA_SOURCE_DIR) + "/data/art/del_glimra.ans",
                                   Dir / "del_glimra.ans");
        SavedDir = std::filesystem::current_path();
        std::filesystem::current_path(Dir);
    }

    void TearDown() override {
        std::filesystem::current_path(SavedDir);
        while (ConsoleKeyPressed()) ConsoleReadKey();
        AnsiReset();
        DoorDropInfo = {};
        GameDbTest::TearDown();
    }

    // A score row written as the game writes it, on a connection of its own.
    void AddScore(const std::string& AName, const std::string& ADate, int AScore) {
        SqlConnection conn(GameDatabaseFile);
        SqlStatement(conn, "insert into tblScores (strUserName, dtDate, intScore) values (?,?,?)")
            .Bind(1, AName)
            .Bind(2, ADate)
            .Bind(3, std::int64_t{AScore})
            .Execute();
    }

    // Runs a screen that ends on one key: it must take exactly one of the keys queued (a wait
    // with no key left to come would end the process instead).
    static void RunScreen(void (*AScreen)()) {
        ConsolePushKeys("x!");
        AScreen();
        ASSERT_TRUE(ConsoleKeyPressed()) << "the screen read more than one key";
        EXPECT_EQ(ConsoleReadKey(), '!');
        EXPECT_FALSE(ConsoleKeyPressed()) << "the screen read no key";
    }

    // ALength characters of a row from a column.
    static std::string Text(int ACol, int ARow, int ALength) {
        return LocalScreen().RowText(ARow).substr(static_cast<std::size_t>(ACol - 1),
                                                  static_cast<std::size_t>(ALength));
    }

    // True when every cell from ACol to ALastCol of the row has attribute AAttr.
    static bool AttrRun(int ACol, int ALastCol, int ARow, std::uint8_t AAttr) {
        for (int col = ACol; col <= ALastCol; ++col)
            if (LocalScreen().AttrAt(col, ARow) != AAttr) return false;
        return true;
    }

    std::filesystem::path SavedDir;
};
