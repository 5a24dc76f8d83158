// The game's screens and files on one database (tests/fixtures/scores.sql), compared whole with
// fixture files: the boards, the leader panel and summary, the menu and its boxes, the
// instructions, the about pages, the calendar, games played from the keyboard and the bulletins.
// A local session; F10, which the sysop hook takes, photographs the screen while it waits.
#include "game/app/program.h"
#include "game/app/updatecheck.h"
#include "game/screens/about.h"
#include "game/screens/bulletins.h"
#include "game/screens/calendar.h"
#include "game/screens/dailyboards.h"
#include "game/screens/gameplay.h"
#include "game/screens/leaders.h"
#include "game/screens/monthlyboards.h"
#include "game/screens/theme.h"
#include "tests/support/kit_fixture.h"

namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;
const std::string kF10("\0\x44", 2);
std::vector<std::string> Photos;

class ScreensTest : public KitTest {
  public:
    void SetUp() override {
        KitTest::SetUp();
        MakeDatabase({"crane"});
        OpenGameDatabase().Exec(Fixture("scores.sql"));
        for (const char* art : {"header.ans", "del_glimra.ans", "menu.ans", "box.ans"})
            fs::copy_file(std::string(GLIMRA_SOURCE_DIR) + "/data/art/" + art, art);
        SetToday(2025, 1, 15);
        DoorOnSysopKey = [](char AKey) {
            return Photos.push_back(Shot(LocalScreen())), AKey == 68;
        };
        Photos.clear();
        CheckVersion = false;
        AryNotPlayable = {};
        StrWinnerText = "Well done!";
    }
    static void Expect(const std::string& AName, const std::string& AShot = Shot(LocalScreen())) {
        ExpectFixture(AName + ".screen", AShot);
    }
};

// Each board takes one key (of two queued) and gives the game date back.
TEST_F(ScreensTest, Boards) {
    const std::pair<std::string, void (*)()> boards[] = {
        {"today_hidden", GetTodayScores},
        {"daily_champions", GetDailyScores},
        {"last_month", GetLastMonthScores},
        {"all_time", GetAllTimeScores},
        {"recent_winners", RecentMonthlyChamps},
        {"today_played",
         [] { Sql("INSERT INTO tblScores VALUES ('Bob', '2025-01-15', 10)"), GetTodayScores(); }},
        {"day_7", [] { GetOneDayScores("7"); }},
        {"day_7", [] { GetOneDayScores("07"); }},
        {"day_10_hidden", [] { GetOneDayScores("10"); }}};
    for (const auto& [name, board] : boards) {
        AnsiReset();
        ConsolePushKeys("x!");
        board();
        Expect(name);
        EXPECT_TRUE(ConsoleReadKey() == '!' && DateKey(Year, Month, Day) == "2025-01-15") << name;
    }
    AnsiReset(); // no day of this month: nothing drawn, no key taken
    for (const char* text : {"", "0", "00", "32", "x7", "-5", "+5", " 5", "99999999999"})
        GetOneDayScores(text);
    EXPECT_EQ(Shot(LocalScreen()), "@@\n");
}

// In a league every name carries its board's tag, the alias cut to keep "@TAG" whole, and the
// caller's rows are their alias on their own board only. Alone, a board shows the alias alone.
TEST_F(ScreensTest, LeaguePlayersNamedWithTheirTag) {
    const std::tuple<std::string, std::string, std::size_t, std::string> names[] = {
        {"Ada", "ALPHA", 19, "Ada@ALPHA"},
        {"Bartholomew Long", "ALPHA", 14, "Bartholo@ALPHA"},
        {"Es\x1B|c", "B1", 9,
         "Es?\xB3"
         "c@B1"},
        {"Ada", "ABCDEFGH", 6, "@ABCDE"}};
    for (const auto& [alias, board, width, shown] : names)
        EXPECT_EQ(PlayerName(alias, board, width), shown) << alias << board;
    EXPECT_EQ(PlayerNameCell("Ada", "ALPHA", 23, 25), "Ada@ALPHA" + std::string(16, ' '));
    struct TLeague : TSqliteStore { // the file as board ALPHA's view, Bob and Carolina on BETA
        std::string Board() const override { return "ALPHA"; }
        std::vector<TDayScore> DayTopScores(const TGameDate& ADate, int ALimit) override {
            auto rows = TSqliteStore::DayTopScores(ADate, ALimit);
            for (auto& row : rows) row.Board = row.UserName < "Bob" ? "ALPHA" : "BETA";
            return rows;
        }
    };
    SetGameStore(std::make_unique<TLeague>());
    Sql("INSERT INTO tblScores VALUES ('Bob', '2025-01-15', 10)"); // BETA's Bob, not the caller
    SetMonthlyAndDaily();
    ConsolePushKeys("x");
    GetTodayScores();
    EXPECT_EQ(StrDailyLeader + "|" + Row(13).substr(10, 19) + Row(15).substr(10, 19),
              "Dave@BETA|Dave@BETA          Carolina-Quite@BETA");
    EXPECT_EQ(AttrAt(11, 16), AttrAt(11, 14)) << "another board's Bob";
    SetGameStore(nullptr);
}

TEST_F(ScreensTest, LeadersMenuBoxesInstructionsAboutAndCalendar) {
    SetMonthlyAndDaily();
    Menu();
    Expect("menu_not_played");
    EXPECT_EQ(LocalScreen().CursorColumn() * 100 + LocalScreen().CursorRow(), 124);
    Sql("INSERT INTO tblScores VALUES ('Bob', '2025-01-15', 10)");
    ConsolePushKeys(kF10 + "n" + "x321" + kF10 + "\r\r");
    EXPECT_TRUE(MenuKey('1')); // played today: the box asks; any key but Y closes it
    Menu();                    // as the main loop draws it again after each key
    EXPECT_TRUE(MenuKey('4') && DaySelect == "32"); // at most two digits
    EXPECT_TRUE(MenuKey('4') && DaySelect == "");
    Expect("box_already_played", Photos.at(0));
    Expect("box_select_day", Photos.at(1));
    Expect("menu_played");
    const std::string menu = Shot(LocalScreen());
    for (char key : {'8', '9', '0', 'B', 'Z', '\r', '\x1b', ' ', 'H', 'P', 'K', 'M'})
        EXPECT_FALSE(MenuKey(key) || Shot(LocalScreen()) != menu) << "key " << int(key);

    ArrMonthlyScores[0] = 0; // a leader who started a game and has not won it is left out
    AnsiReset();
    Instructions();
    Expect("instructions");
    ConsolePushKeys(kF10 + "x" + kF10 + "y");
    About();
    Expect("about1", Photos.at(2));
    Expect("about2", Photos.at(3));
    SetToday(2025, 2, 1); // on the 1st nobody leads the month yet
    SetMonthlyAndDaily();
    AnsiReset();
    DrawLeaderPanel(false);
    Instructions();
    Expect("first_of_month");

    SetToday(2025, 3, 19); // later days are dark and refused (March starts on a Saturday)
    Sql("INSERT INTO tblScores VALUES ('Bob', '2025-03-03', 160)");
    ConsolePushKeys("20\r" + kF10 + "0\r");
    GetCalendar();
    Expect("calendar_19th", Photos.at(4));
    SetToday(2025, 3, 20); // the same run on the 20th: the later days are playable
    for (const char* answer : {"\r", "00\r", "32\r", "3\r"}) {
        AnsiReset();
        ConsolePushKeys(answer + "0\r"s);
        GetCalendar();
        EXPECT_EQ(Row(21).substr(34, 13) + std::to_string(AttrAt(35, 21)), "Not Playable!12")
            << answer;
        EXPECT_EQ(AryNotPlayable[25], 0);
    }
    SetToday(2025, 6, 10); // a Sunday start: the first row stays empty
    ConsolePushKeys(kF10 + "0\r");
    GetCalendar();
    Expect("calendar_june", Photos.at(5));
}

TEST_F(ScreensTest, GamesFromTheKeyboardAndFromTheCalendar) {
    CheckCases("marking.cases", 2, [](const std::vector<std::string>& ACase) {
        std::string marks;
        for (TLetterState state : MarkGuess(ACase[0], ACase[1]))
            marks += state == TLetterState::lsGreen    ? 'G'
                     : state == TLetterState::lsOrange ? 'O'
                                                       : 'X';
        return std::vector{marks};
    });
    // 5 March 2024: an empty guess and a word in neither list cost nothing; any letter case.
    SetToday(2024, 3, 5);
    ConsolePushKeys("\r" + kF10 + "qzxvj\r" + kF10 + "slate\rReAcT\r" + kF10 + "crane\r" + kF10 +
                    "k");
    Game();
    for (int i = 0; i < 4; ++i) Expect("game_"s + "1234"[i], Photos.at(i));
    EXPECT_EQ(Sql("SELECT intScore FROM tblScores WHERE dtDate = '2024-03-05'"),
              std::vector{"80"s});
    ConsolePushKeys("slate\rabbey\rspeed\rerror\rnacre\rcrate\r" + kF10 + " ");
    Game(); // the same day again: the score is replaced
    Expect("game_lost", Photos.at(4));
    EXPECT_EQ(Sql("SELECT intScore FROM tblScores WHERE dtDate = '2024-03-05'"), std::vector{"0"s});
    Month = 4, Day = 1; // past midnight into April: the month gets its words; answers count too
    ConsolePushKeys("CRANE\r ");
    Game();
    EXPECT_EQ(Sql("SELECT COUNT(*) FROM tblWordsByDate WHERE dtDate LIKE '2024-04-%'")[0] +
                  Sql("SELECT intScore FROM tblScores WHERE dtDate = '2024-04-01'")[0],
              "30320");
    // Words edited by hand that cannot be played are replaced as missing ones are, and logged;
    // with none to replace them the game stops before the day's 0 is stored.
    DoorLogFileName = "bbsglimra.log";
    Day = 2;
    for (const std::string bad : {"caf\xC3\xA9", "12345", "sixlet", "cran", ""}) {
        Sql("DELETE FROM tblScores WHERE dtDate = '2024-04-02'");
        Sql("UPDATE tblWordsByDate SET strWord = '" + bad + "' WHERE dtDate = '2024-04-02'");
        ConsolePushKeys("crane\r ");
        Game();
        EXPECT_EQ(Sql("SELECT strWord, intScore FROM tblWordsByDate JOIN tblScores USING (dtDate) "
                      "WHERE dtDate = '2024-04-02'"),
                  std::vector<std::string>{"crane|320"})
            << bad;
        EXPECT_TRUE(ReadFile("bbsglimra.log")
                        .ends_with(" \"" + bad +
                                   "\" cannot be played (not five letters A to Z): replaced\n"))
            << bad;
    }
    Sql("UPDATE tblWordsByDate SET strWord = 'sixlet' WHERE dtDate = '2024-04-02'");
    Sql("DELETE FROM tblScores WHERE dtDate = '2024-04-02'");
    Sql("DELETE FROM tblWords");
    EXPECT_THROW(Game(), GameDatabaseError);
    EXPECT_EQ(Sql("SELECT COUNT(*) FROM tblScores WHERE dtDate = '2024-04-02'")[0], "0");
    Sql("INSERT INTO tblWords VALUES ('crane')");

    // On the 20th of December 2025: day 5 won, day 31 lost, each followed by its board, a played
    // day refused; a day another node plays meanwhile keeps its score.
    SetToday(2025, 12, 20);
    Sql("INSERT INTO tblScores VALUES ('Bob', '2025-12-20', 40)");
    ConsolePushKeys("05\rcrane\rkk31\rslate\rslate\rslate\rslate\rslate\rslate\rkk05\r" + kF10 +
                    "0\r");
    GetCalendar();
    Expect("calendar_20th", Photos.at(5));
    EXPECT_EQ(Day, 20) << "the game date is today again";
    DoorOnSysopKey = [](char) {
        return Sql("INSERT INTO tblScores VALUES ('Bob', '2025-12-04', 160)"), true;
    };
    ConsolePushKeys(kF10 + "4\rcrane\rkk0\r");
    GetCalendar();
    EXPECT_EQ(Sql("SELECT dtDate, intScore FROM tblScores WHERE strUserName = 'Bob' AND dtDate > "
                  "'2025-12'"),
              (std::vector<std::string>{"2025-12-04|160", "2025-12-05|320", "2025-12-20|40",
                                        "2025-12-31|0"}));
    EXPECT_FALSE(ConsoleKeyPressed());
}

TEST_F(ScreensTest, BulletinsWholeUpToCtrlZOfTheArtWhateverIsInTheWay) {
    WriteFile("bulletin.ans", std::string(5000, 'x')); // an older, longer file
    Day = Month = Year = 0;
    WriteBulletin();
    EXPECT_EQ(Row(1) + std::to_string(AttrAt(1, 1)) + std::to_string(LocalScreen().TextAttr()),
              "Writing Bulletins and Returning Back To BBS27");
    const std::string first = ReadFile("bulletin.ans");
    ExpectFixture("bulletin.ans", first);
    const std::string whole = ReadFile("bulletin2.ans"), art = ReadFile("del_glimra.ans");
    ExpectFixture("bulletin2.ans", whole);
    const std::string before = whole.substr(0, whole.find(art));
    const std::string after =
        whole.substr(before.size() + art.size() + (art.back() == '\n' ? 0 : 2));
    for (const auto& [content, copied] : {std::pair{"TOP\n\nEND\n", "TOP\r\n\r\nEND\r\n"},
                                          {"A\r\nB\rC\nD", "A\r\nB\r\nC\r\nD\r\n"},
                                          {"Top\r\nArt\x1aSAUCE00\r\nmore", "Top\r\nArt\r\n"},
                                          {"\x1aSAUCE00", ""}}) {
        WriteFile("del_glimra.ans", content);
        WriteBulletin2();
        EXPECT_EQ(ReadFile("bulletin2.ans"), before + copied + after) << content;
    }
    fs::remove("del_glimra.ans"); // no art: bulletin2.ans stays as it was
    WriteBulletin();
    EXPECT_EQ(ReadFile("bulletin2.ans"), before + after);
    fs::create_directory("bbs"); // linked to the BBS's text files: the files linked to are replaced
    WriteFile("bbs/one.ans", "old");
    fs::remove("bulletin.ans"), fs::remove("bulletin2.ans");
    std::error_code links;
    fs::create_symlink("bbs/one.ans", "bulletin.ans", links);
    if (links) return; // a system without symbolic links (Wine)
    fs::create_symlink("bbs/two.ans", "bulletin2.ans");
    WriteFile("del_glimra.ans", art);
    WriteBulletin();
    EXPECT_TRUE(fs::is_symlink("bulletin.ans") && fs::is_symlink("bulletin2.ans"));
    EXPECT_EQ(ReadFile("bbs/one.ans") + ReadFile("bbs/two.ans"), first + whole);
    EXPECT_EQ(std::distance(fs::directory_iterator("bbs"), fs::directory_iterator()), 2)
        << "no temporary file";
}

} // namespace
