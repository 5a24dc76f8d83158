// The kit's session on a socket pair: output to both screens, keys from both sides, the line
// editor, the event pass with its limits and the status bar, and the text helpers.
#include "door/stringutils.h"
#include "tests/support/kit_fixture.h"

#include <thread>

namespace {

using namespace std::string_literals;
const std::string kLeft = "\x1b[255D";

class DoorTest : public KitTest {
  protected:
    void SetUp() override {
        KitTest::SetUp();
        Connect();
    }
    // Reads the keys, written as the PC keyboard gives them (NUL and a scan code for an extended
    // key), and the side each came from.
    static std::string Keys(std::size_t ACount) {
        std::string keys;
        while (ACount-- > 0) {
            const char ch = DoorReadKey();
            keys += (DoorLastKey.Extended ? "\\0"s : ""s) + ch +
                    (DoorLastKey.Location == TDoorLastKeyType::lkLocal ? "L" : "R");
        }
        return keys;
    }
};

TEST_F(DoorTest, OutputReachesBothScreensWithItsCodes) {
    const std::tuple<std::string, bool, std::string, std::string> cases[] = {
        // text, backtick codes on, bytes to the caller, local row 1 afterwards
        {"Hello \xFFworld", false, "Hello \xFF\xFFworld", "Hello \xFFworld"},
        {"|1FHi|zz|8E!|0", false, "\x1b[1;37m\x1b[44mHi|zz\x1b[1;33m\x1b[40m!|0", "Hi|zz!|0"},
        {"a`1b", false, "a`1b", "a`1b"},
        {"`", true, "`", "`"}, // a lone backtick is written as it is
        {"end`", true, "end", "end"},
        {"a`zb", true, "ab", "ab"}, // unknown codes vanish with their character
        {"c`r9d", true, "cd", "cd"},
        {"`x`\\", true, " \r\n", ""},
        {"`1B", true, "\x1b[0;34m\x1b[40m\x1b[0m\x1b[40m\x1b[0;34m\x1b[40mB", "B"},
        {"`r4`c", true, "\x1b[41m\x1b[0;37m\x1b[41m\x1b[40m\x1b[2J\x1b[1;1f\r\n\r\n", ""},
        {"a`lb`wc`|", true, "abc|\b\\\b-\b/\b|\b\\\b-\b/\b|\b \b", "abc"},
    };
    for (const auto& [text, trelm, bytes, row] : cases) {
        AnsiReset();
        DoorSession.TrelmWrite = trelm;
        DoorWrite(text);
        EXPECT_EQ(Received(), bytes) << text;
        EXPECT_EQ(Row(1), row) << text;
    }
    EXPECT_EQ(Delays,
              (std::vector<std::int32_t>{500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100}));
    DoorWrite("`%W`*K`yY");
    EXPECT_EQ((std::vector<int>{AttrAt(4, 1), AttrAt(5, 1), AttrAt(6, 1) & 0x8F}),
              (std::vector<int>{0x0F, 0x00, 0x8E}));
    Send("qz");
    DoorWrite("`k"); // the MORE prompt takes one key and is erased
    const std::string more = Received();
    EXPECT_TRUE(more.find("MORE") != std::string::npos &&
                more.ends_with(">\b\b\b\b\b\b\b\b        \b\b\b\b\b\b\b\b"));
    EXPECT_EQ(Row(1), "abcWKY");
    EXPECT_EQ(DoorReadKey(), 'z');

    DoorSession.TrelmWrite = false;
    for (const auto& [text, skip] : {std::pair{std::string(24, 'x'), "\x1b[27C"s},
                                     {"|0Aab", "\x1b[36C"s}, // pipe codes count as characters
                                     {std::string(80, 'y'), ""s}}) {
        DoorWriteCentered(text);
        EXPECT_EQ(Received(), kLeft + skip + PipeToAnsi(text));
    }
    DoorSession.TrelmWrite = true;
    DoorWriteCentered("`1" + std::string(24, 'x') + "`r1"); // backtick codes do not count
    EXPECT_TRUE(Received().starts_with(kLeft + "\x1b[27C"));
    DoorDropInfo.ComType = 0; // nothing is sent locally or with stdio
    DoorWrite("local");
    DoorDropInfo.ComType = 2;
    Stdio = true;
    DoorWrite("stdio");
    EXPECT_EQ(Received(), "");
}

TEST_F(DoorTest, DisplayFileSendsLinesUpToCtrlZOrReportsTheError) {
    const std::string longLine(64 * 1024 - 2, 'a');
    const std::pair<std::string, std::string> files[] = {
        {"a\r\nb\nc\rd|0Ae\r\n\r\nf\n", "a\r\nb\r\nc\r\nd\x1b[1;32m\x1b[40me\r\n\r\nf"},
        {"one\r\ntwo\x1ASAUCE00 record\r\nnot shown", "one\r\ntwo"},
        {"three\r\n\x1A\r\nnot shown", "three"},
        {"", ""},
        {longLine + "|0Ab", longLine + "\x1b[1;32m\x1b[40mb"}, // no code cut in two
    };
    for (const auto& [content, sent] : files) {
        std::ofstream("shown.ans", std::ios::binary) << content;
        DoorDisplayFile("shown.ans");
        EXPECT_EQ(Received(), sent) << content.substr(0, 40);
    }
    Send("kl ");
    DoorDisplayFile("gone.ans");
    EXPECT_EQ(Received(),
              "Error reading \"gone.ans\": No such file or directory\r\nHit a key to continue\r\n");
    EXPECT_EQ(DoorReadKey(), 'l');
    DoorDisplayFile(Dir.string());
    EXPECT_NE(Received().find("Is a directory\r\nHit a key to continue\r\n"), std::string::npos);
}

TEST_F(DoorTest, KeysFromBothSidesLocalFirst) {
    Send("\x1b[A\x1b[B\x1b[C\x1b[Dq\x1b[1~\x1b[Zy\x1bx\x1b\x1b[Br");
    ConsolePushKeys("\0Hh\0;\0<"s);
    DoorOnSysopKey = [](char AKey) { return AKey == 59; }; // F1 is the sysop's
    Advance(42);
    EXPECT_EQ(Keys(15), "\\0HLhL\\0<L\\0HR\\0PR\\0MR\\0KRqR~RyR\x1bRxR\x1bR\\0PRrR");
    EXPECT_EQ(DoorSecondsIdle(), 0) << "a key read stamps the idle timer";
    // A sequence cut at any point is still one key; a lone ESC is one once 500 ms have passed.
    for (const auto& [first, later, key] :
         {std::tuple{"\x1b", "[A", "\\0HR"}, {"\x1b[", "A", "\\0HR"}, {"\x1b", "", "\x1bR"}}) {
        Send(first);
        std::thread late([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            Send(later);
        });
        EXPECT_EQ(Keys(1), key);
        late.join();
    }
    Send("s");
    Stdio = true; // with stdio, or locally, the socket is never read
    EXPECT_FALSE(DoorKeyPressed());
    DoorDropInfo.ComType = 0;
    Stdio = false;
    EXPECT_FALSE(DoorKeyPressed());
    DoorDropInfo.ComType = 2;
    EXPECT_EQ(Keys(1), "sR");
    DoorDropInfo.ComType = 0; // a local session without a keyboard ends instead of waiting
    EXPECT_EXIT(DoorReadKey(), ::testing::ExitedWithCode(0), "");
}

TEST_F(DoorTest, LineEditor) {
    struct TCase {
        std::string Keys, Default, Allowed;
        char Password;
        int Visible, Max;
        std::string Result, Row;
    };
    const TCase cases[] = {
        {"abcdefg\r", "", DOOR_INPUT_CHARS_ALPHA, 0, 5, 5, "abcde", "abcde"},
        {"abcdefghijkl\r", "", DOOR_INPUT_CHARS_ALPHA, 0, 10, 40, "abcdefghijkl", "cdefghijkl"},
        {"uvwxyz\b\r", "", DOOR_INPUT_CHARS_ALPHA, 0, 3, 10, "uvwxy", "wxy"},
        {"secret12\r", "", DOOR_INPUT_CHARS_ALPHA, '*', 4, 10, "secret", "****"},
        {"ab\bc\x7f"
         "d\r",
         "", DOOR_INPUT_CHARS_ALPHA, 0, 8, 8, "ad", "ad"},
        {"\b\bxyz\x19q\r", "", DOOR_INPUT_CHARS_ALPHA, 0, 8, 8, "q", "q"},
        {"xy\x1b", "SYSOPNAME", DOOR_INPUT_CHARS_ALL, 0, 5, 5, "SYSOP", "SYSOP"},
        {"\x19\r", "keep", DOOR_INPUT_CHARS_ALL, 0, 5, 5, "", ""},
        {"\x1b[A7\xff\xfd\x01!a\r", "", DOOR_INPUT_CHARS_ALPHA, 0, 10, 10, "Ha", "Ha"},
        {"a1 b\r", "", DOOR_INPUT_CHARS_NUMERIC, 0, 10, 10, "1", "1"},
        {"a/b c\\d:e|f\r", "", DOOR_INPUT_CHARS_FILENAME, 0, 20, 20, "ab c\\d:ef", "ab c\\d:ef"},
    };
    for (const TCase& c : cases) {
        AnsiReset();
        Send(c.Keys);
        EXPECT_EQ(DoorInput(c.Default, c.Allowed, c.Password, c.Visible, c.Max, 0x1F), c.Result);
        EXPECT_EQ(Row(1), c.Row) << c.Keys;
        const std::string sent = Received();
        EXPECT_TRUE(sent.starts_with("\x1b[1;37m\x1b[44m" + kLeft)) << c.Keys;
        EXPECT_TRUE(sent.ends_with("\x1b[0;37m\x1b[44m\x1b[40m\r\n")) << c.Keys; // attribute back
        EXPECT_EQ(c.Password && sent.find_first_of("secrt") != std::string::npos, false);
        if (c.Visible == 10 && c.Max == 40)
            EXPECT_NE(sent.find("j" + kLeft + "bcdefghijk" + kLeft + "\x1b[10C"),
                      std::string::npos);
    }
    EXPECT_EQ(AttrAt(1, 1) * 256 + LocalScreen().TextAttr(), 0x1F07);
}

TEST_F(DoorTest, EventPassLimitsWarningsAndHangUp) {
    static std::string log;
    log.clear();
    DoorOnHangup = [] { log += "hangup "; };
    DoorOnTimeOut = [] { log += "idle" + std::to_string(DoorSecondsIdle()) + " "; };
    DoorOnTimeUp = [] { log += "timeup "; };
    DoorOnStatusBar = [] { log += "bar "; };
    DoorOnTimeOutWarning = [](std::uint8_t AMin) { log += "warn" + std::to_string(AMin) + " "; };
    DoorOnTimeUpWarning = [](std::uint8_t AMin) { log += "left" + std::to_string(AMin) + " "; };
    DoorDropInfo.MaxSeconds = 400;
    DoorSession.MaxIdle = 300;
    DoorDoEvents(); // events are off until start-up turns them on
    DoorSession.Events = true;
    for (int ms : {0, 0, 999, 1}) { // a pass at most once a second
        FakeNow += std::chrono::milliseconds(ms);
        DoorKeyPressed();
    }
    EXPECT_EQ(log, "bar bar ");
    DoorOnStatusBar = nullptr;
    for (int second = 1; second <= 302; ++second) {
        Advance(1);
        log += second == 60 || second == 301 ? "| " : "";
        DoorDoEvents();
    }
    EXPECT_EQ(log.substr(8),
              "warn4 | left5 warn3 left4 warn2 left3 warn1 left2 warn0 idle301 | idle302 idle303 ");
    log.clear();
    Advance(98);
    DoorSession.DoIdleCheck = false;
    DoorDoEvents();
    EXPECT_EQ(log, "timeup ");
    EXPECT_EQ(DoorSecondsLeft(), -1);

    log.clear();
    DoorDropInfo.MaxSeconds = 100000;
    HangUp();
    DoorKeyPressed(); // this pass ran before the poll that noticed the drop
    DoorKeyPressed(); // reported at once, not at the next whole second
    DoorKeyPressed(); // a hook that lets the door go on is called at the usual pace
    Advance(1);
    DoorKeyPressed();
    EXPECT_EQ(log, "hangup hangup ");
    EXPECT_FALSE(DoorCarrier());
    DoorOnHangup = [] { ConsolePushKeys("x"); };
    DoorNow = RealNow; // a key wait wakes for the pass that finds the carrier gone
    EXPECT_EQ(DoorReadKey(), 'x');
}

TEST_F(DoorTest, DefaultHandlersShowTheirMessageAndEndTheProgram) {
    DoorSession.Events = true;
    DoorDelay = [](std::int32_t AMs) {
        std::fprintf(stderr, "[%s] delay %d\n", Row(2).c_str(), AMs);
    };
    Advance(301);
    EXPECT_EXIT(DoorDoEvents(), ::testing::ExitedWithCode(0),
                "Idle Time Limit Exceeded.  Returning To BBS...\\] delay 2500");
    EXPECT_NE(Received().find("\x1b[2J\x1b[1;1f\r\n  Idle Time Limit Exceeded."),
              std::string::npos);
    DoorSession.MaxIdle = 1000;
    DoorDropInfo.MaxSeconds = 0;
    EXPECT_EXIT(DoorDoEvents(), ::testing::ExitedWithCode(0),
                "Your Time Has Expired.  Returning To BBS...\\]");
    EXPECT_EXIT(DefaultOnHangup(), ::testing::ExitedWithCode(0),
                "Caller Dropped Carrier.  Returning To BBS...\\]");
    EXPECT_EQ(Received().find("Dropped"), std::string::npos) << "only the local console shows it";
}

TEST_F(DoorTest, StatusBarOnLocalRow25AndTextHelpers) {
    DoorDropInfo.RealName = "Joe Caller";
    DoorSession.Events = true;
    DoorWrite("|0Ehere");
    Advance(75);
    DoorDoEvents();
    EXPECT_EQ(LocalScreen().RowText(25), "\xFE Joe Caller" + std::string(16, ' ') +
                                             "\xFE Portek v13.09.02" +
                                             "  \xFE Idle: 01:15 \xFE Left: 00:58:45 \xFE");
    std::string attrs;
    for (int col = 1; col <= 80; ++col)
        attrs += AttrAt(col, 25) == 31 ? 'f' : AttrAt(col, 25) == 30 ? '.' : '?';
    EXPECT_EQ(attrs, ".." + std::string(22, 'f') + "......" + std::string(16, 'f') + "...." +
                         std::string(11, 'f') + "..." + std::string(14, 'f') + "..");
    EXPECT_EQ(Received(), "\x1b[1;33m\x1b[40mhere") << "the caller never sees the bar";
    EXPECT_EQ(std::pair(LocalScreen().WhereX(), int(LocalScreen().TextAttr())), std::pair(5, 0x0E));
    DoorOnStatusBar = [] { DoorKeyPressed(); }; // no pass inside the pass
    Advance(1);
    DoorDoEvents();

    const std::pair<std::string, std::string> texts[] = {
        {PipeToAnsi("a|0ab||0A|zz|0|G0"), "a\x1b[1;32m\x1b[40mb|\x1b[1;32m\x1b[40m|zz|0|G0"},
        {PipeToAnsi("|8F|FF"), PipeToAnsi("|0F|7F")}, // the blink bit is dropped
        {TrelmStrip("plain |0A `1red`r4on`r9x end`"), "plain |0A redonx end"},
        {SecToMS(75) + " " + SecToMS(6000) + " " + SecToMS(-65), "01:15 100:00 -1:-5"},
        {SecToHMS(3599) + " " + SecToHMS(360000) + " " + SecToHMS(-5),
         "00:59:59 100:00:00 00:00:-5"},
    };
    for (const auto& [got, expected] : texts) EXPECT_EQ(got, expected);
}

} // namespace
