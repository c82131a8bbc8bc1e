#include "settings/SettingsJson.h"

#include <cmath>
#include <limits>
#include <map>
#include <set>

#include "foundation/Format.h"
#include "foundation/JsonValue.h"
#include "foundation/Log.h"
#include "foundation/TextScan.h"
#include "foundation/Utf.h"

namespace {

const JsonValue* Member(const JsonValue& root, const wchar_t* key) {
    return root.Find(key);
}

void ReadJsonString(const JsonValue& root, const wchar_t* key, std::wstring& dest,
                    const std::wstring& def) {
    const JsonValue* v = Member(root, key);
    dest = v && v->type == JsonType::String && !v->string.empty() ? v->string : def;
}

void ReadJsonBool(const JsonValue& root, const wchar_t* key, bool& dest, bool def) {
    const JsonValue* v = Member(root, key);
    dest = v && v->type == JsonType::Bool ? v->boolean : def;
}

// A number truncated toward zero when it is finite and the result fits [low, high].
template <typename T>
void ReadJsonInteger(const JsonValue& root, const wchar_t* key, T& dest, T def) {
    const JsonValue* v = Member(root, key);
    dest = def;
    if (!v || v->type != JsonType::Number || !std::isfinite(v->number)) return;
    double t = std::trunc(v->number);
    if (t < static_cast<double>(std::numeric_limits<T>::min()) ||
        t > static_cast<double>(std::numeric_limits<T>::max())) {
        return;
    }
    dest = static_cast<T>(t);
}

void ReadJsonHotkey(const JsonValue& root, const wchar_t* key, HotkeyCombination& dest,
                    const char* def) {
    std::wstring text;
    ReadJsonString(root, key, text, StringToWString(def));
    dest = ParseNumbers(WideToUtf8(text));
}

void ReadFileUids(const JsonValue& root, SettingsManagerImpl& record,
                  std::vector<SettingsEvent>& events) {
    const JsonValue* v = Member(root, L"file_uids");
    if (!v) return;
    if (v->type == JsonType::Array) {
        for (const JsonValue* element : v->array) {
            if (element && element->type == JsonType::String) {
                record.m_screenshotUids.push_back(WideToUtf8(element->string));
            } else {
                Log("LoadFromJsonFile(): file uid is not string\n");
            }
        }
    } else if (v->type == JsonType::String) {
        // The form of older versions: identifiers in double quotes.
        if (v->string.size() > 240) {
            events.push_back({L"Settings", L"Error",
                              Format(L"Load {} file_uids")
                                  .ArgDouble(static_cast<double>(v->string.size())).Str()});
            return;
        }
        std::string text = WideToUtf8(v->string);
        std::set<std::string> sorted;
        size_t position = 0;
        std::string token;
        while (ExtractQuotedText(text, position, token)) sorted.insert(token);
        record.m_screenshotUids.assign(sorted.begin(), sorted.end());
    }
}

}  // namespace

std::wstring DefaultFolder(const SettingsLoadContext& context) {
    return context.desktopFolder.empty() ? context.exeFolder : context.desktopFolder;
}

bool ReadSettingsJson(const JsonValue& root, const SettingsLoadContext& context,
                      SettingsManagerImpl& r, std::vector<SettingsEvent>& events) {
    const SettingsManagerImpl d;   // the defaults
    const std::wstring folder = DefaultFolder(context);
    r.m_appRoot = context.exeFolder;

    ReadJsonString(root, L"screenshots_path", r.m_screenshotsSavePath, folder);
    ReadJsonString(root, L"screenshots_last_save_path", r.m_screenshotsLastSavePath,
                   r.m_screenshotsSavePath);
    ReadJsonString(root, L"video_save_path", r.m_videoSavePath, folder);
    const JsonValue* id = Member(root, L"app_id");
    bool generated = !(id && id->type == JsonType::String && !id->string.empty());
    ReadJsonString(root, L"app_id", r.m_appId, generated ? context.newGuid() : std::wstring());
    ReadJsonString(root, L"available_version", r.m_availableVersion, context.productVersion);
    ReadJsonInteger(root, L"storage_type", r.m_storageType, d.m_storageType);
    ReadJsonInteger(root, L"video_storage_type", r.m_videoSaveType, d.m_videoSaveType);
    ReadJsonInteger(root, L"screenshot_file_type", r.m_imageTypeId, d.m_imageTypeId);
    ReadJsonInteger(root, L"jpeg_quality", r.m_jpegQuality, d.m_jpegQuality);
    ReadJsonInteger(root, L"max_upload_file_size", r.m_maxUploadFileSize, d.m_maxUploadFileSize);
    ReadJsonInteger(root, L"notify_new_version_last_ts", r.m_lastTimeInSecsNewVersionWasShown,
                    d.m_lastTimeInSecsNewVersionWasShown);
    ReadJsonInteger(root, L"editor_color", r.m_drawColor, d.m_drawColor);
    ReadJsonHotkey(root, L"hotkey_full_screenshot", r.m_hotkeys[HotkeySlot::FullScreenshot],
                   kDefaultHotkeyFullScreenshot);
    ReadJsonHotkey(root, L"hotkey_region_screenshot", r.m_hotkeys[HotkeySlot::RegionScreenshot],
                   kDefaultHotkeyRegionScreenshot);
    ReadJsonHotkey(root, L"hotkey_active_window_screenshot",
                   r.m_hotkeys[HotkeySlot::ActiveWindowScreenshot],
                   kDefaultHotkeyActiveWindowScreenshot);
    ReadJsonHotkey(root, L"hotkey_draw_mode_activation",
                   r.m_hotkeys[HotkeySlot::DrawModeActivation], kDefaultHotkeyDrawModeActivation);
    ReadJsonHotkey(root, L"hotkey_video_mode_activation",
                   r.m_hotkeys[HotkeySlot::VideoModeActivation], kDefaultHotkeyVideoModeActivation);
    ReadJsonHotkey(root, L"hotkey_video_recoding_activation",
                   r.m_hotkeys[HotkeySlot::VideoRecordingActivation],
                   kDefaultHotkeyVideoRecordingActivation);
    r.m_needShowNotifications = true;
    ReadJsonBool(root, L"notify_new_version", r.m_notifyNewVersion, d.m_notifyNewVersion);
    ReadJsonBool(root, L"capture_cursor", r.m_needCaptureCursor, d.m_needCaptureCursor);
    ReadJsonBool(root, L"play_sound", r.m_needPlaySound, d.m_needPlaySound);
    ReadJsonBool(root, L"open_video_in_browser", r.m_needToOpenVideoInBrowser,
                 d.m_needToOpenVideoInBrowser);
    ReadJsonBool(root, L"open_screenshot_in_browser", r.m_openScreenshotInBrowser,
                 d.m_openScreenshotInBrowser);
    ReadJsonBool(root, L"use_screenshot_direct_file_link", r.m_useScreenshotDirectFileLink,
                 d.m_useScreenshotDirectFileLink);
    ReadJsonBool(root, L"use_video_direct_file_link", r.m_useVideoDirectFileLink,
                 d.m_useVideoDirectFileLink);
    ReadJsonBool(root, L"use_lr_mouse_for_regio_screenshot", r.m_useLRMouseForRegioScreenshot,
                 d.m_useLRMouseForRegioScreenshot);
    ReadJsonBool(root, L"silent_mode", r.m_silentMode, d.m_silentMode);
    ReadJsonBool(root, L"use_lr_mouse_for_video_recording", r.m_useLRMouseForVideoRecording,
                 d.m_useLRMouseForVideoRecording);
    r.DeriveMouseHotkeys();
    ReadJsonBool(root, L"select_and_draw_mode", r.m_selectAndDrawMode, d.m_selectAndDrawMode);
    ReadJsonBool(root, L"capture_audio", r.m_needCaptureAudio, d.m_needCaptureAudio);
    ReadJsonBool(root, L"capture_mic", r.m_needCaptureMic, d.m_needCaptureMic);
    ReadJsonBool(root, L"show_video_control_panel", r.m_showVideoControlPanel,
                 d.m_showVideoControlPanel);
    r.m_screenshotUids.clear();
    ReadFileUids(root, r, events);
    ReadJsonInteger(root, L"video_quality_level", r.m_videoQualityLevel, d.m_videoQualityLevel);

    ReadJsonString(root, L"server_url", r.m_serverUrl, L"");
    ReadJsonString(root, L"site_url", r.m_siteUrl, L"");
    ReadJsonString(root, L"link_host", r.m_linkHost, L"");
    ReadJsonString(root, L"analytics_url", r.m_analyticsUrl, L"");

    r.ResetOutOfRangeValues();
    return generated;
}

std::wstring WriteSettingsJson(SettingsManagerImpl& r, std::vector<SettingsEvent>& events) {
    if (r.m_screenshotUids.size() > 20) {
        events.push_back({L"Settings", L"Error",
                          Format(L"Save m_screenshotUids size = {}")
                              .ArgDouble(static_cast<double>(r.m_screenshotUids.size())).Str()});
        r.m_screenshotUids.resize(10);
    }
    auto text = [](const std::wstring& s) { return new JsonValue(s); };
    auto number = [](double n) { return new JsonValue(n); };
    auto flag = [](bool b) { return new JsonValue(b); };
    auto hotkey = [&r](HotkeySlot slot) {
        return new JsonValue(StringToWString(JoinNumbers(r.m_hotkeys[slot])));
    };
    std::vector<JsonValue*> uids;
    for (const std::string& uid : r.m_screenshotUids) {
        uids.push_back(new JsonValue(Utf8ToWideLenient(uid)));
    }
    std::map<std::wstring, JsonValue*> members = {
        {L"app_id", text(r.m_appId)},
        {L"app_root", text(r.m_appRoot)},
        {L"available_version", text(r.m_availableVersion)},
        {L"capture_audio", flag(r.m_needCaptureAudio)},
        {L"capture_cursor", flag(r.m_needCaptureCursor)},
        {L"capture_mic", flag(r.m_needCaptureMic)},
        {L"editor_color", number(r.m_drawColor)},
        {L"file_uids", new JsonValue(uids)},
        {L"hotkey_active_window_screenshot", hotkey(HotkeySlot::ActiveWindowScreenshot)},
        {L"hotkey_draw_mode_activation", hotkey(HotkeySlot::DrawModeActivation)},
        {L"hotkey_full_screenshot", hotkey(HotkeySlot::FullScreenshot)},
        {L"hotkey_region_screenshot", hotkey(HotkeySlot::RegionScreenshot)},
        {L"hotkey_video_mode_activation", hotkey(HotkeySlot::VideoModeActivation)},
        {L"hotkey_video_recoding_activation", hotkey(HotkeySlot::VideoRecordingActivation)},
        {L"jpeg_quality", number(r.m_jpegQuality)},
        {L"max_upload_file_size", number(r.m_maxUploadFileSize)},
        {L"notify_new_version", flag(r.m_notifyNewVersion)},
        {L"notify_new_version_last_ts", number(r.m_lastTimeInSecsNewVersionWasShown)},
        {L"open_screenshot_in_browser", flag(r.m_openScreenshotInBrowser)},
        {L"open_video_in_browser", flag(r.m_needToOpenVideoInBrowser)},
        {L"play_sound", flag(r.m_needPlaySound)},
        {L"screenshot_file_type", number(r.m_imageTypeId)},
        {L"screenshots_last_save_path", text(r.m_screenshotsLastSavePath)},
        {L"screenshots_path", text(r.m_screenshotsSavePath)},
        {L"select_and_draw_mode", flag(r.m_selectAndDrawMode)},
        {L"show_video_control_panel", flag(r.m_showVideoControlPanel)},
        {L"silent_mode", flag(r.m_silentMode)},
        {L"storage_type", number(r.m_storageType)},
        {L"use_lr_mouse_for_regio_screenshot", flag(r.m_useLRMouseForRegioScreenshot)},
        {L"use_lr_mouse_for_video_recording", flag(r.m_useLRMouseForVideoRecording)},
        {L"use_screenshot_direct_file_link", flag(r.m_useScreenshotDirectFileLink)},
        {L"use_video_direct_file_link", flag(r.m_useVideoDirectFileLink)},
        {L"video_quality_level", number(r.m_videoQualityLevel)},
        {L"video_save_path", text(r.m_videoSavePath)},
        {L"video_storage_type", number(r.m_videoSaveType)},
    };
    const std::pair<const wchar_t*, const std::wstring*> overrides[] = {
        {L"analytics_url", &r.m_analyticsUrl}, {L"link_host", &r.m_linkHost},
        {L"server_url", &r.m_serverUrl},       {L"site_url", &r.m_siteUrl}};
    for (const auto& o : overrides) {
        if (!o.second->empty()) members[o.first] = text(*o.second);
    }
    JsonValue root(members);
    return root.Stringify();
}

std::wstring FindAppIdInText(const std::wstring& text) {
    const std::wstring key = L"\"app_id\"";
    size_t pos = text.find(key);
    if (pos == std::wstring::npos) return L"";
    pos += key.size();
    while (pos < text.size() && (text[pos] == L' ' || text[pos] == L'\t' || text[pos] == L'\r' ||
                                 text[pos] == L'\n' || text[pos] == L':')) {
        ++pos;
    }
    // Only a complete braced GUID is taken: 38 characters, braces and hex digits.
    if (pos + 40 > text.size() || text[pos] != L'"' || text[pos + 39] != L'"') return L"";
    std::wstring id = text.substr(pos + 1, 38);
    for (size_t i = 0; i < id.size(); ++i) {
        wchar_t c = id[i];
        bool ok = i == 0 ? c == L'{' : i == 37 ? c == L'}'
                : (i == 9 || i == 14 || i == 19 || i == 24) ? c == L'-'
                : ((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f'));
        if (!ok) return L"";
    }
    return id;
}
