// One HTTP GET through the system's HTTP client: libcurl on POSIX (http_posix.cpp), WinHTTP on
// Windows (http_windows.cpp).
#pragma once

#include <cstddef>
#include <string>

struct THttpLimits {
    long ConnectMs = 5000;      // to reach the server
    long TotalMs = 10000;       // for the whole request, redirects included
    std::size_t MaxBody = 1024; // a longer body fails the request
    long MaxRedirects = 5;
};

// One GET of AURL (http or https), following redirects. True with the whole body in ABody when
// the final answer is status 200; false on any failure (no network, unknown host, refused,
// time-out, another status, a body over the limit). An ending door (DoorEnding) cuts it short.
bool HttpGet(const std::string& AURL, const THttpLimits& ALimits, std::string& ABody);
