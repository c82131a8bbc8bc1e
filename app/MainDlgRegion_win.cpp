// The main dialog's region screenshot: the frozen screen goes to the region editor and
// the editor's picture into the common screenshot routine.
#include <exception>

#include "app/EditorEnvironment.h"
#include "app/FlowHolds.h"
#include "app/MainDlg.h"
#include "app/ScreenshotCapture.h"
#include "app/ScreenshotFlow.h"
#include "editor/SelectRegionDlg.h"
#include "foundation/Log.h"
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

bool CtavimorerfDlg::RunRegionSelection(const PxImage& screen, std::wstring& name, PxImage& result, int& action,
                                        bool& failed) {
    RegionEditorRequest request;
    request.screen = &screen;
    request.defaultName = name;
    request.editorMode = SettingsManager::Instance().GetSelectAndDrawMode();
    // The events of the request (and the editor's opening) go once its first frame is up.
    request.onShown = [] { FlowHolds::ShotRequest().End(); };
    RegionEditorOutcome outcome = m_env.runRegionEditor ? m_env.runRegionEditor(request) : RunSelectRegionDialog(request);
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

bool CtavimorerfDlg::RunVideoRegionSelection(const PxImage& screen, RECT& rect) {
    RegionEditorRequest request;
    request.screen = &screen;
    request.video = true;
    RegionEditorOutcome outcome = m_env.runRegionEditor ? m_env.runRegionEditor(request) : RunSelectRegionDialog(request);
    if (outcome.result != IDOK) return false;
    rect = outcome.selectedRect;
    return true;
}

LRESULT CtavimorerfDlg::OnRegionScreenshot() {
    // The request's hold ends on every way out (the editor's first frame ends it earlier).
    QuietPeriod::SlotEnd requestEnd(FlowHolds::ShotRequest());
    if (m_captureBusy.exchange(true)) return 0;
    BusyGuard busy(m_captureBusy);
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
    if (failed) {
        m_env.postEvent(L"Screenshot", L"Failed", L"");
        Post(WM_APP_ERROR, ScreenshotFlow::kTextScreenshotFailed, 0);
    }
    return 0;
}
