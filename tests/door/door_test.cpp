// The kit's session with a caller on a socket pair: output with its codes, keys from both sides
// and the line editor against the tables in tests/fixtures/; file display, the event pass with
// its limits, the default handlers and the status bar.
#include "door/stringutils.h"
#include "tests/support/kit_fixture.h"

#include <thread>

namespace {

using namespace std::string_literals;

class DoorTest : public KitTest {
  public:
    void SetUp() override {
        KitTest::SetUp();
        Connect();
    }
    // The keys read, as the PC keyboard gives them ("^" and a scan code for an extended key),
    // and the side each came from.
    static std::string Keys(std::size_t ACount) {
        std::string keys;
        for (; ACount > 0; --ACount) {
            const char ch = DoorReadKey();
            keys += (DoorLastKey.Extended ? "^"s : ""s) + ch +
                    (DoorLastKey.Location == TDoorLastKeyType::lkLocal ? "L" : "R");
        }
        return keys;
    }
};

TEST_F(DoorTest, OutputKeysAndLineEditorTables) {
    // Text (backtick codes on after "`:", centred after "center ") => bytes to the caller =>
    // local row 1 => the attribute of each of its cells and the pauses asked for.
    CheckCases("output.cases", 1, [this](const std::vector<std::string>& ACase) {
        AnsiReset();
        Delays.clear();
        DoorSession.TrelmWrite = ACase[0].starts_with("`:");
        const std::string text = ACase[0].substr(DoorSession.TrelmWrite ? 2 : 0);
        text.starts_with("center ") ? DoorWriteCentered(text.substr(7)) : DoorWrite(text);
        std::string attrs, delays;
        for (std::size_t col = 1; col <= Row(1).size(); ++col)
            attrs += std::to_string(AttrAt(col, 1)) + " ";
        for (int ms : Delays) delays += std::to_string(ms) + " ";
        return std::vector{Received(), Row(1), attrs + "/ " + delays};
    });
    // Remote bytes, local keys, how many to read => the keys read and the side each came from.
    DoorOnSysopKey = [](char AKey) { return AKey == 59; }; // F1 is the sysop's
    CheckCases("keys.cases", 3, [this](const std::vector<std::string>& ACase) {
        Send(ACase[0]);
        ConsolePushKeys(ACase[1]);
        Advance(42);
        const std::string keys = Keys(std::stoul(ACase[2]));
        EXPECT_EQ(DoorSecondsIdle(), 0) << "a key read stamps the idle timer";
        return std::vector{keys};
    });
    // Typed keys, default text, allowed set (A alpha, N numeric, F file name, * all), password
    // character, visible length and maximum => what is returned => local row 1 => bytes sent.
    const std::map<std::string, std::string> sets = {{"A", DOOR_INPUT_CHARS_ALPHA},
                                                     {"N", DOOR_INPUT_CHARS_NUMERIC},
                                                     {"F", DOOR_INPUT_CHARS_FILENAME},
                                                     {"*", DOOR_INPUT_CHARS_ALL}};
    CheckCases("editor.cases", 6, [&](const std::vector<std::string>& ACase) {
        AnsiReset();
        Send(ACase[0]);
        const std::string result = DoorInput(ACase[1], sets.at(ACase[2]), ACase[3][0],
                                             std::stoi(ACase[4]), std::stoi(ACase[5]), 0x1F);
        EXPECT_EQ(LocalScreen().TextAttr(), 7) << "the attribute is put back";
        return std::vector{result, Row(1), Received()};
    });
}

TEST_F(DoorTest, MorePromptFileDisplayAndWhereNothingIsSent) {
    DoorSession.TrelmWrite = true;
    Send("qz");
    DoorWrite("abc`k"); // the MORE prompt takes one key and is erased
    const std::string more = Received();
    EXPECT_TRUE(more.find("MORE") != std::string::npos &&
                more.ends_with(">\b\b\b\b\b\b\b\b        \b\b\b\b\b\b\b\b"));
    EXPECT_EQ(Row(1) + DoorReadKey(), "abcz");
    const std::pair<std::string, std::string> files[] = {
        {"a\r\nb\nc\rd|0Ae\r\n\r\nf\n", "a\r\nb\r\nc\r\nd\x1b[1;32m\x1b[40me\r\n\r\nf"},
        {"one\r\ntwo\x1ASAUCE00 record\r\nnot shown", "one\r\ntwo"},
        {"three\r\n\x1A\r\nnot shown", "three"},
        {std::string(65534, 'a') + "|0Ab",
         std::string(65534, 'a') + "\x1b[1;32m\x1b[40mb"}, // no code cut
    };
    for (const auto& [content, sent] : files) {
        std::ofstream("shown.ans", std::ios::binary) << content;
        DoorDisplayFile("shown.ans");
        EXPECT_EQ(Received(), sent) << content.substr(0, 40);
    }
    Send("kl");
    DoorDisplayFile("gone.ans");
    EXPECT_EQ(Received(),
              "Error reading \"gone.ans\": No such file or directory\r\nHit a key to continue\r\n");
    EXPECT_EQ(DoorReadKey(), 'l');
    Send("s");
    DoorDropInfo.ComType = 0; // locally or with stdio nothing is sent and the socket never read
    DoorWrite("local");
    EXPECT_FALSE(DoorKeyPressed());
    DoorDropInfo.ComType = 2;
    Stdio = true;
    DoorWrite("stdio");
    EXPECT_FALSE(DoorKeyPressed());
    EXPECT_EQ(Received(), "");
    Stdio = false;
    EXPECT_EQ(Keys(1), "sR");
    DoorDropInfo.ComType = 0; // a local session without a keyboard ends instead of waiting
    EXPECT_EXIT(DoorReadKey(), ::testing::ExitedWithCode(0), "");
}

TEST_F(DoorTest, EventPassLimitsWarningsHangUpAndDefaultHandlers) {
    static std::string log;
    log.clear();
    DoorOnHangup = [] { log += "hangup "; };
    DoorOnTimeOut = [] { log += "idle" + std::to_string(DoorSecondsIdle()) + " "; };
    DoorOnTimeUp = [] { log += "timeup "; };
    DoorOnStatusBar = [] { log += "bar "; };
    DoorOnTimeOutWarning = [](std::uint8_t AMin) { log += "warn" + std::to_string(AMin) + " "; };
    DoorOnTimeUpWarning = [](std::uint8_t AMin) { log += "left" + std::to_string(AMin) + " "; };
    DoorDropInfo.MaxSeconds = 400;
    DoorDoEvents(); // events are off until start-up turns them on
    DoorSession.Events = true;
    for (int ms : {0, 0, 999, 1}) { // a pass at most once a second
        FakeNow += std::chrono::milliseconds(ms);
        DoorKeyPressed();
    }
    EXPECT_EQ(log, "bar bar ");
    DoorOnStatusBar = nullptr;
    for (int second = 1; second <= 302; ++second, Advance(1))
        log += second == 301 ? "| " : "", DoorDoEvents();
    EXPECT_EQ(log.substr(8),
              "warn4 left5 warn3 left4 warn2 left3 warn1 left2 warn0 | idle301 idle302 ");
    log.clear();
    DoorSession.DoIdleCheck = false;
    Advance(98);
    DoorDoEvents();
    EXPECT_EQ(log + std::to_string(DoorSecondsLeft()), "timeup -1");
    log.clear();
    DoorDropInfo.MaxSeconds = 100000;
    HangUp();
    for (int pass = 0; pass < 3; ++pass) DoorKeyPressed(); // noticed at once, reported each second
    Advance(1);
    DoorKeyPressed();
    EXPECT_EQ(log, "hangup hangup ");
    DoorOnHangup = [] { ConsolePushKeys("x"); };
    DoorNow = RealNow; // a key wait wakes for the pass that finds the carrier gone
    EXPECT_EQ(DoorReadKey(), 'x');
    DoorNow = [] { return FakeNow; };
    DoorDelay = [](std::int32_t AMs) { std::fprintf(stderr, "[%s] %d\n", Row(2).c_str(), AMs); };
    DoorSession.DoIdleCheck = true;
    for (const auto& [hook, message] :
         {std::pair<void (*)(), const char*>{
              DefaultOnTimeOut, "Idle Time Limit Exceeded.  Returning To BBS...\\] 2500"},
          {DefaultOnTimeUp, "Your Time Has Expired.  Returning To BBS...\\] 2500"},
          {DefaultOnHangup, "Caller Dropped Carrier.  Returning To BBS...\\] 2500"}})
        EXPECT_EXIT(hook(), ::testing::ExitedWithCode(0), message);
}

TEST_F(DoorTest, StatusBarOnLocalRow25NeverReachesTheCaller) {
    DoorDropInfo.RealName = "Joe Caller";
    DoorSession.Events = true;
    DoorWrite("|0Ehere");
    Advance(75);
    DoorDoEvents();
    ExpectFixture("status_bar.screen", Shot(LocalScreen()));
    DoorDropInfo.RealName = std::string(40, 'N'); // not cut: the fields after it cover its tail
    Advance(1);
    DoorDoEvents();
    EXPECT_EQ(LocalScreen().RowText(25).substr(0, 32), "\xFE " + std::string(28, 'N') + "Po");
    EXPECT_EQ(Received(), "\x1b[1;33m\x1b[40mhere");
    EXPECT_EQ(LocalScreen().WhereX() * 256 + LocalScreen().TextAttr(), 5 * 256 + 0x0E);
    const std::pair<std::string, std::string> texts[] = {
        {PipeToAnsi("a|0ab||0A|zz|0|G0|8F|FF"),
         "a\x1b[1;32m\x1b[40mb|\x1b[1;32m\x1b[40m|zz|0|G0" + PipeToAnsi("|0F|7F")},
        {TrelmStrip("plain |0A `1red`r4on`r9x end`"), "plain |0A redonx end"},
        {SecToMS(75) + " " + SecToMS(6000) + " " + SecToMS(-65), "01:15 100:00 -1:-5"},
        {SecToHMS(3599) + " " + SecToHMS(360000) + " " + SecToHMS(-5),
         "00:59:59 100:00:00 00:00:-5"},
    };
    for (const auto& [got, expected] : texts) EXPECT_EQ(got, expected);
}

} // namespace
