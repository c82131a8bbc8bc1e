#pragma once
#include <functional>
#include <string>

#include "server/CurlRequestParams.h"

// A thin asynchronous HTTP client over curl.exe, which lies beside the program. curl
// writes the reply body to standard output followed by the three-digit status
// (-w "%{http_code}") and exits with 0 when the transfer worked.
class Curl {
public:
    // body is the reply body for status 200 and "" otherwise; httpCode is 0 when no
    // status could be read.
    using ReplyCallback = std::function<void(const std::wstring& body, int httpCode)>;
    using RunCallback = std::function<void(const std::wstring& stdoutText,
                                           const std::wstring& stderrText, bool ok)>;

    // Starts one request and returns at once. The callback runs exactly once on another
    // thread, on every path; a request without a host reports ("", 0).
    static void RequestAsync(const CurlRequestParams& params, ReplyCallback callback);

    // Runs curl with the argument text and returns at once; ok = exit code 0 and no
    // time-out. The callback runs once on the runner's thread. With finishBeforeExit the
    // program's exit waits (bounded) until this curl has ended.
    static void RunAsync(const std::wstring& curlPath, const std::wstring& arguments,
                         RunCallback callback, bool finishBeforeExit = false);

    // The argument text of a request: -L, --insecure for an "https" host, the headers,
    // --max-time in whole seconds (rounded up), the user agent, the address and the
    // status option. Values are quoted so that none can break out of its argument.
    static std::wstring BuildRequestArguments(const CurlRequestParams& params);

    // The reply step: (stdout, ok) -> (body, httpCode), with the failure log lines.
    static void ParseReply(const std::wstring& stdoutText, bool ok, std::wstring& body,
                           int& httpCode);
};
