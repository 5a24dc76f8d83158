// The event pass's parts that the kit's own modules use beyond door.h.
#pragma once

#include <string>

// DoorCarrier after one look at the connection (no key is taken): a caller who hung up while the
// door waited on something else is noticed without a read or a send.
bool DoorCarrierNow();

// Shows a closing message to both screens, logs it with AHow as the session's ending, and ends
// the program after 2.5 seconds.
[[noreturn]] void DoorEndSession(const std::string& AMessage, const std::string& AHow);

// Milliseconds until the next event pass is due, rounded up; -1 when no pass will run.
int DoorMillisecondsToNextPass();
