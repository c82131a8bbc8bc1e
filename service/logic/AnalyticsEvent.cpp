#include "service/logic/AnalyticsEvent.h"

#include "service/logic/Utf8.h"

namespace service {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

struct FieldEntry { const char* name; std::string AnalyticsEvent::*field; };
const FieldEntry kFields[] = {
    {"v", &AnalyticsEvent::v},   {"t", &AnalyticsEvent::t},   {"tid", &AnalyticsEvent::tid},
    {"cid", &AnalyticsEvent::cid}, {"ec", &AnalyticsEvent::ec}, {"ea", &AnalyticsEvent::ea},
    {"el", &AnalyticsEvent::el}, {"ev", &AnalyticsEvent::ev}, {"an", &AnalyticsEvent::an},
    {"av", &AnalyticsEvent::av},
};
constexpr size_t kFieldCount = sizeof kFields / sizeof kFields[0];

// Index of the field named key in kFields, or kFieldCount.
size_t FieldIndex(std::string_view key) {
    for (size_t i = 0; i < kFieldCount; ++i) {
        if (key == kFields[i].name) return i;
    }
    return kFieldCount;
}

}  // namespace

std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::optional<AnalyticsEvent> ParseAnalyticsEvent(std::string_view body, std::string* error) {
    AnalyticsEvent event;
    bool seen[kFieldCount] = {};
    size_t start = 0;
    while (start <= body.size()) {
        size_t amp = body.find('&', start);
        std::string_view pair = body.substr(start, amp == std::string_view::npos ? std::string_view::npos : amp - start);
        size_t eq = pair.find('=');
        std::string key = PercentDecode(pair.substr(0, eq));
        std::string_view raw = eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1);
        size_t index = FieldIndex(key);
        if (index < kFieldCount && !seen[index]) {
            seen[index] = true;
            event.*kFields[index].field = SanitizeUtf8(PercentDecode(raw), kMaxEventFieldBytes);
        }
        if (amp == std::string_view::npos) break;
        start = amp + 1;
    }
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return std::nullopt;
    };
    if (event.v != "1") return fail("v must be 1");
    if (event.t.empty()) return fail("t is missing");
    if (event.tid.empty()) return fail("tid is missing");
    if (event.cid.empty()) return fail("cid is missing");
    return event;
}

}  // namespace service
