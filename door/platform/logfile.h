// The log file's platform part: one append in one write, with the move to ".1" beyond a size.
// platform/posix/logfile.cpp and platform/windows/logfile.cpp implement it.
#pragma once

#include <cstdint>
#include <string>

// Appends ALine (its line end included) to AFileName with one write, creating the file; moves a
// file that ALine would take beyond AMaxBytes to AFileName + ".1" first. False when it failed.
bool DoorLogAppend(const std::string& AFileName, const std::string& ALine, std::int64_t AMaxBytes);
