#pragma once
// Windows only: the main dialog's screen recordings.
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/RecordVideoSession.h"

class CProgressDlg;
class CVideoCaptureAreaDialog;
class CVideoCaptureControlDlg;
class CWnd;
class FullScreenGameTracker;

// A screen recording from start to end: the area choice, the frame and the control
// panel, the control flags, the recording thread, the "Preparing video file" window and
// the recording's outcome. UI thread only, except the thread count (the recording
// thread ends it) and the atomics.
class RecordingController {
public:
    // What a recording needs of the main dialog (built by its MakeRecordingServices()).
    struct Services {
        CWnd* window = nullptr;   // the main dialog: the messages' target, the windows' parent; not owned
        std::function<void(const std::wstring& category, const std::wstring& action, const std::wstring& label)>
            postEvent;
        std::function<bool(const std::wstring& path)> fileExists;
        std::wstring appTmpFolder;
        // The screen recorder of one recording.
        std::function<std::unique_ptr<IVideoRecorder>()> makeVideoRecorder;
        // A region selection or a recording runs; shared with the region screenshot and
        // the hotkey handlers. Not owned.
        std::atomic<bool>* captureBusy = nullptr;
        const FullScreenGameTracker* tracker = nullptr;   // not owned
        // The region editor in video mode over the frozen screen: false when cancelled.
        std::function<bool(RECT& area)> selectArea;
        // The tray shows the recording icon (true) or the program's icon.
        std::function<void(bool recording)> showRecordingIcon;
        // A recording made for upload goes to the uploads.
        std::function<void(bool recorded, const std::wstring& path)> uploadRecording;
    };

    explicit RecordingController(Services services);
    // Closes the frame and the panel.
    ~RecordingController();
    RecordingController(const RecordingController&) = delete;
    RecordingController& operator=(const RecordingController&) = delete;

    // The main dialog's recording messages (WM_APP_MAKE_VIDEO to
    // WM_APP_VIDEO_BROKEN_BY_FULLSCREEN); a heap RECT of WM_APP_MAKE_VIDEO is freed on
    // every path. False when `msg` is none of them.
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    // WM_APP_MAKE_VIDEO: `given` is the game hotkey's rectangle (wParam 1), else null.
    void MakeVideo(bool fromGameHotkey, std::unique_ptr<RECT> given);
    void Cancel();
    void Pause(bool pause);
    void Stop();
    // Cancels and starts again with a new area.
    void Undo();
    void CloseCaptureWindows();
    void ShowProgress(unsigned stringId);
    void HideProgress();
    void Recorded(bool recorded, bool local);
    void Failed(unsigned stringId);
    // A full-screen program or a resolution change broke the recording: the settings
    // window comes up with a warning (`resolutionChanged` chooses which).
    void BrokenByFullscreenApp(bool resolutionChanged);

    // Whether a recording's flags may still be changed: started, not cancelled, not done.
    bool HasLiveRecording() const;

    // A recording is active: set when the recording thread starts, cleared when it has
    // finished with the recorder. Only this decides whether display changes stop or
    // cancel something (a region selection also sets the capture-busy flag).
    std::atomic<bool>& Active() { return m_active; }
    // The recording's frame and control panel (owned; null when none).
    CVideoCaptureAreaDialog*& CaptureArea() { return m_captureArea; }
    CVideoCaptureControlDlg*& ControlPanel() { return m_controlPanel; }
    // The current (or last) recording's control flags; a new recording gets a new block.
    std::shared_ptr<RecordingControl>& Control() { return m_control; }
    std::wstring& VideoPath() { return m_videoPath; }
    std::shared_ptr<CProgressDlg>& ProgressDlg() { return m_progressDlg; }

private:
    // Counts the recording threads; Active() is set while any runs.
    void ThreadStarted();
    void ThreadEnded();

    Services m_services;
    CVideoCaptureAreaDialog* m_captureArea = nullptr;
    CVideoCaptureControlDlg* m_controlPanel = nullptr;
    std::shared_ptr<RecordingControl> m_control;
    std::wstring m_videoPath;   // the current recording's file
    // The "Preparing video file" window; apart from the uploads' window, so that the
    // recording's messages never end an upload's window.
    std::shared_ptr<CProgressDlg> m_progressDlg;
    std::atomic<bool> m_active{false};
    std::mutex m_threadsLock;
    int m_threads = 0;   // recording threads still running, under the lock above
};
