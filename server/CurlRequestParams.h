#pragma once
#include <map>
#include <string>

// One request of Curl::RequestAsync. Copied into the request, so the caller may drop
// its own copy at once.
struct CurlRequestParams {
    explicit CurlRequestParams(std::wstring curlPathIn) : curlPath(std::move(curlPathIn)) {}

    std::wstring curlPath;
    std::wstring userAgent;
    std::wstring host;   // base address with its scheme; empty: no request is made
    std::wstring path;   // appended after "/"
    std::map<std::wstring, std::wstring> headers;   // sent in key order
    double timeoutMs = 60000;
};
