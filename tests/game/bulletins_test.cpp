// The bulletin files byte for byte against files spelled out here, the copy of the header art
// with its line ends and Ctrl-Z, files that cannot be written, and eight doors quitting at once.
#include "gamedb_fixture.h"

#include "game/bulletins.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <set>

namespace {

const std::string CRLF = "\r\n";
const std::string BRIGHT_GREEN = "\x1b[0;1;40;32m";
const std::string LONG19 = "ABCDEFGHIJKLMNOPQRS"; // the first 19 of a 25-character name

std::string Sp(int ACount) {
    return std::string(static_cast<std::size_t>(ACount), ' ');
}

std::string ReadFile(const std::string& APath) {
    std::ifstream in(APath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& APath, const std::string& AText) {
    std::ofstream(APath, std::ios::binary) << AText;
}

std::vector<std::string> SplitCrLf(const std::string& AText) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < AText.size();) {
        const auto end = AText.find(CRLF, start);
        if (end == std::string::npos) {
            lines.push_back(AText.substr(start)); // an unterminated last line
            break;
        }
        lines.push_back(AText.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

const std::string BANNER = "\x1b[0;1;40;33m" + Sp(30) + "BBS CONTESTRIA" + CRLF;
const std::string INVITATION =
    BRIGHT_GREEN + Sp(22) + "PLAY TODAY!  NEW WORD EVERY DAY!\x1b[0m" + CRLF;

std::string GreenBar() {
    std::string bar = "\x1b[0;42;32m";
    for (int i = 0; i < 37; ++i) bar += "\xC2\xB0";
    return bar + "   \xC2\xB0\x1b[0m" + CRLF;
}

std::string DateLine(const std::string& ADate) {
    return "\x1b[32m\x1b[15C" + Sp(10) + "Glimra Scores for " + ADate + CRLF;
}

const std::string TABLE_HEADING =
    "\x1b[0;40;32m         Daily                 Monthly               All-Time" + CRLF;

// Ten table lines, names then scores, as the caller's eye would check them column by column.
std::string Names(const std::string& ADaily, const std::string& AMonthly,
                  const std::string& AAllTime) {
    return BRIGHT_GREEN + Sp(10) + ADaily + AMonthly + AAllTime + CRLF;
}

std::string Scores(const std::string& AText) {
    return BRIGHT_GREEN + Sp(12) + AText + CRLF;
}

// The six title lines of a bulletin: plain ASCII art within the width and indentation allowed.
void ExpectTitle(const std::vector<std::string>& ALines) {
    ASSERT_GE(ALines.size(), 7u);
    for (std::size_t i = 1; i <= 6; ++i) {
        const std::string& line = ALines[i];
        EXPECT_LE(line.size(), 62u) << line;
        const auto indent = line.find_first_not_of(' ');
        ASSERT_NE(indent, std::string::npos) << "title line " << i << " is blank";
        EXPECT_GE(indent, 14u) << line;
        EXPECT_LE(indent, 18u) << line;
        EXPECT_EQ(line.find_first_not_of(" _/\\|()"), std::string::npos) << line;
    }
}

// The names in the working directory.
std::set<std::string> FileNames() {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        names.insert(entry.path().filename().string());
    return names;
}

const std::set<std::string> FILES_AFTER_QUIT = {"box.ans",        "bulletin.ans", "bulletin2.ans",
                                                "del_glimra.ans", "glimradb.db",  "header.ans"};

} // namespace

class BulletinTest : public BoardsTest {
  protected:
    // The month of 12 November 2025: three players this month (one with a 25-character name),
    // a fourth only in October, and nobody yet today.
    void AddNovemberScores() {
        AddScore("ABCDEFGHIJKLMNOPQRSTUVWXY", "2025-11-01", 320);
        AddScore("Alice", "2025-11-05", 160);
        AddScore("Alice", "2025-11-06", 80);
        AddScore("Bob", "2025-11-07", 40);
        AddScore("Carol", "2025-10-28", 160);
        AddScore("Carol", "2025-10-29", 320);
        AddScore("Carol", "2025-10-30", 320);
        AddScore("Bob", "2025-12-01", 320); // the month after: in no list but all-time
    }

    // The table once the 25-character name has scored 320 and Bob 10 today.
    static std::string TableWithTodaysScores() {
        return TABLE_HEADING + Names("1." + LONG19 + Sp(1), "1." + LONG19 + Sp(1), "1.Carol") +
               Scores("320" + Sp(19) + "640" + Sp(19) + "800") +
               Names("2.Bob" + Sp(17), "2.Alice" + Sp(15), "2." + LONG19) +
               Scores("10" + Sp(20) + "240" + Sp(19) + "640") +
               Names("3.NOBODY" + Sp(14), "3.Bob" + Sp(17), "3.Bob") +
               Scores("0" + Sp(21) + "50" + Sp(20) + "370") +
               Names("4.NOBODY" + Sp(14), "4.NOBODY" + Sp(14), "4.Alice") +
               Scores("0" + Sp(21) + "0" + Sp(21) + "240") +
               Names("5.NOBODY" + Sp(14), "5.NOBODY" + Sp(14), "5.NOBODY") +
               Scores("0" + Sp(21) + "0" + Sp(21) + "0");
    }
};

TEST_F(BulletinTest, NobodyTodayThreePlayersThisMonthReplacingALongerFile) {
    AddNovemberScores();
    std::string old;
    for (int i = 0; i < 100; ++i) old += "an older and longer bulletin line\r\n";
    WriteFile("bulletin.ans", old);
    SetToday(2025, 11, 12);
    Day = Month = Year = 0;
    DoorTextColour(14);
    WriteBulletin();

    EXPECT_EQ(Row(1), "Writing Bulletins and Returning Back To BBS");
    EXPECT_EQ(LocalScreen().AttrAt(1, 1), 0x02);
    EXPECT_EQ(LocalScreen().TextAttr(), 0x07);
    EXPECT_EQ(Day, 12);

    const std::string written = ReadFile("bulletin.ans");
    const std::vector<std::string> lines = SplitCrLf(written);
    ASSERT_EQ(lines.size(), 21u);
    ExpectTitle(lines);
    std::string title;
    for (std::size_t i = 1; i <= 6; ++i) title += lines[i] + CRLF;
    const std::string table = TABLE_HEADING +
                              Names("1.NOBODY" + Sp(14), "1." + LONG19 + Sp(1), "1.Carol") +
                              Scores("0" + Sp(21) + "320" + Sp(19) + "800") +
                              Names("2.NOBODY" + Sp(14), "2.Alice" + Sp(15), "2.Bob") +
                              Scores("0" + Sp(21) + "240" + Sp(19) + "360") +
                              Names("3.NOBODY" + Sp(14), "3.Bob" + Sp(17), "3." + LONG19) +
                              Scores("0" + Sp(21) + "40" + Sp(20) + "320") +
                              Names("4.NOBODY" + Sp(14), "4.NOBODY" + Sp(14), "4.Alice") +
                              Scores("0" + Sp(21) + "0" + Sp(21) + "240") +
                              Names("5.NOBODY" + Sp(14), "5.NOBODY" + Sp(14), "5.NOBODY") +
                              Scores("0" + Sp(21) + "0" + Sp(21) + "0");
    EXPECT_EQ(written, BANNER + title + DateLine("11/12/2025") + GreenBar() + INVITATION + table);

    // bulletin2.ans: the same banner and table around the header art shipped with the game.
    std::string art = ReadFile("del_glimra.ans");
    if (!art.empty() && art.back() != '\n') art += CRLF;
    EXPECT_EQ(ReadFile("bulletin2.ans"), BANNER + art + INVITATION + CRLF + table);
}

TEST_F(BulletinTest, HeaderArtIsCopiedLineByLineUpToCtrlZ) {
    AddNovemberScores();
    AddScore("ABCDEFGHIJKLMNOPQRSTUVWXY", "2025-11-12", 320);
    AddScore("Bob", "2025-11-12", 10);
    SetToday(2025, 11, 12);
    GetToday();
    const std::vector<std::pair<std::string, std::string>> arts = {
        {"\x1b[1;33mTOP\n\nMIDDLE\nBOTTOM\n", "\x1b[1;33mTOP\r\n\r\nMIDDLE\r\nBOTTOM\r\n"},
        {"A\r\nB\rC\nD", "A\r\nB\r\nC\r\nD\r\n"},
        {"Top\r\nArt\x1aSAUCE00 trailing record\r\nmore", "Top\r\nArt\r\n"},
        {"Top\r\n\x1aSAUCE00", "Top\r\n"},
        {"\r\n", "\r\n"},
        {"", ""},
    };
    for (const auto& [art, copied] : arts) {
        WriteFile("del_glimra.ans", art);
        WriteBulletin2();
        EXPECT_EQ(ReadFile("bulletin2.ans"),
                  BANNER + copied + INVITATION + CRLF + TableWithTodaysScores())
            << art;
    }
}

TEST_F(BulletinTest, FilesThatCannotBeWrittenKeepWhatWasThere) {
    AddNovemberScores();
    SetToday(2025, 11, 12);
    // No header art: bulletin.ans is still whole, the earlier bulletin2.ans stays as it was.
    std::filesystem::remove("del_glimra.ans");
    WriteFile("bulletin2.ans", "yesterday's bulletin\r\n");
    WriteBulletin();
    EXPECT_EQ(SplitCrLf(ReadFile("bulletin.ans")).size(), 21u);
    EXPECT_EQ(ReadFile("bulletin.ans").substr(0, BANNER.size()), BANNER);
    EXPECT_EQ(ReadFile("bulletin2.ans"), "yesterday's bulletin\r\n");
    EXPECT_EQ(LocalScreen().TextAttr(), 0x07);

    // A bulletin.ans that cannot be replaced (here a directory) stays; the second file is
    // written all the same.
    std::filesystem::remove("bulletin.ans");
    std::filesystem::create_directories("bulletin.ans/inside");
    WriteFile("del_glimra.ans", "ART\r\n");
    WriteBulletin();
    EXPECT_TRUE(std::filesystem::is_directory("bulletin.ans/inside"));
    EXPECT_EQ(ReadFile("bulletin2.ans").substr(0, BANNER.size() + 5), BANNER + "ART\r\n");
    EXPECT_EQ(FileNames(), FILES_AFTER_QUIT) << "no temporary file is left behind";
}

TEST_F(BulletinTest, EightDoorsQuittingAtOnceLeaveWholeFiles) {
    AddNovemberScores();
    constexpr int DOORS = 8;
    // A best score of its own on each of the eight days tells the doors' files apart.
    for (int door = 0; door < DOORS; ++door)
        AddScore("Door" + std::to_string(door), DateKey(2025, 11, door + 1), 10 + door);
    // What each door writes when it quits alone: door i on day i + 1 of November.
    std::set<std::string> alone, alone2;
    for (int door = 0; door < DOORS; ++door) {
        SetToday(2025, 11, door + 1);
        WriteBulletin();
        alone.insert(ReadFile("bulletin.ans"));
        alone2.insert(ReadFile("bulletin2.ans"));
    }
    ASSERT_EQ(alone.size(), static_cast<std::size_t>(DOORS));
    ASSERT_EQ(alone2.size(), static_cast<std::size_t>(DOORS));
    std::filesystem::remove("bulletin.ans");
    std::filesystem::remove("bulletin2.ans");
    CloseGameDatabase(); // each door opens its own

    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<pid_t> doors;
    for (int door = 0; door < DOORS; ++door) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(gate[1]);
            char ch;
            (void)!::read(gate[0], &ch, 1); // returns when the parent opens the gate
            SetToday(2025, 11, door + 1);
            try {
                for (int quit = 0; quit < 25; ++quit) WriteBulletin();
            } catch (...) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        doors.push_back(pid);
    }
    ::close(gate[0]);
    ::close(gate[1]); // all doors start at once

    // Meanwhile the BBS shows the bulletins to other callers: never a part of a file.
    int reads = 0, torn = 0;
    std::vector<int> statuses;
    while (statuses.size() < doors.size()) {
        for (const auto& [file, whole] :
             {std::pair{"bulletin.ans", &alone}, std::pair{"bulletin2.ans", &alone2}}) {
            if (!std::filesystem::exists(file)) continue;
            if (whole->count(ReadFile(file)) != 1) ++torn;
            ++reads;
        }
        int status = 0;
        const pid_t done = ::waitpid(-1, &status, WNOHANG);
        if (done > 0) statuses.push_back(status);
    }
    for (int status : statuses) {
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    EXPECT_GT(reads, 0);
    EXPECT_EQ(torn, 0) << "reads that found a file half-written";
    EXPECT_EQ(alone.count(ReadFile("bulletin.ans")), 1u);
    EXPECT_EQ(alone2.count(ReadFile("bulletin2.ans")), 1u);
    EXPECT_EQ(FileNames(), FILES_AFTER_QUIT) << "no temporary file is left behind";
}

TEST_F(BulletinTest, ABulletinLinkedIntoTheBbsStaysALink) {
    // The sysop linked both bulletins to the BBS's own text files.
    std::filesystem::create_directory("bbstext");
    WriteFile("bbstext/glimra1.ans", "old");
    std::filesystem::create_symlink("bbstext/glimra1.ans", "bulletin.ans");
    std::filesystem::create_symlink("bbstext/glimra2.ans", "bulletin2.ans"); // not there yet
    SetToday(2025, 11, 12);
    WriteBulletin();
    EXPECT_TRUE(std::filesystem::is_symlink("bulletin.ans"));
    EXPECT_TRUE(std::filesystem::is_symlink("bulletin2.ans"));
    EXPECT_EQ(SplitCrLf(ReadFile("bbstext/glimra1.ans")).size(), 21u);
    EXPECT_EQ(ReadFile("bbstext/glimra2.ans").substr(0, BANNER.size()), BANNER);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("bbstext"),
                            std::filesystem::directory_iterator()),
              2);
}
