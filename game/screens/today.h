// The game date read from the kit's clock.
#pragma once

#include "game/rules/gamedate.h"

// Sets Day, Month and Year from one reading of the kit's clock (DoorNow), in local time.
void GetToday();
