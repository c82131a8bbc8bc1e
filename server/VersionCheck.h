#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The version check's rules, apart from the windows that announce a new version.

// A version text: dot-separated decimal numbers ("3.10.0.58"). Valid only when every
// component has 1 to 9 digits and there are at most 8 of them; anything else (empty
// text, letters, "3..1", overlong numbers) is invalid and keeps the numbers read so far.
struct ParsedVersion {
    bool valid = false;
    std::vector<uint32_t> parts;
    int major() const { return parts.empty() ? 0 : static_cast<int>(parts[0]); }
};
ParsedVersion ParseVersion(const std::string& text);

// True when `available` is a later version than `product`, comparing component by
// component (a missing component counts as 0: 3.10 equals 3.10.0.0). An invalid text
// on either side is never newer.
bool IsNewerVersion(const std::string& product, const std::string& available);

// The version text in a reply to the latest-version request: the first double-quoted
// text of the body (after the first blank line; of the whole reply when it has none),
// or the rest after an opening quote without a closing one. "" when the reply holds no
// valid version: nothing is to be stored then.
std::string ExtractLatestVersion(const std::string& reply);

// The latest-version request's path: "/actver.php?" + seconds since 1970.
std::string LatestVersionPath(int64_t nowSeconds);

// The pop-up is shown at most once per day: true when it never was (last 0) or at
// least 86400 s have passed. A last-shown time in the future is not due, so a clock
// set back does not bring the pop-up back early.
constexpr int64_t kNewVersionDialogIntervalSecs = 86400;
bool NewVersionDialogDue(int64_t nowSeconds, uint32_t lastShownSeconds);
