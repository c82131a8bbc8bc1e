#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "settings/HotkeySet.h"
#include "settings/SettingsTypes.h"

// The record of every user option and of the values kept between runs. A plain value:
// SettingsManager guards it with its mutex. The constructor gives every member its
// default, so a load that stops half-way never leaves a member undefined.
struct SettingsManagerImpl {
    std::wstring m_screenshotsSavePath;
    std::wstring m_screenshotsLastSavePath;
    std::wstring m_videoSavePath;
    std::wstring m_appRoot;            // the executable's folder, set at every load
    std::wstring m_appId;              // installation id, a braced GUID made once
    std::wstring m_availableVersion;   // newest version announced by the service
    int32_t m_storageType = kStorageServer;
    int32_t m_videoSaveType = kVideoSaveServer;
    int32_t m_imageTypeId = kImageTypeJpeg;
    int32_t m_jpegQuality = 90;
    uint32_t m_maxUploadFileSize = 2147483648u;
    HotkeySet m_hotkeys;
    uint32_t m_drawColor = 255;        // COLORREF 0x00BBGGRR: red
    bool m_selectAndDrawMode = true;
    bool m_notifyNewVersion = true;
    bool m_silentMode = false;
    uint32_t m_lastTimeInSecsNewVersionWasShown = 0;
    bool m_useLRMouseForRegioScreenshot = false;
    bool m_useLRMouseForVideoRecording = false;
    bool m_needShowNotifications = true;
    bool m_needCaptureCursor = true;
    bool m_needPlaySound = true;
    bool m_openScreenshotInBrowser = true;
    bool m_needToOpenVideoInBrowser = true;
    bool m_useScreenshotDirectFileLink = false;
    bool m_useVideoDirectFileLink = false;
    bool m_needCaptureAudio = true;
    bool m_needCaptureMic = false;
    bool m_showVideoControlPanel = true;
    std::vector<std::string> m_screenshotUids;
    int32_t m_videoQualityLevel = kVideoQualityMedium;

    // Addresses of our own deployment, overridable in settings.json (empty: the
    // built-in default). Written back only when set.
    std::wstring m_serverUrl;      // "server_url"
    std::wstring m_siteUrl;        // "site_url"
    std::wstring m_linkHost;       // "link_host"
    std::wstring m_analyticsUrl;   // "analytics_url"

    // Slots 2 and 7 follow their options.
    void DeriveMouseHotkeys();
    // Out-of-range enumerated values (a hand-edited file) take their defaults.
    void ResetOutOfRangeValues();
};
