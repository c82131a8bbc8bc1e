#include "settings/LegacySettings.h"

#include <exception>

#include "foundation/Log.h"
#include "foundation/TextScan.h"
#include "foundation/Utf.h"

namespace {

const std::wstring kSettingsKey = L"Software\\Brivane\\Settings\\";
const std::wstring kRootKey = L"Software\\Brivane\\";

void ReadAll(ILegacySettingsStore& store, const SettingsLoadContext& context,
             SettingsManagerImpl& r) {
    auto str = [&](const wchar_t* name, const std::wstring& def) {
        return store.ReadString(kSettingsKey + name, def);
    };
    auto dword = [&](const wchar_t* name, uint32_t def) {
        return store.ReadDword(kSettingsKey + name, def);
    };
    auto flag = [&](const wchar_t* name, bool def) { return dword(name, def ? 1 : 0) != 0; };
    auto hotkey = [&](const wchar_t* name, const char* def) {
        std::wstring text = str(name, L"");
        std::string narrow = text.empty() ? std::string(def) : WideToUtf8(text);
        return ParseNumbers(narrow);
    };

    r.m_screenshotsSavePath = str(L"screenshots_path", L"");
    r.m_screenshotsLastSavePath = str(L"screenshots_last_path", L"");
    r.m_videoSavePath = str(L"video_path", L"");
    r.m_appId = store.ReadString(kRootKey + L"appId", L"");
    r.m_availableVersion = str(L"avlbl_version", context.productVersion);
    r.m_appRoot = store.ReadString(kRootKey + L"directory", L"");
    r.m_storageType = static_cast<int32_t>(dword(L"storage_type", 2));
    r.m_videoSaveType = static_cast<int32_t>(dword(L"video_storage_type", 0));
    r.m_imageTypeId = static_cast<int32_t>(dword(L"image_type", 1));
    r.m_jpegQuality = static_cast<int32_t>(dword(L"jpeg_quality", 90));
    r.m_maxUploadFileSize = dword(L"max_upload_file_size", 2147483648u);
    r.m_lastTimeInSecsNewVersionWasShown = dword(L"last_new_version_show", 0);
    r.m_drawColor = dword(L"draw_color", 255);
    r.m_notifyNewVersion = flag(L"show_new_version", true);
    r.m_needCaptureCursor = flag(L"need_cap_cursor", true);
    r.m_needPlaySound = flag(L"need_play_sound", true);
    r.m_needToOpenVideoInBrowser = flag(L"need_to_open_video_in_browser", true);
    r.m_openScreenshotInBrowser = flag(L"open_screenshot_in_browser", true);
    r.m_useLRMouseForRegioScreenshot = flag(L"use_lrmouse_for_regio_scr", false);
    r.m_silentMode = flag(L"silent_mode", false);
    r.m_useLRMouseForVideoRecording = flag(L"use_lrmouse_for_video_recording", false);
    r.m_selectAndDrawMode = flag(L"select_and_draw_mode", true);
    r.m_needCaptureAudio = flag(L"need_capture_audio", true);
    r.m_needCaptureMic = flag(L"need_capture_mic", false);

    r.m_hotkeys[HotkeySlot::FullScreenshot] = hotkey(L"hotkey_full_scr", "16,44");
    r.m_hotkeys[HotkeySlot::RegionScreenshot] = hotkey(L"hotkey_region_scr", "44");
    r.m_hotkeys[HotkeySlot::ActiveWindowScreenshot] = hotkey(L"hotkey_active_window_scr", "164,44");
    r.m_hotkeys[HotkeySlot::DrawModeActivation] = hotkey(L"hotkey_draw_mode_activation", "17");
    r.m_hotkeys[HotkeySlot::VideoModeActivation] = hotkey(L"hotkey_video_mode_activation", "17,16");
    r.m_hotkeys[HotkeySlot::VideoRecordingActivation] =
        hotkey(L"hotkey_video_recoding_activation", "17,16,44");
    r.DeriveMouseHotkeys();

    std::string uids = WideToUtf8(str(L"screenshotUids", L""));
    size_t position = 0;
    std::string token;
    r.m_screenshotUids.clear();
    while (ExtractQuotedText(uids, position, token)) r.m_screenshotUids.push_back(token);
}

}  // namespace

void ReadLegacySettings(ILegacySettingsStore& store, const SettingsLoadContext& context,
                        SettingsManagerImpl& r) {
    try {
        ReadAll(store, context, r);
    } catch (const std::exception& e) {
        Log("LoadFromRegistry: %s\n", e.what());
    } catch (...) {
        Log("LoadFromRegistry: unknown error\n");
    }
    // Fix-ups, also after an error.
    const std::wstring folder = DefaultFolder(context);
    if (r.m_screenshotsSavePath.empty()) r.m_screenshotsSavePath = folder;
    if (r.m_screenshotsLastSavePath.empty()) r.m_screenshotsLastSavePath = r.m_screenshotsSavePath;
    if (r.m_videoSavePath.empty()) r.m_videoSavePath = folder;
    if (r.m_appId.empty()) r.m_appId = context.newGuid();
    r.m_appRoot = context.exeFolder;
    r.m_needShowNotifications = true;
    r.ResetOutOfRangeValues();
}
