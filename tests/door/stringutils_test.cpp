// Pipe colour codes, backtick stripping and the status bar's time formats.
#include "door/ansi.h"
#include "door/stringutils.h"

#include <gtest/gtest.h>

TEST(PipeToAnsi, TranslatesTwoHexDigitsAndLeavesEverythingElse) {
    AnsiReset(); // local attribute 7: a dark colour restates the background
    EXPECT_EQ(PipeToAnsi("|1FHi"), "\x1b[1;37m\x1b[44mHi");
    EXPECT_EQ(PipeToAnsi("a|0ab"), "a\x1b[1;32m\x1b[40mb"); // lower-case digits
    EXPECT_EQ(PipeToAnsi("|07"), "\x1b[0;37m\x1b[40m\x1b[40m");
    EXPECT_EQ(PipeToAnsi("|8F"), PipeToAnsi("|0F")); // the blink bit is dropped
    EXPECT_EQ(PipeToAnsi("|FF"), PipeToAnsi("|7F"));
    EXPECT_EQ(PipeToAnsi("|zz"), "|zz");
    EXPECT_EQ(PipeToAnsi("x|1"), "x|1"); // one character after the bar
    EXPECT_EQ(PipeToAnsi("|0"), "|0");   // too short to hold a code
    EXPECT_EQ(PipeToAnsi("abc|"), "abc|");
    EXPECT_EQ(PipeToAnsi("||0A"), "|\x1b[1;32m\x1b[40m"); // a bar that is not a code, then one
    EXPECT_EQ(PipeToAnsi("|G0|0G"), "|G0|0G");
}

TEST(TrelmStrip, RemovesCodesOfTwoOrThreeCharacters) {
    EXPECT_EQ(TrelmStrip("plain |0A text"), "plain |0A text");
    EXPECT_EQ(TrelmStrip("`1red`%white"), "redwhite");
    EXPECT_EQ(TrelmStrip("`r4on red"), "on red");
    EXPECT_EQ(TrelmStrip("`r9x"), "x"); // the r code takes three characters whatever the third
    EXPECT_EQ(TrelmStrip("end`"), "end");
    EXPECT_EQ(TrelmStrip("`"), "");
    EXPECT_EQ(TrelmStrip("a`zb"), "ab");
    EXPECT_EQ(TrelmStrip("a`r"), "a");
}

TEST(SecondsFormats, PadToTwoDigitsWithoutCutting) {
    EXPECT_EQ(SecToMS(75), "01:15");
    EXPECT_EQ(SecToMS(0), "00:00");
    EXPECT_EQ(SecToMS(6000), "100:00");
    EXPECT_EQ(SecToHMS(3600), "01:00:00");
    EXPECT_EQ(SecToHMS(59), "00:00:59");
    EXPECT_EQ(SecToHMS(3599), "00:59:59");
    EXPECT_EQ(SecToHMS(360000), "100:00:00");
    EXPECT_EQ(SecToHMS(-5), "00:00:-5");
    EXPECT_EQ(SecToMS(-65), "-1:-5");
}
