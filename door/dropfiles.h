// Drop file readers: the four public formats a BBS writes for a door (DOOR32.SYS, DOOR.SYS,
// DORINFOn.DEF, INFO.n), read into DoorDropInfo.
#pragma once

#include <string>

// Each reader sets the fields its format carries and leaves the others alone. A missing or
// unreadable file changes nothing; missing lines read as empty and give the defaults. Numbers
// may have blanks around them, and the first line a UTF-8 byte-order mark before it. A reader
// returns false when the file names no usable connection: it cannot be read, or the connection
// type or handle is missing or not a number (a local session is one only when the file says so).
bool ReadDoor32(const std::string& AFileName);
bool ReadDoorSys(const std::string& AFileName);
bool ReadDorInfo(const std::string& AFileName);
bool ReadLordInfo(const std::string& AFileName);
