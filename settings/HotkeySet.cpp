#include "settings/HotkeySet.h"

const char* HotkeySlotName(HotkeySlot slot) {
    static const char* const kNames[kHotkeySlotCount] = {
        "FullScreenshot",         "RegionScreenshot",   "RegionScreenshotByMouse",
        "ActiveWindowScreenshot", "DrawModeActivation", "VideoModeActivation",
        "VideoRecordingActivation", "VideoRecordingByMouse"};
    int index = static_cast<int>(slot);
    return index >= 0 && index < kHotkeySlotCount ? kNames[index] : "";
}

HotkeyCombination MouseRegionCombination() { return {1, 2}; }

HotkeyCombination MouseVideoCombination() { return {17, 16, 1, 2}; }
