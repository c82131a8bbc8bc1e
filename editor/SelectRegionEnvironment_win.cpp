#include "editor/SelectRegionEnvironment.h"

#include <utility>

#include "foundation/VirtualScreen.h"

namespace {

bool IsKeyDownNow(int key) {
    return (GetAsyncKeyState(key) & 0x8000) != 0;
}

}  // namespace

SelectRegionEnvironment SelectRegionEnvironment::Default() {
    SelectRegionEnvironment env;
    env.isKeyDown = IsKeyDownNow;
    env.readKey = [](int key) {
        SHORT state = GetAsyncKeyState(key);
        return KeyRead{(state & 0x8000) != 0, (state & 1) != 0};
    };
    env.virtualScreen = VirtualScreenRect;
    return env;
}

SelectRegionEnvironment SelectRegionEnvironment::WithFallbacks(SelectRegionEnvironment env) {
    if (!env.postEvent) env.postEvent = [](const std::wstring&, const std::wstring&, const std::wstring&) {};
    if (!env.isDrawModeHotkeyHeld) env.isDrawModeHotkeyHeld = [] { return false; };
    if (!env.isKeyDown) env.isKeyDown = IsKeyDownNow;
    if (!env.virtualScreen) env.virtualScreen = VirtualScreenRect;
    if (!env.drawColor) env.drawColor = [] { return RGB(255, 0, 0); };
    if (!env.setDrawColor) env.setDrawColor = [](COLORREF) {};
    if (!env.lastSaveFolder) env.lastSaveFolder = [] { return std::wstring(); };
    if (!env.setLastSaveFolder) env.setLastSaveFolder = [](const std::wstring&) {};
    if (!env.imageTypeId) env.imageTypeId = [] { return 0; };
    return env;
}
