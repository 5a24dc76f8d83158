// Key input from a real socket and the local keyboard: cursor sequences folded into scan codes,
// a lone Esc, swallowed sequences, local keys first.
#include "door_session_fixture.h"

#include <thread>

namespace {

using DoorKeys = DoorSessionTest;
using std::chrono::milliseconds;

using namespace std::string_literals;
constexpr auto kRemote = TDoorLastKeyType::lkRemote;
constexpr auto kLocal = TDoorLastKeyType::lkLocal;

// Reads the keys of AKeys in turn, written as the PC keyboard gives them: NUL and a scan code
// for an extended key, the character itself otherwise.
void ExpectKeys(const std::string& AKeys, TDoorLastKeyType ALocation) {
    for (std::size_t i = 0; i < AKeys.size(); ++i) {
        const bool extended = AKeys[i] == '\0';
        const char ch = AKeys[i += extended];
        EXPECT_EQ(DoorReadKey(), ch) << "key " << i;
        EXPECT_EQ(DoorLastKey.Ch, ch) << "key " << i;
        EXPECT_EQ(DoorLastKey.Extended, extended) << "key " << i;
        EXPECT_EQ(DoorLastKey.Location, ALocation) << "key " << i;
    }
}

TEST_F(DoorKeys, CursorKeysFromEitherSideGiveTheSameCodes) {
    Send("\x1b[A\x1b[B\x1b[C\x1b[Dq");
    ExpectKeys("\0H\0P\0M\0Kq"s, kRemote);
    ConsolePushKeys("\0Hh"s);
    ExpectKeys("\0Hh"s, kLocal);
}

TEST_F(DoorKeys, ASequenceSplitAtAnyPointIsStillOneKey) {
    const std::string sequence = "\x1b[A";
    for (std::size_t split = 1; split < sequence.size(); ++split) {
        Send(sequence.substr(0, split));
        std::thread late([&] {
            std::this_thread::sleep_for(milliseconds(100));
            Send(sequence.substr(split));
        });
        ExpectKeys("\0H"s, kRemote);
        late.join();
    }
}

TEST_F(DoorKeys, EscapeAloneOrFollowedByAnythingButABracket) {
    Send("\x1b");
    const auto start = std::chrono::steady_clock::now();
    ExpectKeys("\x1b", kRemote);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, milliseconds(450)); // it gave a sequence the time to complete
    EXPECT_LT(waited, milliseconds(1500));

    Send("\x1bx\x1b\x1b[B");
    ExpectKeys("\x1bx\x1b\0P"s, kRemote);
}

TEST_F(DoorKeys, UnknownSequencesAreSwallowedUpToTheirThirdByte) {
    Send("\x1b[1~\x1b[Zy");
    ExpectKeys("~y", kRemote);
    Send("\x1b["); // cut off: nothing follows within the wait
    std::thread late([&] {
        std::this_thread::sleep_for(milliseconds(700));
        Send("z");
    });
    ExpectKeys("z", kRemote);
    late.join();
}

TEST_F(DoorKeys, LocalKeysWinAndTheReadStampsTheIdleTimer) {
    Send("r");
    ConsolePushKeys("l");
    Advance(42);
    ExpectKeys("l", kLocal);
    EXPECT_EQ(DoorLastKey.Time, FakeNow);
    EXPECT_EQ(DoorSecondsIdle(), 0);
    ExpectKeys("r", kRemote);
}

TEST_F(DoorKeys, TheSysopHookMaySwallowExtendedLocalKeys) {
    static std::string seen;
    seen.clear();
    DoorOnSysopKey = [](char AKey) {
        seen += AKey;
        return AKey == 59; // F1
    };
    ConsolePushKeys(std::string("\0;\0<", 4) + "a");
    ExpectKeys("\0<a"s, kLocal); // F2 is not taken
    EXPECT_EQ(seen, ";<");       // ordinary keys never reach the hook
}

TEST_F(DoorKeys, WithStdioOrLocallyTheSocketIsNeverRead) {
    Send("s");
    Stdio = true;
    ConsolePushKeys("k");
    EXPECT_TRUE(DoorKeyPressed());
    ExpectKeys("k", kLocal);
    EXPECT_FALSE(DoorKeyPressed());
    DoorDropInfo.ComType = 0;
    Stdio = false;
    EXPECT_FALSE(DoorKeyPressed());
    DoorDropInfo.ComType = 2;
    ExpectKeys("s", kRemote);
}

TEST_F(DoorKeys, ALocalSessionWithNoKeyboardEndsInsteadOfWaitingForever) {
    DoorDropInfo.ComType = 0;
    EXPECT_EXIT(DoorReadKey(), ::testing::ExitedWithCode(0), "");
}

} // namespace
