#include "app/HotkeyHandlers.h"

#include <algorithm>

#include "app/CaptureLabels.h"
#include "foundation/QuietPeriod.h"

namespace {
constexpr int kPrintScreen = 44;
constexpr int kPrintScreenWaitMs = 10;
}  // namespace

bool HotkeyHandlers::IsGame() const { return m_env.isFullScreenAppActive() && m_env.isDisplayChangeRecent(); }

std::wstring HotkeyHandlers::StorageLabelNow() const { return StorageLabel(m_env.storageType()); }

void HotkeyHandlers::OnFullScreenshot() {
    if (m_env.isBusy()) return;
    uint32_t now = m_env.tickCount();
    if (!DebounceElapsed(now, m_lastFullScreenshot)) return;
    // The event's curl.exe starts once the file is written.
    QuietPeriod::Scope quiet;
    m_env.postEvent(L"Screenshot.Fullscreen", L"Launch on Hotkey", StorageLabelNow());
    m_env.send(HotkeyRequest::FullScreenshot);
    m_lastFullScreenshot = now;
}

void HotkeyHandlers::OnRegionScreenshot() {
    if (m_env.isBusy()) return;
    // The event's curl.exe starts once the shot is taken or the editor shows; the request
    // carries the hold on from here.
    QuietPeriod::Scope quiet;
    if (IsGame()) {
        // The region editor would cover a full-screen game: take the whole screen quietly.
        m_env.postEvent(L"Screenshot.Region.Silent", L"Launch on Hotkey", StorageLabelNow());
        m_env.post(HotkeyRequest::FullScreenshot);
        return;
    }
    m_env.postEvent(L"Screenshot.Region", L"Launch on Hotkey", StorageLabelNow());
    m_env.post(HotkeyRequest::RegionScreenshot);
}

void HotkeyHandlers::OnRegionScreenshotByMouse() {
    if (m_env.isBusy() || m_env.silentMode() || IsGame()) return;
    QuietPeriod::Scope quiet;
    m_env.postEvent(L"Screenshot.Region", L"Launch on Mouse", StorageLabelNow());
    m_env.post(HotkeyRequest::RegionScreenshot);
}

void HotkeyHandlers::OnActiveWindowScreenshot() {
    if (m_env.isBusy()) return;
    // The event's curl.exe starts once the file is written.
    QuietPeriod::Scope quiet;
    m_env.postEvent(L"Screenshot.Window", L"Launch on Hotkey", StorageLabelNow());
    uint32_t now = m_env.tickCount();
    if (!DebounceElapsed(now, m_lastActiveWindow)) return;
    // A held PrintScreen would land in the shot's window (some programs react to it):
    // wait for its release first.
    HotkeyCombination combination = m_env.activeWindowHotkey();
    if (std::find(combination.begin(), combination.end(), kPrintScreen) != combination.end()) {
        while (m_env.isKeyDown(kPrintScreen)) m_env.sleep(kPrintScreenWaitMs);
    }
    m_env.send(HotkeyRequest::WindowScreenshot);
    m_lastActiveWindow = now;
}

void HotkeyHandlers::OnVideoRecording() {
    bool game = false;
    if (m_env.isForegroundOtherFullScreen()) {
        m_env.log("FullScreenGameTracker: Fullscreen app detected\n");
        game = m_env.isDisplayChangeRecent();
    }
    if (game) {
        uint32_t now = m_env.tickCount();
        if (!DebounceElapsed(now, m_lastGameVideo)) return;
        m_lastGameVideo = now;
        m_env.post(m_env.isBusy() ? HotkeyRequest::VideoStop : HotkeyRequest::MakeGameVideo);
        return;
    }
    if (m_env.isBusy()) {
        m_env.post(HotkeyRequest::VideoStop);
        return;
    }
    m_env.postEvent(L"Video", L"Launch on Hotkey", VideoLabel(m_env.videoSaveType()));
    m_env.post(HotkeyRequest::MakeVideo);
}

void HotkeyHandlers::OnVideoRecordingByMouse() {
    if (m_env.isBusy() || m_env.silentMode() || IsGame()) return;
    m_env.postEvent(L"Video", L"Launch on Mouse", VideoLabel(m_env.videoSaveType()));
    m_env.post(HotkeyRequest::MakeVideo);
}
