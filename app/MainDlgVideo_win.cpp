// What the main dialog's recording controller needs of it.
#include "app/MainDlg.h"
#include "app/ScreenshotCapture.h"

RecordingController::Services CtavimorerfDlg::MakeRecordingServices() {
    RecordingController::Services services;
    services.window = this;
    services.postEvent = m_env.postEvent;
    services.fileExists = m_env.fileExists;
    services.appTmpFolder = m_env.appTmpFolder;
    services.makeVideoRecorder = m_env.makeVideoRecorder;
    services.captureBusy = &m_captureBusy;
    services.tracker = &m_fullScreenTracker;
    services.selectArea = [this](RECT& area) {
        PxImage screen;
        RECT screenArea = {};
        return CaptureScreen(screen, false, screenArea) && m_shots.RunVideoRegionSelection(screen, area);
    };
    // The tray shows the icon only when the tray is enabled and shown.
    services.showRecordingIcon = [this](bool recording) {
        if (!m_trayIcon.IsHidden()) m_trayIcon.SetIcon(recording ? m_hRecordingIcon : m_hIcon);
    };
    services.uploadRecording = [this](bool recorded, const std::wstring& path) {
        m_uploads.SaveRecordedVideo(recorded, path);
    };
    return services;
}
