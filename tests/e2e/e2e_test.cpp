// The real programs, the test as BBS, caller and sysop: whole visits of bbsglimra (game, calendar,
// every board, local keys, quit and hand-back; eight nodes at once; a hang-up on every screen; a
// hang-up in the update check; a failure) with screens compared to tests/fixtures/e2e_*; what a
// caller's telnet client, the clock and the BBS's signals do; and the example door started every
// way a BBS starts a door, with every kind of end.
#include "tests/support/harness.h"
#include "tests/support/httpserver.h"
#include "tests/support/kit_fixture.h"
#include "tests/support/shots.h"

#include "game/store/sqlite/sqlitestore.h"
#include "game/store/upgrade.h"

#include <linux/sockios.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <deque>
#include <gtest/gtest.h>
#include <map>

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const std::string kToday = "2026-03-15"; // a Sunday, past the 1st, which is treated apart
using Clock = std::chrono::steady_clock;
constexpr auto npos = std::string::npos;

std::vector<std::string> Query(const fs::path& ADir, const std::string& ASql,
                               const std::string& AValue = "") {
    return SqlRows((ADir / "glimradb.db").string(), ASql, AValue);
}

// What the log in ADir says happened, one event a line: no date, time, node or alias, and no
// details after a session's start.
std::string LogEvents(const fs::path& ADir, const std::string& AName = "bbsglimra.log") {
    std::string events, line;
    for (std::istringstream in(ReadFile(ADir / AName)); std::getline(in, line);)
        events +=
            line.substr(line.find("] ") + 2, line.find("] session start") != npos ? 13 : npos) +
            "\n";
    return events;
}

// makedb's database (made once per program), "cider" every day of March 2026, art, settings.
void InstallGlimra(const fs::path& ADir, const std::string& AConfig = "0\n300\nWell done!\n") {
    static const fs::path made = [] {
        static const fs::path dir = TestScratchDir();
        std::atexit([] { fs::remove_all(dir); });
        if (TestRun("cd " GLIMRA_SOURCE_DIR " && " GLIMRA_BINARY_DIR "/makedb -o " +
                    (dir / "glimradb.db").string() + " >/dev/null") != 0)
            throw std::runtime_error("makedb failed");
        return dir / "glimradb.db";
    }();
    fs::copy_file(made, ADir / "glimradb.db", fs::copy_options::overwrite_existing);
    Query(ADir, "WITH RECURSIVE d(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM d WHERE i < 31) "
                "INSERT INTO tblWordsByDate SELECT printf('2026-03-%02d', i), 'cider' FROM d");
    for (const char* art : {"header.ans", "del_glimra.ans", "menu.ans", "box.ans"})
        fs::copy_file(fs::path(GLIMRA_SOURCE_DIR) / "data/art" / art, ADir / art);
    WriteFile((ADir / "bbsglimra.cfg").string(), AConfig);
}

// bbsglimra with a DOOR32.SYS for AAlias at noon of ADate, in AWorkDir (empty: the harness's).
TLaunch Glimra(TBbs& ABbs, const std::string& AAlias = "Tester", int ANode = 1,
               const std::string& ADate = kToday, const fs::path& AWorkDir = {}) {
    const auto drop = ABbs.Write("DOOR32.SYS", TBbs::Door32(2, ABbs.Handle(), AAlias, 60, ANode));
    return {.Binary = GLIMRA_BINARY_DIR "/bbsglimra",
            .Args = {"-D" + drop.string()},
            .FakeTime = ADate + " 12:00:00",
            .WorkDir = AWorkDir};
}

// The file is sound and every date has one word: what concurrent nodes must never break.
void ExpectSound(const fs::path& ADir) {
    EXPECT_EQ(Query(ADir, "SELECT * FROM pragma_integrity_check UNION ALL SELECT dtDate FROM "
                          "tblWordsByDate GROUP BY 1 HAVING COUNT(*) > 1"),
              std::vector<std::string>{"ok"});
}

// Window size 81x49 ("Q" and "1"), terminal type XTERM, keep-alives, answers to the offers.
const std::string kTelnet = "\xFF\xFA\x1F\x00\x51\x00\x31\xFF\xF0\xFF\xFA\x18\x00XTERM\xFF\xF0"
                            "\xFF\xF1\xFF\xF1\xFF\xFD\x01\xFF\xFD\x00\xFF\xFB\x1F"s;

bool Menu(TBbs& ABbs) {
    return ABbs.See(32, 23, "Version 2024.10.2") && ABbs.See(29, 12, "[1] Play Glimra");
}

bool Board(TBbs& ABbs) { // a board that waits for a key, the menu gone
    return ABbs.WaitFor([](auto& S) {
        return !S.Shows("Version 2024.10.2") && S.Shows("Press Any Key to Continue");
    });
}

void ExpectScreen(TBbs& ABbs, const std::string& AName) {
    ABbs.Settle();
    ExpectFixture("e2e_" + AName + ".screen", Shot(ABbs.Screen()));
}

TEST(Visit, GameCalendarEveryBoardAndQuitOnThe20th) {
    TBbs bbs;
    InstallGlimra(bbs.Dir());
    Query(bbs.Dir(),
          "INSERT INTO tblScores VALUES ('Alice', '2026-03-05', 40), ('Zed', '2026-02-10', 160)");
    TLaunch launch = Glimra(bbs, "Tester", 1, "2026-03-20");
    launch.LocalTerminal = launch.Utf8 = true; // the sysop watches at a terminal of the door's own
    launch.CallerUtf8 = true; // the caller's UTF-8 terminal shows what a CP437 one shows
    bbs.Start(launch);
    ASSERT_TRUE(Menu(bbs)) << Shot(bbs.Screen()) << bbs.Log();
    ExpectScreen(bbs, "menu");
    // The sysop's status bar names the door.
    EXPECT_TRUE(
        bbs.Local().WaitFor([](auto& S) { return Text(S, 31, 25, 16) == "Glimra 2024.10.2"; }));
    // Today: a word the lists lack costs no guess; a miss; the word on the second guess.
    // Neither "Q" nor "1" in the client's reports is a key, nor are cursor keys in a guess.
    ASSERT_TRUE((bbs.Send(kTelnet + "1zzzzz\r"), bbs.See(52, 16, "I do not have zzzzz")));
    bbs.Send("cr" + kTelnet + "\x1b[A\x1b[D\x1bOA\x1bOB\x1bOP" + "ane\r");
    ASSERT_TRUE(bbs.See(30, 16, "Enter Guess 2: "));
    ExpectScreen(bbs, "guess");
    ASSERT_TRUE((bbs.Send("cider\r"), bbs.See(2, 24, "The Word Was: CIDER")));
    ExpectScreen(bbs, "won");
    ASSERT_TRUE((bbs.Send(" "), bbs.See(30, 24, "Press Any Key to Continue")));
    ExpectScreen(bbs, "day_board");
    // Played: Y opens the calendar; an earlier day won, a later one lost, a played one refused.
    bbs.Send(" 1y05\rcider\r  28\rcrane\rcrane\rcrane\rcrane\rcrane\rcrane\r  28\r");
    ASSERT_TRUE(bbs.See(35, 21, "Not Playable!")) << Shot(bbs.Screen());
    ExpectScreen(bbs, "calendar");
    ASSERT_TRUE((bbs.Send("0\r"), Menu(bbs)));
    for (const std::string keys : {"2", "3", "415\r", "5", "6", "7"}) { // one key closes each
        ASSERT_TRUE((bbs.Send(keys), Board(bbs))) << keys << "\n" << Shot(bbs.Screen());
        ASSERT_TRUE((bbs.Send(" "), Menu(bbs))) << keys;
    }
    bbs.Local().Send("\x1b[18~"); // F7 at the sysop's keyboard opens the about pages as A does
    ASSERT_TRUE(bbs.See("Guess 1-> "));
    ASSERT_TRUE((bbs.Send("  "), Menu(bbs)));
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
    ASSERT_TRUE(check.WaitFor([&](const TVTermScreen&) { return server.Connections == 1; }));
    check.Signal(SIGHUP);
    EXPECT_EQ(check.WaitExit(4s), 0) << "the door did not wait for the 10 s time-out";
    EXPECT_EQ(LogEvents(check.Dir()), "session start\nsession end: signal SIGHUP\n");
    TBbs bbs;
    bbs.Start(Glimra(bbs)); // with no configuration file and no database
    ASSERT_TRUE(bbs.See("Glimra stopped: The game database is missing or not set up."))
        << bbs.Log();
    EXPECT_TRUE(bbs.HandedBack());
    EXPECT_TRUE(bbs.Log().starts_with("bbsglimra: File handling error occurred. Details "
                                      "(bbsglimra.cfg): File not found\nbbsglimra: The game "));
    EXPECT_FALSE(fs::exists(bbs.Dir() / "glimradb.db")) << "no empty file is left";
    const std::string log = LogEvents(bbs.Dir());
    EXPECT_TRUE(log.starts_with("session start\nFile handling error occurred.") &&
                log.find("\nGlimra stopped: The game database \"glimradb.db\" was not") != npos &&
                log.ends_with(".\nsession end: failure\n"))
        << log;
}

// A database the door cannot use: damaged under a caller, who then quits, or at start-up on a
// full or read-only small disk (linked from the door directory, so the log is still written).
// The caller sees one plain line, never SQL; the log and, at start-up, the BBS the whole reason.
TEST(Visit, ADamagedFullOrReadOnlyDatabaseStopsTheDoorWithOnePlainLine) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"damaged", "is damaged.", "file is not a database"},
        {"full", "is full: its disk has no room left.", "database or disk is full"},
        {"read-only", "cannot be opened or written.", "attempt to write a readonly database"}};
    for (const auto& [how, shown, reason] : cases) {
        TBbs bbs;
        InstallGlimra(bbs.Dir());
        const fs::path db = bbs.Dir() / "glimradb.db", disk = bbs.Dir() / "disk";
        std::shared_ptr<void> unmount(nullptr, [&](void*) { TestUnmount(disk.string()); });
        if (how != "damaged") {
            if (!TestSmallDisk(disk.string())) GTEST_SKIP() << "no small disk (needs root)";
            if (how == "full") Query(bbs.Dir(), "DROP TABLE tblMonthTotals"); // to upgrade
            fs::copy_file(db, disk / "glimradb.db");
            fs::remove(db), fs::create_symlink(disk / "glimradb.db", db);
            if (how == "full") TestRun("cat /dev/zero >" + (disk / "fill").string() + " 2>&-");
            ASSERT_TRUE(how == "full" || TestRun("mount -o remount,ro " + disk.string()) == 0);
        }
        bbs.Start(Glimra(bbs));
        if (how == "damaged" && Menu(bbs)) WriteFile(db.string(), std::string(4096, 'x'));
        bbs.Send("q");
        EXPECT_TRUE(bbs.See("Glimra stopped: The game database " + shown) && bbs.HandedBack())
            << how;
        for (const char* detail : {"glimradb", "tbl", "failed", "SQLite", reason.c_str()})
            EXPECT_EQ(bbs.Received().find(detail), npos) << how << ": " << detail;
        const std::string log = LogEvents(bbs.Dir());
        EXPECT_TRUE(log.starts_with("session start\nGlimra stopped: ") &&
                    log.find("\"glimradb.db\"") != npos && log.find(reason) != npos &&
                    log.ends_with("\nsession end: failure\n"))
            << how << ": " << log;
        EXPECT_EQ(bbs.Log().starts_with("bbsglimra: ") && bbs.Log().find(reason) != npos,
                  how != "damaged")
            << how << ": " << bbs.Log();
    }
}

TEST(Nodes, EightCallersPlayViewEveryBoardAndQuitAtOnce) {
    TBbs dir;
    InstallGlimra(dir.Dir());
    std::vector<std::unique_ptr<TBbs>> nodes;
    for (int n = 1; n <= 8; ++n) { // caller n finds the word on guess n, views every board, quits
        TBbs& node = *nodes.emplace_back(std::make_unique<TBbs>());
        TLaunch launch = Glimra(node, "Caller" + std::to_string(n), n, kToday, dir.Dir());
        // Keys typed ahead of the terminal's answers, which come late (when the test reads that
        // node) or never.
        launch.CallerUtf8 = n % 3 == 2, launch.CallerSilent = n == 3;
        node.Start(launch);
        std::string keys = "1";
        for (int k = 1; k <= std::min(n, 6); ++k) keys += k == n ? "cider\r" : "crane\r";
        node.Send(keys + "  2 3 5 6 7 A  q");
    }
    for (auto& node : nodes)
        EXPECT_EQ(node->WaitExit(30s), 0) << Shot(node->Screen()) << node->Log();
    ExpectSound(dir.Dir());
    EXPECT_EQ(Query(dir.Dir(),
                    "SELECT group_concat(strUserName || ':' || intScore, ' ') FROM "
                    "(SELECT * FROM tblScores WHERE dtDate = ? ORDER BY 1)",
                    kToday)[0],
              "Caller1:320 Caller2:160 Caller3:80 Caller4:40 Caller5:20 Caller6:10 Caller7:0 "
              "Caller8:0");
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

// Callers win while a backup holds the file past the 10 s busy timeout (an exclusive lock, or a
// reader's transaction as sqlite3's .dump holds) or after a restore with mv: every win is stored,
// and the win of a caller ended by SIGHUP during the wait is logged as lost.
TEST(Nodes, WinsOutlastABackupsLockAndARestoreWithMv) {
    const std::string holds[] = {"BEGIN EXCLUSIVE", "BEGIN; SELECT COUNT(*) FROM tblScores", "mv"};
    std::vector<std::unique_ptr<TBbs>> dirs, nodes;
    for (const auto& hold : holds) {
        const fs::path dir = dirs.emplace_back(std::make_unique<TBbs>())->Dir();
        InstallGlimra(dir);
        for (int n = 1; n <= (hold == "mv" ? 1 : 3); ++n) {
            TBbs& node = *nodes.emplace_back(std::make_unique<TBbs>());
            node.Start(Glimra(node, "Caller" + std::to_string(n), n, kToday, dir));
            node.Send("1");
        }
    }
    for (auto& node : nodes) ASSERT_TRUE(node->See(30, 16, "Enter Guess 1: "));
    std::deque<SqlConnection> locks; // held by a second connection, as a backup holds them
    for (int i = 0; i < 2; ++i) locks.emplace_back(dirs[i]->Dir() / "glimradb.db").Exec(holds[i]);
    fs::copy_file(dirs[2]->Dir() / "glimradb.db", dirs[2]->Dir() / "backup.db");
    fs::rename(dirs[2]->Dir() / "backup.db", dirs[2]->Dir() / "glimradb.db");
    for (auto& node : nodes) node->Send("cider\r");
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(nodes[i]->See("please wait", 30s)) << i;
    int hup = 3; // a caller whose commit waits gets SIGHUP, as a standard-input door on a hang-up
    while (hup < 6 && !nodes[hup]->Screen().Shows("Saving your score")) ++hup;
    ASSERT_LT(hup, 6);
    nodes[hup]->Signal(SIGHUP);
    EXPECT_EQ(nodes[hup]->WaitExit(1s), 0);
    for (auto& lock : locks) lock.Exec("ROLLBACK");
    for (int i = 0; i < 7; ++i)
        EXPECT_TRUE(i == hup || nodes[i]->See(2, 24, "The Word Was: CIDER")) << i;
    const std::string lost = "Caller" + std::to_string(hup - 2),
                      wins[] = {"960", "640" + lost, "320"};
    for (int d = 0; d < 3; ++d) // the points, and who has 0
        EXPECT_EQ(Query(dirs[d]->Dir(), "SELECT SUM(intScore) || group_concat(iif(intScore, '', "
                                        "strUserName), '') FROM tblScores")[0],
                  wins[d]);
    EXPECT_NE(LogEvents(dirs[1]->Dir()).find("score 320 for " + kToday + " of " + lost + " lost"),
              npos);
}

TEST(Nodes, ACallerHangingUpOnAnyScreenEndsTheDoorWithinFourSeconds) {
    // Played today before, the keys to the screen, the text it then shows at a column and row (0:
    // anywhere), today's score after.
    const std::tuple<bool, std::string, int, int, std::string, std::vector<std::string>> cases[] = {
        {false, "", 32, 23, "Version 2024.10.2", {}},
        {false, "1cra", 45, 16, "cra", {"0"}},
        {false, "1cider\r", 2, 24, "The Word Was: CIDER", {"320"}},
        {false, "2", 30, 24, "Press Any Key to Continue", {}},
        {false, "41", 50, 16, "1", {}},
        {false, "A", 0, 0, "Guess 1-> ", {}},
        {true, "1y2", 57, 17, "2", {"160"}},
    };
    std::vector<std::unique_ptr<TBbs>> nodes; // each on its own directory, all hung up at once
    for (const auto& [played, keys, col, row, text, score] : cases) {
        TBbs& node = *nodes.emplace_back(std::make_unique<TBbs>());
        InstallGlimra(node.Dir());
        if (played) Query(node.Dir(), "INSERT INTO tblScores VALUES ('Tester', ?, 160)", kToday);
        node.Start(Glimra(node));
        ASSERT_TRUE(Menu(node) &&
                    (node.Send(keys), col ? node.See(col, row, text) : node.See(text)))
            << keys << Shot(node.Screen());
        node.Settle(); // the door has drawn its screen and waits
    }
    const auto hungUp = Clock::now();
    for (auto& node : nodes) node->HangUp();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        TBbs& node = *nodes[i];
        EXPECT_EQ(node.WaitExit(std::chrono::duration_cast<TMs>(hungUp + 4s - Clock::now())), 0)
            << i << node.Log();
        EXPECT_EQ(Query(node.Dir(), "SELECT intScore FROM tblScores"), std::get<5>(cases[i])) << i;
        EXPECT_FALSE(fs::exists(node.Dir() / "bulletin.ans")) << "only a quit writes the bulletins";
        EXPECT_EQ(LogEvents(node.Dir()), "session start\nsession end: dropped carrier\n") << i;
        ExpectSound(node.Dir());
    }
}

TEST(Client, IdleTimeIgnoresWallClockStepsAndKeepAlives) {
    // The wall clock (a file) jumps a day ahead and the client sends keep-alives every quarter
    // second: the door still times out on its idle limit of 3 s.
    TBbs bbs;
    InstallGlimra(bbs.Dir(), "0\n3\n\n");
    TLaunch launch = Glimra(bbs, "Idler");
    launch.FakeTime = bbs.Write("faketime.rc", "@2026-03-15 12:00:00\n").string();
    bbs.Start(launch);
    ASSERT_TRUE(Menu(bbs)) << Shot(bbs.Screen()) << bbs.Log();
    fs::rename(bbs.Write("faketime.new", "@2026-03-16 12:00:00\n"), launch.FakeTime);
    const auto stepped = Clock::now();
    while (!bbs.See("Idle Time Limit Exceeded", 250ms) && Clock::now() < stepped + 15s)
        bbs.Send("\xFF\xF1"); // NOP
    EXPECT_TRUE(bbs.See("Idle Time Limit Exceeded", 0ms)) << "keep-alives kept the caller on";
    EXPECT_GE(Clock::now() - stepped, 2s) << "the step counted as idle time";
    EXPECT_EQ(bbs.WaitExit(), 0);
}

TEST(Client, EndingSignalsCutStalledSendsQueuedKeysAndLockedDatabasesShort) {
    enum class TDoing { StalledSend, QueuedKeys, LockedDatabase };
    const std::pair<int, TDoing> cases[] = {{SIGTERM, TDoing::StalledSend},
                                            {SIGINT, TDoing::QueuedKeys},
                                            {SIGHUP, TDoing::LockedDatabase},
                                            {0, TDoing::LockedDatabase}}; // 0: a hang-up
    for (const auto& [signal, doing] : cases) {
        TBbs bbs;
        InstallGlimra(bbs.Dir());
        SqlConnection lock((bbs.Dir() / "glimradb.db").string());
        if (doing == TDoing::LockedDatabase) lock.Exec("BEGIN EXCLUSIVE");
        bbs.Start(Glimra(bbs));
        if (doing == TDoing::LockedDatabase) {
            ASSERT_TRUE(bbs.WaitFor([&](auto&) { return bbs.Received().find("\x1b[2J") != npos; }))
                << "start-up cleared the screen";
        } else if (doing == TDoing::QueuedKeys) {
            // The caller reads every screen but types far ahead: thousands of keys wait.
            ASSERT_TRUE(Menu(bbs));
            std::string keys;
            for (int i = 0; i < 100000; ++i) keys += "Axx";
            std::size_t sent = 0;
            int queued = 0;
            ASSERT_TRUE(bbs.WaitFor([&](auto&) {
                sent += bbs.Offer(std::string_view(keys).substr(sent));
                return ::ioctl(bbs.Handle(), FIONREAD, &queued) == 0 && queued >= 30000;
            })) << queued;
        } else {
            // The caller asks for screen after screen and reads none, until the door's send waits.
            ASSERT_TRUE(Menu(bbs));
            TestSetBuffers(bbs.Handle(), 4096, 4096);
            for (int i = 0; i < 100; ++i) bbs.Send("Axx");
            int queued = 0, same = 0, now = 0; // the queue sampled until five readings agree
            for (int tries = 0; same < 5 && tries < 400; ++tries, queued = now, ::usleep(50000)) {
                ::ioctl(bbs.Handle(), SIOCOUTQ, &now);
                same = now > 0 && now == queued ? same + 1 : 0;
            }
            ASSERT_EQ(same, 5) << "the door's sends do not stall";
        }
        signal ? bbs.Signal(signal) : bbs.HangUp(); // a hang-up ends it with the 2.5 s pause
        EXPECT_EQ(bbs.WaitExit(signal ? 1s : 4s, doing == TDoing::QueuedKeys), 0)
            << strsignal(signal) << "\n"
            << bbs.Log();
        EXPECT_TRUE(signal || LogEvents(bbs.Dir()).ends_with("session end: dropped carrier\n"));
        if (!signal) continue;
        bbs.Settle();
        while (!TestReceive(bbs.Handle()).empty()) { // the keys typed ahead are the BBS's now
        }
        EXPECT_TRUE(bbs.HandedBack()) << strsignal(signal);
    }
}

// An installed tree away from the source (`cmake --install` into a temporary prefix, or the
// one under GLIMRA_INSTALLED_PREFIX, which tools/check-package sets for the installed package):
// glimra-makedb sets up a door directory from elsewhere, a second set-up keeps what is there,
// and the installed door plays a game in it.
TEST(InstalledGlimra, SetsUpADoorDirectoryFromElsewhereAndPlaysAGame) {
    TBbs bbs;
    std::string out;
    const auto run = [&](const std::string& ACommand) { // in the harness's directory
        const int code = TestRun("cd '" + bbs.Dir().string() + "' && " + ACommand + " >out 2>&1");
        return out = ReadFile(bbs.Dir() / "out"), code;
    };
    const char* installed = std::getenv("GLIMRA_INSTALLED_PREFIX");
    const fs::path prefix = installed ? fs::path(installed) : bbs.Dir() / "prefix";
    ASSERT_EQ(installed ? 0 : run("cmake --install '" GLIMRA_BINARY_DIR "' --prefix prefix"), 0)
        << out;
    const std::string setup = "'" + (prefix / "bin/glimra-makedb").string() + "' --setup door";
    ASSERT_EQ(run(setup), 0) << out;
    const fs::path door = bbs.Dir() / "door";
    EXPECT_NE(out.find("door/glimradb.db: built with"), npos) << out;
    for (const char* art : {"header.ans", "del_glimra.ans", "menu.ans", "box.ans"})
        EXPECT_EQ(ReadFile(door / art), ReadFile(fs::path(GLIMRA_SOURCE_DIR) / "data/art" / art));
    EXPECT_EQ(ReadFile(door / "bbsglimra.cfg"), "0\n300\n\n");
    // The sysop's configuration, art and scores survive a second set-up.
    bbs.Write("door/bbsglimra.cfg", "0\n60\nYes!\n");
    bbs.Write("door/del_glimra.ans", "the sysop's own");
    Query(door, "INSERT INTO tblScores VALUES ('Old Timer', '2026-03-01', 80)");
    Query(door, "INSERT INTO tblWordsByDate VALUES (?, 'cider')", kToday);
    ASSERT_EQ(run(setup), 0) << out;
    EXPECT_NE(out.find("glimradb.db: kept, it holds 1 score"), npos) << out;
    Query(door, "DROP TABLE tblAllWords"); // a half-made file is completed, its scores kept
    ASSERT_EQ(run(setup), 0) << out;
    EXPECT_NE(out.find("completed, it lacked tblAllWords: added 0 answer words and "), npos) << out;
    EXPECT_EQ(ReadFile(door / "bbsglimra.cfg"), "0\n60\nYes!\n");
    EXPECT_EQ(ReadFile(door / "del_glimra.ans"), "the sysop's own");
    // One game through the installed door, started in the door directory as a BBS would.
    TLaunch launch = Glimra(bbs, "Tester", 1, kToday, door);
    launch.Binary = (prefix / "bin/bbsglimra").string();
    bbs.Start(launch);
    ASSERT_TRUE(Menu(bbs)) << Shot(bbs.Screen()) << bbs.Log();
    ASSERT_TRUE((bbs.Send("1cider\r"), bbs.See(2, 24, "The Word Was: CIDER")))
        << Shot(bbs.Screen());
    EXPECT_TRUE(bbs.See("<-Yes!"));
    bbs.Send("  q");
    EXPECT_TRUE(bbs.HandedBack()) << bbs.Log();
    EXPECT_EQ(Query(door, "SELECT strUserName, dtDate, intScore FROM tblScores ORDER BY rowid"),
              (std::vector<std::string>{"Old Timer|2026-03-01|80", "Tester|2026-03-15|320"}));
}

// True when every node's door has AFile open.
bool AllHold(const std::vector<std::unique_ptr<TBbs>>& ANodes, const fs::path& AFile) {
    std::error_code ec;
    return std::all_of(ANodes.begin(), ANodes.end(), [&](const auto& ANode) {
        const fs::path fds = "/proc/" + std::to_string(ANode->Pid()) + "/fd";
        return std::any_of(fs::directory_iterator(fds, ec), {},
                           [&](const auto& AFd) { return fs::read_symlink(AFd, ec) == AFile; });
    });
}

TEST(Nodes, NodesStartingAtOnceUpgradeAnEarlierDatabaseOnce) {
    TBbs dir;
    InstallGlimra(dir.Dir());
    const fs::path db = dir.Dir() / "glimradb.db";
    // An earlier version's file: the four tables only, with twelve callers every day for six
    // weeks of February and March, and scores without a name, a date or points (NULLs).
    for (const auto& drop : Query(dir.Dir(), "SELECT 'DROP ' || type || ' ' || name FROM "
                                             "sqlite_master WHERE name NOT LIKE 'sqlite%' AND name "
                                             "NOT IN ('tblWords', 'tblAllWords', 'tblWordsByDate') "
                                             "ORDER BY type = 'table'"))
        Query(dir.Dir(), drop);
    Query(dir.Dir(), "CREATE TABLE tblScores (strUserName, dtDate, intScore)");
    Query(dir.Dir(), "INSERT INTO tblScores VALUES (NULL, '2026-03-01', 4), ('Caller 1', NULL, 8), "
                     "('Caller 2', '2026-03-02', NULL)");
    Query(dir.Dir(),
          "WITH RECURSIVE d(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM d WHERE n < 41), "
          "c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 12) INSERT INTO "
          "tblScores SELECT 'Caller ' || i, date('2026-02-01', '+' || n || ' days'), "
          "(i * 7 + n) % 9 * 40 + i FROM d, c");
    SqlConnection conn(db.string());
    ASSERT_FALSE(MissingSchemaObjects(conn).empty());
    const auto scores = Query(dir.Dir(), "SELECT * FROM tblScores ORDER BY 1, 2");
    // The nodes start while the file is locked for writing, so that each finds it lacking
    // before any of them can upgrade it.
    conn.Exec("BEGIN IMMEDIATE");
    std::vector<std::unique_ptr<TBbs>> nodes;
    for (int n = 1; n <= 3; ++n) {
        TBbs& node = *nodes.emplace_back(std::make_unique<TBbs>());
        TLaunch launch = Glimra(node, "Caller " + std::to_string(n), n, kToday, dir.Dir());
        launch.LocalTerminal = true;
        node.Start(launch);
    }
    for (const auto end = Clock::now() + 20s; !AllHold(nodes, db) && Clock::now() < end;)
        for (const auto& node : nodes) node->Local().Pump(10ms);
    conn.Exec("COMMIT");
    int upgraded = 0;
    for (const auto& node : nodes) {
        // The sysop's console has the menu too, so whatever preceded it has been read.
        ASSERT_TRUE(Menu(*node) && node->Local().WaitFor([](auto& S) {
            return S.Shows("Main Menu");
        })) << node->Local().Received;
        const std::string& local = node->Local().Received;
        upgraded += local.find("Upgrading") != npos && local.find("done") != npos;
        EXPECT_EQ(node->Received().find("Upgrading"), npos) << "console only";
        node->Send("q");
    }
    EXPECT_EQ(upgraded, 1);
    for (const auto& node : nodes) EXPECT_EQ(node->WaitExit(), 0);
    EXPECT_EQ(MissingSchemaObjects(conn), std::vector<std::string>{});
    EXPECT_EQ(Query(dir.Dir(), "SELECT * FROM tblScores ORDER BY 1, 2"), scores) << "kept";
    // The totals the boards rank by, all-time and per month, are the sums over the scores.
    EXPECT_EQ(Query(dir.Dir(), "SELECT * FROM tblTotals ORDER BY 1"),
              Query(dir.Dir(), "SELECT strUserName, SUM(intScore) FROM tblScores WHERE "
                               "strUserName NOT NULL GROUP BY 1 ORDER BY 1"));
    EXPECT_EQ(Query(dir.Dir(), "SELECT * FROM tblMonthTotals ORDER BY 1, 2"),
              Query(dir.Dir(), "SELECT substr(dtDate, 1, 7), strUserName, SUM(intScore), "
                               "COUNT(DISTINCT dtDate) FROM tblScores WHERE strUserName NOT NULL "
                               "AND dtDate NOT NULL GROUP BY 1, 2 ORDER BY 1, 2"));
    EXPECT_NE(LogEvents(dir.Dir()).find("upgrade of glimradb.db: tblScores: 1 score without a"),
              npos);
}

// The example door started as "socket", "-N -S", "pty" (type 0) or "pty -X" (type 2); AMinutes
// left, AMore arguments, the drop file's emulation (0: no ANSI), the caller's rows.
void Start(TBbs& ABbs, const std::string& AHow, int AMinutes = 60, const std::string& AMore = "",
           int AEmulation = 1, int ARows = 25) {
    const bool pty = AHow.starts_with("pty");
    const auto drop =
        ABbs.Write("door32.sys", TBbs::Door32(AHow == "pty" ? 0 : 2, pty ? -1 : ABbs.Handle(),
                                              "Tester", AMinutes, 1, AEmulation));
    TLaunch launch{.Binary = GLIMRA_BINARY_DIR "/exampledoor",
                   .Args = {"-D" + drop.string(), AMore},
                   .OnPty = pty,
                   .CallerRows = ARows};
    if (AHow == "-N -S") launch.Args = {"-N1", "-S" + std::to_string(ABbs.Handle())};
    if (AHow == "pty -X") launch.Args.push_back("-X");
    ABbs.Start(launch);
}

TEST(Doors, GreetingLineAndEveryEndHandTheCallerBack) {
    TBbs small; // a caller smaller than 80x24 is told once, and the door goes on; on a raw door
    Start(small, "socket", 60, "-R", 1, 20); // socket the probe alone finds that, and no 255 goes
    EXPECT_TRUE(small.See("Your screen is 80x20; this door needs 80x24 and may look wrong.") &&
                small.See("Type a line") && small.Received().find('\xFF') == npos);
    TBbs plain; // a drop file that says no ANSI: a plain-text refusal and the caller back
    Start(plain, "socket", 60, "", 0);
    EXPECT_TRUE(plain.HandedBack());
    EXPECT_TRUE(plain.Received().find("needs a terminal with ANSI") != npos &&
                plain.Received().find('\x1b') == npos)
        << plain.Received();
    // Each end (the message a limit shows), the minutes left and the log's ending. A line typed;
    // limits show their message; a SIGTERM during the closing pause ends it at once; hang-ups and
    // the BBS's signals end the door within 2 s. The exit guard leaves light gray and the cursor
    // bottom left on the caller's screen, where the BBS's next byte lands.
    const std::tuple<std::string, int, std::string> ends[] = {
        {"a line", 60, "line typed"},
        {"Idle Time Limit Exceeded.  Returning To BBS...", 60, "idle"},
        {"Your Time Has Expired.  Returning To BBS...", 0, "time up"},
        {"hang-up", 60, "dropped carrier"},
        {"SIGHUP", 60, "signal SIGHUP"},
        {"SIGTERM", 60, "signal SIGTERM"},
        {"SIGHUP then SIGTERM", 60, "signal SIGHUP"}};
    for (const std::string how : {"socket", "-N -S", "pty", "pty -X"})
        for (const auto& [end, minutes, logged] : ends) {
            const bool limit = end.ends_with("..."), line = end == "a line";
            if (limit && (how == "pty" || how == "-N -S")) continue; // local, or no drop file
            TBbs bbs;
            Start(bbs, how, minutes, limit ? "-I1" : "");
            ASSERT_TRUE(bbs.See(limit ? end : "Type a line")) << how << end << bbs.Log();
            if (!limit) {
                bbs.Settle(); // CP437 on a pty too, the name from the drop file only, no status bar
                ExpectFixture(how == "-N -S" ? "e2e_example_noname.screen" : "e2e_example.screen",
                              Shot(bbs.Screen()));
                bbs.Send(line ? "a line\r\n" : "half a li"); // Enter as CR LF, as BBSes may pass it
                ASSERT_TRUE(bbs.See(line ? "You typed: a line" : "half a li")) << how << end;
            }
            if (end == "hang-up") bbs.HangUp();
            if (end.starts_with("SIGHUP")) bbs.Signal(SIGHUP);
            if (!line && end != "hang-up" && end != "SIGHUP") bbs.Signal(SIGTERM);
            const bool socket = !how.starts_with("pty");
            EXPECT_EQ(bbs.WaitExit(socket && end == "hang-up" ? 4s : 2s), 0) << how << end;
            EXPECT_TRUE(socket || end == "hang-up" || bbs.ModesBack()) << how << end;
            EXPECT_EQ(bbs.Log(), "") << how << end;
            if (!socket) continue;
            EXPECT_EQ(LogEvents(bbs.Dir(), "exampledoor.log"),
                      "session start\nsession end: " + logged + "\n")
                << how;
            if (end == "hang-up") continue;
            EXPECT_TRUE(bbs.HandedBack()) << how << end;
            EXPECT_TRUE(line ||
                        (bbs.See(1, 25, "Back at the BBS") && bbs.Screen().Attr(1, 25) == 7))
                << how << end;
        }
}

} // namespace
