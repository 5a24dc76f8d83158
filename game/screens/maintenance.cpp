// The start-up maintenance screen.
#include "game/screens/maintenance.h"

#include "door/door.h"
#include "game/screens/theme.h"
#include "game/screens/today.h"
#include "game/store/database.h"

void DBCheck() {
    GetToday();
    NumberOfDays = DaysInMonth(Year, Month);
    DoorTextColour(COLOUR_HEADING);
    DoorWriteLn("Database Maintenance");
    // The marks go out after the transaction ends, so no lock is held while writing to a caller.
    for (bool added : AssignMonthWords(Year, Month, NumberOfDays)) DoorWrite(added ? "+" : ".");
    DoorClrScr();
}
