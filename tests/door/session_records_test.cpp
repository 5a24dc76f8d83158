// Start values of the session records, which every door relies on before start-up.
#include "door/door.h"

#include <gtest/gtest.h>

TEST(SessionRecords, StartValues) {
    TDoorDropInfo info;
    EXPECT_EQ(info.MaxSeconds, 3600);
    EXPECT_EQ(info.ComType, 0);
    EXPECT_TRUE(info.Alias.empty());
    TDoorSession session;
    EXPECT_TRUE(session.DoIdleCheck);
    EXPECT_FALSE(session.Events);
    EXPECT_EQ(session.MaxIdle, 300);
    EXPECT_EQ(DoorMOREPrompts.ANSITextLength, 7);
    EXPECT_EQ(DoorProgramNameAndVersion, "Portek v13.09.02");
    EXPECT_EQ(DoorLastKey.Location, TDoorLastKeyType::lkNone);
}
