// The one unit-test fixture: the kit as a door finds it before start-up (the kit's one reset:
// headless console, fresh screen, default hooks), a fake clock, no pauses, no winner's text, in a
// temporary working directory, and on demand a remote caller on a socket pair and a game
// database built from data/schema.sql.
#pragma once

#include "door/door.h"
#include "door/doorlog.h"
#include "door/net/comm.h"
#include "door/reset.h"
#include "door/term/ansi.h"
#include "door/term/console.h"
#include "door/term/screen.h"
#include "game/rules/gamedate.h"
#include "game/screens/gameplay.h"
#include "game/store/database.h"
#include "game/store/sqlite/sqlitestore.h"
#include "tests/support/platform.h"
#include "tests/support/shots.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

inline TDateTime FakeNow{};
inline std::vector<std::int32_t> Delays; // every pause the kit asked for

// A door ends its process with code 0 when, say, a screen waits for a key that never comes.
// Inside a test (in the test process, not a death test's child) that must fail the run.
inline const long TestProcess = ::getpid();
// A death test's child started afresh (as on Windows) runs the test again up to its statement,
// in the directory of the parent's test, which the parent names here.
inline const char* const kTestDirVariable = "GLIMRA_UNIT_TEST_DIR";

// Runs SQL (with AValue for a "?") on a connection of its own; the rows as "a|b|c" texts.
inline std::vector<std::string> SqlRows(const std::string& AFile, const std::string& ASql,
                                        const std::string& AValue = "") {
    SqlConnection conn(AFile);
    conn.Exec("PRAGMA synchronous=OFF");
    SqlStatement query(conn, ASql);
    if (ASql.find('?') != std::string::npos) query.Bind(1, AValue);
    std::vector<std::string> rows;
    while (query.Step()) {
        rows.emplace_back();
        for (int i = 0; i < query.ColumnCount(); ++i)
            rows.back() += (i ? "|" : "") + query.ColumnText(i);
    }
    return rows;
}
inline bool InTest = false;

class KitTest : public ::testing::Test {
  public:
    void SetUp() override {
        const char* parentDir = std::getenv(kTestDirVariable);
        static const int guard = std::atexit([] {
            if (InTest && ::getpid() == TestProcess)
                std::fputs("ended inside a test\n", stderr), std::_Exit(1);
        });
        InTest = guard == 0 && parentDir == nullptr;
        DoorResetForTests();
        DoorDropInfo.Alias = "Bob";
        StrWinnerText.clear();
        FakeNow = TDateTime{} + std::chrono::hours(24 * 365 * 50);
        DoorNow = DoorSteadyNow = [] { return FakeNow; }; // one fake clock for date and session
        Delays.clear(), DoorDelay = [](std::int32_t AMs) { Delays.push_back(AMs); };
        Dir = parentDir ? std::filesystem::path(parentDir) : TestScratchDir();
        TestSetEnv(kTestDirVariable, Dir.string().c_str());
        std::filesystem::current_path(Dir);
    }
    void TearDown() override {
        DoorResetForTests();
        TestClose(Caller);
        CloseGameDatabase();
        std::filesystem::current_path(Home);
        std::filesystem::remove_all(Dir);
        TestSetEnv(kTestDirVariable, nullptr);
        InTest = false;
    }

    // A remote session: the kit's connection is one end of a socket pair, the test the caller.
    void Connect() {
        const TSocketPair pair = TestSocketPair();
        ASSERT_NE(pair.Caller, kNoSocket);
        Caller = pair.Caller;
        CommOpen(DoorDropInfo.ComNum = static_cast<std::int32_t>(pair.Door));
        DoorDropInfo.ComType = 2;
        DoorLastKey.Time = DoorSession.TimeOn = FakeNow;
        EXPECT_EQ(Received(), std::string("\xFF\xFB\x00\xFF\xFB\x01", 6)); // telnet offers
    }
    std::string Received() { // what the caller was sent since the last call
        std::string bytes;
        for (std::string more; !(more = TestReceive(Caller)).empty();) bytes += more;
        return bytes;
    }
    void Send(const std::string& ABytes) { TestSend(Caller, ABytes); }
    void HangUp() { TestClose(std::exchange(Caller, kNoSocket)); }
    static void Advance(int ASeconds) { FakeNow += std::chrono::seconds(ASeconds); }
    static std::string Row(int ARow) {
        std::string text = LocalScreen().RowText(ARow);
        return text.erase(text.find_last_not_of(' ') + 1);
    }
    static int AttrAt(int ACol, int ARow) { return LocalScreen().AttrAt(ACol, ARow); }

    // glimradb.db with the schema and these answer words; the game's connection and the test's
    // skip fsync (many small commits).
    static void MakeDatabase(const std::vector<std::string>& AAnswers) {
        SqlConnection(GameDatabaseFile = "glimradb.db", SqlConnection::TOpenMode::Create)
            .Exec(ReadFile(std::string(GLIMRA_SOURCE_DIR) + "/data/schema.sql"));
        OpenGameDatabase().Exec("PRAGMA synchronous=OFF");
        for (const auto& word : AAnswers) Sql("INSERT INTO tblWords VALUES ('" + word + "')");
    }
    static std::vector<std::string> Sql(const std::string& ASql) {
        return SqlRows(GameDatabaseFile, ASql);
    }
    // The kit's clock (which GetToday reads) at noon of a local date, and the game date.
    static void SetToday(int AYear, int AMonth, int ADay) {
        std::tm local{};
        local.tm_hour = 12, local.tm_mday = ADay, local.tm_mon = AMonth - 1;
        local.tm_year = AYear - 1900, local.tm_isdst = -1;
        FakeNow = std::chrono::system_clock::from_time_t(std::mktime(&local));
        Year = AYear, Month = AMonth, Day = ADay;
    }

    std::filesystem::path Dir, Home = std::filesystem::current_path();
    TTestSocket Caller = kNoSocket;
};
