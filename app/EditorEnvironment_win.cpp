#include "app/EditorEnvironment.h"

#include "core/Cvx.h"
#include "server/Analytics.h"
#include "settings/HotkeyCombination.h"
#include "settings/HotkeySet.h"
#include "settings/SettingsManager.h"

SelectRegionEnvironment MakeEditorEnvironment() {
    SelectRegionEnvironment env = SelectRegionEnvironment::Default();
    env.postEvent = [](const std::wstring& category, const std::wstring& action, const std::wstring& label) {
        CvxAnalyticsPostEventAsync(-1, category, action, label);
    };
    env.isDrawModeHotkeyHeld = [] {
        return IsHotkeyPressed(SettingsManager::Instance().GetHotkeys()[HotkeySlot::DrawModeActivation]);
    };
    env.virtualScreen = [] { return CvxGetVirtualScreenRect(); };
    env.drawColor = [] { return static_cast<COLORREF>(SettingsManager::Instance().GetDrawColor()); };
    env.setDrawColor = [](COLORREF colour) { SettingsManager::Instance().SetDrawColor(colour); };
    env.lastSaveFolder = [] { return SettingsManager::Instance().GetScreenshotsLastSavePath(); };
    env.setLastSaveFolder = [](const std::wstring& folder) {
        SettingsManager::Instance().SetScreenshotsLastSavePath(folder);
    };
    env.imageTypeId = [] { return SettingsManager::Instance().GetImageTypeId(); };
    return env;
}
