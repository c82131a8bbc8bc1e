#include "app/ScreenshotNames.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

#include "image/PxImageFormat.h"

std::wstring FormatLocalTime(const std::wstring& pattern, const std::tm& time) {
    if (pattern.empty()) return L"";
    wchar_t buffer[1024];
    size_t length = wcsftime(buffer, sizeof(buffer) / sizeof(buffer[0]), pattern.c_str(), &time);
    return std::wstring(buffer, length);
}

std::wstring GetFileExtensionFromPath(const std::wstring& path) {
    size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos) return L"";
    if (path.find_first_of(L"/\\", dot) != std::wstring::npos) return L"";
    return path.substr(dot + 1);
}

std::wstring ScreenshotExtensionForType(int imageTypeId) { return imageTypeId == 1 ? L".jpg" : L".png"; }

bool IsFullScreenshotPath(const std::wstring& name) { return name.find_first_of(L"/\\") != std::wstring::npos; }

ScreenshotFileFormat ChooseScreenshotFormat(const std::wstring& name, int imageTypeId) {
    std::wstring ext = GetFileExtensionFromPath(name);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    if (ext == L"jpg" || ext == L"jpeg") return {PxFormatJPG, L""};
    if (ext == L"png") return {PxFormatPNG, L""};
    return {imageTypeId == 1 ? static_cast<uint32_t>(PxFormatJPG) : static_cast<uint32_t>(PxFormatPNG),
            ScreenshotExtensionForType(imageTypeId)};
}

std::wstring MakeUniqueFilePath(const std::wstring& stem, const std::wstring& extension,
                                const std::function<bool(const std::wstring&)>& exists) {
    std::wstring path = stem + extension;
    for (int n = 2; exists(path); ++n) {
        if (n > 1000) return L"";
        path = stem + L" (" + std::to_wstring(n) + L")" + extension;
    }
    return path;
}

bool ActiveWindowCropRect(const WindowFrame& frame, const CvxRect& virtualScreen, CvxRect& crop) {
    CvxRect rect;
    if (frame.haveVisibleFrame) {
        rect = frame.visibleFrame;
    } else if (frame.haveWindowRect) {
        rect = frame.windowRect;
    } else {
        return false;
    }
    CvxRect clipped;
    clipped.left = std::max(rect.left, virtualScreen.left);
    clipped.top = std::max(rect.top, virtualScreen.top);
    clipped.right = std::min(rect.right, virtualScreen.right);
    clipped.bottom = std::min(rect.bottom, virtualScreen.bottom);
    if (clipped.right <= clipped.left || clipped.bottom <= clipped.top) return false;
    crop.left = clipped.left - virtualScreen.left;
    crop.top = clipped.top - virtualScreen.top;
    crop.right = clipped.right - virtualScreen.left;
    crop.bottom = clipped.bottom - virtualScreen.top;
    return true;
}
