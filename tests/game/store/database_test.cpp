// The game database on real SQLite files (score rows, the totals against plain sums over the
// scores, the word of each day, files that are missing or bare), the configuration file and the
// update check against tables in tests/fixtures/, and makedb run as a program.
#include "game/app/config.h"
#include "game/app/updatecheck.h"
#include "game/screens/gameplay.h"
#include "game/screens/maintenance.h"
#include "game/store/scores.h"
#include "game/store/totals.h"
#include "game/store/upgrade.h"
#include "tests/game/store/storetest.h"
#include "tests/support/httpserver.h"
#include "tests/support/kit_fixture.h"

#include <map>
#include <random>
#include <thread>

namespace {

using DatabaseTest = KitTest;

std::unique_ptr<TGameStore> MakeSqlite(const std::vector<std::string>& AAnswers) {
    return KitTest::MakeDatabase(AAnswers), std::make_unique<TSqliteStore>();
}
const TBackEnd BACK_ENDS[] = {{"SQLite", MakeSqlite, KitTest::Sql}};
INSTANTIATE_TEST_SUITE_P(BackEnds, StoreTest, testing::ValuesIn(BACK_ENDS),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST_P(StoreTest, ScoreRowsPerCallerAndDayStoredAndMatchedExactly) {
    Use({});
    const std::vector<std::string> aliases = {"Bob\" OR \"1\"=\"1",
                                              "x\"); DROP TABLE tblScores; --",
                                              "strUserName",
                                              "caf\xFF",
                                              "",
                                              "bob",
                                              "Bob"};
    DoorDropInfo.Alias = "Carol"; // a spliced alias read as a column or an OR would match it
    SetScore(320, "3", "5", "2024");
    std::vector<std::string> expected = {"Carol|320"};
    for (std::size_t i = 0; i < aliases.size(); ++i) {
        DoorDropInfo.Alias = aliases[i];
        EXPECT_FALSE(DayPlayedCheck("3", "5", "2024")) << i;
        SetScore(0, "3", "5", "2024");
        SetScore(static_cast<std::int32_t>(i + 1), "03", "05", "2024"); // replaces it
        EXPECT_TRUE(DayPlayedCheck("3", "05", "2024")) << i;
        expected.insert(expected.begin() + 1, aliases[i] + "|" + std::to_string(i + 1));
    }
    EXPECT_EQ(Sql("SELECT strUserName, intScore FROM tblScores ORDER BY intScore DESC"), expected);
    EXPECT_THROW(DayPlayedCheck("3", "x", "2024"), std::invalid_argument); // before the database
    for (const char* part : {"", "5x", "-5", "+5", "99999999999"})
        EXPECT_THROW(SetScore(10, part, "5", "2024"), std::invalid_argument) << part;
}

// A won score meets the database held by another connection, with a read and then with a write
// transaction, past the busy timeout (20 ms here for 10 s), and then a full disk (a small tmpfs,
// when the test may mount one): the caller sees one line meanwhile, and the score arrives once
// the database is free. A caller out of time has the score lost, logged with the alias.
TEST_F(DatabaseTest, AScoreWaitsForABusyOrFullDatabase) {
    MakeDatabase({});
    const bool disk = TestSmallDisk("disk");
    struct TUnmount {
        bool On;
        ~TUnmount() { On && (CloseGameDatabase(), TestUnmount("disk"), true); }
    } unmount{disk};
    if (disk) {
        CloseGameDatabase();
        std::filesystem::copy_file(GameDatabaseFile, "disk/glimradb.db");
        GameDatabaseFile = "disk/glimradb.db";
    }
    OpenGameDatabase().SetBusyTimeout(20);
    SqlConnection other(GameDatabaseFile);
    static SqlConnection* held;
    held = &other;
    DoorLogFileName = "bbsglimra.log";
    SetToday(2024, 3, 5);
    Connect();
    static std::string shown; // each pause: the line shown; the third frees the database
    DoorDelay = [](std::int32_t AMs) {
        Delays.push_back(AMs), shown = Row(24);
        if (Delays.size() == 3) held->Exec("ROLLBACK"), std::filesystem::remove("disk/x");
    };
    for (const std::string hold :
         {"BEGIN; SELECT COUNT(*) FROM tblScores", "BEGIN IMMEDIATE", disk ? "BEGIN" : ""}) {
        if (hold.empty()) break;
        if (hold == "BEGIN") // the disk filled up
            for (std::ofstream fill("disk/x", std::ios::binary);
                 fill.write(std::string(4096, 'x').data(), 4096).flush();) {
            }
        other.Exec(hold);
        Delays.clear();
        SetScore(80, GameDay(Day++));
        EXPECT_EQ(Delays, std::vector<std::int32_t>(3, DatabaseRetry.PauseMs)) << hold;
        EXPECT_EQ(shown + "|" + Row(24), " Saving your score, please wait...|") << hold;
    }
    EXPECT_EQ(Sql("SELECT COUNT(*) FROM tblScores WHERE intScore = 80")[0], disk ? "3" : "2");
    other.Exec("BEGIN IMMEDIATE"); // and the caller's time is up: no more attempts
    DoorDropInfo.MaxSeconds = 0, DoorOnTimeUp = nullptr, Delays.clear();
    EXPECT_THROW(SetScore(40, GameDay(9)), GameDatabaseError);
    other.Exec("ROLLBACK");
    EXPECT_EQ(Delays.size(), 0u);
    std::string log, line, expected;
    for (std::istringstream in(ReadFile("bbsglimra.log")); std::getline(in, line);) {
        line.erase(0, line.find("] ") + 2);
        log += line.substr(0, line.find(": Database")) + "|";
        EXPECT_TRUE(line.find("insert into") == std::string::npos ||
                    line.ends_with("database or disk is full"))
            << line;
    }
    for (int day = 5; day < Day; ++day)
        expected += "score 80 for 2024-03-0" + std::to_string(day) +
                    " waits|score 80 for 2024-03-0" + std::to_string(day) + " saved at attempt 4|";
    EXPECT_EQ(log, expected + "score 40 for 2024-03-09 waits|score 40 for 2024-03-09 of Bob lost "
                              "after 1 attempts, the caller's time is up|");
}

// The SQLite file behind a league server that is away for the next Away attempts: each fails as
// unreachable before it reaches the file; Keeps says whether a score left unsent is kept.
struct TAwayStore : TSqliteStore {
    int Away = 0, Disconnects = 0;
    bool Keeps = false;
    void Reach() {
        if (Away > 0 && Away--)
            throw GameDatabaseError(TDatabaseFault::Unreachable, "server db cannot be reached");
    }
    void WriteScore(const TPlayer& APlayer, const TGameDate& ADate, std::int32_t AScore) override {
        Reach(), TSqliteStore::WriteScore(APlayer, ADate, AScore);
    }
    void Disconnect() override { ++Disconnects, TSqliteStore::Disconnect(); }
    bool KeepsUnsentScores() const override { return Keeps; }
};

// A league server away is tried again every pause, the connection dropped first, for 10 s in
// all: back in time, the score passes unnoticed; away longer, the caller gets the plain line, and
// a score that the store keeps is told to the caller as kept, and logged as spooled.
TEST_F(DatabaseTest, AStepWaitsTenSecondsForALeagueServerAway) {
    MakeDatabase({"crane"});
    auto& store = *new TAwayStore;
    SetGameStore(std::unique_ptr<TGameStore>(&store));
    DoorLogFileName = "bbsglimra.log";
    Connect();
    store.Away = 10;
    SetScore(50, TGameDate{2024, 3, 5});
    EXPECT_EQ(Delays.size() * 100 + store.Disconnects, 1010u);
    EXPECT_EQ(Sql("SELECT intScore FROM tblScores"), std::vector<std::string>{"50"});
    for (const bool keeps : {false, true}) {
        store.Away = 11, store.Keeps = keeps, Delays.clear();
        try {
            SetScore(60 + keeps, TGameDate{2024, 3, 6});
            ADD_FAILURE() << keeps;
        } catch (const GameDatabaseError& error) {
            EXPECT_EQ(error.CallerText(),
                      "The league's server cannot be reached; please try again later.");
        }
        EXPECT_EQ(Row(24) == " Your score is kept: it counts once the league's server is back.",
                  keeps);
        EXPECT_EQ(Delays.size(), 10u) << keeps;
    }
    EXPECT_NE(ReadFile("bbsglimra.log")
                  .find("score 61 for 2024-03-06 of Bob spooled after 11 attempts: server db"),
              std::string::npos);
    SetGameStore(nullptr);
}

// 300 games of callers with few distinct totals, so that most ranks are ties; some play a date
// twice and two aliases differ only in case.
void PlayRandomMonths(std::uint32_t ASeed) {
    std::mt19937 random(ASeed);
    const char* names[] = {"Bob",  "bob", "Zed",   "amy", "Amy", "Carl",
                           "dora", "Eve", "Frank", "gus", "Hal", "Ian"};
    for (int game = 0; game < 300; ++game) {
        DoorDropInfo.Alias = names[random() % 12];
        SetScore(static_cast<int>(random() % 3) * 10, std::to_string(1 + random() % 3),
                 std::to_string(1 + random() % 28), "2024");
    }
}

// The rankings as plain sums over every score give them, in the sums' order among ties.
std::vector<std::string> Sums(const std::string& AMonth, int ALimit) {
    return KitTest::Sql("select strUserName, sum(intScore) as p" +
                        (AMonth.empty()
                             ? " from tblScores"
                             : ", COUNT(DISTINCT dtDate) from tblScores where dtDate between '" +
                                   AMonth + "-01' and '" + AMonth + "-31'") +
                        " group by strUserName order by p desc limit " + std::to_string(ALimit));
}

std::vector<std::string> Rows(const std::vector<TScoreTotal>& ATotals, bool ADays) {
    std::vector<std::string> rows;
    for (const auto& t : ATotals)
        rows.push_back(t.UserName + "|" + std::to_string(t.Total) +
                       (ADays ? "|" + std::to_string(t.Days) : ""));
    return rows;
}

void ExpectRankingsAsSums(const std::string& AWhat) {
    for (int limit : {1, 3, 5, 34}) {
        EXPECT_EQ(Rows(TopAllTimeTotals(limit), false), Sums("", limit)) << AWhat;
        for (int month : {1, 2, 4})
            EXPECT_EQ(Rows(TopMonthTotals(2024, month, limit), true),
                      Sums("2024-0" + std::to_string(month), limit))
                << AWhat << " " << limit << " " << month;
    }
}

TEST_F(DatabaseTest, TotalsAsSumsOnBareTablesUpgradedAndKeptUpAndMissingTablesNamed) {
    const auto error = [] {
        try {
            CloseGameDatabase();
            OpenGameDatabase();
        } catch (const GameDatabaseError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    GameDatabaseFile = "glimradb.db";
    EXPECT_NE(error().find("The game database \"glimradb.db\" was not found"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists("glimradb.db")) << "never created";
    SqlConnection(GameDatabaseFile, SqlConnection::TOpenMode::Create)
        .Exec("CREATE TABLE tblWords (strWord); CREATE TABLE tblAllWords (strWord);"
              "CREATE TABLE tblWordsByDate (strWord, dtDate);");
    EXPECT_NE(error().find("\"glimradb.db\" is not set up: it has no table tblScores"),
              std::string::npos);
    Sql("CREATE TABLE tblScores (intScore, dtDate, strUserName)");
    OpenGameDatabase().Exec("PRAGMA synchronous=OFF");
    PlayRandomMonths(11);
    EXPECT_FALSE(HasScoreTotals(OpenGameDatabase()));
    ExpectRankingsAsSums("no totals tables: the sums themselves");
    OpenGameDatabase().Exec(
        ReadFile(std::string(GLIMRA_SOURCE_DIR) + "/data/schema.sql")); // makedb --add
    RebuildScoreTotals(OpenGameDatabase());
    ExpectRankingsAsSums("upgraded");
    Sql("DELETE FROM tblScores WHERE rowid % 3 = 0"); // the totals follow whoever writes scores
    PlayRandomMonths(2);
    ExpectRankingsAsSums("kept up to date");

    Word = "Cider"; // an empty pool refuses to give a date a blank word and leaves Word alone
    GetRandomWord();
    EXPECT_EQ(Word, "Cider");
    EXPECT_THROW(AssignMonthWords(2024, 11, 1), GameDatabaseError);
    Sql("INSERT INTO tblWords VALUES ('Slate')");
    EXPECT_TRUE(AssignMonthWords(2025, 1, 1)[0]);
    EXPECT_FALSE(AssignMonthWords(2025, 1, 1)[0]);
    Sql("INSERT INTO tblWordsByDate (dtDate, strWord) VALUES ('2025-01-02', 'first'), "
        "('2025-01-02', 'second')");
    std::string words;
    for (int day : {1, 2, 3}) {
        Year = 2025, Month = 1, Day = day;
        GetWord(); // a date without a word keeps the last; of two rows the last returned wins
        words += Word + " ";
    }
    EXPECT_EQ(words, "Slate second second ");
    WriteFile("glimradb.db", "this is not a database\n");
    EXPECT_NE(error().find("not a database"), std::string::npos);
}

TEST_P(StoreTest, DBCheckGivesEveryDayOfTheMonthOneWordOnce) {
    Use({"apple", "cider", "crane", "mound", "slate", "stale"});
    Connect();
    const std::string heading =
        AnsiTextColour(19, LocalScreen().TextAttr()) + "Database Maintenance\r\n";
    Sql("INSERT INTO tblWordsByDate (dtDate, strWord) VALUES ('2024-02-02', 'mound'), "
        "('2024-02-28', 'stale')");
    SetToday(2024, 2, 10);
    DBCheck();
    EXPECT_EQ(Received(), heading + "+." + std::string(25, '+') + ".+" + AnsiClrScr());
    const auto filled = Sql("SELECT dtDate, strWord FROM tblWordsByDate ORDER BY dtDate");
    DBCheck();
    EXPECT_EQ(Received(), heading + std::string(29, '.') + AnsiClrScr());
    EXPECT_EQ(Sql("SELECT dtDate, strWord FROM tblWordsByDate ORDER BY dtDate"), filled);
    EXPECT_EQ(filled.size() * 100 + NumberOfDays, 2929u);
    EXPECT_EQ(filled[1] + filled[27], "2024-02-02|mound2024-02-28|stale");
    Day = 17;
    GetWord();
    EXPECT_EQ("2024-02-17|" + Word, filled[16]);
    std::map<std::string, int> drawn; // evenly from the pool: 333 each expected, sd about 17
    for (int i = 0; i < 2000; ++i, ++drawn[Word]) GetRandomWord();
    EXPECT_EQ(drawn.size(), 6u);
    for (const auto& [word, count] : drawn)
        EXPECT_TRUE(count > 250 && count < 420) << word << count;
}

using SysopTest = KitTest;

TEST_F(SysopTest, ConfigurationLinesByNumber) {
    CheckCases("config.cases", 1, [](const std::vector<std::string>& ACase) {
        WriteFile(CONFIG_FILE_NAME, ACase[0]);
        CheckVersion = false, DoorSession.MaxIdle = 300, StrWinnerText.clear(); // as a run starts
        ReadConfiguration();
        const std::string winner =
            StrWinnerText.size() > 40 ? std::to_string(StrWinnerText.size()) : StrWinnerText;
        const auto& [conn, board] = GameStoreSetting; // shown only when either is set
        return std::vector{std::to_string(CheckVersion) + " " +
                           std::to_string(DoorSession.MaxIdle) + " " + winner +
                           (conn.empty() && board.empty() ? "" : " <" + conn + "|" + board + ">")};
    });
    // Line 4 without a usable tag on line 5: start-up fails, the password nowhere in the texts.
    SetGameStore(nullptr);
    for (const char* tag : {"", "ABCDEFGH9", "alpha", "AL-PHA"}) {
        GameStoreSetting = {"host=db password=secret", tag};
        try {
            UpgradeGameDatabase();
            ADD_FAILURE() << tag;
        } catch (const GameDatabaseError& error) {
            EXPECT_NE(error.LogText().find("line 5 must be the board's tag"), std::string::npos);
            EXPECT_EQ((error.LogText() + error.CallerText()).find("secret"), std::string::npos);
        }
    }
    WriteFile(CONFIG_FILE_NAME, "0\n\n" + std::string(5000, 'w'));
    ReadConfiguration();
    EXPECT_EQ(StrWinnerText, std::string(1024, 'w')) << "no longer than any screen line";
    std::filesystem::remove(CONFIG_FILE_NAME);
    DoorLogFileName = "bbsglimra.log";
    ReadConfiguration();
    EXPECT_EQ(Row(1), "File handling error occurred. Details (bbsglimra.cfg): File not found");
    std::filesystem::create_directory(CONFIG_FILE_NAME); // as a FIFO or a device would be
    ReadConfiguration();
    EXPECT_EQ(Row(2), "File handling error occurred. Details (bbsglimra.cfg): Not a regular file");
    EXPECT_TRUE(ReadFile("bbsglimra.log").ends_with("] " + Row(2) + "\n"));
}

TEST_F(SysopTest, UpdateCheckAnnouncesOnlyUnknownReleasesAndFailsSilentlyForTheRun) {
    TestHttpServer server;
    const std::string url = server.Url("/glimraversion.txt");
    // The menu's step in a new run (unless AAgain): the cursor at (25, 24), then the check; row 24,
    // its colour, the cursor.
    const auto check = [](const std::string& AUrl, bool AAgain = false) {
        if (!AAgain) NotFound = UpdateCheckRequested = false;
        TestSetEnv("GLIMRA_UPDATE_URL", AUrl.c_str());
        AnsiReset();
        DoorGotoXY(25, 24);
        UpdateCheck();
        TestSetEnv("GLIMRA_UPDATE_URL", nullptr);
        return Row(24) + " " + std::to_string(AttrAt(25, 24)) + " " +
               std::to_string(LocalScreen().TextAttr()) + " " +
               std::to_string(LocalScreen().CursorColumn()) + " " + std::to_string(NotFound);
    };
    CheckCases("updatecheck.cases", 2, [&](const std::vector<std::string>& ACase) {
        server.Serve("/glimraversion.txt", ACase[0], ACase[1].empty() ? "200 OK\r\n" : ACase[1]);
        server.Serve("/moved.txt", "2026.2.2");
        std::string body = "unchanged";
        const bool fetched = FetchVersionFile(url, body);
        return std::vector{check(url), std::to_string(fetched) + " " + body};
    });
    std::string body;
    server.Serve("/glimraversion.txt", std::string(5000, '9')); // no version file is that long
    EXPECT_FALSE(FetchVersionFile(url, body) || FetchVersionFile("http://glimra.invalid/v", body));
    // One request a run: a later drawing of the menu shows what the first one fetched.
    server.Serve("/glimraversion.txt", "2025.1.1");
    const std::string shown = check(url);
    int asked = server.Connections;
    EXPECT_EQ(check(url, true), shown);
    EXPECT_EQ(server.Connections, asked) << "after a success no request is sent in that session";
    EXPECT_EQ(check(TestHttpServer::RefusedUrl()).back(), '1') << "refused";
    EXPECT_EQ(check(url, true).back(), '1') << "after a failure no request is sent in that session";
    EXPECT_EQ(server.Connections, asked);
    server.Silent = true; // a server that never answers: shortened time-outs
    UpdateCheckTimeouts = {200, 400};
    EXPECT_EQ(check(url).back(), '1');
    UpdateCheckTimeouts = {};
}

TEST_F(SysopTest, MakeDbBuildsKeepsScoresAndAddsWords) {
    GameDatabaseFile = "glimradb.db";
    std::string output;
    const auto run = [&](const std::string& AArgs) {
        CloseGameDatabase(); // Windows replaces no file that is open
        const int code = TestRun(GLIMRA_MAKEDB " --schema " GLIMRA_SOURCE_DIR "/data/schema.sql "
                                               "--answers answers.txt --allowed allowed.txt "
                                               "-o glimradb.db " +
                                 AArgs + " > out.txt 2>&1");
        return output = ReadFile("out.txt"), code;
    };
    WriteFile("answers.txt", "cider\r\nApple\n\n# a comment\ncider\n");
    WriteFile("allowed.txt", "  aahed\nzymic\n");
    ASSERT_EQ(run("") * 10 + run("--add --force"), 2) << output; // the second: options that clash
    EXPECT_EQ(Sql("SELECT strWord FROM tblWords UNION ALL SELECT strWord FROM tblAllWords"),
              (std::vector<std::string>{"cider", "apple", "cider", "apple", "aahed", "zymic"}));
    EXPECT_TRUE(GuessInWordLists("ZYMIC") && GuessInWordLists("Apple") &&
                !GuessInWordLists("qqqqq"));
    Sql("INSERT INTO tblScores VALUES ('Bob', '2024-03-05', 160)");
    EXPECT_TRUE(run("") == 1 && output.find("holds 1 score;") != std::string::npos) << output;
    Sql("UPDATE tblTotals SET intTotal = 5"); // totals gone wrong are computed afresh by --add
    Sql("DELETE FROM tblMonthTotals");
    WriteFile("answers.txt", "cider\nslate\n");
    WriteFile("allowed.txt", "aahed\nAAHED\nmound\n");
    EXPECT_TRUE(run("--add") == 0 &&
                output.find("added 1 answer words and 2 accepted guesses") != std::string::npos)
        << output;
    EXPECT_EQ(Sql("SELECT intTotal FROM tblTotals UNION ALL SELECT intDays FROM tblMonthTotals"),
              (std::vector<std::string>{"160", "1"}));
    ASSERT_EQ(run("--force"), 0) << output;
    EXPECT_EQ(Sql("SELECT COUNT(*) FROM tblScores")[0], "0");
    Sql("DROP TABLE tblScores"); // --add also completes an older table, which allows NULLs
    Sql("CREATE TABLE tblScores (strUserName, dtDate, intScore)");
    Sql("INSERT INTO tblScores VALUES (NULL, '2024-03-05', 10), ('Bob', NULL, NULL)");
    ASSERT_EQ(run("--add"), 0) << output;
    EXPECT_NE(output.find(": tblScores: 1 score without a name left out of the totals; 1 score "
                          "without a date left out of the monthly totals; 1 score without points "
                          "counted as 0"),
              std::string::npos)
        << output;
    std::filesystem::remove("glimradb.db");
    WriteFile("answers.txt", "cider\ncrane\nbad-1\n");
    EXPECT_TRUE(run("") == 1 && output.find("answers.txt:3: \"bad-1\" is not a five-letter word") !=
                                    std::string::npos)
        << output;
    EXPECT_FALSE(std::filesystem::exists("glimradb.db")) << "no file is left";
}

} // namespace
