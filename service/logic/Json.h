#pragma once
#include <string>
#include <string_view>

namespace service {

// A JSON string literal (with its quotes) for UTF-8 text: quote, backslash and control
// characters are escaped, and so are '<', '>' and '&' so that no reply can be read as
// markup.
std::string JsonString(std::string_view text);

}  // namespace service
