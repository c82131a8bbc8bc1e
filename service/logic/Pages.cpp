#include "service/logic/Pages.h"

#include "service/logic/Html.h"
#include "service/logic/MediaType.h"

namespace service {
namespace {

const char kStyle[] =
    "body{margin:0;font-family:system-ui,-apple-system,'Segoe UI',Roboto,Arial,sans-serif;"
    "background:#f3f4f6;color:#1f2933;line-height:1.45}"
    "header{background:#263238;color:#fff;padding:10px 16px;font-weight:600}"
    "header a{color:#fff;text-decoration:none}"
    "main{max-width:1000px;margin:0 auto;padding:16px}"
    "h1{font-size:1.3em;margin:.2em 0;overflow-wrap:anywhere}"
    ".meta{color:#616e7c;margin:.2em 0 1em}"
    ".media{background:#fff;padding:8px;border-radius:6px;box-shadow:0 1px 3px rgba(0,0,0,.15)}"
    ".media img,.media video{display:block;max-width:100%;height:auto;margin:0 auto}"
    ".button{display:inline-block;background:#4CAF50;color:#fff;padding:10px 18px;border-radius:4px;"
    "text-decoration:none;margin:12px 8px 0 0}"
    ".link{width:100%;box-sizing:border-box;padding:8px;font:inherit;margin-top:12px}"
    "ul.list{list-style:none;padding:0;margin:0}"
    "ul.list li{background:#fff;margin:0 0 8px;padding:10px 12px;border-radius:6px;"
    "box-shadow:0 1px 2px rgba(0,0,0,.1);overflow-wrap:anywhere}"
    "ul.list .meta{margin:0;font-size:.9em}";

std::string Head(const std::string& title) {
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<meta name=\"referrer\" content=\"no-referrer\">"
           "<title>" + HtmlEscape(title) + "</title><style>" + kStyle +
           "</style></head><body><header><a href=\"/\">Brivane</a></header><main>";
}

const char kFoot[] = "</main></body></html>\n";

const char* KindWord(UploadType type) {
    switch (type) {
        case UploadType::Screenshot: return "Screenshot";
        case UploadType::Video: return "Video";
        case UploadType::File: return "File";
    }
    return "File";
}

std::string Title(const UploadInfo& info) {
    return info.displayName.empty() ? std::string(KindWord(info.type)) + " " + info.uid : info.displayName;
}

}  // namespace

std::string RenderUploadPage(const UploadInfo& info, const std::string& publicUrl) {
    std::string title = Title(info);
    std::string fileName = DownloadFileName(info.displayName, info.ext, info.uid);
    MediaType media = MediaTypeFor(info.ext, info.type);
    std::string direct = HtmlEscape(DirectPath(info));
    std::string html = Head(title + " - Brivane");
    html += "<h1>" + HtmlEscape(title) + "</h1>";
    html += "<p class=\"meta\">" + HtmlEscape(fileName) + " &middot; " + HtmlEscape(FormatSize(info.size)) +
            " &middot; " + HtmlEscape(FormatUtcTime(info.createdAt)) + "</p>";
    if (media.kind == MediaKind::Image) {
        html += "<div class=\"media\"><img id=\"capture\" src=\"" + direct + "\" alt=\"" + HtmlEscape(title) +
                "\"></div>";
    } else if (media.kind == MediaKind::Video) {
        html += "<div class=\"media\"><video id=\"capture\" controls preload=\"metadata\" playsinline src=\"" +
                direct + "\"></video></div>";
    }
    html += "<a class=\"button\" href=\"" + HtmlEscape(DownloadPath(info)) + "\">Download " +
            HtmlEscape(fileName) + " (" + HtmlEscape(FormatSize(info.size)) + ")</a>";
    if (!publicUrl.empty()) {
        html += "<input class=\"link\" readonly aria-label=\"Link\" value=\"" +
                HtmlEscape(publicUrl + PagePath(info)) + "\">";
    }
    html += kFoot;
    return html;
}

std::string RenderMyCapturesPage(const std::string& appId, const std::vector<UploadInfo>& uploads,
                                 const std::string& publicUrl, size_t limit) {
    std::string html = Head("My captures - Brivane");
    html += "<h1>My captures</h1>";
    if (uploads.empty()) {
        html += "<p class=\"meta\">Nothing uploaded from this installation yet.</p>";
    } else {
        html += "<p class=\"meta\">" + std::to_string(uploads.size()) +
                (uploads.size() == 1 ? " upload" : " uploads") +
                (uploads.size() >= limit ? ", newest first (older ones are not listed)" : ", newest first") +
                "</p><ul class=\"list\">";
        for (const UploadInfo& info : uploads) {
            std::string title = Title(info);
            std::string page = PagePath(info);
            html += "<li><a href=\"" + HtmlEscape(page) + "\">" + HtmlEscape(title) + "</a>";
            html += std::string("<p class=\"meta\">") + KindWord(info.type) + " &middot; " +
                    HtmlEscape(DownloadFileName(info.displayName, info.ext, info.uid)) + " &middot; " +
                    HtmlEscape(FormatSize(info.size)) + " &middot; " + HtmlEscape(FormatUtcTime(info.createdAt)) +
                    (publicUrl.empty() ? "" : " &middot; " + HtmlEscape(publicUrl + page)) + "</p></li>";
        }
        html += "</ul>";
    }
    (void)appId;
    html += kFoot;
    return html;
}

std::string RenderNewVersionPage(const std::string& latestVersion, const std::string& downloadName) {
    std::string html = Head("Brivane update");
    html += "<h1>Brivane " + HtmlEscape(latestVersion) + "</h1>";
    if (downloadName.empty()) {
        html += "<p>This is the newest version of Brivane. The installer is not published on this "
                "server; ask whoever runs it.</p>";
    } else {
        html += "<p>There is a new version of Brivane available.</p><a class=\"button\" "
                "href=\"/download/latest\">Download " + HtmlEscape(downloadName) + "</a>";
    }
    html += kFoot;
    return html;
}

std::string RenderMessagePage(const std::string& title, const std::string& text) {
    return Head(title + " - Brivane") + "<h1>" + HtmlEscape(title) + "</h1><p>" + HtmlEscape(text) + "</p>" + kFoot;
}

}  // namespace service
