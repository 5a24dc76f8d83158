// The configuration file "bbsglimra.cfg": line 1 switches the update check on, line 2 sets the
// idle limit in seconds, line 3 is the text shown to a caller who finds the word; line 4, when
// not blank, is a league's connection string and line 5 the board's tag in that league.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The name the configuration is read from, in the working directory.
inline constexpr const char* CONFIG_FILE_NAME = "bbsglimra.cfg";

// What the configuration lines read so far say; a missing line leaves its value unset.
struct TConfigValues {
    bool CheckVersion = false;           // line 1 is exactly "1"
    std::optional<std::int32_t> MaxIdle; // line 2, when it is a whole number above 0
    std::string WinnerText;              // line 3
    std::string Connection;              // line 4; empty when blank or missing (the SQLite file)
    std::string Board;                   // line 5, blanks around it dropped
    std::int32_t LinesRead = 0;
};

// Reads AFileName into AValues. On an input/output error returns false with the platform's
// text for it in AError ("File not found" for a missing file); AValues then holds what the
// lines read before the failure set.
bool ReadConfigFile(const std::string& AFileName, TConfigValues& AValues, std::string& AError);

// The idle limit text of line 2 as a number of seconds: a whole number from 1 up, blanks and a
// sign + around it allowed. Anything else counts as a missing line.
std::optional<std::int32_t> ParseIdleLimit(const std::string& ALine);

// Start-up step: reads CONFIG_FILE_NAME and sets CheckVersion, DoorSession.MaxIdle,
// StrWinnerText and GameStoreSetting (game/store/store.h) from it. An input/output error is
// reported on screen with "File handling error occurred. Details (bbsglimra.cfg): " and the
// start-up goes on.
void ReadConfiguration();
