#pragma once
#include <cstdint>
#include <string>

#include "foundation/DayCode.h"

// The shell's rules for uploads that need no window: short links, server names, the
// texts of upload errors and which links open in the browser.

// Link types and their letters.
constexpr int kLinkScreenshot = 0;   // "s"
constexpr int kLinkFile = 1;         // "f"
constexpr int kLinkVideo = 2;        // "v"

// The day code of a link: EncodeDayCode of a day number from DayNumberSince2020
// (foundation/DayCode.h), widened. Days outside 0..3843 are clamped to that range, so a
// link always holds two characters of the alphabet.
std::wstring EncodeBase62(int n);

// "%02d%02d%02d/%s" of the UTC day, month, year % 2000 and the identifier.
std::wstring MakeServerName(int day, int month, int year, const std::wstring& uid);
// linkHost + "/" + letter + day code + identifier.
std::wstring MakeShortLink(const std::wstring& linkHost, const std::wstring& letter, int day, int month, int year,
                           const std::wstring& uid);

// The link opened in the browser: "?a" appended unless the type's direct-link option
// is on (videos: the video option; screenshots and files: the screenshot option).
std::wstring LinkToOpen(int type, const std::wstring& link, bool screenshotDirect, bool videoDirect);
// Screenshots open only with open_screenshot_in_browser, videos only with
// open_video_in_browser, files always.
bool MayOpenLink(int type, bool openScreenshots, bool openVideos);

// The text shown for an upload error code: 1 and 2 their own strings, 0x90000 the
// "too big" string, any other the general upload error followed by " Code: %#08x".
std::wstring UploadErrorText(int code, const std::wstring& text211, const std::wstring& text212,
                             const std::wstring& text179, const std::wstring& text133);

// A sent file's extension (".pdf", or "" when it has none) and display name (its base
// name; a name that is only a dot and letters keeps them whole, without extension).
void SplitUploadName(const std::wstring& path, std::wstring& displayName, std::wstring& extension);
// A file is sent when its size is at most the limit; a size that does not fit in 32
// bits is always larger.
bool FitsUploadLimit(uint64_t size, uint32_t limit);

// A recording is deleted after its upload only when it lies in the program's tmp folder
// (the folder followed by a separator starts the path).
bool IsInFolder(const std::wstring& path, const std::wstring& folder);
