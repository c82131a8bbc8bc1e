#include <windows.h>

#include "settings/HotkeyCombination.h"

bool IsHotkeyPressed(const HotkeyCombination& combination) {
    return IsHotkeyPressed(combination, [](int key) {
        return (GetAsyncKeyState(key) & 0x8000) != 0;
    });
}
