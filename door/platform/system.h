// The operating system's clock, environment, program file and standard output, as the kit and the
// game use them. system_posix.cpp and system_windows.cpp implement it.
#pragma once

#include <ctime>
#include <string>

// The local calendar time of ATime (the system's time zone).
std::tm SystemLocalTime(std::time_t ATime);

// The value of the environment variable AName; empty when it is not set.
std::string SystemEnvironment(const char* AName);

// The running program's file as the system knows it; empty when it cannot tell.
std::string SystemProgramPath();

// Writes AText to standard output as it is (plain text for the sysop), ignoring failures.
void SystemWriteStdout(const std::string& AText);
// The same to standard error: the one stream a BBS that starts socket doors with standard output
// on /dev/null still keeps in its own log.
void SystemWriteStderr(const std::string& AText);
