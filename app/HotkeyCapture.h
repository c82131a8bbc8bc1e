#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "app/SettingsPageEnvironment.h"
#include "settings/HotkeyCombination.h"
#include "settings/HotkeySet.h"

// Runs the capture dialog modally; IDOK with the recorded keys, or another result.
using RunHotkeyDialog = std::function<INT_PTR(HotkeyCombination& keys)>;

// The capture dialog of the program (CHotkeysReaderDlg).
INT_PTR RunHotkeysReaderDlg(HotkeyCombination& keys);

// Applies a recorded combination to `slot` unless another slot uses it: the slot's
// setter stores it (and saves the set), the hotkey field `edit` shows it and the event
// ("Settings", action, its text) is sent; when another slot has it, the message box of
// string 168 captioned string 129, and nothing changes.
void ApplyHotkey(HWND edit, HotkeySlot slot, const HotkeyCombination& keys, const std::wstring& action,
                 const SettingsPageEnvironment& env);

// A hotkey field's click: the capture dialog, then ApplyHotkey when it ended with OK
// and recorded at least one key.
void CaptureHotkey(HWND edit, HotkeySlot slot, const std::wstring& action, const SettingsPageEnvironment& env,
                   const RunHotkeyDialog& runDialog);
