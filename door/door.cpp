// The door session's globals with their start values.
#include "door/door.h"

TDoorDropInfo DoorDropInfo;
TDoorLastKey DoorLastKey;
TDoorMOREPrompts DoorMOREPrompts;
std::string DoorProgramNameAndVersion = "Portek v13.09.02";
TDoorSession DoorSession;
bool Stdio = false;
