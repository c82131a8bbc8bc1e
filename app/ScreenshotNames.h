#pragma once
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "core/CvxRect.h"

// File names and rectangles of the screenshot flow, as plain logic.

// The time formatted with strftime rules ("Screenshot %d-%m-%Y %H%M%S" gives
// "Screenshot 05-03-2026 091502"); "" when the pattern gives more than 1023 characters.
std::wstring FormatLocalTime(const std::wstring& pattern, const std::tm& time);

// The text after the last '.', or "" when there is no '.' or a '/' or '\' follows it.
std::wstring GetFileExtensionFromPath(const std::wstring& path);

// ".png" for image type 0, ".jpg" for 1 (other values are taken as PNG).
std::wstring ScreenshotExtensionForType(int imageTypeId);

// How a screenshot named `name` is written: the format comes from the extension of the
// name's last component, compared without case (".jpg" and ".jpeg" give JPEG, ".png"
// PNG, with nothing appended); any other name gets the configured type's extension.
struct ScreenshotFileFormat {
    uint32_t formatCode = 0;        // PxFormatJPG or PxFormatPNG
    std::wstring appendedExtension; // "" when the name already carries one
};
ScreenshotFileFormat ChooseScreenshotFormat(const std::wstring& name, int imageTypeId);

// True when the name is a full path (it contains '\' or '/').
bool IsFullScreenshotPath(const std::wstring& name);

// stem + extension, or, when that exists, stem + " (2)" + extension, " (3)" ... so that
// a second shot within the same second never replaces the first. "" when 1000 names in
// a row are taken.
std::wstring MakeUniqueFilePath(const std::wstring& stem, const std::wstring& extension,
                                const std::function<bool(const std::wstring&)>& exists);

// The crop rectangle of the active-window shot, in the coordinates of a screen image
// that covers `virtualScreen`: the window's frame (the compositor's visible frame when
// it could be read, else the window rectangle) clipped to the virtual screen. False
// when there is no rectangle or nothing of it lies on the screen.
struct WindowFrame {
    bool haveWindowRect = false;   // GetWindowRect succeeded
    CvxRect windowRect;
    bool haveVisibleFrame = false; // the compositor's frame bounds could be read
    CvxRect visibleFrame;
};
bool ActiveWindowCropRect(const WindowFrame& frame, const CvxRect& virtualScreen, CvxRect& crop);
