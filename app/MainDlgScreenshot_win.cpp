// The main dialog's full-screen and active-window screenshots and the routine that
// sends every finished shot where the storage setting says.
#include "app/FlowHolds.h"
#include "app/MainDlg.h"

#include "app/ScreenshotCapture.h"
#include "app/ScreenshotFlow.h"
#include "foundation/ShotTiming.h"
#include "foundation/Log.h"
#include "foundation/QuietPeriod.h"
#include "foundation/StringTable.h"
#include "settings/SettingsManager.h"

LRESULT CtavimorerfDlg::OnFullScreenshot() {
    // Neither tests nor sets m_captureBusy: it may run inside the region editor's or a
    // progress window's modal loop.
    ShotTiming::Mark("dispatch");
    QuietPeriod::Scope quiet;   // child processes start after the shot
    FlowHolds::ShotRequest().End();   // the request's hold: this scope takes over
    std::wstring name = MakeDefaultScreenshotName();
    PxImage screen;
    RECT area;
    if (!CaptureScreen(screen, SettingsManager::Instance().GetNeedCaptureCursor(), area)) {
        m_env.postEvent(L"Screenshot", L"Failed", L"");
        Post(WM_APP_ERROR, ScreenshotFlow::kTextScreenshotFailed, 0);
        return 0;
    }
    ProcessScreenshot(false, screen, name, ScreenshotFlow::kActionNone);
    return 0;
}

LRESULT CtavimorerfDlg::OnActiveWindowScreenshot() {
    // Before anything else: the capture must not change what is in front.
    HWND window = GetForegroundWindow();
    ShotTiming::Mark("dispatch");
    QuietPeriod::Scope quiet;   // child processes start after the shot
    std::wstring name = MakeDefaultScreenshotName();
    PxImage screen;
    RECT area;
    PxImage cropped;
    if (!CaptureScreen(screen, SettingsManager::Instance().GetNeedCaptureCursor(), area) ||
        !CropToWindow(screen, area, window, cropped)) {
        // No window in front, or none of it on the screen: a failed shot, not an empty file.
        m_env.postEvent(L"Screenshot", L"Failed", L"");
        Post(WM_APP_ERROR, ScreenshotFlow::kTextScreenshotFailed, 0);
        return 0;
    }
    ProcessScreenshot(false, cropped, name, ScreenshotFlow::kActionNone);
    return 0;
}

bool CtavimorerfDlg::ProcessScreenshot(bool fromEditor, PxImage& image, const std::wstring& name, int action) {
    SettingsManager& settings = SettingsManager::Instance();
    ScreenshotFlow::Actions actions;
    actions.storageType = [&settings] { return settings.GetStorageType(); };
    actions.imageTypeId = [&settings] { return settings.GetImageTypeId(); };
    actions.screenshotsFolder = [&settings] { return settings.GetScreenshotsSavePath(); };
    actions.appTmpFolder = [this] { return m_env.appTmpFolder; };
    actions.uploadRunning = [this] { return m_uploadHandler != nullptr; };
    actions.playSound = [] { PlayScreenshotSound(); };
    actions.directoryExists = [](const std::wstring& folder) {
        DWORD attributes = GetFileAttributesW(folder.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    };
    actions.createDirectory = [](const std::wstring& folder) { return EnsureSaveFolder(folder); };
    actions.fileExists = [](const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; };
    actions.writeImage = [&image, &settings](const std::wstring& path, uint32_t format) {
        ShotTiming::Mark("prepare");
        bool written = WriteScreenshotImage(image, path, format, settings.GetJpegQuality());
        ShotTiming::Mark("save");
        return written;
    };
    actions.copyToClipboard = [this, &image] {
        bool copied = PutImageOnClipboard(m_hWnd, image);
        ShotTiming::Mark("clipboard");
        if (!copied) return false;
        ShowNotification(L"", StringTable::Instance().GetString(141), false);
        return true;
    };
    actions.startUpload = [this](const std::wstring& savedPath) { return StartScreenshotUpload(savedPath); };
    actions.postEvent = m_env.postEvent;
    actions.postError = [this](unsigned id) { Post(WM_APP_ERROR, id, 0); };
    actions.notify = [this](unsigned id) { Post(WM_APP_INFO, id, 0); };
    bool delivered = ScreenshotFlow(std::move(actions)).Process(fromEditor, name, action);
    ShotTiming::Finish();
    return delivered;
}
