#pragma once
#include <string>
#include <string_view>

namespace service {

// Makes outside text safe to store and show: invalid UTF-8 (overlong forms, surrogates,
// truncated sequences) becomes U+FFFD, control characters (C0, DEL, C1) become blanks,
// and the result is cut to at most maxBytes on a character boundary.
std::string SanitizeUtf8(std::string_view text, size_t maxBytes);

}  // namespace service
