#include "settings/HotkeyCombination.h"

#include "settings/HotkeyKeyNames.h"

bool IsHotkeyPressed(const HotkeyCombination& combination, const KeyDownFunction& isKeyDown) {
    if (combination.empty()) return false;
    bool allDown = true;
    for (int key : combination) {
        if (!isKeyDown(key)) allDown = false;
    }
    return allDown;
}

bool HotkeyCombinationsEqual(const HotkeyCombination& a, const HotkeyCombination& b) {
    return a == b;
}

std::wstring HotkeyToText(const HotkeyCombination& combination) {
    std::wstring text;
    for (size_t i = 0; i < combination.size(); ++i) {
        if (i > 0) text += L" + ";
        if (!IsKnownKey(combination[i])) break;
        text += GetKeyName(combination[i]);
    }
    return text;
}
