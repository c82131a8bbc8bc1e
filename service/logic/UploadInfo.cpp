#include "service/logic/UploadInfo.h"

#include "service/logic/ShortLink.h"

namespace service {

std::string PagePath(const UploadInfo& info) { return ShortLinkPath(info.type, info.dayNumber, info.uid); }

std::string DirectPath(const UploadInfo& info) {
    return PagePath(info) + (info.ext.empty() ? "?raw" : "." + info.ext);
}

std::string DownloadPath(const UploadInfo& info) {
    return PagePath(info) + (info.ext.empty() ? "?raw&dl" : "." + info.ext + "?dl");
}

}  // namespace service
