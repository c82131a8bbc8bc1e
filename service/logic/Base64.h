#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace service {

// Strict RFC 4648 decoding with the standard alphabet and "=" padding, as the program
// writes it (no line breaks). Nothing for any other character, a length that is not a
// multiple of four, misplaced padding or non-zero padding bits.
std::optional<std::string> Base64Decode(std::string_view text);

}  // namespace service
