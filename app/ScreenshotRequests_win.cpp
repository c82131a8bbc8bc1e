#include "app/ScreenshotRequests.h"

#include <exception>
#include <memory>

#include "app/EditorEnvironment.h"
#include "app/FlowHolds.h"
#include "app/MainDlgMessages.h"
#include "app/ScreenshotCapture.h"
#include "app/ScreenshotFlow.h"
#include "app/UploadCenter.h"
#include "classlib/Wnd.h"
#include "editor/SelectRegionDlg.h"
#include "foundation/Log.h"
#include "foundation/QuietPeriod.h"
#include "foundation/ShotTiming.h"
#include "foundation/StringTable.h"
#include "settings/SettingsManager.h"

namespace {

// Clears the capture-busy flag on every way out of the region handler.
class BusyGuard {
public:
    explicit BusyGuard(std::atomic<bool>& flag) : m_flag(flag) {}
    ~BusyGuard() { m_flag.exchange(false); }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    std::atomic<bool>& m_flag;
};

}  // namespace

RegionEditorOutcome RunSelectRegionDialog(const RegionEditorRequest& request) {
    RegionEditorOutcome outcome;
    outcome.result = kRegionEditorFailed;
    try {
        SelectRegionEnvironment env = MakeEditorEnvironment();
        env.onFirstPaint = request.onShown;
        std::unique_ptr<CSelectRegionDlg> dialog(new CSelectRegionDlg(
            *request.screen, request.video ? std::wstring() : request.defaultName,
            request.video ? false : request.editorMode, nullptr, std::move(env)));
        if (request.video) dialog->m_mode = kModeVideo;
        INT_PTR result = dialog->DoModal();
        if (result == IDOK) {
            outcome.image.Transfer(dialog->m_resultImage);
            outcome.mode = dialog->m_mode;
            outcome.action = dialog->m_action;
            outcome.savePath = dialog->m_savePath;
            outcome.selectedRect = dialog->m_selectedRect;
            outcome.result = IDOK;
        } else if (result == IDCANCEL) {
            outcome.result = IDCANCEL;
        } else {
            Log("RunSelectRegionDialog: the editor ended with %d\n", static_cast<int>(result));
        }
    } catch (const std::exception& e) {
        Log("RunSelectRegionDialog: %s\n", e.what());
    } catch (...) {
        Log("RunSelectRegionDialog: unknown exception\n");
    }
    return outcome;
}

ScreenshotRequests::ScreenshotRequests(Host host) : m_host(std::move(host)) {}

bool ScreenshotRequests::HandleMessage(UINT msg) {
    switch (msg) {
    case WM_APP_FULL_SCREENSHOT: OnFullScreenshot(); return true;
    case WM_APP_WINDOW_SCREENSHOT: OnActiveWindowScreenshot(); return true;
    case WM_APP_REGION_SCREENSHOT: OnRegionScreenshot(); return true;
    default: return false;
    }
}

void ScreenshotRequests::ReportFailure() {
    m_host.postEvent(L"Screenshot", L"Failed", L"");
    m_host.window->Post(WM_APP_ERROR, ScreenshotFlow::kTextScreenshotFailed, 0);
}

RegionEditorOutcome ScreenshotRequests::RunEditor(const RegionEditorRequest& request) {
    return m_host.runRegionEditor ? m_host.runRegionEditor(request) : RunSelectRegionDialog(request);
}

void ScreenshotRequests::OnFullScreenshot() {
    // Neither tests nor sets the capture-busy flag: it may run inside the region editor's or a
    // progress window's modal loop.
    ShotTiming::Mark("dispatch");
    QuietPeriod::Scope quiet;   // child processes start after the shot
    FlowHolds::ShotRequest().End();   // the request's hold: this scope takes over
    std::wstring name = MakeDefaultScreenshotName();
    PxImage screen;
    RECT area;
    if (!CaptureScreen(screen, SettingsManager::Instance().GetNeedCaptureCursor(), area)) {
        ReportFailure();
        return;
    }
    ProcessScreenshot(false, screen, name, ScreenshotFlow::kActionNone);
}

void ScreenshotRequests::OnActiveWindowScreenshot() {
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
        ReportFailure();
        return;
    }
    ProcessScreenshot(false, cropped, name, ScreenshotFlow::kActionNone);
}

bool ScreenshotRequests::ProcessScreenshot(bool fromEditor, PxImage& image, const std::wstring& name, int action) {
    SettingsManager& settings = SettingsManager::Instance();
    ScreenshotFlow::Actions actions;
    actions.storageType = [&settings] { return settings.GetStorageType(); };
    actions.imageTypeId = [&settings] { return settings.GetImageTypeId(); };
    actions.screenshotsFolder = [&settings] { return settings.GetScreenshotsSavePath(); };
    actions.appTmpFolder = [this] { return m_host.appTmpFolder; };
    actions.uploadRunning = [this] { return m_host.uploads->Running(); };
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
        bool copied = PutImageOnClipboard(m_host.window->m_hWnd, image);
        ShotTiming::Mark("clipboard");
        if (!copied) return false;
        m_host.notify(L"", StringTable::Instance().GetString(141), false);
        return true;
    };
    actions.startUpload = [this](const std::wstring& savedPath) { return m_host.uploads->StartScreenshotUpload(savedPath); };
    actions.postEvent = m_host.postEvent;
    actions.postError = [this](unsigned id) { m_host.window->Post(WM_APP_ERROR, id, 0); };
    actions.notify = [this](unsigned id) { m_host.window->Post(WM_APP_INFO, id, 0); };
    bool delivered = ScreenshotFlow(std::move(actions)).Process(fromEditor, name, action);
    ShotTiming::Finish();
    return delivered;
}

bool ScreenshotRequests::RunRegionSelection(const PxImage& screen, std::wstring& name, PxImage& result, int& action,
                                        bool& failed) {
    RegionEditorRequest request;
    request.screen = &screen;
    request.defaultName = name;
    request.editorMode = SettingsManager::Instance().GetSelectAndDrawMode();
    // The events of the request (and the editor's opening) go once its first frame is up.
    request.onShown = [] { FlowHolds::ShotRequest().End(); };
    RegionEditorOutcome outcome = RunEditor(request);
    failed = outcome.result != IDOK && outcome.result != IDCANCEL;
    if (outcome.result != IDOK) return false;
    result.Transfer(outcome.image);
    action = ScreenshotFlow::kActionNone;
    if (outcome.mode & kModeEditor) {
        action = outcome.action;
        if (action == ScreenshotFlow::kActionFile) name = outcome.savePath;
    }
    return true;
}

bool ScreenshotRequests::RunVideoRegionSelection(const PxImage& screen, RECT& rect) {
    RegionEditorRequest request;
    request.screen = &screen;
    request.video = true;
    RegionEditorOutcome outcome = RunEditor(request);
    if (outcome.result != IDOK) return false;
    rect = outcome.selectedRect;
    return true;
}

void ScreenshotRequests::OnRegionScreenshot() {
    // The request's hold ends on every way out (the editor's first frame ends it earlier).
    QuietPeriod::SlotEnd requestEnd(FlowHolds::ShotRequest());
    if (m_host.captureBusy->exchange(true)) return;
    BusyGuard busy(*m_host.captureBusy);
    bool failed = false;
    try {
        std::wstring name = MakeDefaultScreenshotName();
        PxImage result;
        int action = ScreenshotFlow::kActionNone;
        {
            PxImage screen;
            RECT area;
            if (!CaptureScreen(screen, SettingsManager::Instance().GetNeedCaptureCursor(), area)) {
                Log("CtavimorerfDlg::OnRegionScreenshot: no screen image\n");
                failed = true;
            } else if (!RunRegionSelection(screen, name, result, action, failed)) {
                // Cancelled (nothing more), or the editor failed (reported below).
            } else {
                // The frozen screen is freed before the picture is written.
                screen.Destroy();
                ProcessScreenshot(true, result, name, action);
            }
        }
    } catch (const std::exception& e) {
        Log("CtavimorerfDlg::OnRegionScreenshot: %s\n", e.what());
        failed = true;
    } catch (...) {
        Log("CtavimorerfDlg::OnRegionScreenshot: unknown exception\n");
        failed = true;
    }
    if (failed) ReportFailure();
}
