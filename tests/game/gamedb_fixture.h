// Fixtures of the game tests. GameDbTest: a remote caller session (door_session_fixture.h) and a
// temporary directory holding a real glimradb.db built from data/schema.sql. BoardsTest: a local
// session working in that directory, its screens read back from the local screen model.
#pragma once

#include "door/console.h"
#include "game/database.h"
#include "game/gamedate.h"
#include "tests/door/door_session_fixture.h"

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

class GameDbTest : public DoorSessionTest {
  protected:
    void SetUp() override {
        DoorSessionTest::SetUp();
        CloseGameDatabase();
        GameDatabaseFile = (Dir / "glimradb.db").string();
        Word.clear();
        DoorDropInfo.Alias = "Bob";
    }

    void TearDown() override {
        CloseGameDatabase();
        GameDatabaseFile = "glimradb.db";
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

    // A score row written as the game writes it, on a connection of its own.
    void AddScore(const std::string& AName, const std::string& ADate, int AScore) {
        SqlConnection conn(GameDatabaseFile);
        SqlStatement(conn, "insert into tblScores (strUserName, dtDate, intScore) values (?,?,?)")
            .Bind(1, AName)
            .Bind(2, ADate)
            .Bind(3, std::int64_t{AScore})
            .Execute();
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

    // The game date itself, as start-up or the calendar leaves it.
    static void GameDate(int AYear, int AMonth, int ADay) {
        Year = AYear;
        Month = AMonth;
        Day = ADay;
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

class BoardsTest : public GameDbTest {
  protected:
    void SetUp() override {
        GameDbTest::SetUp();
        MakeDatabase({"crane"});
        FOldDir = std::filesystem::current_path();
        std::filesystem::current_path(Dir);
        // The game's header art as shipped; empty stand-ins for the board and game header keep
        // the screen to what the game itself draws.
        CopyArt("del_glimra.ans");
        for (const char* art : {"header.ans", "box.ans"}) std::ofstream(art).flush();
        DoorDropInfo.ComType = 0; // output only on the local screen, keys from the local keyboard
    }
    void TearDown() override {
        std::filesystem::current_path(FOldDir);
        GameDbTest::TearDown();
    }

    static void CopyArt(const char* AName) {
        std::filesystem::copy_file(std::string(GLIMRA_SOURCE_DIR) + "/data/art/" + AName, AName,
                                   std::filesystem::copy_options::overwrite_existing);
    }

    // Runs a screen that ends on one key: it must take exactly one of the keys queued (a wait
    // with no key left to come would end the process instead).
    static void RunScreen(void (*AScreen)()) {
        ConsolePushKeys("x!");
        AScreen();
        ASSERT_TRUE(ConsoleKeyPressed()) << "the screen read more than one key";
        EXPECT_EQ(ConsoleReadKey(), '!');
        EXPECT_FALSE(ConsoleKeyPressed()) << "the screen read no key";
    }

    // The row from ACol on, trailing blanks removed.
    static std::string RowFrom(int ARow, int ACol) {
        const std::string text = Row(ARow);
        return text.size() < static_cast<std::size_t>(ACol) ? "" : text.substr(ACol - 1);
    }
    // The expected text of a row from AFromCol on: each part at its column, blanks between.
    static std::string Placed(int AFromCol,
                              const std::vector<std::pair<int, std::string>>& AParts) {
        std::string text;
        for (const auto& [col, part] : AParts) {
            text.resize(static_cast<std::size_t>(col - AFromCol), ' ');
            text += part;
        }
        return text;
    }
    // True when every cell from ACol to ALastCol of the row has attribute AAttr.
    static bool AttrRun(int ACol, int ALastCol, int ARow, std::uint8_t AAttr) {
        for (int col = ACol; col <= ALastCol; ++col)
            if (AttrAt(col, ARow) != AAttr) return false;
        return true;
    }

    std::filesystem::path FOldDir;
};

// Attributes on the local screen: foreground | background << 4.
inline constexpr std::uint8_t ATTR_GREEN = 0x02;
inline constexpr std::uint8_t ATTR_BROWN = 0x06;
inline constexpr std::uint8_t ATTR_DARK_GRAY = 0x08;
inline constexpr std::uint8_t ATTR_LIGHT_GREEN = 0x0A;
inline constexpr std::uint8_t ATTR_YELLOW = 0x0E;
inline constexpr std::uint8_t ATTR_YELLOW_ON_GREEN = 0x2E;

// The caller's side of a game screen test: reads what the door sends while the door runs (the
// door writes many small pieces, and a caller that did not read along would fill the socket
// and stall the door).
class TReadAlong {
  public:
    explicit TReadAlong(int ACallerFd) : FFd(ACallerFd), FThread([this] { Run(); }) {}
    ~TReadAlong() { Stop(); }
    TReadAlong(const TReadAlong&) = delete;
    TReadAlong& operator=(const TReadAlong&) = delete;

    // Stops reading and returns every byte received.
    std::string Bytes() {
        Stop();
        return FBytes;
    }

  private:
    // Reads until told to stop, then takes what is still buffered.
    void Run() {
        char buffer[4096];
        for (;;) {
            pollfd pfd{FFd, POLLIN, 0};
            if (::poll(&pfd, 1, 10) <= 0) {
                if (FStop) return;
                continue;
            }
            const ssize_t got = ::read(FFd, buffer, sizeof buffer);
            if (got <= 0) return;
            FBytes.append(buffer, static_cast<std::size_t>(got));
        }
    }
    void Stop() {
        FStop = true;
        if (FThread.joinable()) FThread.join();
    }

    int FFd;
    std::string FBytes; // the reader's own until it has stopped
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

// Shows captured bytes on a fresh local screen, as the caller's terminal shows them.
inline void Replay(const std::string& ABytes) {
    AnsiReset();
    AnsiWrite(ABytes);
}
