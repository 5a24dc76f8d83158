// The line editor: limits, scrolling, password characters, editing keys and what it returns.
#include "door_session_fixture.h"

namespace {

using DoorLineInput = DoorSessionTest;

const std::string kGotoLeft = "\x1b[255D";

TEST_F(DoorLineInput, TakesAtMostTheMaximumAndRestoresTheAttribute) {
    ConsolePushKeys("abcdefg\r");
    EXPECT_EQ(DoorInput("", DOOR_INPUT_CHARS_ALPHA, 0, 5, 5, 0x1F), "abcde");
    EXPECT_EQ(Received(), "\x1b[1;37m\x1b[44m" + kGotoLeft + "     " + kGotoLeft + "abcde" +
                              "\x1b[0;37m\x1b[44m\x1b[40m\r\n");
    EXPECT_EQ(Row(1), "abcde");
    EXPECT_EQ(LocalScreen().AttrAt(5, 1), 0x1F);
    EXPECT_EQ(LocalScreen().TextAttr(), 7);
    EXPECT_EQ(LocalScreen().WhereY(), 2);
}

TEST_F(DoorLineInput, ScrollsWhenLongerThanTheField) {
    DoorGotoX(5);
    ConsolePushKeys("abcdefghijkl\r");
    EXPECT_EQ(DoorInput("", DOOR_INPUT_CHARS_ALPHA, 0, 10, 40, 0x1F), "abcdefghijkl");
    EXPECT_EQ(Row(1), "    cdefghijkl");
    const std::string sent = Received();
    // The eleventh key redraws the field's last ten characters, then parks after them.
    EXPECT_NE(sent.find("j" + kGotoLeft + "\x1b[4C" + "bcdefghijk" + kGotoLeft + "\x1b[14C"),
              std::string::npos);

    // Backspace in a scrolled field shows the tail again.
    ConsolePushKeys("uvwxyz\b\r");
    EXPECT_EQ(DoorInput("", DOOR_INPUT_CHARS_ALPHA, 0, 3, 10, 0x07), "uvwxy");
    EXPECT_EQ(Row(2), "wxy");
}

TEST_F(DoorLineInput, PasswordCharacterHidesTheTextOnBothScreens) {
    ConsolePushKeys("secret12\r");
    EXPECT_EQ(DoorInput("", DOOR_INPUT_CHARS_ALPHA, '*', 4, 10, 0x07), "secret");
    const std::string sent = Received();
    EXPECT_EQ(sent.find_first_of("secrt"), std::string::npos);
    EXPECT_EQ(Row(1), "****");
}

TEST_F(DoorLineInput, BackspaceDeleteAndCtrlYEdit) {
    Send("ab\x08"
         "c\x7f"
         "d\r");
    EXPECT_EQ(DoorInput("", DOOR_INPUT_CHARS_ALPHA, 0, 8, 8, 0x07), "ad");
    EXPECT_EQ(Row(1), "ad");
    EXPECT_NE(Received().find("b\b \bc\b \bd"), std::string::npos);

    ConsolePushKeys("\b\bxyz\x19q\r"); // Backspace on an empty field does nothing
    EXPECT_EQ(DoorInput("", DOOR_INPUT_CHARS_ALPHA, 0, 8, 8, 0x07), "q");
    EXPECT_EQ(Row(2), "q");
}

TEST_F(DoorLineInput, EscReturnsTheCutDefaultAndEnterReturnsTheField) {
    ConsolePushKeys("xy\x1b");
    EXPECT_EQ(DoorInput("SYSOPNAME", DOOR_INPUT_CHARS_ALL, 0, 5, 5, 0x1F), "SYSOP");
    EXPECT_EQ(Row(1), "SYSOP"); // the default is shown cut, and typing past it is refused
    ConsolePushKeys("\r");
    EXPECT_EQ(DoorInput("", DOOR_INPUT_CHARS_ALL, 0, 5, 5, 0x1F), "");
    ConsolePushKeys("\x19\r");
    EXPECT_EQ(DoorInput("keep", DOOR_INPUT_CHARS_ALL, 0, 5, 5, 0x1F), "");
}

TEST_F(DoorLineInput, OnlyAllowedCharactersAreTaken) {
    // Cursor keys from either side are not letters; telnet commands are no keys at all.
    Send("\x1b[A\x1bOB7\xff\xfd\x01!a\r");
    ConsolePushKeys(std::string("\0K", 2));
    EXPECT_EQ(DoorInput("", DOOR_INPUT_CHARS_ALPHA, 0, 10, 10, 0x07), "a");
    ConsolePushKeys("a1 b\r");
    EXPECT_EQ(DoorInput("", DOOR_INPUT_CHARS_NUMERIC, 0, 10, 10, 0x07), "1");
    ConsolePushKeys("a/b c\\d:e|f\r");
    EXPECT_EQ(DoorInput("", DOOR_INPUT_CHARS_FILENAME, 0, 20, 20, 0x07), "ab c\\d:ef");
}

} // namespace
