#include "app/RecordingController.h"

#include <exception>
#include <thread>

#include "app/CoreVideoRecorder_win.h"
#include "app/HotkeysManager.h"
#include "app/MainDlgMessages.h"
#include "app/PopupPlacement.h"
#include "app/ProgressDlg.h"
#include "app/ScreenshotCapture.h"
#include "app/VideoCaptureWindows.h"
#include "app/VideoRecordingRules.h"
#include "app/WindowSessionPoster_win.h"
#include "classlib/Wnd.h"
#include "core/Cvx.h"
#include "core/FullScreenGameTracker.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "foundation/StringTable.h"
#include "resources/resource.h"
#include "settings/HotkeyCombination.h"
#include "settings/SettingsManager.h"

namespace {

constexpr unsigned kVideoSavedString = 182;
constexpr unsigned kErrorCaptionString = 185;
constexpr unsigned kWarningCaptionString = 162;
constexpr unsigned kFullscreenHotkeyHintString = 186;
constexpr unsigned kResolutionChangedString = 199;
constexpr UINT kHideProgressDelayMs = 1000;

PopupRect ToPopupRect(const RECT& r) {
    return {static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right), static_cast<int>(r.bottom)};
}

// Places the control panel next to the recorded area, inside the virtual screen.
class Layouter : public ILayoutManager {
public:
    Layouter(RECT area, RECT bounds) : m_area(area), m_bounds(bounds) {}
    POINT GetPosition(HWND popup) override {
        SIZE size = Size(popup);
        PopupPoint p = PlacePopupNearRect(size.cx, size.cy, ToPopupRect(m_area), ToPopupRect(m_bounds));
        return {p.x, p.y};
    }
    float GetOpacity(HWND popup) override {
        SIZE size = Size(popup);
        return PopupOpacityNearRect(size.cx, size.cy, ToPopupRect(m_area), ToPopupRect(m_bounds));
    }

private:
    static SIZE Size(HWND popup) {
        RECT r = {};
        GetWindowRect(popup, &r);
        return {r.right - r.left, r.bottom - r.top};
    }
    RECT m_area;
    RECT m_bounds;
};

template <typename T>
void DestroyAndDelete(T*& window) {
    if (!window) return;
    if (window->m_hWnd) {
        ::ShowWindow(window->m_hWnd, SW_HIDE);
        window->DestroyWindow();
    }
    delete window;
    window = nullptr;
}

}  // namespace

RecordingController::RecordingController(Services services) : m_services(std::move(services)) {}

RecordingController::~RecordingController() { CloseCaptureWindows(); }

bool RecordingController::HasLiveRecording() const {
    return m_control && !m_control->cancel.load() && !m_control->done.load();
}

void RecordingController::ThreadStarted() {
    std::lock_guard<std::mutex> lock(m_threadsLock);
    ++m_threads;
    m_active.store(true);
}

void RecordingController::ThreadEnded() {
    std::lock_guard<std::mutex> lock(m_threadsLock);
    if (--m_threads <= 0) {
        m_threads = 0;
        m_active.store(false);
    }
}

void RecordingController::MakeVideo(bool fromGameHotkey, std::unique_ptr<RECT> given) {
    // The trace lines of the steps below keep the handler's old name "OnMakeGIF": log
    // readers and the video scenarios look for them by it.
    Log("CtavimorerfDlg::OnMakeGIF\n");
    std::atomic<bool>& busy = *m_services.captureBusy;
    if (busy.exchange(true)) return;
    try {
        Log("CtavimorerfDlg::OnMakeGIF: m_videoCaptureArea == %p\n", static_cast<void*>(m_captureArea));
        DestroyAndDelete(m_captureArea);
        Log("CtavimorerfDlg::OnMakeGIF: m_videoCaptureControlDlg == %p\n", static_cast<void*>(m_controlPanel));
        DestroyAndDelete(m_controlPanel);

        const bool game = FullScreenGameTracker::IsFullScreenAppActive() || m_services.tracker->IsDisplayChangeRecent();
        const bool gameVideo = CvxIsWindowFullScreen(::GetForegroundWindow()) || game;

        RECT selection = {};
        if (given) {
            selection = *given;
            given.reset();
        } else {
            Log("CtavimorerfDlg::OnMakeGIF:: Taking region\n");
            if (!m_services.selectArea(selection)) {
                busy.store(false);
                return;
            }
            Log("CtavimorerfDlg::OnMakeGIF:: Got region\n");
        }

        // A new control block: the previous recording (cancelled or restarted) may still
        // be closing its file with its own flags.
        std::shared_ptr<RecordingControl> previous = m_control;
        if (previous && previous->done.load()) previous.reset();
        m_control = std::make_shared<RecordingControl>();

        SettingsManager& settings = SettingsManager::Instance();
        const bool local = settings.GetVideoSaveType() == 1;
        if (local) {
            const std::wstring folder = settings.GetVideoSavePath();
            // A folder that cannot be made is left to the recorder, which then fails
            // and reports it.
            EnsureSaveFolder(folder);
            m_videoPath = MakeLocalVideoPath(folder, MakeVideoFileName(), m_services.fileExists);
        } else {
            m_videoPath = MakeUploadVideoPath(m_services.appTmpFolder);
        }

        m_services.showRecordingIcon(true);

        const RECT screenRect = CvxGetVirtualScreenRect();
        const CvxRect adjusted =
            AdjustVideoArea({selection.left, selection.top, selection.right, selection.bottom},
                            {screenRect.left, screenRect.top, screenRect.right, screenRect.bottom});
        const RECT area = {adjusted.left, adjusted.top, adjusted.right, adjusted.bottom};

        std::unique_ptr<VideoRecordingJob> job(new VideoRecordingJob());
        job->recordSound = settings.GetNeedCaptureAudio();
        job->recordMicrophone = settings.GetNeedCaptureMic();
        const bool showPanel = settings.GetShowVideoControlPanel();

        if (!fromGameHotkey) {
            m_captureArea = new CVideoCaptureAreaDialog(area);
            if (!m_captureArea->Create(m_services.window)) Log("CtavimorerfDlg::OnMakeVideo: no frame window\n");
            if (showPanel) {
                m_controlPanel = new CVideoCaptureControlDlg(new Layouter(area, screenRect), m_services.window);
                if (!m_controlPanel->Create(m_services.window)) Log("CtavimorerfDlg::OnMakeVideo: no control panel\n");
            }
        }

        job->quality = settings.GetVideoQualityLevel();
        job->localLimitMinutes = 240;
        job->uploadLimitMinutes = 30;
        job->osVersion = CvxGetOsVersionString();
        job->game = game;
        job->gameVideo = gameVideo;
        job->area = adjusted;
        job->mainWindow = reinterpret_cast<uintptr_t>(m_services.window->m_hWnd);
        job->panelWindow = m_controlPanel ? reinterpret_cast<uintptr_t>(m_controlPanel->m_hWnd) : 0;
        job->local = local;
        job->shortAppId = settings.GetShortAppId();
        job->productVersion = SettingsManager::GetProductVersion();
        job->videoPath = m_videoPath;
        job->control = m_control;
        job->previous = previous;

        std::unique_ptr<IVideoRecorder> recorder =
            m_services.makeVideoRecorder ? m_services.makeVideoRecorder() : MakeCoreVideoRecorder();
        auto poster = std::make_shared<WindowSessionPoster>(m_services.window->m_hWnd,
                                                            reinterpret_cast<HWND>(job->panelWindow),
                                                            m_services.postEvent, [this] { ThreadEnded(); });
        ThreadStarted();
        std::thread([job = std::move(job), recorder = std::move(recorder), poster]() mutable {
            try {
                SteadySessionClock clock;
                RecordVideoSession(*job, *recorder, clock, *poster);
            } catch (const std::exception& e) {
                Log("RecordVideoSession: %s\n", e.what());
                job->control->done.store(true);
                poster->Ended();
            } catch (...) {
                Log("RecordVideoSession: unknown exception\n");
                job->control->done.store(true);
                poster->Ended();
            }
        }).detach();
    } catch (const std::exception& e) {
        Log("CtavimorerfDlg::OnMakeVideo: %s\n", e.what());
        busy.store(false);
        m_services.showRecordingIcon(false);
    }
}

bool RecordingController::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_APP_MAKE_VIDEO: {
        // Only the game hotkey hands over a rectangle (wParam 1); it is freed on every path.
        std::unique_ptr<RECT> given(wParam == 1 ? reinterpret_cast<RECT*>(lParam) : nullptr);
        MakeVideo(wParam == 1, std::move(given));
        return true;
    }
    case WM_APP_VIDEO_CANCEL: Cancel(); return true;
    case WM_APP_VIDEO_PAUSE: Pause(wParam != 0); return true;
    case WM_APP_VIDEO_STOP: Stop(); return true;
    case WM_APP_VIDEO_UNDO: Undo(); return true;
    case WM_APP_CLOSE_CAPTURE_WINDOWS: CloseCaptureWindows(); return true;
    case WM_APP_SHOW_PROGRESS: ShowProgress(static_cast<unsigned>(wParam)); return true;
    case WM_APP_HIDE_PROGRESS: HideProgress(); return true;
    case WM_APP_VIDEO_RECORDED: Recorded(wParam == 1, lParam == 1); return true;
    case WM_APP_VIDEO_FAILED: Failed(static_cast<unsigned>(wParam)); return true;
    case WM_APP_FULLSCREEN_APP_ON: Log("WM_APP_FULLSCREEN_APP_ON\n"); return true;
    case WM_APP_FULLSCREEN_APP_OFF: Log("WM_APP_FULLSCREEN_APP_OFF\n"); return true;
    case WM_APP_VIDEO_BROKEN_BY_FULLSCREEN: BrokenByFullscreenApp(wParam != 0); return true;
    default: return false;
    }
}

void RecordingController::Cancel() {
    if (!HasLiveRecording()) return;
    m_control->cancel.store(true);
    m_services.captureBusy->store(false);
    m_services.showRecordingIcon(false);
}

void RecordingController::Pause(bool pause) {
    if (HasLiveRecording()) m_control->pause.store(pause);
}

void RecordingController::Stop() {
    if (HasLiveRecording()) m_control->stop.store(true);
}

void RecordingController::Undo() {
    if (!HasLiveRecording()) return;
    Cancel();
    m_services.window->Post(WM_APP_MAKE_VIDEO, 0, 0);
    m_services.postEvent(L"Video", L"Undo", L"");
}

void RecordingController::CloseCaptureWindows() {
    DestroyAndDelete(m_captureArea);
    DestroyAndDelete(m_controlPanel);
}

void RecordingController::ShowProgress(unsigned stringId) {
    if (SettingsManager::Instance().GetSilentMode() || m_progressDlg) return;
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SIZE size = GetDialogTemplateSize(IDD_PROGRESS);
    POINT position = {work.right - size.cx - 4, work.bottom - size.cy};
    auto dialog = std::make_shared<CProgressDlg>(position, Text(stringId), nullptr, true, false);
    m_progressDlg = dialog;
    dialog->DoModal();
    if (m_progressDlg == dialog) m_progressDlg.reset();
}

void RecordingController::HideProgress() {
    if (SettingsManager::Instance().GetSilentMode()) return;
    // The window stays a second (without holding up the UI thread), then ends.
    if (m_progressDlg) m_progressDlg->FinishAfter(IDOK, kHideProgressDelayMs);
}

void RecordingController::Recorded(bool recorded, bool local) {
    m_services.showRecordingIcon(false);
    // Where the file went was decided when the recording started (the job's flag).
    if (local) {
        m_services.window->Post(WM_APP_INFO, kVideoSavedString, 0);
    } else {
        std::wstring path = m_videoPath;
        m_services.uploadRecording(recorded, path);
    }
    m_services.captureBusy->store(false);
}

void RecordingController::Failed(unsigned stringId) {
    m_services.captureBusy->store(false);
    m_services.showRecordingIcon(false);
    MessageBoxW(m_services.window->m_hWnd, Text(stringId).c_str(), Text(kErrorCaptionString).c_str(), MB_ICONERROR);
}

void RecordingController::BrokenByFullscreenApp(bool resolutionChanged) {
    const HWND window = m_services.window->m_hWnd;
    Log("OnVideoRecordingBreakedByFullscreenApp\n");
    SendMessageW(window, WM_APP_SHOW_SETTINGS, 0, 0);
    ::SetForegroundWindow(window);
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    ::SetWindowPos(window, HWND_TOPMOST, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_SHOWWINDOW);
    std::wstring text = resolutionChanged ? Text(kResolutionChangedString)
                                          : Format(Text(kFullscreenHotkeyHintString))
                                                .Arg(HotkeyToText(HotkeysManager::GetVideoRecordingHotkey()))
                                                .Str();
    MessageBoxW(window, text.c_str(), Text(kWarningCaptionString).c_str(), MB_ICONWARNING);
}
