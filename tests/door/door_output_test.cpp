// Output to both screens: the bytes the caller receives and the local screen model, for plain
// text, pipe and backtick codes, centring and file display.
#include "door_session_fixture.h"

#include <filesystem>
#include <fstream>

namespace {

using namespace std::string_literals;
const std::string kGotoLeft = "\x1b[255D";

class DoorOutput : public DoorSessionTest {
  protected:
    // Writes AContent to a file in the test's directory and returns its path.
    std::string TempFile(const std::string& AName, const std::string& AContent) {
        std::ofstream(Dir / AName, std::ios::binary) << AContent;
        return (Dir / AName).string();
    }
};

TEST_F(DoorOutput, PlainTextReachesBothScreensWithIacDoubledOnTheWire) {
    DoorWrite("Hello \xFFworld");
    EXPECT_EQ(Received(), "Hello \xFF\xFFworld");
    EXPECT_EQ(Row(1), "Hello \xFFworld");
    DoorWriteLn("x");
    DoorWriteLn();
    DoorWrite("y");
    EXPECT_EQ(Received(), "x\r\n\r\ny");
    EXPECT_EQ(Row(3), "y");
}

TEST_F(DoorOutput, NothingIsSentInALocalSessionOrWithStdio) {
    DoorDropInfo.ComType = 0;
    DoorWrite("local");
    DoorDropInfo.ComType = 2;
    Stdio = true;
    DoorWrite(" only");
    EXPECT_EQ(Received(), "");
    EXPECT_EQ(Row(1), "local only");
}

TEST_F(DoorOutput, PipeCodesBecomeColoursOnBothScreens) {
    DoorWrite("|1FHi|zz|8E!|0");
    EXPECT_EQ(Received(), "\x1b[1;37m\x1b[44mHi|zz\x1b[1;33m\x1b[40m!|0");
    EXPECT_EQ(Row(1), "Hi|zz!|0");
    EXPECT_EQ(LocalScreen().AttrAt(1, 1), 0x1F);
    EXPECT_EQ(LocalScreen().AttrAt(3, 1), 0x1F); // "|zz" keeps the colour
    EXPECT_EQ(LocalScreen().AttrAt(6, 1), 0x0E); // bar 8E without blink
    EXPECT_EQ(LocalScreen().TextAttr(), 0x0E);
}

TEST_F(DoorOutput, BackticksAreOrdinaryUnlessTrelmWriteIsSet) {
    DoorWrite("a`1b");
    EXPECT_EQ(Received(), "a`1b");
    DoorSession.TrelmWrite = true;
    DoorWrite("`");     // a lone backtick is written as it is
    DoorWrite("end`");  // a backtick at the end is dropped
    DoorWrite("a`zb");  // unknown codes vanish with their character
    DoorWrite("c`r9d"); // r with a digit above 7: three characters, no effect
    DoorWrite("`x`\\");
    EXPECT_EQ(Received(), "`endabcd \r\n");
    EXPECT_EQ(Row(1), "a`1b`endabcd");
}

TEST_F(DoorOutput, BacktickColourCodes) {
    DoorSession.TrelmWrite = true;
    DoorWrite("`1B");
    // Colour 1, then blink off restating the colours that are now local.
    EXPECT_EQ(Received(), "\x1b[0;34m\x1b[40m\x1b[0m\x1b[40m\x1b[0;34m\x1b[40mB");
    DoorWrite("`r4`%W`*K`yY");
    EXPECT_EQ(LocalScreen().AttrAt(2, 1), 0x4F);
    EXPECT_EQ(LocalScreen().AttrAt(3, 1), 0x40);
    EXPECT_EQ(LocalScreen().AttrAt(4, 1) & 0x8F, 0x8E); // blinking yellow
    Received();
    DoorWrite("`c"); // the light gray restates the red background before setting black
    EXPECT_EQ(Received(), "\x1b[0;37m\x1b[41m\x1b[40m\x1b[2J\x1b[1;1f\r\n\r\n");
    EXPECT_EQ(Row(1), "");
    EXPECT_EQ(LocalScreen().WhereY(), 3);
}

TEST_F(DoorOutput, BacktickPausesSpinnerAndMorePrompt) {
    DoorSession.TrelmWrite = true;
    DoorWrite("a`lb`wc");
    EXPECT_EQ(Delays, (std::vector<std::int32_t>{500, 100}));
    EXPECT_EQ(Received(), "abc");

    Delays.clear();
    DoorWrite("`|");
    EXPECT_EQ(Received(), "|\b\\\b-\b/\b|\b\\\b-\b/\b|\b \b");
    EXPECT_EQ(Delays, std::vector<std::int32_t>(9, 100));
    EXPECT_EQ(Row(1), "abc");
    EXPECT_EQ(LocalScreen().WhereX(), 4);

    Send("qz");
    DoorWrite("`k");
    const std::string sent = Received();
    EXPECT_NE(sent.find("  "), std::string::npos);
    EXPECT_NE(sent.find("<"), std::string::npos);
    EXPECT_NE(sent.find("MORE"), std::string::npos);
    EXPECT_TRUE(
        sent.ends_with(">" + std::string(8, '\b') + std::string(8, ' ') + std::string(8, '\b')));
    EXPECT_EQ(DoorLastKey.Ch, 'q');
    EXPECT_EQ(Row(1), "abc");      // the prompt is erased
    EXPECT_EQ(DoorReadKey(), 'z'); // only one key was taken
}

TEST_F(DoorOutput, CentringUsesTheVisibleWidthOnlyForBacktickCodes) {
    const std::string text24(24, 'x');
    DoorWriteCentered(text24);
    EXPECT_EQ(Received(), kGotoLeft + "\x1b[27C" + text24);
    EXPECT_EQ(LocalScreen().CharAt(28, 1), 'x');
    EXPECT_EQ(LocalScreen().CharAt(27, 1), ' ');

    DoorWriteLn();
    Received();
    DoorWriteCentered(std::string(80, 'y'));
    EXPECT_EQ(Received(), kGotoLeft + std::string(80, 'y'));
    Received();

    // Pipe codes count as characters: "|0Aab" is five wide, so column 37.
    DoorWriteCentered("|0Aab");
    EXPECT_TRUE(Received().starts_with(kGotoLeft + "\x1b[36C"));
    DoorSession.TrelmWrite = true;
    DoorWriteCentered("`1" + text24 + "`r1"); // the codes are left out: column 28
    EXPECT_TRUE(Received().starts_with(kGotoLeft + "\x1b[27C"));
}

TEST_F(DoorOutput, DisplayFileWritesLinesUpToCtrlZ) {
    DoorDisplayFile(TempFile("ends.txt", "a\r\nb\nc\rd|0Ae\r\n\r\nf\n")); // every kind of line end
    EXPECT_EQ(Received(), "a\r\nb\r\nc\r\nd\x1b[1;32m\x1b[40me\r\n\r\nf");
    EXPECT_EQ(Row(3) + "|" + Row(4) + "|" + Row(6), "c|de|f");
    EXPECT_EQ(AttrAt(2, 4), 0x0A);
    // Ctrl-Z ends the file; an overlong line is split outside the pipe code that straddles the
    // point where its first piece would end.
    const std::string longLine(64 * 1024 - 2, 'a');
    const std::pair<std::string, std::string> files[] = {
        {"one\r\ntwo\x1ASAUCE00 record\r\nnot shown", "one\r\ntwo"},
        {"three\r\n\x1A\r\nnot shown", "three"},
        {"", ""},
        {longLine + "|0Ab", longLine + "\x1b[1;32m\x1b[40mb"},
    };
    for (const auto& [content, sent] : files) {
        DoorDisplayFile(TempFile("shown.ans", content));
        EXPECT_EQ(Received(), sent) << content.substr(0, 40);
    }
}

TEST_F(DoorOutput, DisplayFileReportsAnErrorAndWaitsForOneKey) {
    const std::string name = TempFile("gone.ans", "");
    std::filesystem::remove(name);
    Send("kl");
    DoorDisplayFile(name);
    EXPECT_EQ(Received(), "Error reading \"" + name +
                              "\": No such file or directory\r\nHit a key to continue\r\n");
    EXPECT_EQ(Row(1).substr(0, 15), "Error reading \"");
    EXPECT_EQ(Row(2), "Hit a key to continue");
    EXPECT_EQ(DoorLastKey.Ch, 'k');
    EXPECT_EQ(DoorReadKey(), 'l');

    Send(" ");
    DoorDisplayFile(Dir.string()); // a read error
    EXPECT_NE(Received().find("Is a directory\r\nHit a key to continue\r\n"), std::string::npos);
}

} // namespace
