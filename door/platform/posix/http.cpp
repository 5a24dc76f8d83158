// HTTP GET through libcurl, loaded at the first request.
#include "door/platform/http.h"
#include "door/platform/ending.h"

#include <curl/curl.h>
#include <dlfcn.h>
#include <optional>
#include <type_traits>

namespace {

struct TBody {
    std::string Text;
    std::size_t Max;
};

std::size_t CollectBody(char* AData, std::size_t ASize, std::size_t ACount, void* ABody) {
    auto* body = static_cast<TBody*>(ABody);
    std::size_t bytes = ASize * ACount;
    if (body->Text.size() + bytes > body->Max) return 0; // aborts the transfer as a failure
    body->Text.append(AData, bytes);
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
    return WaitHandleReady(DoorSignalFd()) ? 1 : 0;
}

} // namespace

bool HttpGet(const std::string& AURL, const THttpLimits& ALimits, std::string& ABody) {
    const TCurlApi* api = Curl();
    if (api == nullptr) return false;
    CurlHandle curl(*api);
    if (!curl.Handle) return false;
    TBody body{{}, ALimits.MaxBody};
    CURL* h = curl.Handle;
    api->SetOpt(h, CURLOPT_URL, AURL.c_str());
    api->SetOpt(h, CURLOPT_HTTPGET, 1L);
    api->SetOpt(h, CURLOPT_FOLLOWLOCATION, 1L);
    api->SetOpt(h, CURLOPT_MAXREDIRS, ALimits.MaxRedirects);
    api->SetOpt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    api->SetOpt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    api->SetOpt(h, CURLOPT_CONNECTTIMEOUT_MS, ALimits.ConnectMs);
    api->SetOpt(h, CURLOPT_TIMEOUT_MS, ALimits.TotalMs);
    // No signals: the door's own handlers stay in charge, and a time-out cannot jump out of it.
    api->SetOpt(h, CURLOPT_NOSIGNAL, 1L);
    api->SetOpt(h, CURLOPT_NOPROGRESS, 0L);
    api->SetOpt(h, CURLOPT_XFERINFOFUNCTION, AbortOnEndSignal);
    api->SetOpt(h, CURLOPT_WRITEFUNCTION, CollectBody);
    api->SetOpt(h, CURLOPT_WRITEDATA, &body);
    if (api->Perform(h) != CURLE_OK) return false;
    long status = 0;
    if (api->GetInfo(h, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status != 200) return false;
    ABody = std::move(body.Text);
    return true;
}
