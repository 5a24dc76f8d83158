// Key input from a real socket and the local keyboard: cursor sequences folded into scan codes,
// a lone Esc, swallowed sequences, local keys first.
#include "door_session_fixture.h"

#include <thread>

namespace {

using DoorKeys = DoorSessionTest;
using std::chrono::milliseconds;

void ExpectKey(char ACh, bool AExtended, TDoorLastKeyType ALocation) {
    EXPECT_EQ(DoorReadKey(), ACh);
    EXPECT_EQ(DoorLastKey.Ch, ACh);
    EXPECT_EQ(DoorLastKey.Extended, AExtended);
    EXPECT_EQ(DoorLastKey.Location, ALocation);
}

TEST_F(DoorKeys, CursorKeysFromEitherSideGiveTheSameCodes) {
    const auto remote = TDoorLastKeyType::lkRemote;
    Send("\x1b[A\x1b[B\x1b[C\x1b[Dq");
    ExpectKey('H', true, remote);
    ExpectKey('P', true, remote);
    ExpectKey('M', true, remote);
    ExpectKey('K', true, remote);
    ExpectKey('q', false, remote);
    ConsolePushKeys(std::string("\0H", 2) + "h");
    ExpectKey('H', true, TDoorLastKeyType::lkLocal);
    ExpectKey('h', false, TDoorLastKeyType::lkLocal);
}

TEST_F(DoorKeys, ASequenceSplitAtAnyPointIsStillOneKey) {
    const std::string sequence = "\x1b[A";
    for (std::size_t split = 1; split < sequence.size(); ++split) {
        Send(sequence.substr(0, split));
        std::thread late([&] {
            std::this_thread::sleep_for(milliseconds(100));
            Send(sequence.substr(split));
        });
        ExpectKey('H', true, TDoorLastKeyType::lkRemote);
        late.join();
    }
}

TEST_F(DoorKeys, EscapeAloneOrFollowedByAnythingButABracket) {
    Send("\x1b");
    const auto start = std::chrono::steady_clock::now();
    ExpectKey('\x1b', false, TDoorLastKeyType::lkRemote);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, milliseconds(450)); // it gave a sequence the time to complete
    EXPECT_LT(waited, milliseconds(1500));

    Send("\x1bx");
    ExpectKey('\x1b', false, TDoorLastKeyType::lkRemote);
    ExpectKey('x', false, TDoorLastKeyType::lkRemote);
    Send("\x1b\x1b[B");
    ExpectKey('\x1b', false, TDoorLastKeyType::lkRemote);
    ExpectKey('P', true, TDoorLastKeyType::lkRemote);
}

TEST_F(DoorKeys, UnknownSequencesAreSwallowedUpToTheirThirdByte) {
    Send("\x1b[1~\x1b[Zy");
    ExpectKey('~', false, TDoorLastKeyType::lkRemote);
    ExpectKey('y', false, TDoorLastKeyType::lkRemote);
    Send("\x1b["); // cut off: nothing follows within the wait
    std::thread late([&] {
        std::this_thread::sleep_for(milliseconds(700));
        Send("z");
    });
    ExpectKey('z', false, TDoorLastKeyType::lkRemote);
    late.join();
}

TEST_F(DoorKeys, LocalKeysWinAndTheReadStampsTheIdleTimer) {
    Send("r");
    ConsolePushKeys("l");
    Advance(42);
    ExpectKey('l', false, TDoorLastKeyType::lkLocal);
    EXPECT_EQ(DoorLastKey.Time, FakeNow);
    EXPECT_EQ(DoorSecondsIdle(), 0);
    ExpectKey('r', false, TDoorLastKeyType::lkRemote);
}

TEST_F(DoorKeys, TheSysopHookMaySwallowExtendedLocalKeys) {
    static std::string seen;
    seen.clear();
    DoorOnSysopKey = [](char AKey) {
        seen += AKey;
        return AKey == 59; // F1
    };
    ConsolePushKeys(std::string("\0;\0<", 4) + "a");
    ExpectKey('<', true, TDoorLastKeyType::lkLocal); // F2 is not taken
    ExpectKey('a', false, TDoorLastKeyType::lkLocal);
    EXPECT_EQ(seen, ";<"); // ordinary keys never reach the hook
}

TEST_F(DoorKeys, WithStdioOrLocallyTheSocketIsNeverRead) {
    Send("s");
    Stdio = true;
    ConsolePushKeys("k");
    EXPECT_TRUE(DoorKeyPressed());
    ExpectKey('k', false, TDoorLastKeyType::lkLocal);
    EXPECT_FALSE(DoorKeyPressed());
    DoorDropInfo.ComType = 0;
    Stdio = false;
    EXPECT_FALSE(DoorKeyPressed());
    DoorDropInfo.ComType = 2;
    ExpectKey('s', false, TDoorLastKeyType::lkRemote);
}

TEST_F(DoorKeys, ALocalSessionWithNoKeyboardEndsInsteadOfWaitingForever) {
    DoorDropInfo.ComType = 0;
    EXPECT_EXIT(DoorReadKey(), ::testing::ExitedWithCode(0), "");
}

} // namespace
