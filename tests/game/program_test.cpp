// The main menu, its key table and the two boxes drawn over it, on the local screen model with
// keys typed at the local keyboard, over a small game database.
#include "game/program.h"
#include "game/updatecheck.h"
#include "gamedb_fixture.h"
#include "tests/support/httpserver.h"

namespace {

// Every cell of the local screen, the cursor and the text attribute.
std::vector<int> Shot() {
    const TScreen& screen = LocalScreen();
    std::vector<int> shot{screen.CursorColumn(), screen.CursorRow(), screen.TextAttr()};
    for (int row = 1; row <= TScreen::Height; ++row)
        for (int col = 1; col <= TScreen::Width; ++col)
            shot.insert(shot.end(), {screen.CharAt(col, row), screen.AttrAt(col, row)});
    return shot;
}

// A local session in a directory holding the art and a database with two words, on 15 March
// 2026.
class ProgramTest : public BoardsTest {
  protected:
    void SetUp() override {
        BoardsTest::SetUp();
        for (const char* art : {"header.ans", "menu.ans", "box.ans"}) CopyArt(art);
        Sql("INSERT INTO tblWords (strWord) VALUES ('cider');"
            "INSERT INTO tblAllWords (strWord) VALUES ('cider'), ('crane');"
            "INSERT INTO tblWordsByDate (dtDate, strWord) VALUES ('2026-03-15', 'cider');");
        SetToday(2026, 3, 15);
        CheckVersion = NotFound = UpdateCheckRequested = false;
        S.clear();
    }
    void TearDown() override {
        ::unsetenv("GLIMRA_UPDATE_URL");
        BoardsTest::TearDown();
    }
};

TEST_F(ProgramTest, MenuDrawsVersionLineAndReleaseNoticeUnderTheArt) {
    Menu();
    EXPECT_EQ(TextAt(32, 23, 17), "Version 2024.10.2");
    EXPECT_EQ(AttrAt(32, 23), 8);
    EXPECT_EQ(TextAt(58, 10, 12), "Daily Leader");
    EXPECT_EQ(TextAt(29, 12, 15), "[1] Play Glimra") << "the menu art is drawn last";
    EXPECT_EQ(TextAt(25, 24, 20), std::string(20, ' ')) << "no update check configured";
    EXPECT_EQ(LocalScreen().CursorColumn(), 1);
    EXPECT_EQ(LocalScreen().CursorRow(), 24);
    EXPECT_EQ(LocalScreen().TextAttr(), 0);

    TestHttpServer server;
    server.Serve("/glimraversion.txt", "2025.1.1");
    ::setenv("GLIMRA_UPDATE_URL", server.Url("/glimraversion.txt").c_str(), 1);
    CheckVersion = true;
    Menu();
    Menu();
    EXPECT_EQ(TextAt(25, 24, 32), "New Version 2025.1.1 Available! ");
    EXPECT_EQ(AttrAt(25, 24), 14);
    EXPECT_EQ(server.Connections(), 1) << "one request for the run";
}

TEST_F(ProgramTest, KeysOutsideTheTableDrawNothing) {
    Menu();
    const std::vector<int> before = Shot();
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
    EXPECT_EQ(LocalScreen().RowText(20).substr(28, 22), "[A] About/Instructions");
}

TEST_F(ProgramTest, BoxesOverTheMenu) {
    // Key 1 on a day already played asks; any key but Y closes the box.
    AddScore("Bob", "2026-03-15", 0);
    Menu();
    ConsolePushKeys("n");
    EXPECT_TRUE(MenuKey('1'));
    EXPECT_EQ(TextAt(15, 16, 53), "Day already played! Make up day or play ahead? (Y/N) ");
    EXPECT_EQ(AttrAt(15, 16), 10);
    ExpectFrame(13, 68);
    EXPECT_EQ(LocalScreen().TextAttr(), 0);

    // Key 4 reads at most two digits in a white-on-blue field after the prompt.
    Menu();
    ConsolePushKeys("x32\r");
    EXPECT_TRUE(MenuKey('4'));
    EXPECT_EQ(DaySelect, "32");
    EXPECT_EQ(TextAt(29, 16, 23), " Select day to view: 32");
    EXPECT_EQ(AttrAt(50, 16), 0x1F);
    ExpectFrame(28, 53);
    ConsolePushKeys("123\r ");
    MenuKey('4');
    EXPECT_EQ(DaySelect, "12");
    EXPECT_EQ(TextAt(31, 10, 22), "TOP TEN FOR 03/12/2026") << "and that day's board";
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
