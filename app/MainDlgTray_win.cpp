// What the main dialog's tray commands need of it.
#include "app/MainDlg.h"

TrayCommands::Host CtavimorerfDlg::MakeTrayHost() {
    TrayCommands::Host host;
    host.window = this;
    host.postEvent = m_env.postEvent;
    host.chooseFile = m_env.chooseFile;
    host.openUrl = m_env.openUrl;
    host.uploadRunning = [this] { return m_uploads.Running(); };
    host.recording = [this] { return m_recording.CaptureArea() != nullptr; };
    host.silentModeChanged = [this] {
        m_settings.UpdateGameModeControls();
        Invalidate();
    };
    host.openSettings = [this] {
        m_settings.ReloadImageType();
        m_showWindow = true;
        ShowWindow(SW_RESTORE);
        SetActiveWindow(m_hWnd);
        SetForegroundWindow(m_hWnd);
        SetFocus(m_hWnd);
    };
    host.exit = [this] {
        m_trayIcon.RemoveIcon();
        m_env.exitProcess(0);
    };
    return host;
}
