// A sysop's install and upgrade. An installed tree away from the source: glimra-makedb sets up a
// door directory from elsewhere, a second set-up keeps what is there, and the installed door plays
// a game in it (the tree is `cmake --install`ed into a temporary prefix, or is the one under
// GLIMRA_INSTALLED_PREFIX: tools/check-package sets it for the installed package). A database of
// an earlier version: nodes starting at once upgrade it once, boards, scores and words unchanged.
#include "game/totals.h"
#include "game/upgrade.h"
#include "tests/e2e/glimra_node.h"

namespace {

using namespace glimra_e2e;

// Runs ACommand through the shell in ADir; returns the exit code, and what it printed in AOutput.
int RunIn(const fs::path& ADir, const std::string& ACommand, std::string& AOutput) {
    const int status =
        std::system(("cd '" + ADir.string() + "' && " + ACommand + " > cmd.out 2>&1").c_str());
    AOutput = ReadFile(ADir / "cmd.out");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The first column of every row of ASql.
std::vector<std::string> Rows(SqlConnection& AConn, const std::string& ASql) {
    SqlStatement query(AConn, ASql);
    std::vector<std::string> rows;
    while (query.Step()) rows.push_back(query.ColumnText(0));
    return rows;
}

// Every board that ranks totals: all-time, this month, last month.
std::vector<std::string> Boards(SqlConnection& AConn) {
    std::vector<std::string> rows;
    for (const auto& board : {TopAllTimeTotals(AConn, 10), TopMonthTotals(AConn, 2026, 3, 10),
                              TopMonthTotals(AConn, 2026, 2, 10)})
        for (const auto& row : board)
            rows.push_back(row.UserName + " " + std::to_string(row.Total) + "/" +
                           std::to_string(row.Days));
    return rows;
}

// How many other processes have AFile open (a door runs as a child of faketime).
int OthersWithOpen(const fs::path& AFile) {
    int count = 0;
    std::error_code ec;
    for (const auto& proc : fs::directory_iterator("/proc", ec)) {
        if (proc.path().filename() == std::to_string(::getpid())) continue;
        for (const auto& fd : fs::directory_iterator(proc.path() / "fd", ec))
            if (fs::read_symlink(fd.path(), ec) == AFile) {
                ++count;
                break;
            }
    }
    return count;
}

// Waits for ABbs's caller to see AText at ACol, ARow, draining a local terminal meanwhile.
bool See(TBbsHarness& ABbs, int ACol, int ARow, const std::string& AText) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (ABbs.LocalFd() >= 0) ABbs.LocalPump(10ms);
        if (ABbs.CallerWaitForScreen(TextAt(ACol, ARow, AText), 20ms)) return true;
    }
    return false;
}

} // namespace

TEST(InstalledGlimra, SetsUpADoorDirectoryFromElsewhereAndPlaysAGame) {
    TTempDir temp;
    std::string out;
    const char* installed = std::getenv("GLIMRA_INSTALLED_PREFIX");
    const fs::path prefix = installed ? fs::path(installed) : temp.Path() / "prefix";
    if (!installed) {
        ASSERT_EQ(
            RunIn(temp.Path(), "cmake --install '" GLIMRA_BINARY_DIR "' --prefix prefix", out), 0)
            << out;
    }
    // A relative door directory that does not exist yet, from a directory without data/.
    const std::string setup = "'" + (prefix / "bin/glimra-makedb").string() + "' --setup door";
    ASSERT_EQ(RunIn(temp.Path(), setup, out), 0) << out;
    const fs::path door = temp.Path() / "door";
    EXPECT_NE(out.find("door/glimradb.db: built with"), std::string::npos) << out;
    for (const char* art : {"header.ans", "del_glimra.ans", "menu.ans", "box.ans"})
        EXPECT_EQ(ReadFile(door / art), ReadFile(kSource / "data/art" / art)) << art;
    EXPECT_EQ(ReadFile(door / "bbsglimra.cfg"), "0\n300\n\n");

    // The sysop's configuration, art and scores survive a second set-up.
    std::ofstream(door / "bbsglimra.cfg") << "0\n60\nYes!\n";
    std::ofstream(door / "del_glimra.ans") << "the sysop's own";
    SqlConnection conn((door / "glimradb.db").string());
    conn.Exec("INSERT INTO tblScores VALUES ('Old Timer', '2026-03-01', 80);"
              "INSERT INTO tblWordsByDate VALUES ('2026-03-15', 'cider')");
    ASSERT_EQ(RunIn(temp.Path(), setup, out), 0) << out;
    EXPECT_NE(out.find("glimradb.db: kept, it holds 1 score"), std::string::npos) << out;
    EXPECT_EQ(ReadFile(door / "bbsglimra.cfg"), "0\n60\nYes!\n");
    EXPECT_EQ(ReadFile(door / "del_glimra.ans"), "the sysop's own");

    // One game through the installed door, started in the door directory as a BBS would.
    TBbsHarness bbs;
    TDoorLaunch launch = GlimraLaunch(bbs, "Tester");
    launch.Binary = (prefix / "bin/bbsglimra").string();
    launch.WorkDir = door;
    bbs.Start(launch);
    const TVTermScreen& screen = bbs.CallerScreen();
    ASSERT_TRUE(See(bbs, 29, 12, "[1] Play Glimra")) << screen.Dump() << bbs.DoorLog();
    bbs.CallerSend("1");
    ASSERT_TRUE(See(bbs, 30, 16, "Enter Guess 1: ")) << screen.Dump();
    bbs.CallerSend("cider\r");
    ASSERT_TRUE(See(bbs, 2, 24, "The Word Was: CIDER")) << screen.Dump();
    EXPECT_TRUE(Shows("<-Yes!")(screen)) << screen.Dump();
    bbs.CallerSend(" ");
    ASSERT_TRUE(See(bbs, 31, 10, "TOP TEN FOR 03/15/2026")) << screen.Dump();
    ASSERT_TRUE(See(bbs, 30, 24, "Press Any Key to Continue"));
    bbs.CallerSend(" ");
    ASSERT_TRUE(See(bbs, 29, 12, "[1] Play Glimra")) << screen.Dump();
    bbs.CallerSend("q");
    EXPECT_EQ(bbs.WaitExit(10s), 0) << bbs.DoorLog();
    EXPECT_EQ(Rows(conn, "SELECT strUserName || ' ' || dtDate || ' ' || intScore FROM tblScores "
                         "ORDER BY rowid"),
              (std::vector<std::string>{"Old Timer 2026-03-01 80", "Tester 2026-03-15 320"}));
}

TEST(GlimraUpgrade, NodesStartingAtOnceUpgradeAnEarlierDatabaseOnce) {
    TTempDir dir;
    const fs::path db = dir.Path() / "glimradb.db";
    InstallGlimra(dir.Path(), "0\n300\n\n");
    fs::remove(db);
    // The four tables only. Twelve callers every day for six weeks, each total a different one,
    // so that the boards have no ties.
    SqlConnection conn(db.string(), SqlConnection::TOpenMode::Create);
    conn.Exec("ATTACH '" + TemplateDatabase().string() + "' AS t;" +
              "CREATE TABLE tblWords AS SELECT strWord FROM t.tblWords;"
              "CREATE TABLE tblAllWords AS SELECT strWord FROM t.tblAllWords;"
              "CREATE TABLE tblWordsByDate (dtDate TEXT, strWord TEXT);"
              "CREATE TABLE tblScores (strUserName TEXT, dtDate TEXT, intScore INTEGER);"
              "DETACH t;"
              "WITH RECURSIVE d(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM d WHERE n < 41),"
              " c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 12)"
              " INSERT INTO tblScores SELECT 'Caller ' || i, date('2026-02-01', '+' || n || "
              "' days'), (i * 7 + n) % 9 * 40 + i FROM d, c;"
              "INSERT INTO tblWordsByDate SELECT DISTINCT dtDate, 'cider' FROM tblScores "
              "UNION ALL SELECT '2026-03-15', 'cider'");
    ASSERT_FALSE(MissingSchemaObjects(conn).empty());
    const auto boards = Boards(conn);
    const std::string scoresSql =
        "SELECT strUserName || dtDate || intScore FROM tblScores ORDER BY rowid";
    const auto scores = Rows(conn, scoresSql);
    const auto words = Rows(conn, "SELECT dtDate || strWord FROM tblWordsByDate ORDER BY rowid");

    // The nodes start while the file is locked for writing, so that each finds it lacking before
    // any of them can upgrade it.
    conn.Exec("BEGIN IMMEDIATE");
    std::vector<std::unique_ptr<TNode>> nodes;
    for (int n = 1; n <= 3; ++n) {
        nodes.push_back(std::make_unique<TNode>("Caller " + std::to_string(n), n));
        TDoorLaunch launch = GlimraLaunch(*nodes.back()->Bbs, nodes.back()->Alias, n);
        launch.WorkDir = dir.Path();
        launch.LocalTerminal = true;
        nodes.back()->Bbs->Start(launch);
    }
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (OthersWithOpen(db) < 3 && std::chrono::steady_clock::now() < deadline)
        for (const auto& node : nodes) node->Bbs->LocalPump(10ms);
    conn.Exec("COMMIT");

    int upgraded = 0;
    for (const auto& node : nodes) {
        ASSERT_TRUE(See(*node->Bbs, 29, 12, "[1] Play Glimra")) << node->Bbs->LocalReceived();
        const std::string& local = node->Bbs->LocalReceived();
        const bool line = local.find("Upgrading") != std::string::npos;
        upgraded += line;
        EXPECT_EQ(line, local.find("done") != std::string::npos);
        EXPECT_EQ(node->Bbs->CallerReceived().find("Upgrading"), std::string::npos);
        node->Send("q");
    }
    EXPECT_EQ(upgraded, 1);
    for (const auto& node : nodes) EXPECT_EQ(node->Bbs->WaitExit(10s), 0);

    EXPECT_EQ(MissingSchemaObjects(conn), std::vector<std::string>{});
    ASSERT_TRUE(HasScoreTotals(conn));
    EXPECT_EQ(Boards(conn), boards);
    EXPECT_EQ(Rows(conn, scoresSql), scores);
    auto after = Rows(conn, "SELECT dtDate || strWord FROM tblWordsByDate ORDER BY rowid");
    after.resize(words.size()); // DBCheck gave the rest of the month its words
    EXPECT_EQ(after, words);
}
