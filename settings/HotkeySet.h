#pragma once
#include <array>

#include "settings/HotkeyCombination.h"

// Slot of a combination inside a HotkeySet. The values are stored positions: never
// reorder them. The names are what the poller writes to the log.
enum class HotkeySlot {
    FullScreenshot = 0,
    RegionScreenshot = 1,
    RegionScreenshotByMouse = 2,   // derived from an option, never recorded
    ActiveWindowScreenshot = 3,
    DrawModeActivation = 4,
    VideoModeActivation = 5,       // loaded and saved only
    VideoRecordingActivation = 6,
    VideoRecordingByMouse = 7,     // derived from an option, never recorded
};

constexpr int kHotkeySlotCount = 8;

// "FullScreenshot", "RegionScreenshot", ...; "" for a value outside the eight slots.
const char* HotkeySlotName(HotkeySlot slot);

// The two-button gestures that the mouse slots hold while their option is on.
HotkeyCombination MouseRegionCombination();   // {1, 2}
HotkeyCombination MouseVideoCombination();    // {17, 16, 1, 2}

// Exactly eight combinations in slot order; a plain value (whoever shares one between
// threads guards it).
class HotkeySet {
public:
    HotkeyCombination& operator[](HotkeySlot slot) { return m_slots[static_cast<int>(slot)]; }
    const HotkeyCombination& operator[](HotkeySlot slot) const {
        return m_slots[static_cast<int>(slot)];
    }
    bool operator==(const HotkeySet& other) const { return m_slots == other.m_slots; }
    bool operator!=(const HotkeySet& other) const { return !(*this == other); }

private:
    std::array<HotkeyCombination, kHotkeySlotCount> m_slots;
};
