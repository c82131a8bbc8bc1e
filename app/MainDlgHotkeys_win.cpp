#include "app/MainDlgHotkeys.h"

#include <memory>

#include "app/HotkeyHandlers.h"
#include "app/FlowHolds.h"
#include "app/HotkeysManager.h"
#include "app/MainDlgMessages.h"
#include "core/Cvx.h"
#include "core/FullScreenGameTracker.h"
#include "foundation/Log.h"
#include "server/Analytics.h"
#include "settings/SettingsManager.h"

namespace {

UINT MessageFor(HotkeyRequest request) {
    switch (request) {
    case HotkeyRequest::FullScreenshot: return WM_APP_FULL_SCREENSHOT;
    case HotkeyRequest::RegionScreenshot: return WM_APP_REGION_SCREENSHOT;
    case HotkeyRequest::WindowScreenshot: return WM_APP_WINDOW_SCREENSHOT;
    case HotkeyRequest::MakeVideo:
    case HotkeyRequest::MakeGameVideo: return WM_APP_MAKE_VIDEO;
    case HotkeyRequest::VideoStop: return WM_APP_VIDEO_STOP;
    }
    return WM_NULL;
}

bool IsForegroundOtherFullScreen() {
    HWND foreground = GetForegroundWindow();
    if (!foreground || !CvxIsWindowFullScreen(foreground)) return false;
    DWORD process = 0;
    GetWindowThreadProcessId(foreground, &process);
    return process != GetCurrentProcessId();
}

// A full-screen game is recorded whole: the virtual screen, or the game's window while
// it is still in front and full screen.
void PostGameVideo(HWND dialog, const FullScreenGameTracker* tracker) {
    auto* area = new RECT(CvxGetVirtualScreenRect());
    HWND foreground = GetForegroundWindow();
    RECT window;
    if (FullScreenGameTracker::IsFullScreenAppActive() && tracker->IsDisplayChangeRecent() && foreground &&
        CvxIsWindowFullScreen(foreground) && GetWindowRect(foreground, &window)) {
        *area = window;
    }
    // The receiver frees the rectangle; when the message cannot be posted it stays ours.
    if (!PostMessageW(dialog, WM_APP_MAKE_VIDEO, 1, reinterpret_cast<LPARAM>(area))) delete area;
}

}  // namespace

void InstallMainDialogHotkeyHandlers(HWND dialog, const std::atomic<bool>* captureBusy,
                                     const FullScreenGameTracker* tracker) {
    HotkeyHandlers::Environment env;
    env.isBusy = [captureBusy] { return captureBusy->load(); };
    env.isFullScreenAppActive = [] { return FullScreenGameTracker::IsFullScreenAppActive(); };
    env.isDisplayChangeRecent = [tracker] { return tracker->IsDisplayChangeRecent(); };
    env.silentMode = [] { return SettingsManager::Instance().GetSilentMode(); };
    env.storageType = [] { return SettingsManager::Instance().GetStorageType(); };
    env.videoSaveType = [] { return SettingsManager::Instance().GetVideoSaveType(); };
    env.tickCount = [] { return static_cast<uint32_t>(GetTickCount()); };
    env.postEvent = [](const std::wstring& category, const std::wstring& action, const std::wstring& label) {
        CvxAnalyticsPostEventAsync(-1, category, action, label);
    };
    env.send = [dialog](HotkeyRequest request) { SendMessageW(dialog, MessageFor(request), 0, 0); };
    env.post = [dialog, tracker](HotkeyRequest request) {
        if (request == HotkeyRequest::MakeGameVideo) {
            PostGameVideo(dialog, tracker);
        } else {
            // Held until the shot is taken or the editor has painted (the handler holds till here).
            if (request == HotkeyRequest::FullScreenshot || request == HotkeyRequest::RegionScreenshot) {
                FlowHolds::ShotRequest().Begin();
            }
            PostMessageW(dialog, MessageFor(request), 0, 0);
        }
    };
    env.activeWindowHotkey = [] { return HotkeysManager::GetActiveWindowScreenshotHotkey(); };
    env.isKeyDown = [](int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; };
    env.sleep = [](int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); };
    env.isForegroundOtherFullScreen = &IsForegroundOtherFullScreen;
    env.log = [](const char* line) { Log("%s", line); };

    // Shared by the six handlers; lives as long as any of them (the whole run).
    auto handlers = std::make_shared<HotkeyHandlers>(std::move(env));
    HotkeysManager::SetHandler(HotkeySlot::FullScreenshot, [handlers] { handlers->OnFullScreenshot(); });
    HotkeysManager::SetHandler(HotkeySlot::RegionScreenshot, [handlers] { handlers->OnRegionScreenshot(); });
    HotkeysManager::SetHandler(HotkeySlot::RegionScreenshotByMouse,
                               [handlers] { handlers->OnRegionScreenshotByMouse(); });
    HotkeysManager::SetHandler(HotkeySlot::VideoRecordingByMouse, [handlers] { handlers->OnVideoRecordingByMouse(); });
    HotkeysManager::SetHandler(HotkeySlot::ActiveWindowScreenshot,
                               [handlers] { handlers->OnActiveWindowScreenshot(); });
    HotkeysManager::SetHandler(HotkeySlot::VideoRecordingActivation, [handlers] { handlers->OnVideoRecording(); });
}
