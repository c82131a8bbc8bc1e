#pragma once
#include <optional>
#include <string>
#include <string_view>

// One measurement-protocol (version 1) event as the program posts it to /collect.
namespace service {

struct AnalyticsEvent {
    std::string v, t, tid, cid, ec, ea, el, ev, an, av;
};

constexpr size_t kMaxEventFieldBytes = 1024;
constexpr size_t kMaxEventBodyBytes = 16 * 1024;

// Reads a form body. The program sends its values without URL encoding (blanks and all),
// so the body is split at '&' and at the first '=' of each pair, valid "%XX" escapes are
// decoded and '+' is kept as it is. The first occurrence of a key wins; unknown keys are
// ignored. Values are made valid UTF-8 and cut to kMaxEventFieldBytes. Nothing, with a
// reason, when v is not "1" or t, tid or cid is missing.
std::optional<AnalyticsEvent> ParseAnalyticsEvent(std::string_view body, std::string* error);

// Decodes the valid "%XX" escapes of a form value; everything else stays as it is.
std::string PercentDecode(std::string_view text);

}  // namespace service
