// HTTP GET through WinHTTP. WinHTTP bounds each step but not the request as a whole, so a watch
// thread closes the request when the total limit passes or the door is ending.
#include "door/platform/http.h"
#include "door/platform/ending.h"

#include <windows.h>
#include <winhttp.h>
#include <winsock2.h>

#include <mutex>
#include <thread>

namespace {

std::wstring Widen(const std::string& AText) {
    std::wstring wide(AText.size(), L'\0');
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, AText.data(), static_cast<int>(AText.size()),
                                        wide.data(), static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return wide;
}

struct TInternet {
    HINTERNET Handle = nullptr;
    explicit TInternet(HINTERNET AHandle) : Handle(AHandle) {}
    ~TInternet() {
        if (Handle) ::WinHttpCloseHandle(Handle);
    }
    TInternet(const TInternet&) = delete;
    TInternet& operator=(const TInternet&) = delete;
};

// Closes the request handle when the time is up or the door is ending (that cancels the step
// that waits); the request's owner learns whether it did so and must not close it again.
class TWatch {
  public:
    TWatch(HINTERNET ARequest, long ATotalMs)
        : Request_(ARequest), Done_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        Thread_ = std::thread([this, ATotalMs] {
            const HANDLE handles[2] = {Done_, reinterpret_cast<HANDLE>(DoorSignalFd())};
            const DWORD count = DoorSignalFd() == kNoWaitHandle ? 1 : 2;
            if (::WaitForMultipleObjects(count, handles, FALSE, static_cast<DWORD>(ATotalMs)) ==
                WAIT_OBJECT_0)
                return;
            std::lock_guard lock(Mutex_);
            if (Finished_) return;
            Cancelled_ = true;
            ::WinHttpCloseHandle(Request_);
        });
    }
    // Ends the watch; true when the request is still ours to close.
    bool Finish() {
        {
            std::lock_guard lock(Mutex_);
            Finished_ = true;
        }
        ::SetEvent(Done_);
        Thread_.join();
        ::CloseHandle(Done_);
        return !Cancelled_;
    }

  private:
    HINTERNET Request_;
    HANDLE Done_;
    std::mutex Mutex_;
    bool Finished_ = false;
    bool Cancelled_ = false;
    std::thread Thread_;
};

bool Receive(HINTERNET ARequest, const THttpLimits& ALimits, std::string& ABody) {
    if (!::WinHttpSendRequest(ARequest, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA,
                              0, 0, 0) ||
        !::WinHttpReceiveResponse(ARequest, nullptr))
        return false;
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::WinHttpQueryHeaders(ARequest, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                               WINHTTP_NO_HEADER_INDEX) ||
        status != 200)
        return false;
    std::string body;
    char buffer[1024];
    for (;;) {
        DWORD got = 0;
        if (!::WinHttpReadData(ARequest, buffer, sizeof buffer, &got)) return false;
        if (got == 0) break;
        if (body.size() + got > ALimits.MaxBody) return false;
        body.append(buffer, got);
    }
    ABody = std::move(body);
    return true;
}

} // namespace

bool HttpGet(const std::string& AURL, const THttpLimits& ALimits, std::string& ABody) {
    std::wstring url = Widen(AURL);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!::WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        return false;
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty()) path = L"/";

    TInternet session(::WinHttpOpen(L"Glimra", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session.Handle) return false;
    const int connectMs = static_cast<int>(ALimits.ConnectMs);
    const int totalMs = static_cast<int>(ALimits.TotalMs);
    ::WinHttpSetTimeouts(session.Handle, connectMs, connectMs, totalMs, totalMs);
    TInternet connection(::WinHttpConnect(session.Handle, host.c_str(), parts.nPort, 0));
    if (!connection.Handle) return false;
    HINTERNET request =
        ::WinHttpOpenRequest(connection.Handle, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                             WINHTTP_DEFAULT_ACCEPT_TYPES,
                             parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0);
    if (!request) return false;
    // The receive time-out of WinHttpSetTimeouts does not bound the wait for the response's
    // headers; this option does.
    DWORD receiveMs = static_cast<DWORD>(totalMs);
    ::WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &receiveMs,
                       sizeof receiveMs);
    DWORD redirects = static_cast<DWORD>(ALimits.MaxRedirects);
    ::WinHttpSetOption(request, WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &redirects,
                       sizeof redirects);
    TWatch watch(request, ALimits.TotalMs);
    const bool ok = Receive(request, ALimits, ABody);
    if (watch.Finish()) ::WinHttpCloseHandle(request);
    return ok && !DoorEnding();
}
