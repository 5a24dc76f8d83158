// The door's log: one line per event (date, time, node, alias, what happened), appended to a
// file in the door's directory that every node shares. Each line goes out in one write, so the
// lines of several nodes never mix within a line. The kit logs its own events (session start
// and end, start-up failures, how the session ended); a program adds its own with DoorLog.
#pragma once

#include "door/session.h"

#include <cstdint>
#include <string>

// The log file; empty (the default) keeps no log. A program sets it before DoorStartup.
extern std::string DoorLogFileName;
// A log that would grow beyond this many bytes is first moved to DoorLogFileName + ".1"
// (replacing the older one) and started afresh, so the two files never hold much more.
extern std::int64_t DoorLogMaxBytes;
inline constexpr std::int64_t kDoorLogMaxBytes = 1 << 20; // its start value

// Appends one line: "2024-03-05 21:04:59 node 3 [Alias] AText". Control bytes in the alias and
// the text become blanks, and a text over a line's length is cut. A log that cannot be written
// is skipped silently: the caller's session never depends on it.
void DoorLog(const std::string& AText);

// Writes "<program>: AReason" as one line to standard error, for a start-up that ends before
// the caller is served: a BBS that runs socket doors with standard output on /dev/null keeps
// standard error in its own log, so the sysop sees why the door did not run.
void DoorTellBbs(const std::string& AReason);

// Records how the session ends ("quit", "dropped carrier", "idle", ...); the first call wins.
// The last line of the session, written at exit, says it.
void DoorLogEnding(const std::string& AHow);

// Writes the session's first line; the shutdown (door/shutdown.h) writes its last line.
void DoorLogSessionStart(const std::string& ADetails);
// The session's last line, "session end: " and the ending recorded ("ended" when none was), once
// after a start line.
void DoorLogSessionEnd();

// The local date and time of ATime as "2024-03-05 21:04:59".
std::string DoorLogTimeText(TDateTime ATime);
