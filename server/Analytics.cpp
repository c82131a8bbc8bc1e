#include "server/Analytics.h"

#include <cpuid.h>

#include <cstring>
#include <mutex>

#include "foundation/Format.h"
#include "foundation/Log.h"
#include "foundation/ProcessArguments.h"
#include "foundation/Utf.h"
#include "server/Curl.h"

namespace {

struct AnalyticsParams {
    std::wstring trackingId;
    std::wstring clientId;
    std::wstring curlPath;
    std::wstring userAgent;
    std::wstring appName;
    std::wstring appVersion;
    std::wstring collectorUrl = kDefaultAnalyticsUrl;
};

std::mutex g_analyticsMutex;
AnalyticsParams g_analytics;

AnalyticsParams CopyParams() {
    std::lock_guard<std::mutex> lock(g_analyticsMutex);
    return g_analytics;
}

std::wstring CleanLabel(std::wstring label) {
    for (wchar_t& c : label) {
        if (c == L'/' || c == L'\\' || c == L':' || c == L'\n') c = L' ';
    }
    return label;
}

void OnReply(const std::wstring& out, const std::wstring&, bool ok) {
    if (!ok) {
        Log("CvxAnalyticsPostEventAsync: ok != true\n");
        return;
    }
    if (out.size() < 3) {
        Log("CvxAnalyticsPostEventAsync: Invalid response\n");
        return;
    }
    int code = static_cast<int>(wcstol(out.substr(out.size() - 3).c_str(), nullptr, 10));
    if (code != 200) Log("CvxAnalyticsPostEventAsync: httpCode == %d\n", code);
}

}  // namespace

void AnalyticsInit(const std::wstring& curlPath, const std::wstring& userAgent,
                   const std::wstring& trackingId, const std::wstring& appName,
                   const std::wstring& appVersion) {
    std::lock_guard<std::mutex> lock(g_analyticsMutex);
    g_analytics.curlPath = curlPath;
    g_analytics.userAgent = userAgent;
    g_analytics.trackingId = trackingId;
    g_analytics.appName = appName;
    g_analytics.appVersion = appVersion;
}

void AnalyticsSetClientId(const std::wstring& clientId) {
    std::lock_guard<std::mutex> lock(g_analyticsMutex);
    g_analytics.clientId = clientId;
}

void AnalyticsSetCollectorUrl(const std::wstring& baseUrl) {
    std::lock_guard<std::mutex> lock(g_analyticsMutex);
    g_analytics.collectorUrl = baseUrl.empty() ? std::wstring(kDefaultAnalyticsUrl) : baseUrl;
}

std::wstring AnalyticsGetCollectorUrl() {
    return CopyParams().collectorUrl;
}

std::wstring PercentEncode(const std::wstring& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::wstring out;
    for (unsigned char c : WideToUtf8(text)) {
        bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '~';
        if (unreserved) {
            out += static_cast<wchar_t>(c);
        } else {
            out += L'%';
            out += static_cast<wchar_t>(kHex[c >> 4]);
            out += static_cast<wchar_t>(kHex[c & 15]);
        }
    }
    return out;
}

std::wstring BuildAnalyticsArguments(int value, const std::wstring& category,
                                     const std::wstring& action, const std::wstring& label) {
    AnalyticsParams p = CopyParams();
    std::wstring cleanLabel = CleanLabel(label);
    std::wstring body = Format(L"v={}&t=event&tid={}&cid={}&ec={}&ea={}")
                            .ArgInt(1)
                            .Arg(PercentEncode(p.trackingId))
                            .Arg(PercentEncode(p.clientId))
                            .Arg(PercentEncode(category))
                            .Arg(PercentEncode(action))
                            .Str();
    if (!cleanLabel.empty()) {
        body += L"&el=" + PercentEncode(cleanLabel);
        if (value >= 0) body += L"&ev=" + Format(L"{}").ArgDouble(value).Str();
    }
    body += L"&an=" + PercentEncode(p.appName) + L"&av=" + PercentEncode(p.appVersion);
    // The body holds only unreserved characters, '%', '&' and '=', so the quotes
    // around it cannot be broken.
    return Format(L"-s -S -A {} --insecure -d \"{}\" -X POST {} -w \"%{http_code}\"")
        .Arg(QuoteProcessArgument(p.userAgent))
        .Arg(body)
        .Arg(QuoteProcessArgument(p.collectorUrl + L"/collect"))
        .Str();
}

void CvxAnalyticsPostEventAsync(int value, const std::wstring& category,
                                const std::wstring& action, const std::wstring& label) {
    Log("Analytics: %s %s %s\n", WideToUtf8(category).c_str(), WideToUtf8(action).c_str(),
        WideToUtf8(CleanLabel(label)).c_str());
    std::wstring arguments = BuildAnalyticsArguments(value, category, action, label);
    // An event sent just before the program ends (tray Exit) must still arrive.
    Curl::RunAsync(CopyParams().curlPath, arguments, OnReply, true);
}

std::string GetProcessorBrand() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(0x80000000u, &a, &b, &c, &d) == 0 || a < 0x80000004u) return "";
    char brand[49] = {};
    for (unsigned leaf = 0; leaf < 3; ++leaf) {
        unsigned regs[4] = {};
        __get_cpuid(0x80000002u + leaf, &regs[0], &regs[1], &regs[2], &regs[3]);
        std::memcpy(brand + leaf * 16, regs, 16);
    }
    return std::string(brand, strnlen(brand, 48));
}

std::wstring FormatCpuAndMemoryText(const std::string& brand, unsigned cores,
                                    unsigned long long memoryBytes) {
    const unsigned long long kGiB = 1024ull * 1024ull * 1024ull;
    unsigned long long gib = (memoryBytes + kGiB - 1) / kGiB;
    return Format(L"{}, {} cores, {} Gb")
        .Arg(Utf8ToWideLenient(brand))
        .ArgInt(static_cast<int>(cores))
        .Arg(std::to_wstring(gib))
        .Str();
}
