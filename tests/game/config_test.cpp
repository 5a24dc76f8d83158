// Reading "bbsglimra.cfg": which lines switch what on, what counts as a missing line, and the
// message for a file that cannot be read.
#include "game/config.h"
#include "game/gameplay.h"
#include "game/updatecheck.h"
#include "gamedb_fixture.h"

namespace {

namespace fs = std::filesystem;

// Runs each test in a fresh working directory with the configuration globals at their start
// values.
class ConfigTest : public BoardsTest {
  protected:
    void SetUp() override {
        BoardsTest::SetUp();
        CheckVersion = false;
        StrWinnerText.clear();
    }
    static void WriteConfig(const std::string& AContent) {
        std::ofstream(CONFIG_FILE_NAME, std::ios::binary) << AContent;
    }
    static TConfigValues Read(const std::string& AContent) {
        WriteConfig(AContent);
        TConfigValues values;
        std::string error;
        EXPECT_TRUE(ReadConfigFile(CONFIG_FILE_NAME, values, error)) << error;
        return values;
    }
};

TEST_F(ConfigTest, ThreeLinesSetCheckIdleLimitAndWinnerText) {
    WriteConfig("1\n600\nSplendid!\n");
    ReadConfiguration();
    EXPECT_TRUE(CheckVersion);
    EXPECT_EQ(DoorSession.MaxIdle, 600);
    EXPECT_EQ(StrWinnerText, "Splendid!");
    EXPECT_EQ(LocalScreen().RowText(1), std::string(80, ' ')) << "nothing is written";

    // The same with DOS line ends, with a last line that has no line end, and with lines 4
    // and later present.
    for (const char* content : {"1\r\n600\r\nSplendid!\r\n", "1\n600\nSplendid!",
                                "1\r600\rSplendid!\rmore\nand more\n"}) {
        TConfigValues values = Read(content);
        EXPECT_TRUE(values.CheckVersion) << content;
        EXPECT_EQ(values.MaxIdle, 600) << content;
        EXPECT_EQ(values.WinnerText, "Splendid!") << content;
    }
    // A winner text longer than any screen line is cut.
    EXPECT_EQ(Read("1\n300\n" + std::string(5000, 'w') + "\n").WinnerText, std::string(1024, 'w'));
}

TEST_F(ConfigTest, OnlyExactlyOneSwitchesTheCheckOn) {
    for (const char* first : {"0", "yes", "1 ", " 1", "", "11", "Y"})
        EXPECT_FALSE(Read(std::string(first) + "\n600\n").CheckVersion) << '"' << first << '"';
}

TEST_F(ConfigTest, OneLineLeavesTheOtherDefaults) {
    WriteConfig("1");
    DoorSession.MaxIdle = 300;
    ReadConfiguration();
    EXPECT_TRUE(CheckVersion);
    EXPECT_EQ(DoorSession.MaxIdle, 300);
    EXPECT_EQ(StrWinnerText, "");

    // An empty file sets nothing and is no error.
    WriteConfig("");
    ReadConfiguration();
    EXPECT_FALSE(CheckVersion);
    EXPECT_EQ(LocalScreen().RowText(1), std::string(80, ' '));
}

TEST_F(ConfigTest, IdleLimitThatIsNoWholeNumberCountsAsMissing) {
    for (const char* line : {"", "abc", "60s", "6 0", "0", "-5", "99999999999", "1.5", "0x10"}) {
        EXPECT_EQ(ParseIdleLimit(line), std::nullopt) << '"' << line << '"';
        WriteConfig(std::string("0\n") + line + "\nWell done\n");
        DoorSession.MaxIdle = 300;
        ReadConfiguration();
        EXPECT_EQ(DoorSession.MaxIdle, 300) << '"' << line << '"';
        EXPECT_EQ(StrWinnerText, "Well done") << "the lines after it still count";
    }
    EXPECT_EQ(ParseIdleLimit(" 600 "), 600);
    EXPECT_EQ(ParseIdleLimit("+90"), 90);
    EXPECT_EQ(ParseIdleLimit("2147483647"), 2147483647);
}

TEST_F(ConfigTest, UnreadableFileIsReportedAndStartUpGoesOn) {
    ReadConfiguration();
    std::string row = LocalScreen().RowText(1);
    EXPECT_EQ(row.substr(0, row.find_last_not_of(' ') + 1),
              "File handling error occurred. Details (bbsglimra.cfg): File not found");
    EXPECT_EQ(LocalScreen().CursorRow(), 2) << "the message ends its line";
    EXPECT_FALSE(CheckVersion);
    EXPECT_EQ(DoorSession.MaxIdle, 300);

    // A directory in the file's place: opening works, reading fails with the platform's text.
    fs::create_directory(CONFIG_FILE_NAME);
    TConfigValues values;
    std::string error;
    EXPECT_FALSE(ReadConfigFile(CONFIG_FILE_NAME, values, error));
    EXPECT_EQ(error, "Is a directory");
    EXPECT_EQ(values.LinesRead, 0);
}

} // namespace
