#include "server/Curl.h"

#include <cmath>
#include <cwchar>
#include <exception>
#include <thread>

#include "foundation/Format.h"
#include "foundation/Log.h"
#include "foundation/Path.h"
#include "foundation/Process.h"
#include "foundation/ProcessArguments.h"
#include "foundation/Utf.h"

std::wstring Curl::BuildRequestArguments(const CurlRequestParams& params) {
    std::wstring insecure = params.host.find(L"https") != std::wstring::npos ? L"--insecure" : L"";
    std::wstring headerText;
    for (const auto& header : params.headers) {
        headerText += L" -H " + QuoteProcessArgument(header.first + L": " + header.second);
    }
    double seconds = std::ceil(params.timeoutMs / 1000.0);
    int wholeSeconds = seconds < 0 ? 0 : seconds > 1e9 ? 1000000000 : static_cast<int>(seconds);
    return Format(L"-L {} {} --max-time {} -A {} {} -w\"%{http_code}\"")
        .Arg(insecure)
        .Arg(headerText)
        .ArgInt(wholeSeconds)
        .Arg(QuoteProcessArgument(params.userAgent))
        .Arg(QuoteProcessArgument(params.host + L"/" + params.path))
        .Str();
}

void Curl::ParseReply(const std::wstring& stdoutText, bool ok, std::wstring& body,
                      int& httpCode) {
    body.clear();
    httpCode = 0;
    if (!ok) {
        Log("CurlRequest: ok != true\n");
        return;
    }
    if (stdoutText.size() < 3) {
        Log("Curl reponse < 3: %s\n", WideToUtf8(stdoutText).c_str());
        Log("CurlRequest: response.size() < 3\n");
        return;
    }
    std::wstring status = stdoutText.substr(stdoutText.size() - 3);
    httpCode = static_cast<int>(std::wcstol(status.c_str(), nullptr, 10));
    if (httpCode == 200) {
        body = stdoutText.substr(0, stdoutText.size() - 3);
    } else {
        Log("CurlRequest: httpCode == %d\n", httpCode);
    }
}

void Curl::RequestAsync(const CurlRequestParams& params, ReplyCallback callback) {
    if (params.host.empty()) {
        Log("Curl RequestAsync no host\n");
        // Still answer, and never on the caller's thread: a caller may hold the lock
        // that its callback takes.
        auto answer = [callback]() {
            try {
                if (callback) callback(L"", 0);
            } catch (...) {
                Log("CurlRequest: FAILED\n");
            }
        };
        try {
            std::thread(answer).detach();
        } catch (const std::exception&) {
            answer();
        }
        return;
    }
    RunAsync(params.curlPath, BuildRequestArguments(params),
             [callback](const std::wstring& out, const std::wstring&, bool ok) {
                 std::wstring body;
                 int httpCode = 0;
                 try {
                     ParseReply(out, ok, body, httpCode);
                 } catch (...) {
                     Log("CurlRequest: FAILED\n");
                     body.clear();
                 }
                 if (callback) callback(body, httpCode);
             });
}

void Curl::RunAsync(const std::wstring& curlPath, const std::wstring& arguments,
                    RunCallback callback, bool finishBeforeExit) {
    auto nothing = [](const std::wstring&) {};
    Process process(curlPath, arguments, GetDirectoryName(curlPath), 0,
                    [callback](const std::wstring& out, const std::wstring& err, long exitCode,
                               bool timedOut) {
                        if (callback) callback(out, err, exitCode == 0 && !timedOut);
                    },
                    nothing, nothing);
    if (finishBeforeExit) process.SetFinishBeforeExit();
    process.RunAsync();
}
