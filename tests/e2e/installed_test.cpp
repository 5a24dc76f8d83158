// An installed Glimra away from the source tree: glimra-makedb sets up a door directory from
// another directory, a second set-up keeps what the sysop has there, and bbsglimra started in it
// as a BBS starts a door plays a game. The tree is `cmake --install`ed into a temporary prefix,
// or is the one under GLIMRA_INSTALLED_PREFIX (tools/check-package: the installed package).
#include "tests/e2e/glimra_node.h"

#include <cstdlib>

namespace {

using namespace glimra_e2e;

const char* const kArt[] = {"header.ans", "del_glimra.ans", "menu.ans", "box.ans"};

// Runs ACommand through the shell in ADir; returns the exit code and what it printed.
int RunIn(const fs::path& ADir, const std::string& ACommand, std::string& AOutput) {
    const fs::path out = ADir / "command.out";
    const int status =
        std::system(("cd '" + ADir.string() + "' && " + ACommand + " > command.out 2>&1").c_str());
    AOutput = ReadFile(out);
    fs::remove(out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Sql(const fs::path& ADatabase, const std::string& ASql) {
    SqlConnection(ADatabase.string()).Exec(ASql);
}

} // namespace

TEST(InstalledGlimra, SetsUpADoorDirectoryFromElsewhereAndPlaysAGame) {
    TTempDir temp;
    std::string output;
    const char* installed = std::getenv("GLIMRA_INSTALLED_PREFIX");
    const fs::path prefix = installed ? fs::path(installed) : temp.Path() / "prefix";
    if (!installed) {
        ASSERT_EQ(RunIn(temp.Path(),
                        "cmake --install '" + std::string(GLIMRA_BINARY_DIR) + "' --prefix '" +
                            prefix.string() + "'",
                        output),
                  0)
            << output;
    }
    const std::string makedb = "'" + (prefix / "bin/glimra-makedb").string() + "' --setup door";

    // A relative door directory that does not exist yet, from a directory without data/.
    ASSERT_EQ(RunIn(temp.Path(), makedb, output), 0) << output;
    const fs::path door = temp.Path() / "door";
    EXPECT_NE(output.find("door/glimradb.db: built with"), std::string::npos) << output;
    for (const char* art : kArt)
        EXPECT_EQ(ReadFile(door / art), ReadFile(kSource / "data/art" / art)) << art;
    EXPECT_EQ(ReadFile(door / "bbsglimra.cfg"), "0\n300\n\n");

    // The sysop's configuration, art and scores survive a second set-up.
    std::ofstream(door / "bbsglimra.cfg") << "0\n60\nYes!\n";
    std::ofstream(door / "del_glimra.ans") << "the sysop's own";
    Sql(door / "glimradb.db", "INSERT INTO tblScores VALUES ('Old Timer', '2026-03-01', 80);"
                              "INSERT INTO tblWordsByDate VALUES ('" +
                                  kToday + "', 'cider')");
    ASSERT_EQ(RunIn(temp.Path(), makedb, output), 0) << output;
    EXPECT_NE(output.find("glimradb.db: kept, it holds 1 score"), std::string::npos) << output;
    EXPECT_EQ(ReadFile(door / "bbsglimra.cfg"), "0\n60\nYes!\n");
    EXPECT_EQ(ReadFile(door / "del_glimra.ans"), "the sysop's own");

    // One game through the installed door, started in the door directory as a BBS would.
    TBbsHarness bbs;
    TDoorLaunch launch = GlimraLaunch(bbs, "Tester");
    launch.Binary = (prefix / "bin/bbsglimra").string();
    launch.WorkDir = door;
    bbs.Start(launch);
    const TVTermScreen& screen = bbs.CallerScreen();
    ASSERT_TRUE(bbs.CallerWaitForScreen(TextAt(29, 12, "[1] Play Glimra"), 10s))
        << screen.Dump() << bbs.DoorLog();
    bbs.CallerSend("1");
    ASSERT_TRUE(bbs.CallerWaitForScreen(TextAt(30, 16, "Enter Guess 1: "), 10s)) << screen.Dump();
    bbs.CallerSend("cider\r");
    ASSERT_TRUE(bbs.CallerWaitForScreen(TextAt(2, 24, "The Word Was: CIDER"), 5s)) << screen.Dump();
    EXPECT_TRUE(Shows("<-Yes!")(screen)) << screen.Dump();
    bbs.CallerSend(" ");
    ASSERT_TRUE(bbs.CallerWaitForScreen(TextAt(31, 10, "TOP TEN FOR 03/15/2026"), 5s))
        << screen.Dump();
    ASSERT_TRUE(bbs.CallerWaitForScreen(TextAt(30, 24, "Press Any Key to Continue"), 5s));
    EXPECT_EQ(Text(screen, 31, 12, 6), "Tester");
    bbs.CallerSend(" ");
    ASSERT_TRUE(bbs.CallerWaitForScreen(TextAt(29, 12, "[1] Play Glimra"), 10s)) << screen.Dump();
    bbs.CallerSend("q");
    EXPECT_EQ(bbs.WaitExit(10s), 0) << bbs.DoorLog();
    const auto rows = ScoreRows(door);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Name + " " + std::to_string(rows[0].Score), "Old Timer 80");
    EXPECT_EQ(rows[1].Name + " " + rows[1].Date + " " + std::to_string(rows[1].Score),
              "Tester 2026-03-15 320");
    EXPECT_TRUE(fs::exists(door / "bulletin.ans"));
}
