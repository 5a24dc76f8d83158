// The league's back-end against a real PostgreSQL server (tests/support/pgserver.h): the store
// suite on it, two boards of one league, the connection's checks and what its errors may say, and
// the score spool killed at each of its steps.
#include "game/store/host.h"
#include "game/store/postgres/leaguestore.h"
#include "tests/game/store/storetest.h"
#include "tests/support/pgserver.h"
#include "tests/support/shots.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace {

namespace fs = std::filesystem;

constexpr const char* kPassword = "s3cret'pw";

// A league database of its own: the schema, boards ALPHA and BETA (each with its role, password
// kPassword) and the word lists.
struct TLeagueDb {
    const std::string Db = PgServer().FreshDatabase();

    TLeagueDb(const std::vector<std::string>& AAnswers, const std::string& AAllowed) {
        StoreHost().MayKeepWaiting = [] { return true; };
        std::string sql =
            "SET client_min_messages = warning;" + ReadFile(GLIMRA_SOURCE_DIR "/data/league.sql");
        for (const std::string board : {"ALPHA", "BETA"})
            sql += "CREATE ROLE \"" + Role(board) + "\"" +
                   " LOGIN PASSWORD 's3cret''pw' IN ROLE "
                   "glimra_board; INSERT INTO tblBoards VALUES ('" +
                   board + "', '" + Role(board) + "');";
        PgRows(Admin(), sql);
        std::string answers;
        for (const std::string& word : AAnswers) answers += (answers.empty() ? "" : ",") + word;
        PgRows(Admin(), "INSERT INTO tblWords SELECT unnest(string_to_array($1, ','))", {answers});
        PgRows(Admin(), "INSERT INTO tblAllWords SELECT unnest(string_to_array($1, ','))",
               {AAllowed});
    }
    // The administrator's connection, bytes in and out as the door's own (Latin-1).
    std::string Admin() const { return PgServer().AdminConnection(Db) + " client_encoding=LATIN1"; }
    // Quoted in SQL, so that the case of the tag stays.
    std::string Role(const std::string& ABoard) const { return Db + "_" + ABoard; }
    TStoreSetting Setting(const std::string& ABoard, const std::string& ARoleBoard = "") const {
        return {
            PgServer().Connection(Db, Role(ARoleBoard.empty() ? ABoard : ARoleBoard), kPassword),
            ABoard};
    }
};

// The store suite's PostgreSQL back-end: board ALPHA of a fresh league.
std::optional<TLeagueDb> SuiteLeague;
std::unique_ptr<TGameStore> MakeLeague(const std::vector<std::string>& AAnswers) {
    SuiteLeague.emplace(AAnswers, "");
    return std::make_unique<TLeagueStore>(SuiteLeague->Setting("ALPHA"));
}
std::vector<std::string> LeagueSql(const std::string& ASql) {
    return PgRows(SuiteLeague->Admin(), ASql);
}
const TBackEnd LEAGUE[] = {{"PostgreSQL", MakeLeague, LeagueSql}};
INSTANTIATE_TEST_SUITE_P(League, StoreTest, testing::ValuesIn(LEAGUE),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

class LeagueStoreTest : public ::testing::Test, public TLeagueDb {
  protected:
    LeagueStoreTest() : TLeagueDb({"crane", "slate", "pious"}, "Abbey,crane") {}
    void SetUp() override {
        ScoreSpoolDir = (fs::temp_directory_path() / ("glimraspool-" + Db)).string();
    }
    void TearDown() override {
        SpoolStepHook = nullptr;
        fs::remove_all(std::exchange(ScoreSpoolDir, "glimraspool"));
    }
    std::vector<std::string> Rows(const std::string& ASql) const { return PgRows(Admin(), ASql); }
    std::size_t Spooled() const {
        return std::distance(fs::directory_iterator(ScoreSpoolDir), fs::directory_iterator());
    }
};

TEST_F(LeagueStoreTest, TwoBoardsShareTheWordsAndRankTheirPlayersApart) {
    TLeagueStore alpha(Setting("ALPHA")), beta(Setting("BETA"));
    alpha.Upgrade(), alpha.CheckWritable();
    EXPECT_EQ(alpha.AssignMonthWords(2024, 2, 29), std::vector<bool>(29, true));
    EXPECT_EQ(beta.AssignMonthWords(2024, 2, 29), std::vector<bool>(29, false));
    EXPECT_EQ(alpha.WordOfDate({2024, 2, 29}), beta.WordOfDate({2024, 2, 29}));
    EXPECT_NE(PgRows(Admin(), "SELECT count(DISTINCT strWord) FROM tblWordsByDate")[0], "1");
    EXPECT_EQ(alpha.WordMatches("CRANE") * 100 + alpha.WordMatches("abbey") * 10 +
                  alpha.WordMatches("pious") + alpha.WordMatches("x' OR '1'='1") * 1000,
              111);
    const TGameDate day{2024, 2, 10};
    alpha.WriteScore({"Ada", ""}, day, 300);
    beta.WriteScore({"Ada", ""}, day, 300);
    beta.WriteScore({"Bo'b", ""}, day, 500);
    alpha.WriteScore({"Ada", ""}, {2024, 2, 12}, 100);
    alpha.Disconnect(); // prepared again on the next connection
    alpha.WriteScore({"Ada", ""}, {2024, 1, 31}, 0);
    std::string ranks;
    for (const auto& row : alpha.DayTopScores(day, 10))
        ranks += row.UserName + "@" + row.Board + " " + std::to_string(row.Score) + ", ";
    for (const auto& row : beta.TopMonthTotals(2024, 2, 10))
        ranks += row.UserName + "@" + row.Board + " " + std::to_string(row.Total) + "/" +
                 std::to_string(row.Days) + ", ";
    for (const auto& row : beta.TopAllTimeTotals(2)) ranks += row.UserName + "@" + row.Board + ", ";
    const TDayBest best = beta.DayBest(day);
    EXPECT_EQ(ranks + best.UserName + "@" + best.Board + " x" + std::to_string(best.Holders),
              "Bo'b@BETA 500, Ada@ALPHA 300, Ada@BETA 300, Bo'b@BETA 500/1, Ada@ALPHA 400/2, "
              "Ada@BETA 300/1, Bo'b@BETA, Ada@ALPHA, Bo'b@BETA x1");
    std::vector<bool> played(31, false);
    played[9] = played[11] = true;
    EXPECT_EQ(alpha.PlayedDays({"Ada", ""}, 2024, 2), played);
    EXPECT_FALSE(beta.HasScore({"Ada", "BETA"}, {2024, 2, 12}));
    EXPECT_TRUE(alpha.PlayedDays({"Ada", ""}, 2024, 1)[30] && best.Found);
}

// A role of no board or of another board is refused; no text ever carries the password.
TEST_F(LeagueStoreTest, ConnectionChecksKeepThePasswordOutOfEveryText) {
    const auto refused = [](TGameStore&& AStore, TDatabaseFault AFault, const char* AWords) {
        try {
            AStore.Upgrade();
            ADD_FAILURE() << AWords;
        } catch (const GameDatabaseError& error) {
            EXPECT_EQ(error.Fault(), AFault) << error.what();
            EXPECT_NE(std::string(error.what()).find(AWords), std::string::npos) << error.what();
            const std::string what = error.what(); // one line for the log, no password
            EXPECT_EQ(what.find('\n'), std::string::npos) << what;
            EXPECT_EQ(what.find("s3cret"), std::string::npos) << what;
        }
    };
    refused(TLeagueStore(Setting("ALPHA", "BETA")), TDatabaseFault::Other, "is board BETA");
    PgRows(Admin(),
           "CREATE ROLE \"" + Role("GAMMA") + "\" LOGIN PASSWORD 'x' IN ROLE glimra_board");
    refused(TLeagueStore({PgServer().Connection(Db, Role("GAMMA"), "x"), "GAMMA"}),
            TDatabaseFault::Other, "is no board");
    refused(TLeagueStore({PgServer().Connection(Db, Role("ALPHA"), "s3cret-wrong"), "ALPHA"}),
            TDatabaseFault::Other, "cannot be reached");
    refused(TLeagueStore({"host=/nonexistent port=1 password=s3cret", "ALPHA"}),
            TDatabaseFault::Unreachable, "cannot be reached");
    refused(TLeagueStore({"postgresql://u:s3cret@/db?host=/nonexistent&bad=1", "ALPHA"}),
            TDatabaseFault::Other, "cannot be read");
    refused(TLeagueStore({"host=/nonexistent user=u s3cret", "ALPHA"}), TDatabaseFault::Other,
            "cannot be read");
    PgRows(Admin(), "DROP TABLE tblSpoolApplied");
    refused(TLeagueStore(Setting("ALPHA")), TDatabaseFault::Missing, "makedb --league");
    EXPECT_EQ(TLeagueStore(Setting("ALPHA")).Name(),
              PgServer().SocketDir().string() + ":" + std::to_string(PgServer().Port()) + "/" + Db);
}

// A statement in progress is cancelled when the door says the wait may not go on (an ending
// signal, the caller gone), after its first slice.
TEST_F(LeagueStoreTest, AWaitForTheServerEndsWhenTheDoorSays) {
    int looks = 0;
    StoreHost().MayKeepWaiting = [&looks] { return ++looks < 3; };
    TPgConnection conn(Setting("ALPHA").Connection);
    EXPECT_THROW(conn.RunPlain("a long wait", "SELECT pg_sleep(60)"), GameDatabaseError);
    EXPECT_EQ(looks, 3);
    // The same for a connect to an address that takes the connection and never answers.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    looks = 0;
    TPgConnection silent("host=127.0.0.1 connect_timeout=20 port=" +
                         std::to_string(ntohs(address.sin_port)));
    try {
        silent.Connect();
        ADD_FAILURE() << "connected to nothing";
    } catch (const GameDatabaseError& AError) {
        EXPECT_NE(std::string(AError.what()).find("the wait ended"), std::string::npos)
            << AError.what();
    }
    EXPECT_EQ(looks, 3);
    close(listener);
}

// A door killed at each step of a score, or of the start-up's sending, loses nothing and counts
// nothing twice: the next door's start-up finishes the work.
TEST_F(LeagueStoreTest, ASpoolKilledAtEachStepCountsEveryScoreOnce) {
    struct TCase {
        const char* WriteStep; // where the door writing the score ends ("" when it ends after)
        const char* SendStep;  // where a second door sending the spool at start-up ends
        int Score;             // of the score written after a first one of 50
        int Expected;          // the score counted afterwards
    };
    const TCase cases[] = {{"written", "", 70, 50},  {"kept", "", 70, 70},
                           {"kept", "sent", 70, 70}, {"sent", "", 70, 70},
                           {"removed", "", 70, 70},  {"kept", "", 0, 50}};
    int player = 0;
    for (const TCase& c : cases) {
        const std::string alias = "../P" + std::to_string(++player) + "/*)\n"; // a file name?
        TLeagueStore(Setting("ALPHA")).WriteScore({alias, ""}, {2024, 2, 10}, 50);
        for (const char* step : {c.WriteStep, c.SendStep}) {
            if (!*step) continue;
            static const char* killAt;
            killAt = step;
            const pid_t child = fork();
            if (child == 0) {
                SpoolStepHook = [](const char* AStep) {
                    if (std::string(AStep) == killAt) _exit(0);
                };
                TLeagueStore door(Setting("ALPHA"));
                if (step == c.WriteStep)
                    door.WriteScore({alias, ""}, {2024, 2, 10}, c.Score);
                else
                    door.SendKept();
                _exit(3);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_EQ(WEXITSTATUS(status), 0) << alias << " never reached " << step;
        }
        // A temporary file of a door killed before its rename is old by the next start-up.
        for (const auto& item : fs::directory_iterator(ScoreSpoolDir))
            fs::last_write_time(item.path(),
                                fs::file_time_type::clock::now() - std::chrono::minutes(5));
        TLeagueStore(Setting("ALPHA")).SendKept();
        EXPECT_EQ(Spooled(), 0u) << alias;
        EXPECT_EQ(Rows("SELECT intScore FROM tblScores WHERE strUserName = '" + alias + "'"),
                  std::vector<std::string>{std::to_string(c.Expected)})
            << alias;
        EXPECT_EQ(Rows("SELECT intDays FROM tblMonthTotals WHERE strUserName = '" + alias + "'"),
                  std::vector<std::string>{"1"});
    }
    // One applied entry per score sent: each first 50, and each later one that was kept.
    EXPECT_EQ(Rows("SELECT count(*) FROM tblSpoolApplied"), std::vector<std::string>{"11"});
    // An entry damaged outside the door is set aside once, out of every later start-up's way.
    const fs::path torn = fs::path(ScoreSpoolDir) / "ALPHA.2024-02-10.torn.score";
    std::ofstream(torn) << "glimra score spool 1\nid=x\n";
    TLeagueStore(Setting("ALPHA")).SendKept(), TLeagueStore(Setting("ALPHA")).SendKept();
    EXPECT_TRUE(fs::exists(torn.string() + ".refused"));
}

} // namespace
