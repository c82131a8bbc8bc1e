#include "app/HotkeysManager.h"

#include <array>
#include <atomic>
#include <mutex>
#include <thread>

#include "foundation/ShotTiming.h"
#include "foundation/Log.h"
#include "foundation/Sleep.h"
#include "settings/SettingsManager.h"

namespace {

// Built by static initialisers before main: eight empty combinations, do-nothing handlers.
HotkeySet g_hotkeys;
std::mutex g_hotkeysMutex;
std::array<HotkeysManager::Handler, kHotkeySlotCount> g_hotkeyHandlers;
std::atomic<bool> g_hotkeysRunning{false};
std::atomic<bool> g_hotkeyLatch{false};
std::atomic<bool> g_hotkeyHandlersEnabled{true};

constexpr int kPollIntervalMs = 10;

HotkeyCombination GetSlot(HotkeySlot slot) {
    std::lock_guard<std::mutex> lock(g_hotkeysMutex);
    return g_hotkeys[slot];
}

void SetSlotAndSave(HotkeySlot slot, const HotkeyCombination& combination) {
    std::lock_guard<std::mutex> lock(g_hotkeysMutex);
    g_hotkeys[slot] = combination;
    SettingsManager::Instance().SetHotkeys(g_hotkeys);
}

void PollLoop(KeyReadFunction readKey) noexcept {
    KeyPressReader keys(std::move(readKey));
    const KeyDownFunction isHeld = [&keys](int key) { return keys.IsHeld(key); };
    while (g_hotkeysRunning.load()) {
        SleepMilliseconds(kPollIntervalMs);
        try {
            keys.BeginPass();
            HotkeysManager::RunPollPass(isHeld);
        } catch (const std::exception& e) {
            Log("HotkeysManager: handler failed: %s\n", e.what());
        } catch (...) {
            Log("HotkeysManager: handler failed\n");
        }
    }
}

}  // namespace

namespace HotkeysManager {

bool StartWith(KeyReadFunction readKey) {
    if (g_hotkeysRunning.exchange(true)) return false;
    try {
        std::thread(&PollLoop, std::move(readKey)).detach();
    } catch (const std::exception& e) {
        Log("HotkeysManager: poller thread could not start: %s\n", e.what());
        g_hotkeysRunning = false;
        return false;
    }
    Log("HotkeysManager: poller started\n");
    return true;
}

void LoadCombinations(const HotkeySet& set) { g_hotkeys = set; }

HotkeyCombination GetFullScreenshotHotkey() { return GetSlot(HotkeySlot::FullScreenshot); }
HotkeyCombination GetRegionScreenshotHotkey() { return GetSlot(HotkeySlot::RegionScreenshot); }
HotkeyCombination GetActiveWindowScreenshotHotkey() { return GetSlot(HotkeySlot::ActiveWindowScreenshot); }
HotkeyCombination GetDrawModeHotkey() { return GetSlot(HotkeySlot::DrawModeActivation); }
HotkeyCombination GetVideoRecordingHotkey() { return GetSlot(HotkeySlot::VideoRecordingActivation); }

HotkeySet GetHotkeys() {
    std::lock_guard<std::mutex> lock(g_hotkeysMutex);
    return g_hotkeys;
}

void SetFullScreenshotHotkey(const HotkeyCombination& c) { SetSlotAndSave(HotkeySlot::FullScreenshot, c); }
void SetRegionScreenshotHotkey(const HotkeyCombination& c) { SetSlotAndSave(HotkeySlot::RegionScreenshot, c); }
void SetActiveWindowScreenshotHotkey(const HotkeyCombination& c) {
    SetSlotAndSave(HotkeySlot::ActiveWindowScreenshot, c);
}
void SetDrawModeHotkey(const HotkeyCombination& c) { SetSlotAndSave(HotkeySlot::DrawModeActivation, c); }
void SetVideoRecordingHotkey(const HotkeyCombination& c) { SetSlotAndSave(HotkeySlot::VideoRecordingActivation, c); }

void SetUseMouseForRegionScreenshot(bool on) {
    std::lock_guard<std::mutex> lock(g_hotkeysMutex);
    g_hotkeys[HotkeySlot::RegionScreenshotByMouse] = on ? MouseRegionCombination() : HotkeyCombination();
    SettingsManager::Instance().SetUseLRMouseForRegioScreenshot(on);
}

void SetUseMouseForVideoRecording(bool on) {
    std::lock_guard<std::mutex> lock(g_hotkeysMutex);
    g_hotkeys[HotkeySlot::VideoRecordingByMouse] = on ? MouseVideoCombination() : HotkeyCombination();
    SettingsManager::Instance().SetUseLRMouseForVideoRecording(on);
}

bool IsCombinationInUse(const HotkeyCombination& combination) {
    std::lock_guard<std::mutex> lock(g_hotkeysMutex);
    for (int i = 0; i < kHotkeySlotCount; ++i) {
        if (HotkeyCombinationsEqual(g_hotkeys[static_cast<HotkeySlot>(i)], combination)) return true;
    }
    return false;
}

void SetHandler(HotkeySlot slot, Handler handler) {
    int index = static_cast<int>(slot);
    if (index < 0 || index >= kHotkeySlotCount) return;
    std::lock_guard<std::mutex> lock(g_hotkeysMutex);
    g_hotkeyHandlers[index] = std::move(handler);
}

void EnableHandlers() {
    g_hotkeyHandlersEnabled.exchange(true);
    Log("HotkeysManager::EnableHandlers\n");
}

void DisableHandlers() {
    g_hotkeyHandlersEnabled.exchange(false);
    Log("HotkeysManager::DisableHandlers\n");
}

bool AreHandlersEnabled() { return g_hotkeyHandlersEnabled.load(); }

std::vector<HotkeySlot> GetPollCandidates(const HotkeySet&) {
    return {HotkeySlot::FullScreenshot,         HotkeySlot::RegionScreenshot,
            HotkeySlot::RegionScreenshotByMouse, HotkeySlot::ActiveWindowScreenshot,
            HotkeySlot::VideoRecordingActivation, HotkeySlot::VideoRecordingByMouse};
}

std::optional<HotkeySlot> FindPressedCombination(const HotkeySet& set, const std::vector<HotkeySlot>& candidates,
                                                 const KeyDownFunction& isKeyDown) {
    std::optional<HotkeySlot> found;
    size_t foundKeys = 0;
    for (HotkeySlot slot : candidates) {
        const HotkeyCombination& combination = set[slot];
        if (combination.empty()) continue;
        if (!IsHotkeyPressed(combination, isKeyDown)) continue;
        if (!found || combination.size() > foundKeys) {
            found = slot;
            foundKeys = combination.size();
        }
    }
    return found;
}

std::optional<HotkeySlot> PollPass(const HotkeySet& set, const KeyDownFunction& isKeyDown, bool handlersEnabled,
                                   bool& latch) {
    std::optional<HotkeySlot> pressed = FindPressedCombination(set, GetPollCandidates(set), isKeyDown);
    if (!pressed) {
        latch = false;
        return std::nullopt;
    }
    if (!handlersEnabled || latch) return std::nullopt;
    latch = true;
    return pressed;
}

std::optional<HotkeySlot> RunPollPass(const KeyDownFunction& isKeyDown) {
    HotkeySet set = GetHotkeys();
    bool latch = g_hotkeyLatch.load();
    std::optional<HotkeySlot> fired = PollPass(set, isKeyDown, g_hotkeyHandlersEnabled.load(), latch);
    g_hotkeyLatch.store(latch);
    if (!fired) return std::nullopt;
    ShotTiming::Begin();
    Log("Hotkey: %s\n", HotkeySlotName(*fired));
    Handler handler;
    {
        std::lock_guard<std::mutex> lock(g_hotkeysMutex);
        handler = g_hotkeyHandlers[static_cast<int>(*fired)];
    }
    if (handler) handler();
    return fired;
}

}  // namespace HotkeysManager
