// The game date read from the kit's clock.
#include "game/screens/today.h"

#include "door/door.h"
#include "door/platform/system.h"

void GetToday() {
    // One reading for all three values, so a call at midnight cannot mix two dates.
    SetGameDate(SystemLocalTime(std::chrono::system_clock::to_time_t(DoorNow())));
}
