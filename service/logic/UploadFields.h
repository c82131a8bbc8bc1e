#pragma once
#include "service/logic/Identifiers.h"

#include <map>
#include <string>

namespace service {

// The form fields of an upload, as the program posts them to /post_file2.
constexpr const char* kUploadFieldNames[] = {"appId", "screenshotId", "fileExt", "uploadType", "fileName"};
constexpr const char* kUploadFileField = "userfile";
constexpr size_t kMaxFieldBytes = 8 * 1024;   // the Base64 display name is the longest
constexpr size_t kMaxDisplayNameBytes = 512;

struct UploadMeta {
    std::string appId;  // canonical
    int dayNumber = 0;
    std::string uid;
    std::string ext;    // without the dot
    UploadType type = UploadType::Screenshot;
    std::string displayName;
};

// Checks the text fields. False, with the name of the first bad or missing field in
// error, when any is absent or of the wrong form. fileName must be Base64; what it
// decodes to is made valid UTF-8 and cut to kMaxDisplayNameBytes.
bool ValidateUploadFields(const std::map<std::string, std::string>& fields, UploadMeta& out,
                          std::string* error);

}  // namespace service
