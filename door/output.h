// What the kit's own modules share of the output beyond door.h.
#pragma once

#include <string>

// The caller is served through the socket (not a local session, not -X).
bool DoorRemoteIO();
// Renders a finished text locally and sends the same bytes to the caller.
void DoorWriteBoth(const std::string& AText);
