#pragma once
#include <string>

// Analytics events: measurement-protocol (version 1) form posts that curl.exe sends to
// the collector, fire-and-forget. Callable from every thread.

// The process-wide event parameters, set by the start-up before the first event.
void AnalyticsInit(const std::wstring& curlPath, const std::wstring& userAgent,
                   const std::wstring& trackingId, const std::wstring& appName,
                   const std::wstring& appVersion);
void AnalyticsSetClientId(const std::wstring& clientId);

// Base address of the collector (scheme and host, optionally a port); events go to it
// followed by "/collect". Defaults to kDefaultAnalyticsUrl; the settings may override it
// (tests point it at a collector on 127.0.0.1).
void AnalyticsSetCollectorUrl(const std::wstring& baseUrl);
std::wstring AnalyticsGetCollectorUrl();
constexpr const wchar_t* kDefaultAnalyticsUrl = L"https://brivane.app";

// Sends one event; value -1 means none. A value is sent only with a label. The label's
// "/", "\", ":" and line feeds become blanks; every field is percent-encoded, so the
// collector receives exactly the texts given.
void CvxAnalyticsPostEventAsync(int value, const std::wstring& category,
                                const std::wstring& action, const std::wstring& label);

// The curl argument text of one event, as CvxAnalyticsPostEventAsync builds it.
std::wstring BuildAnalyticsArguments(int value, const std::wstring& category,
                                     const std::wstring& action, const std::wstring& label);

// UTF-8 bytes of the text with every byte outside A-Z a-z 0-9 - _ . ~ as %XX.
std::wstring PercentEncode(const std::wstring& text);

// "<processor brand>, <n> cores, <g> Gb" (memory in GiB rounded up); "cpu-failed" when
// the machine cannot be asked.
std::wstring GetCpuAndMemoryText();
// The formatting part of GetCpuAndMemoryText.
std::wstring FormatCpuAndMemoryText(const std::string& brand, unsigned cores,
                                    unsigned long long memoryBytes);
// The processor brand string from CPUID leaves 0x80000002-4, cut at the first NUL with
// its leading blanks kept; "" when the processor has no such leaves.
std::string GetProcessorBrand();
