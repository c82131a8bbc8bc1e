#pragma once
#include "service/logic/Identifiers.h"

#include <optional>
#include <string>
#include <string_view>

// Short links: "/" + type letter + two-character day code + identifier, optionally
// followed by "." and the extension (the direct link to the file itself).
namespace service {

struct ShortLink {
    UploadType type = UploadType::Screenshot;
    int dayNumber = 0;
    std::string uid;
    bool direct = false;  // an extension followed the identifier
    std::string ext;      // without the dot
};

// Parses a request path (already URL-decoded). Nothing for anything that is not
// exactly a short link.
std::optional<ShortLink> ParseShortLinkPath(std::string_view path);

// "/" + letter + day code + uid: the page of an upload.
std::string ShortLinkPath(UploadType type, int dayNumber, const std::string& uid);

}  // namespace service
