// The bulletin files byte for byte against tests/fixtures/bulletin*.ans, the copy of the header art
// with its line ends and Ctrl-Z, files that cannot be written or are links, and eight doors
// quitting at once.
#include "game/bulletins.h"
#include "tests/support/kit_fixture.h"

#include <sys/wait.h>

#include <set>

namespace {

namespace fs = std::filesystem;

// The month of 12 November 2025: three players, one with a 25-character name, a fourth only in
// October, one score in December; today Bob has 10 and the long name 320.
class BulletinTest : public KitTest {
  protected:
    void SetUp() override {
        KitTest::SetUp();
        MakeDatabase({"crane"});
        fs::copy_file(std::string(GLIMRA_SOURCE_DIR) + "/data/art/del_glimra.ans",
                      "del_glimra.ans");
        for (const auto& [name, date, score] :
             {std::tuple{"ABCDEFGHIJKLMNOPQRSTUVWXY", "2025-11-01", 320},
              {"Alice", "2025-11-05", 160},
              {"Alice", "2025-11-06", 80},
              {"Bob", "2025-11-07", 40},
              {"Carol", "2025-10-28", 160},
              {"Carol", "2025-10-29", 320},
              {"Carol", "2025-10-30", 320},
              {"Bob", "2025-12-01", 320},
              {"ABCDEFGHIJKLMNOPQRSTUVWXY", "2025-11-12", 320},
              {"Bob", "2025-11-12", 10}})
            AddScore(name, date, score);
        SetToday(2025, 11, 12);
    }
    static std::set<std::string> Files() {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(".")) names.insert(entry.path().filename());
        return names;
    }
};

TEST_F(BulletinTest, BothFilesWholeWithTheHeaderArtCopiedUpToCtrlZ) {
    std::ofstream("bulletin.ans") << std::string(5000, 'x'); // an older, longer file
    Day = Month = Year = 0;
    DoorTextColour(14);
    WriteBulletin();
    EXPECT_EQ(Row(1), "Writing Bulletins and Returning Back To BBS");
    EXPECT_EQ(std::pair(AttrAt(1, 1), LocalScreen().TextAttr()),
              std::pair(std::uint8_t{2}, std::uint8_t{7}));
    EXPECT_EQ(Day, 12);
    ExpectFixture("bulletin.ans", ReadFile("bulletin.ans"));
    const std::string whole = ReadFile("bulletin2.ans");
    ExpectFixture("bulletin2.ans", whole);
    const std::string art = ReadFile("del_glimra.ans");
    const std::size_t at = whole.find(art);
    ASSERT_NE(at, std::string::npos);
    const std::string before = whole.substr(0, at),
                      after = whole.substr(at + art.size() + (art.back() != '\n') * 2);
    const std::pair<std::string, std::string> arts[] = {
        {"\x1b[1;33mTOP\n\nMIDDLE\nBOTTOM\n", "\x1b[1;33mTOP\r\n\r\nMIDDLE\r\nBOTTOM\r\n"},
        {"A\r\nB\rC\nD", "A\r\nB\r\nC\r\nD\r\n"},
        {"Top\r\nArt\x1aSAUCE00 trailing record\r\nmore", "Top\r\nArt\r\n"},
        {"\x1aSAUCE00", ""},
        {"\r\n", "\r\n"},
    };
    for (const auto& [content, copied] : arts) {
        std::ofstream("del_glimra.ans", std::ios::binary) << content;
        WriteBulletin2();
        EXPECT_EQ(ReadFile("bulletin2.ans"), before + copied + after) << content;
    }
}

TEST_F(BulletinTest, FilesThatCannotBeWrittenOrAreLinks) {
    fs::remove("del_glimra.ans"); // no art: bulletin2.ans stays as it was
    std::ofstream("bulletin2.ans") << "yesterday's";
    fs::create_directories("bulletin.ans/inside"); // cannot be replaced: stays
    WriteBulletin();
    EXPECT_EQ(ReadFile("bulletin2.ans"), "yesterday's");
    EXPECT_TRUE(fs::is_directory("bulletin.ans/inside"));
    EXPECT_EQ(LocalScreen().TextAttr(), 0x07);
    fs::remove_all("bulletin.ans");
    std::ofstream("del_glimra.ans") << "ART\r\n";
    WriteBulletin();
    EXPECT_EQ(Files(), (std::set<std::string>{"bulletin.ans", "bulletin2.ans", "del_glimra.ans",
                                              "glimradb.db"}))
        << "no temporary file is left behind";
    // The sysop linked both to the BBS's text files: the files linked to are replaced.
    const std::string first = ReadFile("bulletin.ans"), second = ReadFile("bulletin2.ans");
    fs::create_directory("bbs");
    std::ofstream("bbs/one.ans") << "old";
    for (const char* name : {"bulletin.ans", "bulletin2.ans"}) fs::remove(name);
    fs::create_symlink("bbs/one.ans", "bulletin.ans");
    fs::create_symlink("bbs/two.ans", "bulletin2.ans"); // not there yet
    WriteBulletin();
    EXPECT_TRUE(fs::is_symlink("bulletin.ans") && fs::is_symlink("bulletin2.ans"));
    EXPECT_EQ(ReadFile("bbs/one.ans") + ReadFile("bbs/two.ans"), first + second);
    EXPECT_EQ(std::distance(fs::directory_iterator("bbs"), fs::directory_iterator()), 2);
}

TEST_F(BulletinTest, EightDoorsQuittingAtOnceLeaveWholeFiles) {
    for (int door = 0; door < 8; ++door) // a best score of its own on each door's day
        AddScore("Door" + std::to_string(door), DateKey(2025, 11, door + 1), 10 + door);
    std::set<std::string> alone[2]; // what door i writes alone, on day i + 1
    for (int door = 0; door < 8; ++door) {
        SetToday(2025, 11, door + 1);
        WriteBulletin();
        alone[0].insert(ReadFile("bulletin.ans"));
        alone[1].insert(ReadFile("bulletin2.ans"));
    }
    ASSERT_EQ(alone[0].size() + alone[1].size(), 16u);
    CloseGameDatabase(); // each door opens its own
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    for (int door = 0; door < 8; ++door) {
        if (::fork() == 0) {
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
    }
    ::close(gate[0]);
    ::close(gate[1]);
    int done = 0, torn = 0, reads = 0;
    while (done < 8) { // meanwhile the BBS shows the bulletins: never a part of a file
        torn +=
            !alone[0].count(ReadFile("bulletin.ans")) + !alone[1].count(ReadFile("bulletin2.ans"));
        reads += 2;
        int status = 0;
        if (::waitpid(-1, &status, WNOHANG) > 0) {
            ++done;
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
    }
    EXPECT_EQ(torn, 0) << "of " << reads << " reads found a file half-written";
    EXPECT_EQ(Files().size(), 4u) << "no temporary file is left behind";
}

} // namespace
