// The main dialog as the settings window: its messages, handed to m_settings, and what
// OK, Cancel and Close do to the window.
#include "app/MainDlg.h"

SettingsWindow::Services CtavimorerfDlg::MakeSettingsServices() {
    SettingsWindow::Services services;
    services.postEvent = m_env.postEvent;
    services.messageBox = m_env.messageBox;
    services.recordingActive = [this] { return m_recording.Active().load(); };
    services.runHotkeyDialog = m_env.runHotkeyDialog;
    services.makePage = m_env.makePage;
    return services;
}

void CtavimorerfDlg::ShowTab(int index) { m_settings.ShowTab(index); }

HWND CtavimorerfDlg::FindDlgItem(int id) const { return m_settings.FindDlgItem(id); }

void CtavimorerfDlg::OnOK() {
    if (!m_settings.ConfirmOk()) return;
    HideSettingsWindow();
    m_version.HideNewVersionBanner();
}

void CtavimorerfDlg::OnCancel() {
    // Esc reloads the controls; the window stays and the dialog never ends.
    m_settings.LoadPages();
}

void CtavimorerfDlg::OnClose() {
    HideSettingsWindow();
    m_version.HideNewVersionBanner();
    m_settings.ReloadAfterClose();
}
