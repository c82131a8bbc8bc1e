#include "app/TrayCommands.h"

#include "app/CaptureLabels.h"
#include "app/FlowHolds.h"
#include "app/GameModeSwitch.h"
#include "app/MainDlgMessages.h"
#include "app/SystemTray.h"
#include "classlib/Menu.h"
#include "classlib/Wnd.h"
#include "resources/resource.h"
#include "server/ServerAPI.h"
#include "settings/SettingsManager.h"

TrayCommands::TrayCommands(Host host) : m_host(std::move(host)) {}

bool TrayCommands::OnCommand(WORD id) {
    switch (id) {
    case ID_TRAY_CAPTURE_REGION: CaptureRegion(); return true;
    case ID_TRAY_CAPTURE_FULLSCREEN: CaptureFullscreen(); return true;
    case ID_TRAY_CAPTURE_VIDEO: CaptureVideo(); return true;
    case ID_TRAY_SEND_FILE: SendFile(); return true;
    case ID_TRAY_MY_CAPTURES: MyCaptures(); return true;
    case ID_TRAY_SILENT_MODE: SilentMode(); return true;
    case ID_TRAY_SETTINGS: Settings(); return true;
    case ID_TRAY_EXIT: Exit(); return true;
    default: return false;
    }
}

void TrayCommands::OnNotify(UINT mouse) {
    ServerAPI::PingHistory();
    SettingsManager& settings = SettingsManager::Instance();
    if (m_host.recording()) {
        if (mouse == WM_LBUTTONUP || mouse == WM_RBUTTONUP) {
            m_host.window->Post(WM_APP_VIDEO_STOP, 0, 0);
            m_host.postEvent(L"Video", L"Save In Tray", L"");
        }
        return;
    }
    if (mouse == WM_LBUTTONUP) {
        FlowHolds::ShotRequest().Begin();
        m_host.postEvent(L"Screenshot.Region", L"Launch on Tray with Left Mouse", StorageLabel(settings.GetStorageType()));
        m_host.window->Post(WM_APP_REGION_SCREENSHOT, 0, 0);
    } else if (mouse == WM_RBUTTONUP) {
        POINT cursor = {};
        GetCursorPos(&cursor);
        CMenu menu;
        if (!menu.Load(IDR_TRAY_MENU)) return;
        HMENU popup = menu.GetSubMenu(0);
        if (!popup) return;
        CheckMenuItem(popup, ID_TRAY_SILENT_MODE,
                      MF_BYCOMMAND | (settings.GetSilentMode() ? MF_CHECKED : MF_UNCHECKED));
        const HWND owner = m_host.window->m_hWnd;
        SetForegroundWindow(owner);
        TrackPopupMenuAt(popup, TPM_LEFTBUTTON, cursor, owner);
        // Lets the menu close properly when the user clicks elsewhere next time.
        m_host.window->Post(WM_NULL, 0, 0);
        m_host.postEvent(L"TrayMenu", L"Open", L"");
    }
}

void TrayCommands::CaptureRegion() {
    FlowHolds::ShotRequest().Begin();
    m_host.postEvent(L"Screenshot.Region", L"Launch on Tray", StorageLabel(SettingsManager::Instance().GetStorageType()));
    m_host.window->Post(WM_APP_REGION_SCREENSHOT, 0, 0);
}

void TrayCommands::CaptureFullscreen() {
    FlowHolds::ShotRequest().Begin();
    m_host.postEvent(L"Screenshot.Fullscreen", L"Launch on Tray",
                    StorageLabel(SettingsManager::Instance().GetStorageType()));
    m_host.window->Post(WM_APP_FULL_SCREENSHOT, 0, 0);
}

void TrayCommands::CaptureVideo() {
    m_host.postEvent(L"Video", L"Launch on Tray", VideoLabel(SettingsManager::Instance().GetVideoSaveType()));
    m_host.window->Post(WM_APP_MAKE_VIDEO, 0, 0);
}

void TrayCommands::SendFile() {
    std::wstring path = m_host.chooseFile(m_host.window->m_hWnd);
    FlowHolds::UploadRequest().Begin();
    m_host.postEvent(L"File", L"Launch on Tray", L"");
    auto* heapPath = new std::wstring(path);
    if (!m_host.window->Post(WM_APP_UPLOAD_FILE, 0, reinterpret_cast<LPARAM>(heapPath))) delete heapPath;
}

void TrayCommands::MyCaptures() {
    if (m_host.uploadRunning()) return;
    m_host.postEvent(L"History", L"Open", L"");
    m_host.openUrl(SettingsManager::Instance().GetHistoryPageUrl());
}

void TrayCommands::SilentMode() {
    ToggleSilentMode(true, m_host.postEvent);
    m_host.silentModeChanged();
}

void TrayCommands::Settings() {
    if (m_host.uploadRunning()) return;
    m_host.postEvent(L"Settings", L"Open", L"");
    m_host.openSettings();
}

void TrayCommands::Exit() {
    m_host.postEvent(L"Application", L"Exit", L"");
    m_host.exit();
}
