#include "server/VersionCheck.h"

#include <algorithm>

#include "foundation/TextScan.h"

namespace {

constexpr size_t kMaxComponents = 8;
constexpr size_t kMaxDigits = 9;

}  // namespace

ParsedVersion ParseVersion(const std::string& text) {
    ParsedVersion v;
    if (text.empty()) return v;
    uint32_t value = 0;
    size_t digits = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            if (++digits > kMaxDigits) return v;
            value = value * 10 + static_cast<uint32_t>(c - '0');
        } else if (c == '.') {
            if (digits == 0) return v;
            v.parts.push_back(value);
            if (v.parts.size() >= kMaxComponents) return v;
            value = 0;
            digits = 0;
        } else {
            return v;
        }
    }
    if (digits == 0) return v;
    v.parts.push_back(value);
    v.valid = true;
    return v;
}

bool IsNewerVersion(const std::string& product, const std::string& available) {
    const ParsedVersion p = ParseVersion(product);
    const ParsedVersion a = ParseVersion(available);
    if (!p.valid || !a.valid) return false;
    const size_t n = std::max(p.parts.size(), a.parts.size());
    for (size_t i = 0; i < n; ++i) {
        const uint32_t pv = i < p.parts.size() ? p.parts[i] : 0;
        const uint32_t av = i < a.parts.size() ? a.parts[i] : 0;
        if (pv != av) return pv < av;
    }
    return false;
}

std::string ExtractLatestVersion(const std::string& reply) {
    if (reply.empty()) return "";
    // Header values can be quoted too (ETag: "12345"): look in the body.
    const size_t blank = reply.find("\r\n\r\n");
    const std::string body = blank == std::string::npos ? reply : reply.substr(blank + 4);
    size_t position = 0;
    std::string quoted;
    if (!ExtractQuotedText(body, position, quoted)) {
        const size_t open = body.find('"');
        if (open == std::string::npos) return "";
        quoted = body.substr(open + 1);
        const size_t nul = quoted.find('\0');
        if (nul != std::string::npos) quoted.resize(nul);
    }
    return ParseVersion(quoted).valid ? quoted : "";
}

std::string LatestVersionPath(int64_t nowSeconds) {
    return "/actver.php?" + std::to_string(nowSeconds);
}

bool NewVersionDialogDue(int64_t nowSeconds, uint32_t lastShownSeconds) {
    if (lastShownSeconds == 0) return true;
    const int64_t age = nowSeconds - static_cast<int64_t>(lastShownSeconds);
    return age >= kNewVersionDialogIntervalSecs;
}
