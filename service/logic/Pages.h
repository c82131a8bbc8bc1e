#pragma once
#include "service/logic/UploadInfo.h"

#include <string>
#include <vector>

// The HTML pages a user opens. Every outside text is escaped; links are built only
// from checked identifiers.
namespace service {

// The short-link page: the screenshot, the video player or the download offer, with
// the display name and the size. publicUrl ("" allowed) is shown as the link to copy.
std::string RenderUploadPage(const UploadInfo& info, const std::string& publicUrl);

// "My captures": the installation's uploads, newest first.
std::string RenderMyCapturesPage(const std::string& appId, const std::vector<UploadInfo>& uploads,
                                 const std::string& publicUrl, size_t limit);

// The download page the version check opens.
std::string RenderNewVersionPage(const std::string& latestVersion, const std::string& downloadName);

// A short page for errors and the front page.
std::string RenderMessagePage(const std::string& title, const std::string& text);

}  // namespace service
