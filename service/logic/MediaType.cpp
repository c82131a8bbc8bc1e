#include "service/logic/MediaType.h"

#include <cctype>
#include <cstdio>

namespace service {
namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool EndsWithIgnoreCase(const std::string& text, const std::string& suffix) {
    if (suffix.size() > text.size()) return false;
    return Lower(text.substr(text.size() - suffix.size())) == Lower(suffix);
}

}  // namespace

MediaType MediaTypeFor(std::string_view ext, UploadType type) {
    struct Entry { const char* ext; const char* type; MediaKind kind; };
    static const Entry kTypes[] = {
        {"png", "image/png", MediaKind::Image},   {"jpg", "image/jpeg", MediaKind::Image},
        {"jpeg", "image/jpeg", MediaKind::Image}, {"gif", "image/gif", MediaKind::Image},
        {"bmp", "image/bmp", MediaKind::Image},   {"webp", "image/webp", MediaKind::Image},
        {"mp4", "video/mp4", MediaKind::Video},   {"webm", "video/webm", MediaKind::Video},
        {"zip", "application/zip", MediaKind::Other},
        {"pdf", "application/pdf", MediaKind::Other},
        {"txt", "text/plain; charset=utf-8", MediaKind::Other},
        {"log", "text/plain; charset=utf-8", MediaKind::Other},
    };
    std::string lower = Lower(ext);
    for (const Entry& e : kTypes) {
        if (lower == e.ext) {
            MediaType media{e.type, e.kind};
            if (type == UploadType::File) media.kind = MediaKind::Other;
            return media;
        }
    }
    return MediaType{"application/octet-stream", MediaKind::Other};
}

std::string DownloadFileName(const std::string& displayName, const std::string& ext,
                             const std::string& uid) {
    std::string name = displayName.empty() ? uid : displayName;
    if (!ext.empty() && !EndsWithIgnoreCase(name, "." + ext)) name += "." + ext;
    return name;
}

std::string ContentDisposition(const std::string& fileName, bool attachment) {
    std::string fallback, encoded;
    for (char ch : fileName) {
        unsigned char c = static_cast<unsigned char>(ch);
        bool plain = c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '%' && c != ';';
        fallback += plain ? ch : '_';
        if (std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == '~') {
            encoded += ch;
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            encoded += buf;
        }
    }
    return std::string(attachment ? "attachment" : "inline") + "; filename=\"" + fallback +
           "\"; filename*=UTF-8''" + encoded;
}

}  // namespace service
