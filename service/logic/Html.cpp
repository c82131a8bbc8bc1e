#include "service/logic/Html.h"

#include <cstdio>
#include <ctime>

namespace service {

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string FormatSize(uint64_t bytes) {
    char buf[64];
    if (bytes < 1024) {
        std::snprintf(buf, sizeof buf, "%llu %s", static_cast<unsigned long long>(bytes),
                      bytes == 1 ? "byte" : "bytes");
        return buf;
    }
    static const char* kUnits[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    std::snprintf(buf, sizeof buf, "%.1f %s", value, kUnits[unit]);
    return buf;
}

std::string FormatUtcTime(int64_t seconds) {
    // gmtime_r takes the C library's time-zone lock: a page shown again by the same
    // thread reuses its text.
    thread_local int64_t lastSeconds = 0;
    thread_local std::string lastText;
    if (seconds == lastSeconds && !lastText.empty()) return lastText;
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!gmtime_r(&t, &tm)) return "";
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M UTC", &tm);
    lastSeconds = seconds;
    lastText = buf;
    return lastText;
}

}  // namespace service
