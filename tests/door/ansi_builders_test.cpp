// The exact bytes of every ANSI sequence builder, including the worked results and edge cases.
#include "door_session_fixture.h"

namespace {

using AnsiBuilders = DoorKitTest;

TEST_F(AnsiBuilders, CursorMoves) {
    EXPECT_EQ(AnsiCursorDown(1), "\x1b[1B");
    EXPECT_EQ(AnsiCursorDown(255), "\x1b[255B");
    EXPECT_EQ(AnsiCursorLeft(0), "\x1b[0D");
    EXPECT_EQ(AnsiCursorRight(27), "\x1b[27C");
    EXPECT_EQ(AnsiGotoXY(38, 9), "\x1b[9;38f");
    EXPECT_EQ(AnsiGotoXY(0, 0), "\x1b[0;0f");
    EXPECT_EQ(AnsiGotoXY(255, 100), "\x1b[100;255f");
    EXPECT_EQ(AnsiGotoX(0), "\x1b[255D");
    EXPECT_EQ(AnsiGotoX(1), "\x1b[255D");
    EXPECT_EQ(AnsiGotoX(2), "\x1b[255D\x1b[1C");
    EXPECT_EQ(AnsiGotoX(28), "\x1b[255D\x1b[27C");
    EXPECT_EQ(AnsiGotoX(255), "\x1b[255D\x1b[254C");
    EXPECT_EQ(AnsiClrScr(), "\x1b[2J\x1b[1;1f");
}

TEST_F(AnsiBuilders, Backgrounds) {
    const char* expected[8] = {"\x1b[40m", "\x1b[44m", "\x1b[42m", "\x1b[46m",
                               "\x1b[41m", "\x1b[45m", "\x1b[43m", "\x1b[47m"};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(AnsiTextBackground(k), expected[k]) << k;
        EXPECT_EQ(AnsiTextBackground(k + 8), expected[k]) << k + 8;
        EXPECT_EQ(AnsiTextBackground(k + 248), expected[k]) << k + 248;
    }
}

TEST_F(AnsiBuilders, ForegroundsCarryTheLocalBackground) {
    // Dark colours reset the terminal and so must repeat the background.
    EXPECT_EQ(AnsiTextColour(3), "\x1b[0;36m\x1b[40m");
    LocalScreen().SetTextAttr(0x70);
    EXPECT_EQ(AnsiTextColour(0), "\x1b[0;30m\x1b[47m");
    LocalScreen().SetTextAttr(0x9E); // the blink bit is no background
    EXPECT_EQ(AnsiTextColour(4), "\x1b[0;31m\x1b[44m");
    LocalScreen().SetTextAttr(0x17);
    EXPECT_EQ(AnsiTextColour(19), AnsiTextColour(3));
    EXPECT_EQ(AnsiTextColour(19), "\x1b[0;36m\x1b[44m");
    // Bright colours only add bold to what the terminal has.
    EXPECT_EQ(AnsiTextColour(14), "\x1b[1;33m");
    EXPECT_EQ(AnsiTextColour(8), "\x1b[1;30m");
    EXPECT_EQ(AnsiTextColour(15), "\x1b[1;37m");
    EXPECT_EQ(AnsiTextColour(31), "\x1b[1;37m");
    EXPECT_EQ(AnsiTextColour(255), "\x1b[1;37m");
}

TEST_F(AnsiBuilders, AttributesAndBlink) {
    EXPECT_EQ(AnsiTextAttr(0x1E), "\x1b[1;33m\x1b[44m");
    EXPECT_EQ(AnsiTextAttr(0x07), "\x1b[0;37m\x1b[40m\x1b[40m");
    LocalScreen().SetTextAttr(0x40);
    EXPECT_EQ(AnsiTextAttr(0x72), "\x1b[0;32m\x1b[41m\x1b[47m");
    EXPECT_EQ(AnsiTextAttr(0xCF), "\x1b[1;37m\x1b[41m"); // blink bit: background 12 becomes 4
    EXPECT_EQ(AnsiBlink(true), "\x1b[5m");
    LocalScreen().SetTextAttr(0x9E);
    EXPECT_EQ(AnsiBlink(false), "\x1b[0m\x1b[44m\x1b[1;33m");
    LocalScreen().SetTextAttr(0x42);
    EXPECT_EQ(AnsiBlink(false), "\x1b[0m\x1b[41m\x1b[0;32m\x1b[41m");
    EXPECT_EQ(LocalScreen().TextAttr(), 0x42) << "builders change nothing";
}

} // namespace
