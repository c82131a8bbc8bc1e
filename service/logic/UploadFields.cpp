#include "service/logic/UploadFields.h"

#include "service/logic/Base64.h"
#include "service/logic/Utf8.h"

namespace service {

bool ValidateUploadFields(const std::map<std::string, std::string>& fields, UploadMeta& out,
                          std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    for (const char* name : kUploadFieldNames) {
        if (fields.find(name) == fields.end()) return fail(std::string("missing field ") + name);
    }
    auto appId = NormalizeAppId(fields.at("appId"));
    if (!appId) return fail("bad appId");
    auto server = ParseServerName(fields.at("screenshotId"));
    if (!server) return fail("bad screenshotId");
    auto ext = NormalizeFileExt(fields.at("fileExt"));
    if (!ext) return fail("bad fileExt");
    auto type = ParseUploadType(fields.at("uploadType"));
    if (!type) return fail("bad uploadType");
    auto name = Base64Decode(fields.at("fileName"));
    if (!name) return fail("bad fileName");
    out.appId = *appId;
    out.dayNumber = server->dayNumber;
    out.uid = server->uid;
    out.ext = *ext;
    out.type = *type;
    out.displayName = SanitizeUtf8(*name, kMaxDisplayNameBytes);
    return true;
}

}  // namespace service
