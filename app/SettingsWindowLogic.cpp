#include "app/SettingsWindowLogic.h"

#include <algorithm>

#include "settings/HotkeyKeyNames.h"

namespace {

constexpr int kBackspace = 8;
constexpr int kTab = 9;
constexpr int kEnter = 13;
constexpr int kPrintScreen = 44;
constexpr int kDelete = 46;

bool Contains(const HotkeyCombination& keys, int key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

void Append(HotkeyRecording& recording, int key, const std::wstring& name) {
    recording.text += recording.text.empty() ? name : L" + " + name;
    recording.keys.push_back(key);
}

}  // namespace

RecordStep RecordHotkeyMessage(unsigned message, int key, HotkeyRecording& recording) {
    RecordStep step;
    bool down = message == KeyMessage::kKeyDown || message == KeyMessage::kSysKeyDown;
    bool up = message == KeyMessage::kKeyUp || message == KeyMessage::kSysKeyUp;
    if (down && IsKnownKey(key)) {
        if (key == kBackspace || key == kDelete) {
            recording.keys.clear();
            recording.text.clear();
            step.consumed = true;
            step.changed = true;
        } else if (key == kEnter || key == kTab) {
            // The dialog's own keys: Enter presses OK.
        } else if (Contains(recording.keys, key)) {
            step.consumed = true;   // auto-repeat of a held key
        } else {
            Append(recording, key, GetKeyName(key));
            step.consumed = true;
            step.changed = true;
        }
    } else if (up && key == kPrintScreen) {
        // PrintScreen sends no key-down; its key-up is recorded and still handled.
        if (!Contains(recording.keys, key)) {
            Append(recording, key, L"PrtScr");
            step.changed = true;
        }
    }
    return step;
}

HotkeyApply DecideHotkeyApply(const HotkeyCombination& recorded, const HotkeyCombination& current,
                              bool inUseSomewhere) {
    if (inUseSomewhere && !HotkeyCombinationsEqual(recorded, current)) return HotkeyApply::InUse;
    return HotkeyApply::Apply;
}

bool SwitchHit(int x, int y, int left, int top, int width, int height) {
    return x > left && y > top && x < left + width && y < top + height;
}

OkFolderDecision DecideOkFolder(bool keepLocally, int createResult, bool isDirectory) {
    if (!keepLocally) return OkFolderDecision::Hide;
    constexpr int kCreated = 0, kFileExists = 80, kAlreadyExists = 183;
    bool created = createResult == kCreated || createResult == kFileExists || createResult == kAlreadyExists;
    return created && isDirectory ? OkFolderDecision::Hide : OkFolderDecision::Warn;
}

std::wstring SetOrUnset(bool on, const std::wstring& name) {
    return (on ? L"Set " : L"Unset ") + name;
}
