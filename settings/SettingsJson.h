#pragma once
#include <functional>
#include <string>
#include <vector>

#include "settings/SettingsManagerImpl.h"

class JsonValue;

// An analytics event of the settings ("Settings" / action / label), collected while the
// settings lock is held and sent after it is released.
struct SettingsEvent {
    std::wstring category;
    std::wstring action;
    std::wstring label;
};

// What a load needs from the machine.
struct SettingsLoadContext {
    std::wstring exeFolder;
    std::wstring desktopFolder;     // "" when unknown: the executable's folder is used
    std::wstring productVersion;
    std::function<std::wstring()> newGuid;
};

// Fills the record from the root object of settings.json, key by key; a missing key, a
// key of the wrong type, an empty text, a number that is not finite or does not fit the
// member, and an enumerated value out of range all give the key's default. Returns true
// when the installation id was missing and a new one was made.
bool ReadSettingsJson(const JsonValue& root, const SettingsLoadContext& context,
                      SettingsManagerImpl& record, std::vector<SettingsEvent>& events);

// The compact text of settings.json for the record: every key, in ascending order.
// More than 20 pooled identifiers are cut to the first 10 (in the record too).
std::wstring WriteSettingsJson(SettingsManagerImpl& record, std::vector<SettingsEvent>& events);

// The braced installation id written after "app_id" in a text that is no longer valid
// JSON (a file cut short), or "" when there is none.
std::wstring FindAppIdInText(const std::wstring& text);

// The folder that empty path options fall back to.
std::wstring DefaultFolder(const SettingsLoadContext& context);

// Hotkey texts used when a key is missing or empty.
constexpr const char* kDefaultHotkeyFullScreenshot = "16,44";
constexpr const char* kDefaultHotkeyRegionScreenshot = "44";
constexpr const char* kDefaultHotkeyActiveWindowScreenshot = "164,44";
constexpr const char* kDefaultHotkeyDrawModeActivation = "17";
constexpr const char* kDefaultHotkeyVideoModeActivation = "17,16";
constexpr const char* kDefaultHotkeyVideoRecordingActivation = "17,16,44";
