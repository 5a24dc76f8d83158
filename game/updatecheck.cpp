// The update check: libcurl fetches the version file, every failure is silent and remembered for
// the rest of the run, and a body naming an unknown release becomes a notice on the menu.
#include "game/updatecheck.h"

#include "door/door.h"
#include "door/doorlog.h"
#include "game/gamedate.h"

#include <cstdlib>
#include <curl/curl.h>
#include <dlfcn.h>
#include <optional>
#include <poll.h>
#include <type_traits>

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

std::size_t CollectBody(char* AData, std::size_t ASize, std::size_t ACount, void* ABody) {
    auto* body = static_cast<std::string*>(ABody);
    std::size_t bytes = ASize * ACount;
    if (body->size() + bytes > MAX_BODY) return 0; // aborts the transfer as a failure
    body->append(AData, bytes);
    return bytes;
}

// libcurl's entry points. The library is loaded at the first request, not at start: its many
// dependent libraries would take milliseconds to load before the program's first instruction,
// and an ending signal in that time would kill the door instead of ending it with exit code 0.
struct TCurlApi {
    CURLcode (*GlobalInit)(long) = nullptr;
    CURL* (*EasyInit)() = nullptr;
    void (*EasyCleanup)(CURL*) = nullptr;
    CURLcode (*SetOpt)(CURL*, CURLoption, ...) = nullptr;
    CURLcode (*Perform)(CURL*) = nullptr;
    CURLcode (*GetInfo)(CURL*, CURLINFO, ...) = nullptr;
};

// The loaded and initialised library, or null when it cannot be had (every request then fails).
const TCurlApi* Curl() {
    static const std::optional<TCurlApi> api = []() -> std::optional<TCurlApi> {
        void* library = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) return std::nullopt;
        TCurlApi a;
        const auto bind = [library](auto& AEntry, const char* AName) {
            AEntry = reinterpret_cast<std::remove_reference_t<decltype(AEntry)>>(
                ::dlsym(library, AName));
            return AEntry != nullptr;
        };
        if (!bind(a.GlobalInit, "curl_global_init") || !bind(a.EasyInit, "curl_easy_init") ||
            !bind(a.EasyCleanup, "curl_easy_cleanup") || !bind(a.SetOpt, "curl_easy_setopt") ||
            !bind(a.Perform, "curl_easy_perform") || !bind(a.GetInfo, "curl_easy_getinfo") ||
            a.GlobalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            return std::nullopt;
        return a;
    }();
    return api ? &*api : nullptr;
}

struct CurlHandle {
    const TCurlApi& Api;
    CURL* Handle;
    explicit CurlHandle(const TCurlApi& AApi) : Api(AApi), Handle(AApi.EasyInit()) {}
    ~CurlHandle() {
        if (Handle) Api.EasyCleanup(Handle);
    }
    CurlHandle(const CurlHandle&) = delete;
    CurlHandle& operator=(const CurlHandle&) = delete;
};

// Called by libcurl at least once a second while the request runs: a hang-up or an ending
// signal aborts the request, so the door can end at once instead of after the time-out.
int AbortOnEndSignal(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const int fd = DoorSignalFd();
    if (fd < 0) return 0;
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 ? 1 : 0;
}

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
    const char* address = std::getenv("GLIMRA_UPDATE_URL");
    if (address && *address) return address;
    return GLIMRA_UPDATE_URL;
}

bool FetchVersionFile(const std::string& AURL, std::string& ABody) {
    const TCurlApi* api = Curl();
    if (api == nullptr) return false;
    CurlHandle curl(*api);
    if (!curl.Handle) return false;
    std::string body;
    CURL* h = curl.Handle;
    api->SetOpt(h, CURLOPT_URL, AURL.c_str());
    api->SetOpt(h, CURLOPT_HTTPGET, 1L);
    api->SetOpt(h, CURLOPT_FOLLOWLOCATION, 1L);
    api->SetOpt(h, CURLOPT_MAXREDIRS, MAX_REDIRECTS);
    api->SetOpt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    api->SetOpt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    api->SetOpt(h, CURLOPT_CONNECTTIMEOUT_MS, UpdateCheckTimeouts.ConnectMs);
    api->SetOpt(h, CURLOPT_TIMEOUT_MS, UpdateCheckTimeouts.TotalMs);
    // No signals: the door's own handlers stay in charge, and a time-out cannot jump out of it.
    api->SetOpt(h, CURLOPT_NOSIGNAL, 1L);
    api->SetOpt(h, CURLOPT_NOPROGRESS, 0L);
    api->SetOpt(h, CURLOPT_XFERINFOFUNCTION, AbortOnEndSignal);
    api->SetOpt(h, CURLOPT_WRITEFUNCTION, CollectBody);
    api->SetOpt(h, CURLOPT_WRITEDATA, &body);
    if (api->Perform(h) != CURLE_OK) return false;
    long status = 0;
    if (api->GetInfo(h, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status != 200) return false;
    ABody = std::move(body);
    return true;
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
