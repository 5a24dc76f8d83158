// The update check: the system's HTTP client (door/http.h) fetches the version file, every failure
// is silent and remembered for the rest of the run, and a body naming an unknown release becomes a
// notice on the menu.
#include "game/app/updatecheck.h"

#include "door/door.h"
#include "door/doorlog.h"
#include "door/platform/ending.h"
#include "door/platform/http.h"
#include "door/platform/system.h"
#include "door/shutdown.h"
#include "game/rules/gamedate.h"
#include "game/screens/theme.h"

#ifndef GLIMRA_UPDATE_URL
#define GLIMRA_UPDATE_URL "http://www.glimra.example/glimraversion.txt"
#endif

bool CheckVersion = false;
bool NotFound = false;
bool UpdateCheckRequested = false;
std::string URL;
std::string S;
TUpdateCheckTimeouts UpdateCheckTimeouts;

namespace {

// A version file is a few bytes; anything much larger is not one.
constexpr std::size_t MAX_BODY = 1024;
constexpr std::size_t MAX_SHOWN = 32;
constexpr long MAX_REDIRECTS = 5;

// Releases that need no notice: this one and two earlier ones still published by the site.
constexpr const char* KNOWN_VERSIONS[] = {GLIMRA_VERSION, "2022.11.5", "2024.9.17"};

// The version a body names: the body without the blanks and line ends around it.
std::string VersionOf(const std::string& ABody) {
    constexpr const char* kAround = " \t\r\n";
    const std::size_t first = ABody.find_first_not_of(kAround);
    if (first == std::string::npos) return {};
    return ABody.substr(first, ABody.find_last_not_of(kAround) - first + 1);
}

bool KnownVersion(const std::string& ABody) {
    const std::string version = VersionOf(ABody);
    for (const char* known : KNOWN_VERSIONS)
        if (version == known) return true;
    return false;
}

} // namespace

std::string UpdateCheckAddress() {
    const std::string address = SystemEnvironment("GLIMRA_UPDATE_URL");
    return address.empty() ? GLIMRA_UPDATE_URL : address;
}

bool FetchVersionFile(const std::string& AURL, std::string& ABody) {
    THttpLimits limits;
    limits.ConnectMs = UpdateCheckTimeouts.ConnectMs;
    limits.TotalMs = UpdateCheckTimeouts.TotalMs;
    limits.MaxBody = MAX_BODY;
    limits.MaxRedirects = MAX_REDIRECTS;
    return HttpGet(AURL, limits, ABody);
}

std::string VersionForDisplay(const std::string& ABody) {
    std::string shown;
    for (char c : ABody) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) continue;
        if (shown.size() == MAX_SHOWN) break;
        shown.push_back(c);
    }
    return shown;
}

void UpdateCheck() {
    // One request per run: a release does not change while a caller plays, and no caller waits
    // for a request at every drawing of the menu (after a failure nothing could be shown anyway).
    if (!UpdateCheckRequested && !NotFound) {
        UpdateCheckRequested = true;
        URL = UpdateCheckAddress();
        std::string body;
        if (FetchVersionFile(URL, body))
            S = std::move(body);
        else
            NotFound = true;
        DoorEndIfSignalled();
        DoorLog("update check " + URL + ": " +
                (NotFound          ? std::string("not found")
                 : KnownVersion(S) ? "no newer release"
                                   : "release " + VersionForDisplay(VersionOf(S)) + " available"));
    }
    DoorTextColour(COLOUR_YELLOW);
    if (NotFound || KnownVersion(S)) return;
    std::string shown = VersionForDisplay(VersionOf(S));
    if (shown.empty()) return;
    DoorWrite("New Version " + shown + " Available! ");
}
