// A database of an earlier version (the four game tables, no indexes, no totals) is upgraded by
// the door at start-up: nodes starting at once upgrade it once, with a line on the local console,
// and the boards, scores and words stay as they were.
#include "game/totals.h"
#include "game/upgrade.h"
#include "tests/e2e/glimra_node.h"

#include <unistd.h>

namespace {

using namespace glimra_e2e;

// The rows of every board that ranks totals: all-time, this month and last month.
std::vector<std::string> Boards(SqlConnection& AConn) {
    std::vector<std::string> rows;
    for (const auto& board : {TopAllTimeTotals(AConn, 10), TopMonthTotals(AConn, 2026, 3, 10),
                              TopMonthTotals(AConn, 2026, 2, 10)}) {
        for (const auto& row : board)
            rows.push_back(row.UserName + " " + std::to_string(row.Total) + "/" +
                           std::to_string(row.Days));
        rows.push_back("--");
    }
    return rows;
}

std::vector<std::string> Rows(SqlConnection& AConn, const std::string& ASql) {
    SqlStatement query(AConn, ASql);
    std::vector<std::string> rows;
    while (query.Step()) rows.push_back(query.ColumnText(0));
    return rows;
}

// How many other processes have AFile open (the door runs as a child of faketime).
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

} // namespace

TEST(GlimraUpgrade, NodesStartingAtOnceUpgradeAnEarlierDatabaseOnce) {
    TTempDir dir;
    const fs::path db = dir.Path() / "glimradb.db";
    InstallGlimra(dir.Path(), "0\n300\n\n");
    fs::remove(db);
    SqlConnection conn(db.string(), SqlConnection::TOpenMode::Create);
    // Twelve callers every day for six weeks, every total a different one: the boards have no ties.
    conn.Exec("ATTACH '" + TemplateDatabase().string() +
              "' AS t;"
              "CREATE TABLE tblWords AS SELECT strWord FROM t.tblWords;"
              "CREATE TABLE tblAllWords AS SELECT strWord FROM t.tblAllWords;"
              "CREATE TABLE tblWordsByDate (dtDate TEXT, strWord TEXT);"
              "CREATE TABLE tblScores (strUserName TEXT, dtDate TEXT, intScore INTEGER);"
              "DETACH t;"
              "WITH RECURSIVE d(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM d WHERE n < 41),"
              " c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 12)"
              " INSERT INTO tblScores SELECT 'Caller ' || i, date('2026-02-01', '+' || n || "
              "' days'), (i * 7 + n) % 9 * 40 + i FROM d, c;"
              "INSERT INTO tblWordsByDate SELECT DISTINCT dtDate, 'cider' FROM tblScores;"
              "INSERT INTO tblWordsByDate VALUES ('" +
              kToday + "', 'cider');");
    ASSERT_FALSE(MissingSchemaObjects(conn).empty());
    const auto boards = Boards(conn);
    const auto scores =
        Rows(conn, "SELECT strUserName || dtDate || intScore FROM tblScores ORDER BY rowid");
    const auto words = Rows(conn, "SELECT dtDate || strWord FROM tblWordsByDate ORDER BY rowid");

    // The nodes start while the file is locked for writing, so that each of them finds it
    // lacking before any of them can upgrade it.
    conn.Exec("BEGIN IMMEDIATE");
    std::vector<std::unique_ptr<TNode>> nodes;
    for (int n = 1; n <= 3; ++n) {
        nodes.push_back(std::make_unique<TNode>("Caller " + std::to_string(n), n));
        TDoorLaunch launch = GlimraLaunch(*nodes.back()->Bbs, nodes.back()->Alias, n);
        launch.WorkDir = dir.Path();
        launch.LocalTerminal = true;
        nodes.back()->Bbs->Start(launch);
    }
    auto deadline = std::chrono::steady_clock::now() + 20s;
    while (OthersWithOpen(db) < 3 && std::chrono::steady_clock::now() < deadline)
        for (const auto& node : nodes) node->Bbs->LocalPump(10ms);
    conn.Exec("COMMIT");
    deadline = std::chrono::steady_clock::now() + 20s;

    int upgraded = 0;
    for (const auto& node : nodes) {
        bool menu = false;
        while (!menu && std::chrono::steady_clock::now() < deadline) {
            node->Bbs->LocalPump(10ms);
            menu = node->Bbs->CallerWaitForScreen(TextAt(29, 12, "[1] Play Glimra"), 20ms);
        }
        ASSERT_TRUE(menu) << node->Screen().Dump() << node->Bbs->LocalReceived();
        const std::string& local = node->Bbs->LocalReceived();
        upgraded += local.find("Upgrading") != std::string::npos;
        EXPECT_EQ(local.find("Upgrading") != std::string::npos,
                  local.find("done") != std::string::npos);
        EXPECT_EQ(node->Bbs->CallerReceived().find("Upgrading"), std::string::npos);
        node->Send("q");
    }
    EXPECT_EQ(upgraded, 1);
    for (const auto& node : nodes) EXPECT_EQ(node->Bbs->WaitExit(10s), 0);

    EXPECT_EQ(MissingSchemaObjects(conn), std::vector<std::string>{});
    ASSERT_TRUE(HasScoreTotals(conn));
    EXPECT_EQ(Boards(conn), boards);
    EXPECT_EQ(Rows(conn, "SELECT strUserName || dtDate || intScore FROM tblScores ORDER BY rowid"),
              scores);
    auto after = Rows(conn, "SELECT dtDate || strWord FROM tblWordsByDate ORDER BY rowid");
    after.resize(words.size()); // DBCheck gave the rest of the month its words
    EXPECT_EQ(after, words);
}
