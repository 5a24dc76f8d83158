// Test fixture for the game database: a remote caller session (door_session_fixture.h), a
// temporary directory holding a real glimradb.db built from data/schema.sql, and a fixed date.
#pragma once

#include "game/database.h"
#include "game/gamedate.h"
#include "tests/door/door_session_fixture.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

class GameDbTest : public DoorSessionTest {
  protected:
    std::filesystem::path Dir;

    void SetUp() override {
        DoorSessionTest::SetUp();
        char pattern[] = "/tmp/glimra-gamedb-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        Dir = pattern;
        CloseGameDatabase();
        GameDatabaseFile = (Dir / "glimradb.db").string();
        Word.clear();
        DoorDropInfo.Alias = "Bob";
    }

    void TearDown() override {
        CloseGameDatabase();
        GameDatabaseFile = "glimradb.db";
        std::filesystem::remove_all(Dir);
        DoorSessionTest::TearDown();
    }

    // A database with the committed schema and the given answer words.
    void MakeDatabase(const std::vector<std::string>& AAnswers) {
        std::ifstream in(std::string(GLIMRA_SOURCE_DIR) + "/data/schema.sql");
        std::ostringstream schema;
        schema << in.rdbuf();
        SqlConnection conn(GameDatabaseFile, SqlConnection::TOpenMode::Create);
        conn.Exec(schema.str());
        for (const auto& word : AAnswers)
            SqlStatement(conn, "INSERT INTO tblWords VALUES (?)").Bind(1, word).Execute();
    }

    // Runs SQL on a connection of its own; returns the rows as "a|b|c" texts.
    std::vector<std::string> Sql(const std::string& ASql) {
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

    // Sets the kit's clock, which GetToday reads, to a local time.
    static void SetToday(int AYear, int AMonth, int ADay, int AHour = 12, int AMinute = 0,
                         int ASecond = 0) {
        std::tm local{};
        local.tm_year = AYear - 1900;
        local.tm_mon = AMonth - 1;
        local.tm_mday = ADay;
        local.tm_hour = AHour;
        local.tm_min = AMinute;
        local.tm_sec = ASecond;
        local.tm_isdst = -1;
        FakeNow = std::chrono::system_clock::from_time_t(std::mktime(&local));
    }

    // Runs AAction and expects a GameDatabaseError whose text holds each of AParts.
    template <typename F>
    static void ExpectDbError(F AAction, const std::vector<std::string>& AParts) {
        try {
            AAction();
            ADD_FAILURE() << "no GameDatabaseError";
        } catch (const GameDatabaseError& e) {
            for (const auto& part : AParts)
                EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
        }
    }
};
