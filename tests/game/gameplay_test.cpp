// Scripted games: a remote caller on a socketpair types guesses, the game plays a known word
// from a real database file in a temporary directory, and the test reads the caller's bytes,
// the local screen and the stored score.
#include "game/gameplay.h"

#include "gamedb_fixture.h"

#include <cstdio>
#include <regex>

namespace {

// A remote caller in the boards' directory, playing 5 March 2024, whose word is "crane".
class GameTest : public BoardsTest {
  protected:
    void SetUp() override {
        BoardsTest::SetUp();
        for (const char* word : {"slate", "react", "abbey", "speed", "error", "nacre", "crate"})
            Sql(std::string("INSERT INTO tblAllWords (strWord) VALUES ('") + word + "')");
        Sql("INSERT INTO tblWordsByDate (dtDate, strWord) VALUES ('2024-03-05', 'crane')");
        DoorDropInfo.ComType = 2;
        GameDate(2024, 3, 5);
        StrWinnerText = "Well done!";
    }
    void TearDown() override {
        StrWinnerText.clear();
        BoardsTest::TearDown();
    }

    std::vector<std::string> ScoreRows() {
        return Sql("SELECT strUserName, dtDate, intScore FROM tblScores");
    }
};

int Occurrences(const std::string& AText, const std::string& APart) {
    int count = 0;
    for (auto at = AText.find(APart); at != std::string::npos; at = AText.find(APart, at + 1))
        ++count;
    return count;
}

// Attribute of a letter state as the caller's screen shows it: black on green, brown, gray.
std::uint8_t StateAttr(char AState) {
    return AState == 'G' ? 0x20 : AState == 'O' ? 0x60 : 0x70;
}

// Every board tile of guess ARow (1-6) holds its letter in the colours of its state.
void ExpectTiles(int AGuess, const std::string& ALetters, const std::string& AStates) {
    for (int i = 0; i < 5; ++i) {
        const int col = 38 + i, row = 8 + AGuess;
        EXPECT_EQ(LocalScreen().CharAt(col, row), static_cast<std::uint8_t>(ALetters[i]))
            << "guess " << AGuess << " letter " << i;
        EXPECT_EQ(LocalScreen().AttrAt(col, row), StateAttr(AStates[i]))
            << "guess " << AGuess << " letter " << i;
    }
}

// The chart cell of a letter: rows 10 to 12 as on a keyboard.
std::uint8_t ChartAttr(char ALetter) {
    const std::string rows[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    for (int r = 0; r < 3; ++r) {
        auto at = rows[r].find(ALetter);
        if (at != std::string::npos)
            return LocalScreen().AttrAt(12 + (r == 2) + static_cast<int>(at), 10 + r);
    }
    ADD_FAILURE() << "no chart cell for " << ALetter;
    return 0;
}

TEST_F(GameTest, RejectedGuessesThenAWinOnTheThirdGuess) {
    TReadAlong caller(Caller);
    Send("\r"      // empty guess
         "qzxvj\r" // in neither list
         "slate\r" // guess 1
         "ReAcT\r" // guess 2: any letter case is accepted
         "crane\r" // guess 3 wins
         "k");     // the final key
    Game();
    const std::string bytes = caller.Bytes();

    // A rejected guess costs no guess and shows the same figure again.
    EXPECT_EQ(Occurrences(bytes, "Possible Total - 320 "), 3);
    EXPECT_EQ(Occurrences(bytes, "Enter Guess 1: "), 3);
    EXPECT_EQ(Occurrences(bytes, "Possible Total - 160 "), 1);
    EXPECT_EQ(Occurrences(bytes, "Possible Total - 80 "), 1);
    EXPECT_EQ(Occurrences(bytes, "Possible Total - 40 "), 0);

    // The empty guess: "I do not have " alone, and the second line below it.
    Replay(bytes.substr(0, bytes.find("qzxvj")));
    EXPECT_EQ(TextAt(52, 16, 19), "I do not have      ");
    EXPECT_EQ(TextAt(52, 17, 16), " in my database.");
    EXPECT_EQ(AttrAt(52, 16), 0x03);
    Replay(bytes.substr(0, bytes.find("Enter Guess 1: ", bytes.find("qzxvj"))));
    EXPECT_EQ(TextAt(52, 16, 19), "I do not have qzxvj");
    EXPECT_EQ(TextAt(5, 16, 21), "Possible Total - 320 ");
    EXPECT_EQ(AttrAt(5, 16), 0x0F);

    // After guess 2: E green in guess 1, orange in guess 2, shows orange.
    Replay(bytes.substr(0, bytes.find("Enter Guess 3: ")));
    ExpectTiles(1, "SLATE", "XXGXG");
    ExpectTiles(2, "REACT", "OOGOX");
    EXPECT_EQ(ChartAttr('E'), 0x60);
    EXPECT_EQ(ChartAttr('A'), 0x20);
    EXPECT_EQ(ChartAttr('S'), 0x70);
    EXPECT_EQ(ChartAttr('Q'), 0x08); // never used: still as the instructions drew it
    EXPECT_EQ(TextAt(52, 16, 19), std::string(19, ' ')); // the accepted guess wiped the message

    // The final screen: the win, its marker and text, the word, the stored 80 points.
    Replay(bytes);
    ExpectTiles(3, "CRANE", "GGGGG");
    EXPECT_EQ(ChartAttr('E'), 0x20);
    EXPECT_EQ(ChartAttr('T'), 0x70);
    EXPECT_EQ(TextAt(50, 16, 12), "<-Well done!");
    EXPECT_EQ(AttrAt(50, 16), 0x0E);
    EXPECT_EQ(AttrAt(52, 16), 0x8E); // the winner text blinks
    EXPECT_EQ(TextAt(2, 24, 19), "The Word Was: CRANE");
    EXPECT_EQ(TextAt(28, 24, 24), " Press Any Key to Return");
    EXPECT_EQ(ScoreRows(), (std::vector<std::string>{"Bob|2024-03-05|80"}));

    // The letter states reach the caller as SGR backgrounds 42, 43 and 47.
    for (const char* code : {"42", "43", "47"})
        EXPECT_TRUE(
            std::regex_search(bytes, std::regex(std::string("\x1b\\[([0-9]+;)*") + code + "m")))
            << code;
}

TEST_F(GameTest, SixWrongGuessesKeepTheZeroAndShowTheWord) {
    TReadAlong caller(Caller);
    Send("slate\rabbey\rspeed\rerror\rnacre\rcrate\r ");
    Game();
    const std::string bytes = caller.Bytes();
    const char* figures[] = {"320", "160", "80", "40", "20", "10"};
    std::size_t from = 0;
    for (const char* figure : figures) {
        const auto at = bytes.find(std::string("Possible Total - ") + figure + " ", from);
        EXPECT_NE(at, std::string::npos) << figure;
        from = at;
    }
    EXPECT_EQ(Occurrences(bytes, "Enter Guess 7"), 0);

    // After guess 3 the E that was green in guess 1 ends gray: SPEED's second E is one too many.
    Replay(bytes.substr(0, bytes.find("Enter Guess 4: ")));
    ExpectTiles(3, "SPEED", "XXOXX");
    EXPECT_EQ(ChartAttr('E'), 0x70);

    // Guess 4: R green at position 2 keeps its chart letter green through its gray repeats.
    Replay(bytes.substr(0, bytes.find("Enter Guess 5: ")));
    EXPECT_EQ(ChartAttr('R'), 0x20);

    Replay(bytes);
    ExpectTiles(1, "SLATE", "XXGXG");
    ExpectTiles(2, "ABBEY", "OXXOX");
    ExpectTiles(4, "ERROR", "OGXXX");
    ExpectTiles(5, "NACRE", "OOOOG");
    ExpectTiles(6, "CRATE", "GGGXG");
    EXPECT_EQ(ChartAttr('N'), 0x60);
    EXPECT_EQ(ChartAttr('T'), 0x70);
    EXPECT_EQ(ChartAttr('C'), 0x20);
    EXPECT_EQ(TextAt(50, 16, 2), "  "); // no win marker
    EXPECT_EQ(TextAt(2, 24, 19), "The Word Was: CRANE");
    EXPECT_EQ(ScoreRows(), (std::vector<std::string>{"Bob|2024-03-05|0"}));
}

TEST_F(GameTest, ACallerWhoDropsMidGameKeepsTheZero) {
    Send("slate\r");
    HangUp(); // before the fork, so that no copy of the caller's end stays open
    EXPECT_EXIT(
        {
            // The event pass notices the lost carrier; it runs once a second on the real clock.
            DoorSteadyNow = SavedSteadyNow;
            DoorSession.TimeOn = DoorLastKey.Time = DoorSteadyNow();
            DoorSession.Events = true;
            DoorOnHangup = [] {
                std::fputs("caller gone\n", stderr);
                DefaultOnHangup();
            };
            Game();
        },
        ::testing::ExitedWithCode(0), "caller gone");
    EXPECT_EQ(ScoreRows(), (std::vector<std::string>{"Bob|2024-03-05|0"}));
}

TEST_F(GameTest, ADateWithoutAWordGetsItsMonthFilledFirst) {
    // A session that ran past midnight into April: start-up gave only March its words.
    Month = 4;
    Day = 1;
    TReadAlong caller(Caller);
    Send("CRANE\r "); // only the answer words hold "crane": in capitals it is still accepted
    Game();
    EXPECT_EQ(Sql("SELECT COUNT(*) FROM tblWordsByDate WHERE dtDate LIKE '2024-04-%'"),
              (std::vector<std::string>{"30"}));
    EXPECT_EQ(Sql("SELECT intScore FROM tblScores WHERE dtDate = '2024-04-01'"),
              (std::vector<std::string>{"320"}));
    EXPECT_EQ(Word, "CRANE");
}

} // namespace
