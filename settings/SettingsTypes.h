#pragma once
#include <map>
#include <string>

// StorageType: bit flags of a screenshot's destination. Stored in settings.json.
constexpr int kStorageClipboard = 1;   // the picture on the clipboard
constexpr int kStorageServer = 2;      // upload, the link on the clipboard
constexpr int kStorageLocal = 4;       // a local file

// VideoSaveType. Stored.
constexpr int kVideoSaveServer = 0;
constexpr int kVideoSaveLocal = 1;

// VideoQualityLevel: 0 at most 640x480, 1 at most 1280x720, 2 the recorder's own limit.
constexpr int kVideoQualityLow = 0;
constexpr int kVideoQualityMedium = 1;
constexpr int kVideoQualityFull = 2;

// ImageTypeId. Stored.
constexpr int kImageTypePng = 0;
constexpr int kImageTypeJpeg = 1;

// ImageTypeId -> file extension: {0 ".png", 1 ".jpg"}. Read-only after start-up.
extern const std::map<int, std::wstring> g_imageFileExtensions;

// The extension for an image type; ".jpg" for a value outside the table, so that a
// caller never has to look up a missing key.
std::wstring ImageFileExtension(int imageTypeId);
