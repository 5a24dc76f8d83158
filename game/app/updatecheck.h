// The check for a newer release, drawn on the main menu: one HTTP GET of the version file and,
// when it names a release this build does not know, the notice "New Version … Available! ".
#pragma once

#include <string>

// The release of this build, as the menu shows it after "Version ".
inline constexpr const char* GLIMRA_VERSION = "2024.10.2";

// Configuration line 1 is exactly "1": the menu runs the check.
extern bool CheckVersion;
// A check has failed in this run; from then on no notice is shown.
extern bool NotFound;
// The one request of the run has been sent; later checks show what it fetched.
extern bool UpdateCheckRequested;
// The address of the version file, set before each check.
extern std::string URL;
// The body last fetched from the version file, exactly as received.
extern std::string S;

// Time limits of the request, in milliseconds. Tests shorten them.
struct TUpdateCheckTimeouts {
    long ConnectMs = 5000;
    long TotalMs = 10000;
};
extern TUpdateCheckTimeouts UpdateCheckTimeouts;

// The version file's address: the environment variable GLIMRA_UPDATE_URL when it is set and not
// empty, else the address this build was configured with.
std::string UpdateCheckAddress();

// One GET of AURL, following redirects. True with the whole body in ABody when the final answer
// is status 200; false on any failure (no network, unknown host, refused, time-out, another
// status, a body too large to be a version file).
bool FetchVersionFile(const std::string& AURL, std::string& ABody);

// The text shown for a fetched body: control bytes dropped, at most 32 characters, so the
// notice stays on its row and no server can send the caller's terminal escape sequences.
std::string VersionForDisplay(const std::string& ABody);

// The menu's update check, at the cursor the menu has placed: fetches the version file the first
// time only, sets text colour 14, and writes the notice when the version the body names (the
// blanks and line ends around it left out) differs from each release this build knows.
void UpdateCheck();
