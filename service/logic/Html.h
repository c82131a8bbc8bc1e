#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace service {

// Escapes text for HTML element content and double- or single-quoted attributes.
std::string HtmlEscape(std::string_view text);

// "0 bytes", "1 byte", "999 bytes", "1.0 KB", "2.5 MB", "1.1 GB" (units of 1024).
std::string FormatSize(uint64_t bytes);

// "2021-10-12 14:30 UTC" for seconds since 1970.
std::string FormatUtcTime(int64_t seconds);

}  // namespace service
