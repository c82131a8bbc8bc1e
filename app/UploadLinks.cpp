#include "app/UploadLinks.h"

#include <cstdio>

#include "foundation/Path.h"

std::wstring EncodeBase62(int n) {
    if (n < 0) n = 0;
    if (n > kMaxDayNumber) n = kMaxDayNumber;
    std::string code = EncodeDayCode(n);
    return std::wstring(code.begin(), code.end());
}

std::wstring MakeServerName(int day, int month, int year, const std::wstring& uid) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%02d%02d%02d/", day, month, year % 2000);
    return text + uid;
}

std::wstring MakeShortLink(const std::wstring& linkHost, const std::wstring& letter, int day, int month, int year,
                           const std::wstring& uid) {
    return linkHost + L"/" + letter + EncodeBase62(DayNumberSince2020(day, month, year)) + uid;
}

std::wstring LinkToOpen(int type, const std::wstring& link, bool screenshotDirect, bool videoDirect) {
    bool direct = type == kLinkVideo ? videoDirect : screenshotDirect;
    return direct ? link : link + L"?a";
}

bool MayOpenLink(int type, bool openScreenshots, bool openVideos) {
    if (type == kLinkScreenshot) return openScreenshots;
    if (type == kLinkVideo) return openVideos;
    return true;
}

std::wstring UploadErrorText(int code, const std::wstring& text211, const std::wstring& text212,
                             const std::wstring& text179, const std::wstring& text133) {
    if (code == 1) return text211;
    if (code == 2) return text212;
    if (code == 0x90000) return text179;
    wchar_t suffix[32];
    std::swprintf(suffix, 32, L" Code: %#08x", static_cast<unsigned>(code));
    return text133 + suffix;
}

void SplitUploadName(const std::wstring& path, std::wstring& displayName, std::wstring& extension) {
    std::wstring ext = GetFileExtension(path);
    extension = ext.empty() ? L"" : L"." + ext;
    displayName = GetFileBaseName(path);
    if (displayName.empty()) {
        displayName = extension;
        extension.clear();
    }
}

bool FitsUploadLimit(uint64_t size, uint32_t limit) { return size <= limit; }

bool IsInFolder(const std::wstring& path, const std::wstring& folder) {
    if (folder.empty() || path.size() <= folder.size() + 1) return false;
    if (path.compare(0, folder.size(), folder) != 0) return false;
    wchar_t separator = path[folder.size()];
    if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) {
        return true;
    }
    return separator == L'\\' || separator == L'/';
}
