#pragma once
#include "service/logic/Identifiers.h"

#include <cstdint>
#include <string>

namespace service {

// What the service knows about one stored upload. Every text field has passed the
// checks of Identifiers.h, except displayName, which is sanitized UTF-8 and must be
// escaped wherever it is shown.
struct UploadInfo {
    int dayNumber = 0;
    std::string uid;
    std::string appId;        // canonical "{GUID}"
    UploadType type = UploadType::Screenshot;
    std::string ext;          // without the dot; may be empty
    std::string displayName;
    uint64_t size = 0;
    int64_t createdAt = 0;    // seconds since 1970 of the last store
    std::string storedName;   // path below the files folder, made by the service
};

// The page of an upload ("/sAU1234abcd").
std::string PagePath(const UploadInfo& info);

// The file itself: the page path plus "." and the extension, or plus "?raw" when the
// upload has no extension.
std::string DirectPath(const UploadInfo& info);

// The file as a download (attachment).
std::string DownloadPath(const UploadInfo& info);

}  // namespace service
