// The main dialog's side of a screen recording: the area choice, the frame and the
// control panel, the recording thread and the handlers of its messages.
#include <exception>
#include <thread>

#include "app/HotkeysManager.h"
#include "app/MainDlg.h"
#include "app/PopupPlacement.h"
#include "app/ProgressDlg.h"
#include "app/ScreenshotCapture.h"
#include "app/VideoCaptureWindows.h"
#include "app/VideoRecordingRules.h"
#include "core/Cvx.h"
#include "core/video/AudioDeviceCheck.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "foundation/StringTable.h"
#include "foundation/Utf.h"
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

// The capture core's recorder behind the recording thread's interface.
class CoreVideoRecorder : public IVideoRecorder {
public:
    AudioDeviceStatus CheckAudioDevices() override {
        AudioDeviceStatus status;
        CvxAudioFormatSummary mic, sound;
        CvxCheckAudioDevices(status.soundOk, status.micOk, status.formatsMatch, status.text, mic, sound);
        return status;
    }
    void RecordAsync(const RecorderRequest& r, RecorderResults& out) override {
        m_path = r.path;
        RECT area = {r.area.left, r.area.top, r.area.right, r.area.bottom};
        CvxRecordVideoAsync(m_path.c_str(), r.game, r.maxWidth, r.maxHeight, r.recordSound, r.recordMicrophone,
                            &r.control->stop, &r.control->pause, &r.control->cancel, &out.finished,
                            &out.measuredFps, &out.recordedMs, out.outputSize, out.cpuInfo, &out.errorCode,
                            &out.errorHResult, &out.errorText, area);
    }
    // The core hands out no text today; a text it may give is malloc'ed.
    void FreeErrorText(char* text) override { free(text); }
    void DiscardOutput(const std::wstring& path) override {
        // The writer may still hold the file for a moment after it reported finished.
        DWORD error = 0;
        for (int attempt = 0; attempt < 40; ++attempt) {
            if (DeleteFileW(path.c_str())) return;
            error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
            if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) break;
            Sleep(50);
        }
        Log("RecordVideoSession: a cancelled recording's file stays: %lu\n", error);
    }

private:
    std::wstring m_path;   // stays valid for the whole recording
};

// Posts the recording thread's messages to the main window and the panel.
class WindowSessionPoster : public ISessionPoster {
public:
    WindowSessionPoster(HWND main, HWND panel,
                        std::function<void(const std::wstring&, const std::wstring&, const std::wstring&)> postEvent,
                        std::function<void()> ended)
        : m_main(main), m_panel(panel), m_postEvent(std::move(postEvent)), m_ended(std::move(ended)) {}
    bool Post(SessionMessage message, int param) override {
        switch (message) {
        case SessionMessage::CloseCaptureWindows: return PostMessageW(m_main, WM_APP_CLOSE_CAPTURE_WINDOWS, 0, 0);
        case SessionMessage::ShowProgress: return PostMessageW(m_main, WM_APP_SHOW_PROGRESS, param, 0);
        case SessionMessage::HideProgress: return PostMessageW(m_main, WM_APP_HIDE_PROGRESS, 0, 0);
        case SessionMessage::VideoRecorded: return PostMessageW(m_main, WM_APP_VIDEO_RECORDED, 1, param);
        case SessionMessage::VideoFailed: return PostMessageW(m_main, WM_APP_VIDEO_FAILED, param, 0);
        }
        return false;
    }
    bool PostProgress(int64_t limitMs, int64_t elapsedMs) override {
        if (!m_panel) return false;
        RecordProgress* record = new RecordProgress{limitMs, elapsedMs};
        if (PostMessageW(m_panel, WM_APP_RECORD_PROGRESS, 0, reinterpret_cast<LPARAM>(record))) return true;
        delete record;
        return false;
    }
    void Event(const std::wstring& category, const std::wstring& action, const std::wstring& label) override {
        if (m_postEvent) m_postEvent(category, action, label);
    }
    void Ended() override {
        if (m_ended) m_ended();
    }

private:
    HWND m_main;
    HWND m_panel;
    std::function<void(const std::wstring&, const std::wstring&, const std::wstring&)> m_postEvent;
    std::function<void()> m_ended;
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

std::unique_ptr<IVideoRecorder> MakeCoreVideoRecorder() {
    return std::unique_ptr<IVideoRecorder>(new CoreVideoRecorder());
}

void CtavimorerfDlg::SetTrayIcon(HICON icon) {
    if (!m_trayIcon.IsHidden()) m_trayIcon.SetIcon(icon);
}

bool CtavimorerfDlg::HasLiveRecording() const {
    return m_recordControl && !m_recordControl->cancel.load() && !m_recordControl->done.load();
}

void CtavimorerfDlg::RecordingThreadStarted() {
    std::lock_guard<std::mutex> lock(m_recordingThreadsLock);
    ++m_recordingThreads;
    m_recordingActive.store(true);
}

void CtavimorerfDlg::RecordingThreadEnded() {
    std::lock_guard<std::mutex> lock(m_recordingThreadsLock);
    if (--m_recordingThreads <= 0) {
        m_recordingThreads = 0;
        m_recordingActive.store(false);
    }
}

LRESULT CtavimorerfDlg::OnMakeVideo(WPARAM wParam, LPARAM lParam) {
    // The trace lines of the steps below keep the handler's old name "OnMakeGIF": log
    // readers and the video scenarios look for them by it.
    Log("CtavimorerfDlg::OnMakeGIF\n");
    // Only the game hotkey hands over a rectangle (wParam 1); it is freed on every path.
    std::unique_ptr<RECT> given(wParam == 1 ? reinterpret_cast<RECT*>(lParam) : nullptr);
    if (m_captureBusy.exchange(true)) return 0;
    try {
        Log("CtavimorerfDlg::OnMakeGIF: m_videoCaptureArea == %p\n", static_cast<void*>(m_videoCaptureArea));
        DestroyAndDelete(m_videoCaptureArea);
        Log("CtavimorerfDlg::OnMakeGIF: m_videoCaptureControlDlg == %p\n", static_cast<void*>(m_videoCaptureControlDlg));
        DestroyAndDelete(m_videoCaptureControlDlg);

        const bool game = FullScreenGameTracker::IsFullScreenAppActive() || m_fullScreenTracker.IsDisplayChangeRecent();
        const bool gameVideo = CvxIsWindowFullScreen(::GetForegroundWindow()) || game;

        RECT selection = {};
        if (given) {
            selection = *given;
            given.reset();
        } else {
            Log("CtavimorerfDlg::OnMakeGIF:: Taking region\n");
            PxImage screen;
            RECT screenArea = {};
            if (!CaptureScreen(screen, false, screenArea) || !RunVideoRegionSelection(screen, selection)) {
                m_captureBusy.store(false);
                return 0;
            }
            Log("CtavimorerfDlg::OnMakeGIF:: Got region\n");
        }

        // A new control block: the previous recording (cancelled or restarted) may still
        // be closing its file with its own flags.
        std::shared_ptr<RecordingControl> previous = m_recordControl;
        if (previous && previous->done.load()) previous.reset();
        m_recordControl = std::make_shared<RecordingControl>();

        SettingsManager& settings = SettingsManager::Instance();
        const bool local = settings.GetVideoSaveType() == 1;
        if (local) {
            const std::wstring folder = settings.GetVideoSavePath();
            // A folder that cannot be made is left to the recorder, which then fails
            // and reports it.
            EnsureSaveFolder(folder);
            m_videoPath = MakeLocalVideoPath(folder, MakeVideoFileName(), m_env.fileExists);
        } else {
            m_videoPath = MakeUploadVideoPath(m_env.appTmpFolder);
        }

        SetTrayIcon(m_hRecordingIcon);

        const RECT screenRect = CvxGetVirtualScreenRect();
        const CvxRect adjusted =
            AdjustVideoArea({selection.left, selection.top, selection.right, selection.bottom},
                            {screenRect.left, screenRect.top, screenRect.right, screenRect.bottom});
        const RECT area = {adjusted.left, adjusted.top, adjusted.right, adjusted.bottom};

        std::unique_ptr<VideoRecordingJob> job(new VideoRecordingJob());
        job->recordSound = settings.GetNeedCaptureAudio();
        job->recordMicrophone = settings.GetNeedCaptureMic();
        const bool showPanel = settings.GetShowVideoControlPanel();

        if (wParam != 1) {
            m_videoCaptureArea = new CVideoCaptureAreaDialog(area);
            if (!m_videoCaptureArea->Create(this)) Log("CtavimorerfDlg::OnMakeVideo: no frame window\n");
            if (showPanel) {
                m_videoCaptureControlDlg = new CVideoCaptureControlDlg(new Layouter(area, screenRect), this);
                if (!m_videoCaptureControlDlg->Create(this)) Log("CtavimorerfDlg::OnMakeVideo: no control panel\n");
            }
        }

        job->quality = settings.GetVideoQualityLevel();
        job->localLimitMinutes = 240;
        job->uploadLimitMinutes = 30;
        job->osVersion = CvxGetOsVersionString();
        job->game = game;
        job->gameVideo = gameVideo;
        job->area = adjusted;
        job->mainWindow = reinterpret_cast<uintptr_t>(m_hWnd);
        job->panelWindow =
            m_videoCaptureControlDlg ? reinterpret_cast<uintptr_t>(m_videoCaptureControlDlg->m_hWnd) : 0;
        job->local = local;
        job->shortAppId = settings.GetShortAppId();
        job->productVersion = SettingsManager::GetProductVersion();
        job->videoPath = m_videoPath;
        job->control = m_recordControl;
        job->previous = previous;

        std::unique_ptr<IVideoRecorder> recorder =
            m_env.makeVideoRecorder ? m_env.makeVideoRecorder() : MakeCoreVideoRecorder();
        auto poster = std::make_shared<WindowSessionPoster>(m_hWnd, reinterpret_cast<HWND>(job->panelWindow),
                                                            m_env.postEvent, [this] { RecordingThreadEnded(); });
        RecordingThreadStarted();
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
        m_captureBusy.store(false);
        SetTrayIcon(m_hIcon);
    }
    return 0;
}

LRESULT CtavimorerfDlg::OnVideoCancel() {
    if (!HasLiveRecording()) return 0;
    m_recordControl->cancel.store(true);
    m_captureBusy.store(false);
    SetTrayIcon(m_hIcon);
    return 0;
}

LRESULT CtavimorerfDlg::OnVideoPause(WPARAM pause) {
    if (HasLiveRecording()) m_recordControl->pause.store(pause != 0);
    return 0;
}

LRESULT CtavimorerfDlg::OnVideoStop() {
    if (HasLiveRecording()) m_recordControl->stop.store(true);
    return 0;
}

LRESULT CtavimorerfDlg::OnVideoUndo() {
    if (!HasLiveRecording()) return 0;
    OnVideoCancel();
    Post(WM_APP_MAKE_VIDEO, 0, 0);
    m_env.postEvent(L"Video", L"Undo", L"");
    return 0;
}

LRESULT CtavimorerfDlg::OnCloseVideoCaptureWindows() {
    DestroyAndDelete(m_videoCaptureArea);
    DestroyAndDelete(m_videoCaptureControlDlg);
    return 0;
}

LRESULT CtavimorerfDlg::OnShowProgress(WPARAM stringId) {
    if (SettingsManager::Instance().GetSilentMode() || m_videoProgressDlg) return 0;
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SIZE size = GetDialogTemplateSize(IDD_PROGRESS);
    POINT position = {work.right - size.cx - 4, work.bottom - size.cy};
    auto dialog = std::make_shared<CProgressDlg>(position, Text(static_cast<unsigned>(stringId)), nullptr, true, false);
    m_videoProgressDlg = dialog;
    dialog->DoModal();
    if (m_videoProgressDlg == dialog) m_videoProgressDlg.reset();
    return 0;
}

LRESULT CtavimorerfDlg::OnHideProgress() {
    if (SettingsManager::Instance().GetSilentMode()) return 0;
    // The window stays a second (without holding up the UI thread), then ends.
    if (m_videoProgressDlg) m_videoProgressDlg->FinishAfter(IDOK, kHideProgressDelayMs);
    return 0;
}

LRESULT CtavimorerfDlg::OnVideoRecorded(WPARAM wParam, LPARAM local) {
    SetTrayIcon(m_hIcon);
    // Where the file went was decided when the recording started (the job's flag).
    if (local == 1) {
        Post(WM_APP_INFO, kVideoSavedString, 0);
    } else {
        std::wstring path = m_videoPath;
        SaveRecordedVideo(wParam == 1, path);
    }
    m_captureBusy.store(false);
    return 0;
}

LRESULT CtavimorerfDlg::OnVideoFailed(WPARAM stringId) {
    m_captureBusy.store(false);
    SetTrayIcon(m_hIcon);
    MessageBoxW(m_hWnd, Text(static_cast<unsigned>(stringId)).c_str(), Text(kErrorCaptionString).c_str(),
                MB_ICONERROR);
    return 0;
}

LRESULT CtavimorerfDlg::OnVideoRecordingBreakedByFullscreenApp(WPARAM wParam) {
    Log("OnVideoRecordingBreakedByFullscreenApp\n");
    SendMessageW(m_hWnd, WM_APP_SHOW_SETTINGS, 0, 0);
    ::SetForegroundWindow(m_hWnd);
    RECT rect = {};
    ::GetWindowRect(m_hWnd, &rect);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_SHOWWINDOW);
    std::wstring text = wParam == 0
                            ? Format(Text(kFullscreenHotkeyHintString))
                                  .Arg(HotkeyToText(HotkeysManager::GetVideoRecordingHotkey()))
                                  .Str()
                            : Text(kResolutionChangedString);
    MessageBoxW(m_hWnd, text.c_str(), Text(kWarningCaptionString).c_str(), MB_ICONWARNING);
    return 0;
}
