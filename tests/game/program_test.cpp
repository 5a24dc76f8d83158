// The main menu, its key table and the two boxes drawn over it, on the local screen model with
// keys typed at the local keyboard, over a small game database.
#include "door/ansi.h"
#include "door/console.h"
#include "door/door.h"
#include "door/screen.h"
#include "game/database.h"
#include "game/gamedate.h"
#include "game/program.h"
#include "game/sqldb.h"
#include "game/updatecheck.h"
#include "tests/support/httpserver.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// 15 March 2026, noon local time.
TDateTime FixedNow() {
    std::tm tm{};
    tm.tm_year = 2026 - 1900;
    tm.tm_mon = 2;
    tm.tm_mday = 15;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

std::string Text(int ACol, int ARow, std::size_t ALength) {
    return LocalScreen().RowText(ARow).substr(static_cast<std::size_t>(ACol - 1), ALength);
}

struct TScreenShot {
    std::string Rows;
    std::string Attrs;
    int Col;
    int Row;
    std::uint8_t Attr;
    bool operator==(const TScreenShot&) const = default;
};

TScreenShot Shot() {
    TScreenShot shot{"", "", LocalScreen().CursorColumn(), LocalScreen().CursorRow(),
                     LocalScreen().TextAttr()};
    for (int row = 1; row <= TScreen::Height; ++row) {
        shot.Rows += LocalScreen().RowText(row);
        for (int col = 1; col <= TScreen::Width; ++col)
            shot.Attrs.push_back(static_cast<char>(LocalScreen().AttrAt(col, row)));
    }
    return shot;
}

// A local session for the caller "Tester" in a fresh directory holding the art and a database
// with two words, on a fixed date.
class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FOld = fs::current_path();
        char dirName[] = "/tmp/glimra-program-XXXXXX";
        ASSERT_NE(::mkdtemp(dirName), nullptr);
        FDir = dirName;
        fs::current_path(FDir);
        for (const char* art : {"header.ans", "del_glimra.ans", "menu.ans", "box.ans"})
            fs::copy_file(fs::path(GLIMRA_SOURCE_DIR) / "data/art" / art, art);
        {
            SqlConnection conn("glimradb.db", SqlConnection::TOpenMode::Create);
            std::ifstream schema(fs::path(GLIMRA_SOURCE_DIR) / "data/schema.sql");
            std::stringstream sql;
            sql << schema.rdbuf();
            conn.Exec(sql.str());
            conn.Exec(
                "INSERT INTO tblWords (strWord) VALUES ('cider'), ('crane');"
                "INSERT INTO tblAllWords (strWord) VALUES ('cider'), ('crane');"
                "INSERT INTO tblWordsByDate (dtDate, strWord) VALUES ('2026-03-15', 'cider');");
        }
        GameDatabaseFile = "glimradb.db";
        FOldNow = DoorNow;
        DoorNow = &FixedNow;
        DoorDropInfo = TDoorDropInfo{};
        DoorDropInfo.Alias = "Tester";
        CheckVersion = false;
        NotFound = false;
        S.clear();
        ConsoleUseHeadless();
        LocalScreen().Reset();
        AnsiReset();
    }
    void TearDown() override {
        CloseGameDatabase();
        DoorNow = FOldNow;
        ::unsetenv("GLIMRA_UPDATE_URL");
        fs::current_path(FOld);
        fs::remove_all(FDir);
    }
    static void Score(const std::string& AName, const std::string& ADate, int AScore) {
        SqlStatement insert(
            OpenGameDatabase(),
            "INSERT INTO tblScores (strUserName, dtDate, intScore) VALUES (?, ?, ?)");
        insert.Bind(1, AName).Bind(2, ADate).Bind(3, std::int64_t{AScore});
        insert.Execute();
    }
    fs::path FOld;
    fs::path FDir;
    TDateTime (*FOldNow)() = nullptr;
};

TEST_F(ProgramTest, MenuDrawsVersionLineAndReleaseNoticeUnderTheArt) {
    Menu();
    EXPECT_EQ(Text(32, 23, 17), "Version 2024.10.2");
    EXPECT_EQ(LocalScreen().AttrAt(32, 23), 8);
    EXPECT_EQ(Text(58, 10, 12), "Daily Leader");
    EXPECT_EQ(Text(29, 12, 15), "[1] Play Glimra") << "the menu art is drawn last";
    EXPECT_EQ(Text(25, 24, 20), std::string(20, ' ')) << "no update check configured";
    EXPECT_EQ(LocalScreen().CursorColumn(), 1);
    EXPECT_EQ(LocalScreen().CursorRow(), 24);
    EXPECT_EQ(LocalScreen().TextAttr(), 0);

    TestHttpServer server;
    server.Serve("/glimraversion.txt", "2025.1.1");
    ::setenv("GLIMRA_UPDATE_URL", server.Url("/glimraversion.txt").c_str(), 1);
    CheckVersion = true;
    Menu();
    Menu();
    EXPECT_EQ(Text(25, 24, 32), "New Version 2025.1.1 Available! ");
    EXPECT_EQ(LocalScreen().AttrAt(25, 24), 14);
    EXPECT_EQ(server.Connections(), 2) << "each drawing asks again";
}

TEST_F(ProgramTest, KeysOutsideTheTableDrawNothing) {
    Menu();
    const TScreenShot before = Shot();
    // Digits without a screen, letters, Enter, Esc, and the cursor keys' codes H, P, K, M.
    for (char key : {'8', '9', '0', 'B', 'Z', '\r', '\x1b', ' ', 'H', 'P', 'K', 'M'}) {
        EXPECT_FALSE(MenuKey(key)) << int(key);
        EXPECT_TRUE(Shot() == before) << "key " << int(key) << " drew something";
    }
}

// A frame of half blocks from column ALeft to ARight around row 16.
void ExpectFrame(int ALeft, int ARight) {
    for (int col = ALeft + 1; col < ARight; ++col) {
        EXPECT_EQ(LocalScreen().CharAt(col, 15), 0xDF) << col;
        EXPECT_EQ(LocalScreen().CharAt(col, 17), 0xDC) << col;
    }
    for (int row = 15; row <= 17; ++row) {
        EXPECT_EQ(LocalScreen().CharAt(ALeft, row), 0xDE) << row;
        EXPECT_EQ(LocalScreen().CharAt(ARight, row), 0xDD) << row;
        EXPECT_EQ(LocalScreen().AttrAt(ARight, row), 10) << row;
    }
    EXPECT_NE(LocalScreen().CharAt(ARight + 1, 15), 0xDF);
    // The entries outside the box are dimmed.
    for (int row : {12, 13, 14, 18, 19, 20}) EXPECT_EQ(LocalScreen().AttrAt(29, row), 8) << row;
    EXPECT_EQ(Text(29, 20, 22), "[A] About/Instructions");
}

TEST_F(ProgramTest, BoxesOverTheMenu) {
    // Key 1 on a day already played asks; any key but Y closes the box.
    Score("Tester", "2026-03-15", 0);
    Menu();
    ConsolePushKeys("n");
    EXPECT_TRUE(MenuKey('1'));
    EXPECT_EQ(Text(15, 16, 53), "Day already played! Make up day or play ahead? (Y/N) ");
    EXPECT_EQ(LocalScreen().AttrAt(15, 16), 10);
    ExpectFrame(13, 68);
    EXPECT_EQ(LocalScreen().TextAttr(), 0);

    // Key 4 reads at most two digits in a white-on-blue field after the prompt.
    Menu();
    ConsolePushKeys("x32\r");
    EXPECT_TRUE(MenuKey('4'));
    EXPECT_EQ(DaySelect, "32");
    EXPECT_EQ(Text(29, 16, 23), " Select day to view: 32");
    EXPECT_EQ(LocalScreen().AttrAt(50, 16), 0x1F);
    ExpectFrame(28, 53);
    ConsolePushKeys("123\r ");
    MenuKey('4');
    EXPECT_EQ(DaySelect, "12");
    EXPECT_EQ(Text(31, 10, 22), "TOP TEN FOR 03/12/2026") << "and that day's board";
    ConsolePushKeys("\r");
    MenuKey('4');
    EXPECT_EQ(DaySelect, "");
}

TEST_F(ProgramTest, LoopEndsOnQuitKeys) {
    Menu();
    ConsolePushKeys("8q");
    MainLoop();
    EXPECT_EQ(MenuSelect, 'Q') << "lower-case q is stored as Q";
    // Page Down on the local keyboard arrives as the scan code 81, "Q".
    ConsolePushKeys(std::string("\0Q", 2));
    MainLoop();
    EXPECT_EQ(MenuSelect, 'Q');
    EXPECT_TRUE(DoorLastKey.Extended);
}

} // namespace
