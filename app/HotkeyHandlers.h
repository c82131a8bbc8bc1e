#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "settings/HotkeyCombination.h"

// What a hotkey handler asks of the main dialog.
enum class HotkeyRequest {
    FullScreenshot,     // WM_APP_FULL_SCREENSHOT
    RegionScreenshot,   // WM_APP_REGION_SCREENSHOT
    WindowScreenshot,   // WM_APP_WINDOW_SCREENSHOT
    MakeVideo,          // WM_APP_MAKE_VIDEO (0, 0)
    MakeGameVideo,      // WM_APP_MAKE_VIDEO (1, heap RECT of the game's area)
    VideoStop,          // WM_APP_VIDEO_STOP
};

// The main dialog's hotkey handlers (slots 0, 1, 2, 3, 6 and 7) as plain logic over what
// they read and do, so that their busy, game, silent-mode and debounce rules run in
// tests with a fake clock. They run on the hotkey poller thread only; the timestamps are
// touched by that thread alone.
class HotkeyHandlers {
public:
    struct Environment {
        std::function<bool()> isBusy;              // a region selection or a recording runs
        // A full-screen window of another process is in front.
        std::function<bool()> isFullScreenAppActive;
        // A display or device change was handled less than 10 s ago.
        std::function<bool()> isDisplayChangeRecent;
        std::function<bool()> silentMode;
        std::function<int()> storageType;
        std::function<int()> videoSaveType;
        std::function<uint32_t()> tickCount;       // 32-bit milliseconds, wrapping
        std::function<void(const std::wstring& category, const std::wstring& action, const std::wstring& label)>
            postEvent;
        // Sends the request and returns when the main dialog has handled it.
        std::function<void(HotkeyRequest)> send;
        // Posts the request.
        std::function<void(HotkeyRequest)> post;
        // The active-window slot's current combination.
        std::function<HotkeyCombination()> activeWindowHotkey;
        std::function<bool(int virtualKey)> isKeyDown;
        std::function<void(int milliseconds)> sleep;
        // The foreground window fills its monitor and belongs to another process.
        std::function<bool()> isForegroundOtherFullScreen;
        std::function<void(const char* line)> log;
    };

    explicit HotkeyHandlers(Environment env) : m_env(std::move(env)) {}

    void OnFullScreenshot();              // slot 0
    void OnRegionScreenshot();            // slot 1
    void OnRegionScreenshotByMouse();     // slot 2
    void OnActiveWindowScreenshot();      // slot 3
    void OnVideoRecording();              // slot 6
    void OnVideoRecordingByMouse();       // slot 7

    // Two firings closer than this (or as close) count as one.
    static constexpr uint32_t kDebounceMs = 200;

private:
    bool IsGame() const;
    std::wstring StorageLabelNow() const;
    // True when more than kDebounceMs passed since `last` (unsigned difference, so the
    // tick count's wrap after 49.7 days does not block the key).
    static bool DebounceElapsed(uint32_t now, uint32_t last) { return now - last > kDebounceMs; }

    Environment m_env;
    uint32_t m_lastFullScreenshot = 0;
    uint32_t m_lastActiveWindow = 0;
    uint32_t m_lastGameVideo = 0;
};
