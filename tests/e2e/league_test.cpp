// bbsglimra on a league's PostgreSQL server that the test program starts itself: two boards get
// the same word and rank each other's players apart; a server stopped mid-game keeps the caller's
// score in the board's spool until the next door sends it, once.
#include "door/stringutils.h"
#include "tests/support/harness.h"
#include "tests/support/pgserver.h"
#include "tests/support/platform.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

const std::string kToday = "2026-03-15";

// A league database made by makedb --league, "cider" and "slate" its answer words.
class League : public testing::Test {
  protected:
    const std::string Db = PgServer().FreshDatabase();
    const std::string Admin = PgServer().AdminConnection(Db);

    void SetUp() override {
        const fs::path lists = TestScratchDir();
        WriteFile((lists / "answers").string(), "cider\nslate\n");
        WriteFile((lists / "allowed").string(), "crane\n");
        MakeDb(
            {"--answers", (lists / "answers").string(), "--allowed", (lists / "allowed").string()});
        fs::remove_all(lists);
    }
    std::string MakeDb(std::vector<std::string> AArgs) {
        AArgs.insert(AArgs.begin(), {GLIMRA_MAKEDB, "--league", Admin, "--schema",
                                     GLIMRA_SOURCE_DIR "/data/league.sql"});
        const auto [code, output] = RunProgram(AArgs);
        EXPECT_EQ(code, 0) << output;
        return output;
    }
    // A board's door directory: art and bbsglimra.cfg with the connection string makedb gave.
    void Board(TBbs& ABbs, const std::string& ATag) {
        const std::string output = MakeDb({"--add-board", ATag});
        const auto from = output.rfind('\n', output.size() - 2) + 1;
        for (const char* art : {"header.ans", "del_glimra.ans", "menu.ans", "box.ans"})
            fs::copy_file(fs::path(GLIMRA_SOURCE_DIR) / "data/art" / art, ABbs.Dir() / art);
        ABbs.Write("bbsglimra.cfg", "0\n300\nWell done!\n" +
                                        output.substr(from, output.size() - from - 1) + "\n" +
                                        ATag + "\n");
    }
    std::vector<std::string> Sql(const std::string& ASql) { return PgRows(Admin, ASql); }
};

// bbsglimra for AAlias at noon today, in AWorkDir (empty: the BBS's own directory).
void Start(TBbs& ABbs, const std::string& AAlias, const fs::path& AWorkDir = {}) {
    const auto drop = ABbs.Write("DOOR32.SYS", TBbs::Door32(2, ABbs.Handle(), AAlias));
    ABbs.Start({.Binary = GLIMRA_BINARY_DIR "/bbsglimra",
                .Args = {"-D" + drop.string()},
                .FakeTime = kToday + " 12:00:00",
                .WorkDir = AWorkDir});
}

// Ada plays on ALPHA and on BETA: one word for the date, two players on the day's board. Then
// the server stops while Cy's guess screen is up on ALPHA: Cy wins, the score goes to the spool,
// Cy is told and handed back. With the server back, ALPHA's next door sends it at start-up.
TEST_F(League, TwoBoardsShareTheWordRankPlayersApartAndKeepAScoreWhileTheServerIsAway) {
    TBbs alpha, beta, cy, next;
    Board(alpha, "ALPHA"), Board(beta, "BETA");
    std::string word;
    for (TBbs* bbs : {&alpha, &beta}) {
        Start(*bbs, "Ada");
        ASSERT_TRUE(bbs->See("[1] Play Glimra")) << Shot(bbs->Screen()) << bbs->Log();
        if (word.empty())
            word = Sql("SELECT strWord FROM tblWordsByDate WHERE dtDate = '" + kToday + "'").at(0);
        bbs->Send("1" + std::string(bbs == &alpha ? word : "crane\r" + word) + "\r");
        ASSERT_TRUE(bbs->See("The Word Was: " + UpperCase(word))) << Shot(bbs->Screen());
        ASSERT_TRUE((bbs->Send(" "), bbs->See("Press Any Key to Continue")));
    }
    EXPECT_TRUE(beta.See("Ada@ALPHA")) << Shot(beta.Screen());
    EXPECT_TRUE(beta.See("Ada@BETA")) << Shot(beta.Screen());
    for (TBbs* bbs : {&alpha, &beta})
        EXPECT_TRUE((bbs->Send(" q"), bbs->HandedBack())) << Shot(bbs->Screen());

    Start(cy, "Cy", alpha.Dir());
    ASSERT_TRUE((cy.Send("1crane\r"), cy.See("Enter Guess 2: "))) << Shot(cy.Screen());
    PgServer().Stop();
    cy.Send(word + "\r");
    ASSERT_TRUE(cy.See("counts once the league's server is back", 30s)) << Shot(cy.Screen());
    EXPECT_TRUE(cy.HandedBack()) << cy.Log();
    const fs::path spool = alpha.Dir() / "glimraspool";
    EXPECT_EQ(std::distance(fs::directory_iterator(spool), {}), 1);
    PgServer().Start();
    Start(next, "Dee", alpha.Dir());
    ASSERT_TRUE(next.See("[1] Play Glimra")) << Shot(next.Screen()) << next.Log();
    EXPECT_EQ(std::distance(fs::directory_iterator(spool), {}), 0);
    EXPECT_TRUE((next.Send("q"), next.HandedBack()));
    EXPECT_EQ(Sql("SELECT strBoard, strUserName, intScore FROM tblScores ORDER BY 1, 2"),
              (std::vector<std::string>{"ALPHA|Ada|320", "ALPHA|Cy|160", "BETA|Ada|160"}));
}

} // namespace
