// Marking a guess, and whole games played from the keyboard on a real database: the screens at
// each step compared with fixture files (F10, which the sysop hook takes, photographs them), the
// stored scores, and games for days chosen on the calendar.
#include "game/calendar.h"
#include "game/gameplay.h"
#include "tests/support/kit_fixture.h"

namespace {

const std::string kF10("\0\x44", 2);
std::vector<std::string> Photos;

TEST(Marking, WorkedExamplesAndRepeatedLetters) {
    const char* cases[][3] = {
        // word, guess, marks: G green, O orange, X gray
        {"ABBEY", "BOBBY", "OXGXG"}, {"STEEL", "EERIE", "OOXXO"}, {"THEME", "EERIE", "OOXXG"},
        {"CRANE", "SPEED", "XXOXX"}, {"CRANE", "CRANE", "GGGGG"}, {"CRANE", "NACRE", "OOOOG"},
        {"CRANE", "TRACE", "XGGOG"}, {"SHEEP", "EPOCH", "OOXXO"}, {"ARMED", "TREAT", "XGOOX"},
        {"ARMED", "AROSE", "GGXXO"}, {"ALOFT", "AGAIN", "GXXXX"}, {"TOWEL", "EMBER", "XXXGX"},
        {"ALOFT", "LLAMA", "XGOXX"}, {"CRANE", "LLAMA", "XXGXX"}, {"SHEEP", "EMBER", "OXXGX"},
        {"GEESE", "EMBER", "OXXOX"}, {"AFTER", "EERIE", "OXOXX"}, {"THOSE", "EERIE", "XXXXG"},
        {"TEPID", "EERIE", "XGXGX"}, {"EARTH", "EERIE", "GXGXX"}, {"ABBEY", "BBBEY", "XGGGG"},
        {"LEVEL", "LOLOL", "GXXXG"}, {"LEVEL", "LULLS", "GXOXX"}, {"GEESE", "EERIE", "OGXXG"},
        {"THEME", "EEEEX", "OOGOX"}, {"CRANE", "EEEEE", "OOOOG"}, {"CRANE", "CRA", "GGGXX"},
        {"", "CRANE", "XXXXX"},      {"CR", "RCRCR", "OOXXX"}, // short texts match nothing beyond
    };
    for (const auto& [word, guess, expected] : cases) {
        std::string marks;
        for (TLetterState state : MarkGuess(word, guess))
            marks += state == TLetterState::lsGreen    ? 'G'
                     : state == TLetterState::lsOrange ? 'O'
                                                       : 'X';
        EXPECT_EQ(marks, expected) << word << " / " << guess;
    }
}

class GameTest : public KitTest {
  protected:
    void SetUp() override {
        KitTest::SetUp();
        MakeDatabase({"crane"});
        for (const char* art : {"header.ans", "del_glimra.ans", "box.ans"})
            std::filesystem::copy_file(std::string(GLIMRA_SOURCE_DIR) + "/data/art/" + art, art);
        Sql("INSERT INTO tblAllWords VALUES ('slate'), ('react'), ('abbey'), ('speed'), ('error'), "
            "('nacre'), ('crate')");
        Sql("INSERT INTO tblWordsByDate VALUES ('2024-03-05', 'crane')");
        AddScore("Ann", "2024-03-02", 320); // the month's leader on the game screen
        SetToday(2024, 3, 5);
        StrWinnerText = "Well done!";
        AryNotPlayable = {};
        Photos.clear();
        DoorOnSysopKey = [](char) {
            Photos.push_back(Shot(LocalScreen()));
            return true;
        };
    }
    void TearDown() override {
        StrWinnerText.clear();
        KitTest::TearDown();
    }
};

TEST_F(GameTest, RefusedGuessesThenAWinOnTheThirdAndSixMisses) {
    // An empty guess and a word in neither list cost nothing; any letter case is accepted.
    ConsolePushKeys("\r" + kF10 + "qzxvj\r" + kF10 + "slate\rReAcT\r" + kF10 + "crane\r" + kF10 +
                    "k");
    Game();
    const char* names[] = {"game_empty_guess", "game_refused", "game_two_guesses", "game_won"};
    for (std::size_t i = 0; i < 4; ++i)
        ExpectFixture(names[i] + std::string(".screen"), Photos.at(i));
    EXPECT_EQ(Sql("SELECT * FROM tblScores WHERE strUserName = 'Bob'"),
              std::vector<std::string>{"Bob|2024-03-05|80"});

    Photos.clear();
    AnsiReset();
    ConsolePushKeys("slate\rabbey\rspeed\rerror\rnacre\rcrate\r" + kF10 + " ");
    Game(); // the same day again: the score is replaced
    ExpectFixture("game_lost.screen", Photos.at(0));
    EXPECT_EQ(Sql("SELECT intScore FROM tblScores WHERE strUserName = 'Bob'"),
              std::vector<std::string>{"0"});

    // A session past midnight into April: the new month gets its words first; the answer list
    // alone holds "crane", in capitals it is still accepted.
    Month = 4, Day = 1;
    ConsolePushKeys("CRANE\r ");
    Game();
    EXPECT_EQ(Sql("SELECT COUNT(*) FROM tblWordsByDate WHERE dtDate LIKE '2024-04-%'")[0], "30");
    EXPECT_EQ(Sql("SELECT intScore FROM tblScores WHERE dtDate = '2024-04-01'")[0], "320");
}

TEST_F(GameTest, CalendarGamesOnThe20thAreStoredUnderTheirDays) {
    SetToday(2025, 12, 20); // December 2025 starts on a Monday
    for (int d = 1; d <= 31; ++d)
        Sql("INSERT INTO tblWordsByDate VALUES ('" + DateKey(2025, 12, d) + "', 'crane')");
    AddScore("Bob", "2025-12-20", 40);
    // 05 plays day 5 (a win), 31 a day ahead (a loss), each followed by its board; a played day
    // is refused; 0 leaves.
    ConsolePushKeys("05\rcrane\rkk31\rslate\rslate\rslate\rslate\rslate\rslate\rkk05\r" + kF10 +
                    "0\r");
    GetCalendar();
    ExpectFixture("calendar_20th.screen", Photos.at(0));
    EXPECT_EQ(
        Sql("SELECT dtDate, intScore FROM tblScores WHERE strUserName = 'Bob' ORDER BY dtDate"),
        (std::vector<std::string>{"2025-12-05|320", "2025-12-20|40", "2025-12-31|0"}));
    EXPECT_EQ(Day, 20) << "the game date is today again";
    EXPECT_FALSE(ConsoleKeyPressed());

    // A day another node plays for the caller while the calendar waits keeps its score.
    DoorOnSysopKey = [](char) {
        Sql("INSERT INTO tblScores VALUES ('Bob', '2025-12-04', 160)");
        return true;
    };
    ConsolePushKeys(kF10 + "4\rcrane\rkk0\r");
    GetCalendar();
    EXPECT_EQ(TextAt(35, 21, 13), "Not Playable!");
    EXPECT_EQ(Sql("SELECT intScore FROM tblScores WHERE dtDate = '2025-12-04'")[0], "160");
}

} // namespace
