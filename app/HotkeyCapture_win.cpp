#include "app/HotkeyCapture.h"

#include "app/HotkeysManager.h"
#include "app/HotkeysReaderDlg.h"
#include "app/SettingsWindowLogic.h"
#include "foundation/StringTable.h"

namespace {

HotkeyCombination CurrentHotkey(HotkeySlot slot) {
    return HotkeysManager::GetHotkeys()[slot];
}

void StoreHotkey(HotkeySlot slot, const HotkeyCombination& keys) {
    switch (slot) {
    case HotkeySlot::FullScreenshot: HotkeysManager::SetFullScreenshotHotkey(keys); break;
    case HotkeySlot::RegionScreenshot: HotkeysManager::SetRegionScreenshotHotkey(keys); break;
    case HotkeySlot::ActiveWindowScreenshot: HotkeysManager::SetActiveWindowScreenshotHotkey(keys); break;
    case HotkeySlot::DrawModeActivation: HotkeysManager::SetDrawModeHotkey(keys); break;
    case HotkeySlot::VideoRecordingActivation: HotkeysManager::SetVideoRecordingHotkey(keys); break;
    default: break;   // the mouse slots and slot 5 are never recorded
    }
}

}  // namespace

INT_PTR RunHotkeysReaderDlg(HotkeyCombination& keys) {
    CHotkeysReaderDlg dialog;
    INT_PTR result = dialog.DoModal();
    keys = dialog.m_recording.keys;
    return result;
}

void ApplyHotkey(HWND edit, HotkeySlot slot, const HotkeyCombination& keys, const std::wstring& action,
                 const SettingsPageEnvironment& env) {
    StringTable& strings = StringTable::Instance();
    if (DecideHotkeyApply(keys, CurrentHotkey(slot), HotkeysManager::IsCombinationInUse(keys)) ==
        HotkeyApply::InUse) {
        if (env.messageBox) env.messageBox(GetParent(edit), strings.GetString(168), strings.GetString(129), MB_OK);
        return;
    }
    StoreHotkey(slot, keys);
    std::wstring text = HotkeyToText(keys);
    if (edit) SetWindowTextW(edit, text.c_str());
    if (env.postEvent) env.postEvent(L"Settings", action, text);
}

void CaptureHotkey(HWND edit, HotkeySlot slot, const std::wstring& action, const SettingsPageEnvironment& env,
                   const RunHotkeyDialog& runDialog) {
    HotkeyCombination keys;
    INT_PTR result = runDialog ? runDialog(keys) : RunHotkeysReaderDlg(keys);
    if (result == IDOK && !keys.empty()) ApplyHotkey(edit, slot, keys, action, env);
}
