// The real programs, the test as BBS, caller and sysop: whole visits of bbsglimra (game, calendar,
// every board, local keys, quit and hand-back; eight nodes at once; a hang-up on every screen; a
// hang-up in the update check; a failure) with screens compared to tests/fixtures/e2e_*; what a
// caller's telnet client, the clock and the BBS's signals do; and the example door started every
// way a BBS starts a door, with every kind of end.
#include "tests/support/harness.h"
#include "tests/support/httpserver.h"
#include "tests/support/kit_fixture.h"
#include "tests/support/shots.h"

#include "game/sqldb.h"
#include "game/totals.h"
#include "game/upgrade.h"

#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const std::string kToday = "2026-03-15"; // a Sunday, past the 1st, which is treated apart

std::vector<std::string> Query(const fs::path& ADir, const std::string& ASql,
                               const std::string& AValue = "") {
    return SqlRows((ADir / "glimradb.db").string(), ASql, AValue);
}

// What the log in ADir says happened, one event a line: no date, time, node or alias, and no
// details after a session's start.
std::string LogEvents(const fs::path& ADir, const std::string& AName = "bbsglimra.log") {
    std::string events, line;
    for (std::istringstream in(ReadFile(ADir / AName)); std::getline(in, line);) {
        line.erase(0, line.find("] ") + 2);
        events += line.substr(0, line.starts_with("session start") ? 13 : line.size()) + "\n";
    }
    return events;
}

// makedb's database (made once per test program), "cider" on the dates, art, configuration.
void InstallGlimra(const fs::path& ADir, const std::string& AConfig = "0\n300\nWell done!\n",
                   const std::vector<std::string>& ADates = {kToday}) {
    static const std::string made = [] {
        const std::string db =
            fs::temp_directory_path() / ("glimra-" + std::to_string(::getpid()) + ".db");
        if (std::system(("cd " GLIMRA_SOURCE_DIR " && " GLIMRA_BINARY_DIR "/makedb -o " + db +
                         " >/dev/null")
                            .c_str()))
            throw std::runtime_error("makedb failed");
        std::atexit([] {
            fs::remove(fs::temp_directory_path() /
                       ("glimra-" + std::to_string(::getpid()) + ".db"));
        });
        return db;
    }();
    fs::copy_file(made, ADir / "glimradb.db", fs::copy_options::overwrite_existing);
    for (const auto& date : ADates)
        Query(ADir, "INSERT INTO tblWordsByDate VALUES (?, 'cider')", date);
    for (const char* art : {"header.ans", "del_glimra.ans", "menu.ans", "box.ans"})
        fs::copy_file(fs::path(GLIMRA_SOURCE_DIR) / "data/art" / art, ADir / art);
    if (!AConfig.empty()) std::ofstream(ADir / "bbsglimra.cfg") << AConfig;
}

// bbsglimra on the BBS's connection with a DOOR32.SYS for AAlias, at noon of ADate.
TLaunch Glimra(TBbs& ABbs, const std::string& AAlias = "Tester", int ANode = 1,
               const std::string& ADate = kToday) {
    const auto drop = ABbs.Write("DOOR32.SYS", TBbs::Door32(2, ABbs.Handle(), AAlias, 60, ANode));
    return {.Binary = GLIMRA_BINARY_DIR "/bbsglimra",
            .Args = {"-D" + drop.string()},
            .FakeTime = ADate + " 12:00:00"};
}

// The file is sound and every date has one word: what concurrent nodes must never break.
void ExpectSound(const fs::path& ADir) {
    EXPECT_EQ(Query(ADir, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    EXPECT_EQ(
        Query(ADir, "SELECT dtDate FROM tblWordsByDate GROUP BY 1 HAVING COUNT(*) > 1").size(), 0u);
}

// Window size 81x49 ("Q" and "1"), terminal type XTERM, keep-alives, answers to the offers.
const std::string kTelnet = "\xFF\xFA\x1F\x00\x51\x00\x31\xFF\xF0\xFF\xFA\x18\x00XTERM\xFF\xF0"
                            "\xFF\xF1\xFF\xF1\xFF\xFD\x01\xFF\xFD\x00\xFF\xFB\x1F"s;

bool Menu(TBbs& ABbs) {
    return ABbs.See(32, 23, "Version 2024.10.2") && ABbs.See(29, 12, "[1] Play Glimra");
}
bool Board(TBbs& ABbs) { // a board that waits for a key, the menu gone
    return ABbs.WaitFor([](const TVTermScreen& S) {
        return !S.Shows("Version 2024.10.2") && S.Shows("Press Any Key to Continue");
    });
}

void ExpectScreen(TBbs& ABbs, const std::string& AName) {
    ABbs.Settle();
    ExpectFixture("e2e_" + AName + ".screen", Shot(ABbs.Screen()));
}

TEST(Visit, GameCalendarEveryBoardAndQuitOnThe20th) {
    TBbs bbs;
    InstallGlimra(bbs.Dir(), "0\n300\nWell done!\n", {}); // every day of March has its word
    Query(bbs.Dir(), "WITH RECURSIVE d(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM d WHERE i < 31) "
                     "INSERT INTO tblWordsByDate SELECT printf('2026-03-%02d', i), 'cider' FROM d");
    Query(bbs.Dir(),
          "INSERT INTO tblScores VALUES ('Alice', '2026-03-05', 40), ('Zed', '2026-02-10', 160)");
    TLaunch launch = Glimra(bbs, "Tester", 1, "2026-03-20");
    launch.LocalTerminal = launch.Utf8 = true; // the sysop watches at a terminal of the door's own
    launch.CallerUtf8 = true; // the caller's UTF-8 terminal shows what a CP437 one shows
    bbs.Start(launch);
    ASSERT_TRUE(Menu(bbs)) << Shot(bbs.Screen()) << bbs.Log();
    ExpectScreen(bbs, "menu");
    EXPECT_TRUE(bbs.Local().WaitFor([](const TVTermScreen& S) {
        return Text(S, 31, 25, 16) == "Glimra 2024.10.2"; // the status bar names the door
    }));
    // Today: a word the lists lack costs no guess; a miss; the word on the second guess.
    bbs.Send(kTelnet + "1zzzzz\r"); // neither "Q" nor "1" in the client's reports is a key
    ASSERT_TRUE(bbs.See(52, 16, "I do not have zzzzz"));
    bbs.Send("cr" + kTelnet + "\x1b[A\x1b[D\x1bOA\x1bOB\x1bOP" + "ane\r"); // nor cursor keys
    ASSERT_TRUE(bbs.See(30, 16, "Enter Guess 2: "));
    ExpectScreen(bbs, "guess");
    bbs.Send("cider\r");
    ASSERT_TRUE(bbs.See(2, 24, "The Word Was: CIDER"));
    ExpectScreen(bbs, "won");
    bbs.Send(" ");
    ASSERT_TRUE(bbs.See(30, 24, "Press Any Key to Continue"));
    ExpectScreen(bbs, "day_board");
    // Played: Y opens the calendar; an earlier day won, a later one lost, a played one refused.
    bbs.Send(" 1y05\rcider\r  28\rcrane\rcrane\rcrane\rcrane\rcrane\rcrane\r  28\r");
    ASSERT_TRUE(bbs.See(35, 21, "Not Playable!")) << Shot(bbs.Screen());
    ExpectScreen(bbs, "calendar");
    bbs.Send("0\r");
    ASSERT_TRUE(Menu(bbs));
    for (const std::string keys : {"2", "3", "415\r", "5", "6", "7"}) { // one key closes each
        bbs.Send(keys);
        ASSERT_TRUE(Board(bbs)) << keys << "\n" << Shot(bbs.Screen());
        bbs.Send(kTelnet), bbs.Settle(); // the client's answers dismiss no board
        ASSERT_TRUE(Board(bbs)) << keys;
        bbs.Send(" ");
        ASSERT_TRUE(Menu(bbs)) << keys;
    }
    bbs.Local().Send("\x1b[18~"); // F7 at the sysop's keyboard opens the about pages as A does
    ASSERT_TRUE(bbs.See("Guess 1-> "));
    bbs.Send("  ");
    ASSERT_TRUE(Menu(bbs));
    // Keys outside the table and cursor keys on either side draw nothing: the next screen's bytes
    // come first.
    bbs.Settle();
    const std::size_t before = bbs.Received().size();
    bbs.Local().Send("\x1b[A\x1b[B\x1b[C\x1b[D");
    bbs.Send("8B\r\x1b[A\x1b[B\x1b[C\x1b[D2");
    ASSERT_TRUE(Board(bbs));
    EXPECT_EQ(bbs.Received().find("\x1b[2J", before), before);
    bbs.Send(" ");
    ASSERT_TRUE(Menu(bbs));
    bbs.Local().Send("\x1b[6~"); // Page Down at the sysop's keyboard quits as Q does
    EXPECT_TRUE(bbs.HandedBack()) << bbs.Log();
    EXPECT_EQ(LogEvents(bbs.Dir()), "session start\nsession end: quit\n");
    EXPECT_EQ(Query(bbs.Dir(), "SELECT * FROM tblScores ORDER BY dtDate, strUserName"),
              (std::vector<std::string>{"Zed|2026-02-10|160", "Alice|2026-03-05|40",
                                        "Tester|2026-03-05|320", "Tester|2026-03-20|160",
                                        "Tester|2026-03-28|0"}));
}

// A hang-up ends an update check that waits on a silent server; a failure is shown to the
// caller, who is handed back.
TEST(Visit, HangUpDuringTheUpdateCheckAndAFailure) {
    TestHttpServer server;
    server.Silent = true;
    TBbs check;
    InstallGlimra(check.Dir(), "1\n");
    TLaunch launch = Glimra(check);
    launch.Env = {{"GLIMRA_UPDATE_URL", server.Url("/glimraversion.txt")}};
    check.Start(launch);
    ASSERT_TRUE(check.See(32, 23, "Version 2024.10.2")) << Shot(check.Screen());
    ASSERT_TRUE(check.WaitFor([&](const TVTermScreen&) { return server.Connections == 1; }));
    check.Signal(SIGHUP);
    EXPECT_EQ(check.WaitExit(4s), 0) << "the door did not wait for the 10 s time-out";
    EXPECT_EQ(LogEvents(check.Dir()), "session start\nsession end: signal SIGHUP\n");
    TBbs bbs;
    InstallGlimra(bbs.Dir());
    fs::remove(bbs.Dir() / "glimradb.db");
    bbs.Start(Glimra(bbs));
    ASSERT_TRUE(bbs.See("Glimra stopped: The game database \"glimradb.db\" was not found."))
        << bbs.Log();
    EXPECT_TRUE(bbs.HandedBack());
    EXPECT_FALSE(fs::exists(bbs.Dir() / "glimradb.db")) << "no empty file is left";
    EXPECT_TRUE(
        LogEvents(bbs.Dir()).starts_with("session start\nGlimra stopped: The game database"));
    EXPECT_TRUE(LogEvents(bbs.Dir()).ends_with(".\nsession end: failure\n"));
}

using TStep = std::pair<std::string, std::function<bool(TBbs&)>>; // keys, then what is shown

std::function<bool(TBbs&)> At(int ACol, int ARow, const std::string& AText) {
    return [=](TBbs& ABbs) { return ABbs.See(ACol, ARow, AText); };
}

TEST(Nodes, EightCallersPlayViewEveryBoardAndQuitAtOnce) {
    TBbs dir;
    InstallGlimra(dir.Dir());
    std::vector<std::unique_ptr<TBbs>> nodes;
    for (int n = 1; n <= 8; ++n) { // caller n finds the word on guess n, views every board, quits
        nodes.push_back(std::make_unique<TBbs>());
        TLaunch launch = Glimra(*nodes.back(), "Caller" + std::to_string(n), n);
        launch.WorkDir = dir.Dir();
        // Keys typed ahead of the terminal's answers, which come late (when the test reads that
        // node) or never.
        launch.CallerUtf8 = n % 3 == 2, launch.CallerSilent = n == 3;
        nodes.back()->Start(launch);
        std::string keys = "1";
        for (int k = 1; k <= std::min(n, 6); ++k) keys += k == n ? "cider\r" : "crane\r";
        nodes.back()->Send(keys + "  2 3 5 6 7 A  q");
    }
    for (auto& node : nodes)
        EXPECT_EQ(node->WaitExit(30s), 0) << Shot(node->Screen()) << node->Log();
    ExpectSound(dir.Dir());
    EXPECT_EQ(
        Query(dir.Dir(),
              "SELECT group_concat(strUserName || ' ' || intScore, ', ') FROM "
              "(SELECT * FROM tblScores WHERE dtDate = ? ORDER BY 1)",
              kToday)[0],
        "Caller1 320, Caller2 160, Caller3 80, Caller4 40, Caller5 20, Caller6 10, Caller7 0, "
        "Caller8 0");
    // Whichever node wrote them last, all wrote the same standings, and whole.
    const std::string first = ReadFile(dir.Dir() / "bulletin.ans"),
                      second = ReadFile(dir.Dir() / "bulletin2.ans");
    ExpectFixture("e2e_bulletin.ans", first);
    EXPECT_TRUE(
        second.ends_with("\r\n\r\n" + first.substr(first.find("\x1b[0;40;32m         Daily"))));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Dir()), fs::directory_iterator()), 9)
        << "no temporary file beside the log";
    std::map<std::string, int> events; // eight nodes' lines in one log, each whole
    std::istringstream log(LogEvents(dir.Dir()));
    for (std::string line; std::getline(log, line);) ++events[line];
    EXPECT_EQ(events, (std::map<std::string, int>{{"session end: quit", 8}, {"session start", 8}}));
}

TEST(Nodes, ACallerHangingUpOnAnyScreenEndsTheDoorWithinFourSeconds) {
    const auto guess = At(30, 16, "Enter Guess 1: "), select = At(29, 16, " Select day to view: ");
    const std::tuple<bool, std::vector<TStep>, std::string> cases[] = {
        // played today before, the way to the screen, today's score after ("" for none)
        {false, {}, ""},
        {false, {{"1", guess}, {"cra", At(45, 16, "cra")}}, "0"},
        {false, {{"1", guess}, {"crane\r", At(30, 16, "Enter Guess 2: ")}}, "0"},
        {false, {{"1", guess}, {"cider\r", At(2, 24, "The Word Was: CIDER")}}, "320"},
        {false, {{"2", Board}}, ""},
        {false, {{"4", select}, {"1", At(50, 16, "1")}}, ""},
        {false, {{"A", [](TBbs& B) { return B.See("Guess 1-> "); }}}, ""},
        {true, {{"1y", At(23, 17, "Select Availble Day")}, {"2", At(57, 17, "2")}}, "160"},
    };
    std::vector<std::unique_ptr<TBbs>> nodes; // all at once, each on its own directory
    for (const auto& [played, steps, score] : cases) {
        nodes.push_back(std::make_unique<TBbs>());
        InstallGlimra(nodes.back()->Dir());
        if (played)
            Query(nodes.back()->Dir(), "INSERT INTO tblScores VALUES ('Tester', ?, 160)", kToday);
        nodes.back()->Start(Glimra(*nodes.back()));
    }
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        ASSERT_TRUE(Menu(*nodes[i])) << i;
        for (const auto& [keys, until] : std::get<1>(cases[i]))
            ASSERT_TRUE((nodes[i]->Send(keys), until(*nodes[i]))) << i << "\n"
                                                                  << Shot(nodes[i]->Screen());
    }
    for (auto& node : nodes) node->Settle(); // each door has drawn its screen and waits
    const auto hungUp = std::chrono::steady_clock::now();
    for (auto& node : nodes) node->HangUp();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const auto left =
            std::chrono::duration_cast<TMs>(hungUp + 4s - std::chrono::steady_clock::now());
        EXPECT_EQ(nodes[i]->WaitExit(std::max(left, 1ms)), 0) << i << nodes[i]->Log();
        const std::string& score = std::get<2>(cases[i]);
        EXPECT_EQ(Query(nodes[i]->Dir(), "SELECT intScore FROM tblScores"),
                  score.empty() ? std::vector<std::string>{} : std::vector<std::string>{score})
            << i;
        EXPECT_FALSE(fs::exists(nodes[i]->Dir() / "bulletin.ans"))
            << "only a quit writes the bulletins";
        EXPECT_EQ(LogEvents(nodes[i]->Dir()), "session start\nsession end: dropped carrier\n") << i;
        ExpectSound(nodes[i]->Dir());
    }
}

TEST(Client, IdleTimeIgnoresWallClockStepsAndKeepAlives) {
    // The wall clock jumps a day ahead (read afresh at every reading) and the client sends
    // keep-alives every quarter second: the door still times out on its idle limit of 3 s.
    TBbs bbs;
    InstallGlimra(bbs.Dir(), "0\n3\n\n");
    const auto clock = bbs.Write("faketime.rc", "@2026-03-15 12:00:00\n");
    TLaunch launch = Glimra(bbs, "Idler");
    launch.FakeTime.clear();
    launch.Env = {{"LD_PRELOAD", "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"},
                  {"ASAN_OPTIONS", "verify_asan_link_order=0"},
                  {"FAKETIME_TIMESTAMP_FILE", clock.string()},
                  {"FAKETIME_NO_CACHE", "1"},
                  {"FAKETIME_DONT_FAKE_MONOTONIC", "1"}};
    bbs.Start(launch);
    ASSERT_TRUE(Menu(bbs)) << Shot(bbs.Screen()) << bbs.Log();
    fs::rename(bbs.Write("faketime.new", "@2026-03-16 12:00:00\n"), clock);
    const auto stepped = std::chrono::steady_clock::now();
    while (!bbs.See("Idle Time Limit Exceeded", 250ms) &&
           std::chrono::steady_clock::now() < stepped + 15s)
        bbs.Send("\xFF\xF1"); // NOP
    EXPECT_TRUE(bbs.See("Idle Time Limit Exceeded", 0ms)) << "keep-alives kept the caller on";
    EXPECT_GE(std::chrono::steady_clock::now() - stepped, 2s) << "the step counted as idle time";
    EXPECT_EQ(bbs.WaitExit(), 0);
}

TEST(Client, EndingSignalsCutStalledSendsAndLockedDatabasesShort) {
    const std::pair<int, bool> cases[] = {{SIGTERM, false}, {SIGINT, false}, {SIGHUP, true}};
    for (const auto& [signal, locked] : cases) {
        TBbs bbs;
        InstallGlimra(bbs.Dir());
        std::unique_ptr<SqlConnection> lock;
        if (locked) {
            lock = std::make_unique<SqlConnection>((bbs.Dir() / "glimradb.db").string());
            lock->Exec("BEGIN EXCLUSIVE");
        }
        bbs.Start(Glimra(bbs));
        if (locked) {
            ASSERT_TRUE(bbs.WaitFor([&](const TVTermScreen&) {
                return bbs.Received().find("\x1b[2J") != std::string::npos;
            })) << "start-up cleared the screen";
        } else {
            // The caller asks for screen after screen and reads none, until the door's send waits.
            ASSERT_TRUE(Menu(bbs));
            const int small = 4096;
            ::setsockopt(bbs.Handle(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
            for (int i = 0; i < 100; ++i) bbs.Send("Axx");
            int queued = 0, same = 0;
            for (int tries = 0; same < 5 && tries < 400; ++tries) {
                int now = 0;
                ::ioctl(bbs.Handle(), SIOCOUTQ, &now);
                same = now > 0 && now == queued ? same + 1 : 0;
                queued = now;
                ::usleep(50000); // the queue is sampled: five equal readings in a row
            }
            ASSERT_EQ(same, 5) << "the door's sends do not stall";
        }
        bbs.Signal(signal);
        EXPECT_EQ(bbs.WaitExit(1s, false), 0) << strsignal(signal) << "\n" << bbs.Log();
        bbs.Settle();
        EXPECT_TRUE(bbs.HandedBack()) << strsignal(signal);
    }
}

// Runs ACommand through the shell in ADir; its exit code, and what it printed in AOutput.
int RunIn(const fs::path& ADir, const std::string& ACommand, std::string& AOutput) {
    const int status =
        std::system(("cd '" + ADir.string() + "' && " + ACommand + " > cmd.out 2>&1").c_str());
    AOutput = ReadFile(ADir / "cmd.out");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// An installed tree away from the source (`cmake --install` into a temporary prefix, or the
// one under GLIMRA_INSTALLED_PREFIX, which tools/check-package sets for the installed package):
// glimra-makedb sets up a door directory from elsewhere, a second set-up keeps what is there,
// and the installed door plays a game in it.
TEST(InstalledGlimra, SetsUpADoorDirectoryFromElsewhereAndPlaysAGame) {
    TBbs bbs;
    std::string out;
    const char* installed = std::getenv("GLIMRA_INSTALLED_PREFIX");
    const fs::path prefix = installed ? fs::path(installed) : bbs.Dir() / "prefix";
    if (!installed) {
        ASSERT_EQ(RunIn(bbs.Dir(), "cmake --install '" GLIMRA_BINARY_DIR "' --prefix prefix", out),
                  0)
            << out;
    }
    const std::string setup = "'" + (prefix / "bin/glimra-makedb").string() + "' --setup door";
    ASSERT_EQ(RunIn(bbs.Dir(), setup, out), 0) << out;
    const fs::path door = bbs.Dir() / "door";
    EXPECT_NE(out.find("door/glimradb.db: built with"), std::string::npos) << out;
    for (const char* art : {"header.ans", "del_glimra.ans", "menu.ans", "box.ans"})
        EXPECT_EQ(ReadFile(door / art), ReadFile(fs::path(GLIMRA_SOURCE_DIR) / "data/art" / art));
    EXPECT_EQ(ReadFile(door / "bbsglimra.cfg"), "0\n300\n\n");
    // The sysop's configuration, art and scores survive a second set-up.
    std::ofstream(door / "bbsglimra.cfg") << "0\n60\nYes!\n";
    std::ofstream(door / "del_glimra.ans") << "the sysop's own";
    Query(door, "INSERT INTO tblScores VALUES ('Old Timer', '2026-03-01', 80)");
    Query(door, "INSERT INTO tblWordsByDate VALUES (?, 'cider')", kToday);
    ASSERT_EQ(RunIn(bbs.Dir(), setup, out), 0) << out;
    EXPECT_NE(out.find("glimradb.db: kept, it holds 1 score"), std::string::npos) << out;
    EXPECT_EQ(ReadFile(door / "bbsglimra.cfg"), "0\n60\nYes!\n");
    EXPECT_EQ(ReadFile(door / "del_glimra.ans"), "the sysop's own");
    // One game through the installed door, started in the door directory as a BBS would.
    TLaunch launch = Glimra(bbs);
    launch.Binary = (prefix / "bin/bbsglimra").string();
    launch.WorkDir = door;
    bbs.Start(launch);
    ASSERT_TRUE(Menu(bbs)) << Shot(bbs.Screen()) << bbs.Log();
    bbs.Send("1cider\r");
    ASSERT_TRUE(bbs.See(2, 24, "The Word Was: CIDER")) << Shot(bbs.Screen());
    EXPECT_TRUE(bbs.See("<-Yes!"));
    bbs.Send("  q");
    EXPECT_TRUE(bbs.HandedBack()) << bbs.Log();
    EXPECT_EQ(Query(door, "SELECT strUserName, dtDate, intScore FROM tblScores ORDER BY rowid"),
              (std::vector<std::string>{"Old Timer|2026-03-01|80", "Tester|2026-03-15|320"}));
}

// Every board that ranks totals (all-time, this month, last month), the scores and the words.
std::vector<std::string> Standings(const fs::path& ADir) {
    std::vector<std::string> rows;
    SqlConnection conn((ADir / "glimradb.db").string());
    for (const auto& board : {TopAllTimeTotals(conn, 10), TopMonthTotals(conn, 2026, 3, 10),
                              TopMonthTotals(conn, 2026, 2, 10)})
        for (const auto& row : board)
            rows.push_back(row.UserName + " " + std::to_string(row.Total) + "/" +
                           std::to_string(row.Days));
    for (const auto& row : Query(ADir, "SELECT * FROM tblScores ORDER BY rowid"))
        rows.push_back(row);
    for (const auto& row : Query(ADir, "SELECT * FROM tblWordsByDate WHERE dtDate < '2026-03-15' "
                                       "ORDER BY rowid"))
        rows.push_back(row);
    return rows;
}

// How many processes besides this one have AFile open.
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

TEST(Nodes, NodesStartingAtOnceUpgradeAnEarlierDatabaseOnce) {
    TBbs dir;
    InstallGlimra(dir.Dir());
    const fs::path db = dir.Dir() / "glimradb.db";
    // An earlier version's file: the four tables only. Twelve callers every day for six weeks,
    // each total a different one, so that the boards have no ties.
    fs::rename(db, dir.Dir() / "made.db");
    SqlConnection conn(db.string(), SqlConnection::TOpenMode::Create);
    conn.Exec("ATTACH '" + (dir.Dir() / "made.db").string() + "' AS t;" +
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
    fs::remove(dir.Dir() / "made.db");
    ASSERT_FALSE(MissingSchemaObjects(conn).empty());
    const auto before = Standings(dir.Dir());
    // The nodes start while the file is locked for writing, so that each finds it lacking
    // before any of them can upgrade it.
    conn.Exec("BEGIN IMMEDIATE");
    std::vector<std::unique_ptr<TBbs>> nodes;
    for (int n = 1; n <= 3; ++n) {
        nodes.push_back(std::make_unique<TBbs>());
        TLaunch launch = Glimra(*nodes.back(), "Caller " + std::to_string(n), n);
        launch.WorkDir = dir.Dir();
        launch.LocalTerminal = true;
        nodes.back()->Start(launch);
    }
    for (const auto end = std::chrono::steady_clock::now() + 20s;
         OthersWithOpen(db) < 3 && std::chrono::steady_clock::now() < end;)
        for (const auto& node : nodes) node->Local().Pump(10ms);
    conn.Exec("COMMIT");
    int upgraded = 0;
    for (const auto& node : nodes) {
        ASSERT_TRUE(Menu(*node)) << node->Local().Received;
        // The sysop's console has the menu too, so whatever preceded it has been read.
        ASSERT_TRUE(
            node->Local().WaitFor([](const TVTermScreen& S) { return S.Shows("Main Menu"); }));
        const std::string& local = node->Local().Received;
        upgraded += local.find("Upgrading") != std::string::npos;
        EXPECT_EQ(local.find("Upgrading") != std::string::npos,
                  local.find("done") != std::string::npos);
        EXPECT_EQ(node->Received().find("Upgrading"), std::string::npos) << "console only";
        node->Send("q");
    }
    EXPECT_EQ(upgraded, 1);
    for (const auto& node : nodes) EXPECT_EQ(node->WaitExit(), 0);
    EXPECT_EQ(MissingSchemaObjects(conn), std::vector<std::string>{});
    EXPECT_EQ(Standings(dir.Dir()), before);
}

const std::string kExample = std::string(GLIMRA_BINARY_DIR) + "/exampledoor";

// "socket", "-N -S", "pty" (type 0) or "pty -X" (type 2); AMinutes left, then AMore arguments.
void Start(TBbs& ABbs, const std::string& AHow, int AMinutes = 60, const std::string& AMore = "") {
    const bool pty = AHow.starts_with("pty");
    const auto drop =
        ABbs.Write("door32.sys", TBbs::Door32(AHow == "pty" ? 0 : 2, pty ? -1 : ABbs.Handle(),
                                              "Tester", AMinutes));
    TLaunch launch{.Binary = kExample, .Args = {"-D" + drop.string(), AMore}, .OnPty = pty};
    if (AHow == "-N -S") launch.Args = {"-N1", "-S" + std::to_string(ABbs.Handle())};
    if (AHow == "pty -X") launch.Args.push_back("-X");
    ABbs.Start(launch);
}

TEST(Doors, GreetingLineAndEveryEndHandTheCallerBack) {
    for (const std::string how : {"socket", "-N -S", "pty", "pty -X"}) {
        TBbs bbs;
        Start(bbs, how);
        ASSERT_TRUE(bbs.See("Type a line")) << how << Shot(bbs.Screen()) << bbs.Log();
        bbs.Settle();
        // CP437 on a pty too, the name from the drop file only, no status bar on row 25.
        ExpectFixture(how == "-N -S" ? "e2e_example_noname.screen" : "e2e_example.screen",
                      Shot(bbs.Screen()));
        EXPECT_TRUE(
            bbs.Received().starts_with(how.starts_with("pty") ? "" : "\xFF\xFB\x00\xFF\xFB\x01"));
        bbs.Send("a line\r\n"); // Enter as CR LF, as many BBS terminals pass it
        EXPECT_TRUE(bbs.See("You typed: a line")) << how;
        EXPECT_EQ(bbs.WaitExit(), 0);
        EXPECT_TRUE(how.starts_with("pty") ? bbs.ModesBack() : bbs.HandedBack()) << how;
        EXPECT_EQ(bbs.Log(), "");
    }
    TBbs small; // a caller smaller than 80x24 is told once, and the door goes on
    small.Start(
        {.Binary = kExample,
         .Args = {"-D" +
                  small.Write("door32.sys", TBbs::Door32(2, small.Handle(), "Tester")).string()},
         .CallerRows = 20});
    EXPECT_TRUE(small.See("Your screen is 80x20; this door needs 80x24 and may look wrong.") &&
                small.See("Type a line"));
    TBbs plain; // a drop file that says no ANSI: a plain-text refusal and the caller back
    plain.Start(
        {.Binary = kExample,
         .Args = {"-D" +
                  plain.Write("door32.sys", TBbs::Door32(2, plain.Handle(), "Tester", 60, 1, 0))
                      .string()}});
    EXPECT_TRUE(plain.HandedBack());
    EXPECT_TRUE(plain.Received().find("needs a terminal with ANSI") != std::string::npos &&
                plain.Received().find('\x1b') == std::string::npos)
        << plain.Received();
    // Limits show their message; a SIGTERM during the closing pause ends it at once; hang-ups
    // and the BBS's signals end the door within 2 s. The exit guard leaves light gray and the
    // cursor bottom left on the caller's screen, where the BBS's next byte lands.
    const std::pair<std::string, int> ends[] = {
        {"Idle Time Limit Exceeded.  Returning To BBS...", 60},
        {"Your Time Has Expired.  Returning To BBS...", 0},
        {"hang-up", 60},
        {"SIGHUP", 60},
        {"SIGTERM", 60},
        {"SIGHUP then SIGTERM", 60}};
    for (const std::string how : {"socket", "pty", "pty -X"})
        for (const auto& [end, minutes] : ends) {
            if (how == "pty" && end.ends_with("...")) continue; // a local session has no limits
            TBbs bbs;
            Start(bbs, how, minutes, end.ends_with("...") ? "-I1" : "");
            ASSERT_TRUE(bbs.See(end.ends_with("...") ? end : "Type a line")) << how << end;
            if (!end.ends_with("...")) bbs.Send("half a li");
            ASSERT_TRUE(end.ends_with("...") || bbs.See("half a li"));
            if (end == "hang-up") bbs.HangUp();
            if (end.starts_with("SIGHUP")) bbs.Signal(SIGHUP);
            if (end != "hang-up" && end != "SIGHUP") bbs.Signal(SIGTERM);
            EXPECT_EQ(bbs.WaitExit(how == "socket" && end == "hang-up" ? 4s : 2s), 0) << how << end;
            EXPECT_TRUE(how == "socket" || end == "hang-up" || bbs.ModesBack()) << how << end;
            const std::string ending = end.starts_with("Idle")   ? "idle"
                                       : end.starts_with("Your") ? "time up"
                                       : end == "hang-up"
                                           ? "dropped carrier"
                                           : "signal " + end.substr(0, end.find(' '));
            if (how == "socket") {
                EXPECT_EQ(LogEvents(bbs.Dir(), "exampledoor.log"),
                          "session start\nsession end: " + ending + "\n");
            }
            if (how != "socket" || end == "hang-up") continue;
            EXPECT_TRUE(bbs.HandedBack()) << end;
            EXPECT_TRUE(bbs.See(1, 25, "Back at the BBS") && bbs.Screen().Attr(1, 25) == 7) << end;
        }
}

} // namespace
