// Drop file readers: the four public formats a BBS writes for a door (DOOR32.SYS, DOOR.SYS,
// DORINFOn.DEF, INFO.n), read into DoorDropInfo.
#pragma once

#include <string>

// Each reader sets the fields its format carries and leaves the others alone. A missing or
// unreadable file changes nothing; missing lines read as empty and give the defaults. No
// reader reports an error.
void ReadDoor32(const std::string& AFileName);
void ReadDoorSys(const std::string& AFileName);
void ReadDorInfo(const std::string& AFileName);
void ReadLordInfo(const std::string& AFileName);
