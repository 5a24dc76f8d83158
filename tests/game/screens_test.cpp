// Every screen of the game on one database of scores, compared whole (text and colours) with the
// fixture files in tests/fixtures/: the boards, the leader panel and summary, the menu and its
// boxes, the instructions, the about pages and the calendar. A local session at the keyboard;
// F10, which the sysop hook takes, photographs the screen while it waits for a key.
#include "game/calendar.h"
#include "game/dailyboards.h"
#include "game/leaders.h"
#include "game/monthlyboards.h"
#include "game/program.h"
#include "game/scores.h"
#include "game/screens.h"
#include "game/updatecheck.h"
#include "tests/support/kit_fixture.h"

namespace {

using namespace std::string_literals;
const std::string kF10("\0\x44", 2);
std::vector<std::string> Photos;

class ScreensTest : public KitTest {
  protected:
    // The caller Bob in January 2025; other callers with ties, long names and hostile names.
    void SetUp() override {
        KitTest::SetUp();
        MakeDatabase({"cider"});
        for (const char* art : {"header.ans", "del_glimra.ans", "menu.ans", "box.ans"})
            std::filesystem::copy_file(std::string(GLIMRA_SOURCE_DIR) + "/data/art/" + art, art);
        const std::string longName = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcd"; // 30 characters
        const std::tuple<std::string, std::string, int> scores[] = {
            {"Bob", "2024-12-01", 160},
            {"Alice", "2024-12-02", 80},
            {"Carol", "2024-12-02", 80},
            {"Dave", "2024-12-03", 0},
            {"Eve", "2024-12-03", 0},
            {longName, "2024-12-05", 320},
            {"Bob", "2024-12-06", 40},
            {"Alice", "2024-12-06", 40},
            {"Alice", "2024-12-17", 20},
            {"Carol", "2024-12-31", 10},
            {"Bob", "2024-11-03", 90},
            {"Fay", "2024-11-04", 80},
            {longName, "2024-10-09", 70},
            {"Old", "2024-08-30", 999},
            {longName, "2020-01-01", 11000},
            {"Evil\x1b[2J|1F", "2024-05-05", 8000},
            {"Dave", "2025-01-15", 320},
            {"Alice", "2025-01-15", 160},
            {"Carolina-Quite-Long-Name", "2025-01-15", 80},
            {"Alice", "2025-01-02", 40},
            {"Bob", "2025-01-02", 20},
            {"Bob", "2025-01-03", 160},
            {"Carol", "2025-01-03", 160},
            {"Alice", "2025-01-04", 40},
            {"Carol", "2025-01-04", 40},
            {"Alice", "2025-01-06", 20},
            {"Mal\x1b[2Jlory", "2025-01-07", 320},
            {"Alice", "2025-01-07", 80},
            {"Bob", "2025-01-07", 40},
            {"Carol", "2025-01-08", 10},
            {"Zed", "2025-02-01", 320},
            {"Bob", "2020-01-02", 9000},
            {"Bob", "2025-01-05", 80},
        };
        for (const auto& [name, date, score] : scores) AddScore(name, date, score);
        for (int i = 1; i <= 36; ++i) AddScore("P" + std::to_string(i), "2025-01-10", i);
        SetToday(2025, 1, 15);
        DoorOnSysopKey = [](char AKey) {
            Photos.push_back(Shot(LocalScreen()));
            return AKey == 68;
        };
        Photos.clear();
        CheckVersion = false;
        AryNotPlayable = {};
    }
};

TEST_F(ScreensTest, Boards) {
    const std::pair<std::string, void (*)()> boards[] = {
        {"today_hidden", GetTodayScores},        {"daily_champions", GetDailyScores},
        {"last_month", GetLastMonthScores},      {"all_time", GetAllTimeScores},
        {"recent_winners", RecentMonthlyChamps},
    };
    for (const auto& [name, board] : boards) {
        AnsiReset();
        RunScreen(board);
        ExpectFixture(name + ".screen", Shot(LocalScreen()));
        EXPECT_EQ(DateKey(Year, Month, Day), "2025-01-15") << name << " gives the date back";
    }
    AddScore("Bob", "2025-01-15", 10);
    for (const auto& [name, day] : {std::pair{"today_played", ""},
                                    {"day_7", "7"},
                                    {"day_7", "07"},
                                    {"day_10_hidden", "10"}}) {
        AnsiReset();
        ConsolePushKeys("x!");
        *day ? GetOneDayScores(day) : GetTodayScores();
        ExpectFixture(name + std::string(".screen"), Shot(LocalScreen()));
        EXPECT_EQ(ConsoleReadKey(), '!');
    }
    AnsiReset(); // no day of this month: nothing drawn, no key taken
    for (const char* text : {"", "0", "00", "32", "x7", "-5", "+5", " 5", "99999999999"})
        GetOneDayScores(text);
    EXPECT_EQ(Shot(LocalScreen()), "@@\n");
}

TEST_F(ScreensTest, LeaderSummaryPanelAndMenu) {
    const auto standings = [] {
        std::ostringstream s;
        s << StrDailyLeader << ' ' << IntDailyLeader << ", " << StrMonthlyLeader << ' '
          << IntMonthlyLeader << ", " << StrLastMonthLeader << ' ' << IntLastMonthLeader << ", "
          << StrAllTimeLeader << ' ' << IntAllTimeLeader << " / " << StrAllTimeLeader2 << ' '
          << IntAllTimeLeader2 << ",";
        for (std::size_t k = 0; k < 5; ++k)
            s << ' ' << ArrMonthlyLeaders[k] << ' ' << ArrMonthlyScores[k];
        return s.str();
    };
    SetMonthlyAndDaily();
    EXPECT_EQ(standings(),
              "Dave 320, Alice 340, ABCDEFGHIJKLMN 320, ABCDEFGHIJKLMN 11390 / Bob 9590, "
              "Alice 340 Mal\x1b[2Jlory 320 Dave 320 Bob 300 Carol 210");
    Menu();
    ExpectFixture("menu_not_played.screen", Shot(LocalScreen()));
    EXPECT_EQ(std::tuple(LocalScreen().CursorColumn(), LocalScreen().CursorRow(),
                         int(LocalScreen().TextAttr())),
              std::tuple(1, 24, 0));
    AddScore("Bob", "2025-01-15", 10);
    ConsolePushKeys(kF10 + "n" + "x321" + kF10 + "\r\r");
    EXPECT_TRUE(MenuKey('1')); // played today: the box asks; any key but Y closes it
    EXPECT_TRUE(MenuKey('4')); // at most two digits in a white-on-blue field
    EXPECT_EQ(DaySelect, "32");
    EXPECT_TRUE(MenuKey('4'));
    EXPECT_EQ(DaySelect, "");
    ExpectFixture("box_already_played.screen", Photos.at(0));
    ExpectFixture("box_select_day.screen", Photos.at(1));
    const std::string menu = Shot(LocalScreen());
    ExpectFixture("menu_played.screen", menu);
    for (char key : {'8', '9', '0', 'B', 'Z', '\r', '\x1b', ' ', 'H', 'P', 'K', 'M'})
        EXPECT_FALSE(MenuKey(key) || Shot(LocalScreen()) != menu) << "key " << int(key);
    ConsolePushKeys("8q\0Q"s);
    MainLoop();
    EXPECT_EQ(MenuSelect, 'Q') << "q is Q";
    MainLoop(); // Page Down at the sysop's keyboard is the scan code 81, "Q"
    EXPECT_TRUE(MenuSelect == 'Q' && DoorLastKey.Extended);

    // On the 1st nobody leads the month yet; names stay text and are cut to 14 everywhere.
    SetToday(2025, 2, 1);
    SetMonthlyAndDaily();
    AnsiReset();
    DrawLeaderPanel(false);
    ExpectFixture("leader_panel_first.screen", Shot(LocalScreen()));
    AnsiReset();
    Instructions();
    ExpectFixture("instructions_first.screen", Shot(LocalScreen()));
}

TEST_F(ScreensTest, InstructionsAboutAndCalendar) {
    SetMonthlyAndDaily();
    ArrMonthlyScores[0] = 0; // a leader who started a game and has not won it is left out
    Instructions();
    ExpectFixture("instructions.screen", Shot(LocalScreen()));
    ConsolePushKeys(kF10 + "x" + kF10 + "y");
    About();
    EXPECT_EQ(DoorLastKey.Ch, 'y');
    ExpectFixture("about1.screen", Photos.at(0));
    ExpectFixture("about2.screen", Photos.at(1));

    // The 19th of March 2025 (a Saturday start): later days are dark and refused, for the run.
    SetToday(2025, 3, 19);
    AddScore("Bob", "2025-03-03", 160);
    ConsolePushKeys("20\r" + kF10 + "0\r");
    GetCalendar();
    ExpectFixture("calendar_19th.screen", Photos.at(2));
    SetToday(2025, 3, 20);
    ConsolePushKeys("25\r0\r");
    GetCalendar();
    EXPECT_EQ(TextAt(35, 21, 13), "Not Playable!");
    for (const char* answer : {"\r", "00\r", "32\r", "3\r"}) {
        AnsiReset();
        ConsolePushKeys(std::string(answer) + "0\r");
        GetCalendar();
        EXPECT_EQ(std::pair(TextAt(35, 21, 13), int(AttrAt(35, 21))),
                  std::pair("Not Playable!"s, 0x0C))
            << answer;
    }
    EXPECT_EQ(Sql("SELECT COUNT(*) FROM tblScores WHERE dtDate LIKE '2025-03%'")[0], "1");
    SetToday(2025, 6, 10); // a Sunday start: the first row stays empty
    ConsolePushKeys(kF10 + "0\r");
    GetCalendar();
    ExpectFixture("calendar_june.screen", Photos.at(3));
    EXPECT_EQ(CalendarOffset(2025, 9), 1) << "September 2025 starts on a Monday";
}

} // namespace
