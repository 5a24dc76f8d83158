// Test fixtures for the game database: a temporary directory holding a real glimradb.db built
// from data/schema.sql, a fixed date, and helpers to read the tables back. GameDbTest has no
// caller; GameSessionTest adds a remote caller whose received bytes the test reads.
#pragma once

#include "door/door.h"
#include "game/database.h"
#include "game/gamedate.h"
#include "game/sqldb.h"
#include "tests/door/door_session_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// The temporary directory and the database in it.
class GameDbFiles {
  protected:
    std::filesystem::path Dir;

    void CreateFiles() {
        char pattern[] = "/tmp/glimra-gamedb-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        Dir = pattern;
        CloseGameDatabase();
        GameDatabaseFile = (Dir / "glimradb.db").string();
        Word.clear();
    }

    void RemoveFiles() {
        CloseGameDatabase();
        GameDatabaseFile = "glimradb.db";
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }

    static std::string Schema() {
        std::ifstream in(std::string(GLIMRA_SOURCE_DIR) + "/data/schema.sql");
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // A database with the committed schema and the given answer words.
    void MakeDatabase(const std::vector<std::string>& AAnswers) {
        SqlConnection conn(GameDatabaseFile, SqlConnection::TOpenMode::Create);
        conn.Exec(Schema());
        for (const auto& word : AAnswers)
            SqlStatement(conn, "INSERT INTO tblWords (strWord) VALUES (?)").Bind(1, word).Execute();
    }

    // Runs SQL on a connection of its own (not the game's).
    void Exec(const std::string& ASql) {
        SqlConnection conn(GameDatabaseFile);
        conn.Exec(ASql);
    }

    // Rows of a query as "a|b|c" texts, read on a connection of its own.
    std::vector<std::string> Rows(const std::string& ASql) {
        SqlConnection conn(GameDatabaseFile);
        SqlStatement query(conn, ASql);
        std::vector<std::string> rows;
        while (query.Step()) {
            std::string row;
            for (int i = 0; i < query.ColumnCount(); ++i)
                row += (i ? "|" : "") + query.ColumnText(i);
            rows.push_back(row);
        }
        return rows;
    }

    // A local time as the kit's clock gives it.
    static TDateTime LocalTime(int AYear, int AMonth, int ADay, int AHour, int AMinute,
                               int ASecond) {
        std::tm local{};
        local.tm_year = AYear - 1900;
        local.tm_mon = AMonth - 1;
        local.tm_mday = ADay;
        local.tm_hour = AHour;
        local.tm_min = AMinute;
        local.tm_sec = ASecond;
        local.tm_isdst = -1;
        return std::chrono::system_clock::from_time_t(std::mktime(&local));
    }
};

class GameDbTest : public ::testing::Test, protected GameDbFiles {
  protected:
    void SetUp() override {
        ConsoleUseHeadless(); // DBCheck's marks go to the local screen model only
        AnsiReset();
        CreateFiles();
        SavedNow = DoorNow;
        DoorDropInfo.Alias = "Bob";
    }

    void TearDown() override {
        RemoveFiles();
        DoorNow = SavedNow;
        DoorDropInfo.Alias.clear();
    }

    // Fixes the kit's clock (which GetToday reads) at a local time, noon by default.
    static void SetToday(int AYear, int AMonth, int ADay, int AHour = 12, int AMinute = 0,
                         int ASecond = 0) {
        FakeNow = LocalTime(AYear, AMonth, ADay, AHour, AMinute, ASecond);
        DoorNow = [] { return FakeNow; };
    }

    TDateTime (*SavedNow)() = nullptr;
};

class GameSessionTest : public DoorSessionTest, protected GameDbFiles {
  protected:
    void SetUp() override {
        DoorSessionTest::SetUp();
        CreateFiles();
        DoorDropInfo.Alias = "Bob";
    }

    void TearDown() override {
        RemoveFiles();
        DoorSessionTest::TearDown();
    }

    static void SetToday(int AYear, int AMonth, int ADay) {
        FakeNow = LocalTime(AYear, AMonth, ADay, 12, 0, 0);
    }
};
