#pragma once
#include "service/logic/Identifiers.h"

#include <string>
#include <string_view>

namespace service {

enum class MediaKind { Image, Video, Other };

struct MediaType {
    std::string contentType;
    MediaKind kind = MediaKind::Other;  // Image and Video may be shown inline
};

// The type an upload is served with. Only a short list of image and video types is
// ever shown inline, and never for uploads sent as files; everything else is served
// as a download (text as text/plain, unknown data as application/octet-stream), so an
// upload can never be rendered as a page of this site.
MediaType MediaTypeFor(std::string_view ext, UploadType type);

// The name a download gets: the display name plus "." and the extension (when the name
// does not already end with it); the identifier when there is no display name.
std::string DownloadFileName(const std::string& displayName, const std::string& ext,
                             const std::string& uid);

// A Content-Disposition value with an ASCII fallback name and the UTF-8 name encoded
// as RFC 5987 says. attachment = false gives "inline".
std::string ContentDisposition(const std::string& fileName, bool attachment);

}  // namespace service
