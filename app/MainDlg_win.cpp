#include "app/MainDlg.h"

#include <shellapi.h>
#include <shlwapi.h>
#include <windowsx.h>

#include <thread>

#include "app/CaptureLabels.h"
#include "app/CommandLine.h"
#include "app/FlowHolds.h"
#include "app/MainDlgHotkeys.h"
#include "app/NewVersionBannerDlg.h"
#include "app/NewVersionDlg.h"
#include "app/OldLogs.h"
#include "app/ProcessExit.h"
#include "app/ProgramFolders.h"
#include "app/Upgrade.h"
#include "classlib/DataExchange.h"
#include "classlib/FileDialog.h"
#include "classlib/Menu.h"
#include "classlib/WinApp.h"
#include "core/Cvx.h"
#include "foundation/EventBus.h"
#include "foundation/Folders.h"
#include "foundation/Log.h"
#include "foundation/Stopwatch.h"
#include "foundation/StringTable.h"
#include "resources/resource.h"
#include "server/Analytics.h"
#include "server/ServerAPI.h"
#include "settings/SettingsManager.h"

namespace {

constexpr UINT kHourMs = 3600000;

BOOL CALLBACK CountMonitor(HMONITOR, HDC, LPRECT, LPARAM counter) noexcept {
    ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

int CountMonitors() {
    int count = 0;
    if (!EnumDisplayMonitors(nullptr, nullptr, &CountMonitor, reinterpret_cast<LPARAM>(&count))) return -1;
    return count;
}

// Cleanup threads are detached and own their copy of the folder; a catch-all keeps a
// failure inside the thread.
void StartDetached(void (*body)(std::wstring), const std::wstring& folder) {
    try {
        std::thread([body, folder]() noexcept {
            try {
                body(folder);
            } catch (...) {
                Log("Cleanup thread failed\n");
            }
        }).detach();
    } catch (const std::exception& e) {
        Log("Cleanup thread could not start: %s\n", e.what());
    }
}

}  // namespace

bool LoadPngResource(HMODULE module, unsigned id, PxImage& image) {
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!resource) {
        Log("PNG resource %u not found\n", id);
        return false;
    }
    return image.LoadResource(resource, 4, module);
}

MainDlgEnvironment MainDlgEnvironment::Default() {
    MainDlgEnvironment env;
    env.postEvent = [](const std::wstring& category, const std::wstring& action, const std::wstring& label) {
        CvxAnalyticsPostEventAsync(-1, category, action, label);
    };
    env.exitProcess = [](unsigned code) { ExitProcessWithSettingsSaved(code); };
    env.countMonitors = &CountMonitors;
    env.monitors = [] {
        MonitorSizeMap map;
        CvxGetMonitorMap(map);
        return map;
    };
    env.reinitCore = [] {
        if (!CvxReinit()) Log("CtavimorerfDlg: CvxReinit failed\n");
    };
    // The re-initialisation may close the log file; the run must go on logging to a file.
    env.reopenLog = [] {
        if (!IsLogFileOpen()) OpenLogFile();
    };
    env.fileExists = [](const std::wstring& path) { return PathFileExistsW(path.c_str()) == TRUE; };
    env.openUrl = [](const std::wstring& url) {
        ShellExecuteW(nullptr, nullptr, url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    };
    env.chooseFile = [](HWND owner) {
        CCenteredFileDialog dialog(true, nullptr, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NONETWORKBUTTON,
                                   nullptr, owner);
        dialog.DoModal();
        return dialog.GetPathName();
    };
    env.commandLine = GetCommandLineW();
    env.userTempFolder = GetTempFolder();
    env.localFolder = g_appLocalFolder;
    env.appTmpFolder = g_appTmpFolder;
    env.logFolder = g_appLogFolder;
    env.startEmptyTmpFolder = [](const std::wstring& folder) { StartDetached(&EmptyTmpFolder, folder); };
    env.startDeleteOldLogs = [](const std::wstring& folder) { StartDetached(&DeleteOldLogs, folder); };
    env.runRegionEditor = &RunSelectRegionDialog;
    env.messageBox = [](HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
        return MessageBoxW(owner, text.c_str(), caption.c_str(), type);
    };
    env.makePage = &MakeSettingsPage;
    env.makeVideoRecorder = &MakeCoreVideoRecorder;
    return env;
}

CtavimorerfDlg::CtavimorerfDlg(CWnd* parent)
    : CtavimorerfDlg(nullptr, MainDlgEnvironment::Default(), parent) {}

CtavimorerfDlg::CtavimorerfDlg(const DLGTEMPLATE* tmpl, MainDlgEnvironment environment, CWnd* parent)
    : CDialogEx(tmpl, parent),
      m_fullScreenTracker(environment.monitors, MonotonicTicks),
      m_monitorCount(environment.countMonitors()),
      m_env(std::move(environment)) {
    if (!tmpl) SetTemplate(IDD_CTAVIMORERF_DIALOG);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    m_hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    m_hRecordingIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_RECORDING));
    if (!m_hIcon) m_hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    LoadPngResource(nullptr, 201, m_helpIcon);
}

CtavimorerfDlg::~CtavimorerfDlg() {
    EventBus::Instance().Unregister(this);
    OnCloseVideoCaptureWindows();
    if (m_font) DeleteObject(m_font);
}

void CtavimorerfDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, IDC_TAB_PAGES, m_tabCtrl);
}

BOOL CtavimorerfDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    if (CWinApp* app = AfxGetApp()) app->m_hMainWnd = m_hWnd;
    CreatePages();
    BuildTabs(0);

    std::wstring caption = SettingsManager::GetProductName() + L" " + SettingsManager::GetProductVersion();
    SetText(caption.c_str());
    Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    FillPageControls(true);

    // Everything after this needs the tray icon: without it the program runs without
    // timers, command line, cleanup and hotkeys.
    if (!m_trayIcon.Create(this, Text(129).c_str(), m_hIcon)) {
        Log("CtavimorerfDlg::OnInitDialog: no tray icon\n");
        return FALSE;
    }
    m_started = true;
    SetTimer(TIMER_CLOSE_REQUEST, 100);
    SetTimer(TIMER_SERVER_SYNC, 2000);
    SetTimer(TIMER_MONITOR_COUNT, 1000);

    bool quietStart = RunFirstInstanceCommandLine();

    SetDialogFont();

    if ((m_showWindow || quietStart) && m_env.startEmptyTmpFolder) m_env.startEmptyTmpFolder(m_env.appTmpFolder);
    if (m_env.startDeleteOldLogs) m_env.startDeleteOldLogs(m_env.logFolder);

    CreateTrackingTooltip();

    InstallMainDialogHotkeyHandlers(m_hWnd, &m_captureBusy, &m_fullScreenTracker);

    SetTimer(TIMER_LATEST_VERSION, 1000);
    SetTimer(TIMER_TOOLTIP_HOVER, 1000);
    SetTimer(TIMER_VERSION_CHECK, 120000);

    LoadPages();
    EventBus::Instance().Register(this);
    return TRUE;
}

void CtavimorerfDlg::BuildTabs(int index) {
    if (!m_tabCtrl.m_hWnd) return;
    m_tabCtrl.DeleteAllItems();
    const unsigned captions[] = {142, 143, 144, 166};
    for (int i = 0; i < 4; i++) m_tabCtrl.InsertItem(i, Text(captions[i]).c_str());
    ShowTab(index);
    UpdateGameModeControls();
}

void CtavimorerfDlg::ShowTab(int index) {
    for (int i = 0; i < 4; i++) {
        if (m_pages[i] && m_pages[i]->m_hWnd) m_pages[i]->ShowWindow(i == index ? SW_SHOW : SW_HIDE);
    }
    if (m_tabCtrl.m_hWnd) m_tabCtrl.SetCurSel(index);
}

bool CtavimorerfDlg::RunFirstInstanceCommandLine() {
    LaunchCommand command = ParseFirstInstanceCommandLine(m_env.commandLine);
    if (command.action == LaunchAction::None) return false;
    m_showWindow = false;
    SettingsManager& settings = SettingsManager::Instance();
    FlowHolds::BeginForLaunch(command.action);
    LaunchEvent event;
    if (LaunchCommandEvent(command, settings.GetStorageType(), settings.GetVideoSaveType(), event)) {
        m_env.postEvent(event.category, event.action, event.label);
    }
    switch (command.action) {
    case LaunchAction::RegionScreenshot:
        Post(WM_APP_REGION_SCREENSHOT, 0, 0);
        break;
    case LaunchAction::FullScreenshot:
        Post(WM_APP_FULL_SCREENSHOT, 0, 0);
        break;
    case LaunchAction::MakeVideo:
        Post(WM_APP_MAKE_VIDEO, 0, 0);
        break;
    case LaunchAction::Quit:
        Post(WM_APP_QUIT, 0, 0);
        break;
    case LaunchAction::UploadFile: {
        auto* path = new std::wstring(command.uploadPath);
        if (!Post(WM_APP_UPLOAD_FILE, 0, reinterpret_cast<LPARAM>(path))) delete path;
        break;
    }
    case LaunchAction::QuietStart:
        return true;
    case LaunchAction::None:
        break;
    }
    return false;
}

void CtavimorerfDlg::SetDialogFont() {
    HDC screen = GetDC(nullptr);
    int height = -MulDiv(110, GetDeviceCaps(screen, LOGPIXELSY), 720);
    ReleaseDC(nullptr, screen);
    LOGFONTW font = {};
    font.lfHeight = height;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(font.lfFaceName, L"Calibri", LF_FACESIZE);
    m_font = CreateFontIndirectW(&font);
    if (!m_font) return;
    Send(WM_SETFONT, reinterpret_cast<WPARAM>(m_font), TRUE);
    for (HWND child = GetWindow(m_hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), TRUE);
    }
}

void CtavimorerfDlg::CreateTrackingTooltip() {
    HWND help = GetDlgItem(IDC_GAME_MODE_HELP);
    if (!help) return;
    RECT rect;
    GetWindowRect(help, &rect);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    m_helpTooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
    if (!m_helpTooltip) return;
    SetWindowPos(m_helpTooltip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    m_helpText = Text(156);
    m_helpToolInfo = {};
    m_helpToolInfo.cbSize = TTTOOLINFOW_V2_SIZE;
    m_helpToolInfo.uFlags = TTF_SUBCLASS;
    m_helpToolInfo.hwnd = m_hWnd;
    m_helpToolInfo.uId = 0;
    m_helpToolInfo.rect = rect;
    m_helpToolInfo.hinst = GetModuleHandleW(nullptr);
    m_helpToolInfo.lpszText = const_cast<wchar_t*>(m_helpText.c_str());
    SendMessageW(m_helpTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&m_helpToolInfo));
    SendMessageW(m_helpTooltip, TTM_SETDELAYTIME, TTDT_AUTOPOP, 30000);
    SendMessageW(m_helpTooltip, TTM_SETMAXTIPWIDTH, 0, 240);
}

void CtavimorerfDlg::ShowNotification(const std::wstring& title, const std::wstring& text, bool isError) {
    SettingsManager& settings = SettingsManager::Instance();
    auto result = m_notification.Queue({title, text, isError}, settings.GetSilentMode(),
                                       settings.GetNeedShowNotifications());
    if (result == NotificationQueue::QueueResult::Queued) SetTimer(TIMER_NOTIFICATION, 1000);
}

void CtavimorerfDlg::OnNotificationTimer() {
    std::unique_ptr<Notification> pending = m_notification.Take();
    if (pending) {
        m_trayIcon.ShowBalloon(pending->text.c_str(), pending->title.c_str(),
                               pending->isError ? NIIF_ERROR : NIIF_INFO);
    }
    KillTimer(TIMER_NOTIFICATION);
}

void CtavimorerfDlg::OnTimer(UINT_PTR id) {
    switch (id) {
    case TIMER_NOTIFICATION:
        OnNotificationTimer();
        break;
    case TIMER_SERVER_SYNC:
        KillTimer(TIMER_SERVER_SYNC);
        Log("TIMER_SERVER_SYNC:\n");
        RequestServerSync();
        SetTimer(TIMER_SERVER_SYNC, kHourMs);
        break;
    case TIMER_LATEST_VERSION:
        KillTimer(TIMER_LATEST_VERSION);
        SetTimer(TIMER_LATEST_VERSION, kHourMs);
        RequestLatestVersion();
        break;
    case TIMER_VERSION_CHECK:
        KillTimer(TIMER_VERSION_CHECK);
        SetTimer(TIMER_VERSION_CHECK, kHourMs);
        CheckLatestVersion();
        break;
    case TIMER_TOOLTIP_HOVER:
        OnTooltipHoverTimer();
        break;
    case TIMER_CLOSE_REQUEST:
        OnCloseRequestTimer();
        break;
    case TIMER_MONITOR_COUNT:
        OnMonitorCountTimer();
        break;
    default:
        break;
    }
}

void CtavimorerfDlg::OnCloseRequestTimer() {
    const std::wstring marker = L"cvx_do_close";
    if (m_env.fileExists(m_env.userTempFolder + marker) || m_env.fileExists(m_env.localFolder + L"\\" + marker)) {
        Log("Close request found, exiting\n");
        m_env.exitProcess(0);
    }
}

void CtavimorerfDlg::OnMonitorCountTimer() {
    MonitorChangeWatch::Actions actions;
    actions.cancelRecording = [this] { Send(WM_APP_VIDEO_CANCEL, 0, 0); };
    actions.reinitCore = [this] { m_env.reinitCore(); };
    actions.reopenLog = [this] {
        m_env.reopenLog();
        Log("CtavimorerfDlg: capture core re-initialised for %d monitors\n", m_monitorCount.Count());
    };
    m_monitorCount.Tick(m_env.countMonitors(), m_recordingActive.load(), actions);
}

void CtavimorerfDlg::OnTooltipHoverTimer() {
    if (!m_helpTooltip) return;
    HWND help = GetDlgItem(IDC_GAME_MODE_HELP);
    RECT rect = {};
    if (help) GetWindowRect(help, &rect);
    POINT cursor = {};
    GetCursorPos(&cursor);
    int padding = 2 * GetSystemMetrics(92 /* SM_CXPADDEDBORDER */);
    cursor.x -= padding;
    cursor.y -= padding;
    bool inside = m_showWindow && help && cursor.x > rect.left && cursor.x < rect.right && cursor.y > rect.top &&
                  cursor.y < rect.bottom;
    if (inside) {
        if (!m_helpTooltipShown) {
            SendMessageW(m_helpTooltip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&m_helpToolInfo));
        }
        m_helpTooltipShown = 1;
    } else if (m_helpTooltipShown) {
        SendMessageW(m_helpTooltip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&m_helpToolInfo));
        m_helpTooltipShown = 0;
    }
}

LRESULT CtavimorerfDlg::OnDisplayChange(WPARAM bitsPerPixel, LPARAM size) {
    Log("OnDisplayChange %d, %d, %d\n", static_cast<int>(bitsPerPixel), static_cast<int>(LOWORD(size)),
        static_cast<int>(HIWORD(size)));
    m_fullScreenTracker.UpdateDisplayState();
    if (m_recordingActive && m_fullScreenTracker.m_displayChanged) {
        m_env.postEvent(L"Video", L"OnDeviceChange Stop", L"");
        Post(WM_APP_VIDEO_STOP, 0, 0);
        Post(WM_APP_VIDEO_BROKEN_BY_FULLSCREEN, 0, 0);
    }
    return 0;
}

LRESULT CtavimorerfDlg::OnDeviceChange(WPARAM event) {
    Log("OnDeviceChange %d\n", static_cast<int>(event));
    m_fullScreenTracker.UpdateDisplayState();
    if (m_recordingActive) {
        m_env.postEvent(L"Video", L"Save OnDeviceChange", L"");
        Post(WM_APP_VIDEO_STOP, 0, 0);
    }
    return TRUE;
}

LRESULT CtavimorerfDlg::OnShowSettings() {
    if (m_uploadHandler) return 0;
    m_showWindow = true;
    ShowWindow(SW_SHOW);
    m_trayIcon.RecreateIcon();
    return 0;
}

void CtavimorerfDlg::HideSettingsWindow() {
    m_showWindow = false;
    ShowWindow(SW_HIDE);
}

LRESULT CtavimorerfDlg::OnHideSettings() {
    HideSettingsWindow();
    HideNewVersionBanner();
    return 0;
}

LRESULT CtavimorerfDlg::OnQuit() {
    if (IsOldShellExtensionRegistered()) UnregisterOldShellExtension();
    m_trayIcon.RemoveIcon();
    m_env.exitProcess(0);
    return 0;
}

LRESULT CtavimorerfDlg::OnShowError(WPARAM stringId, LPARAM record) {
    if (record != 0) {
        ShowUploadError(record);
        return 0;
    }
    ShowNotification(Text(139), Text(static_cast<unsigned>(stringId)), true);
    return 0;
}

LRESULT CtavimorerfDlg::OnShowInfo(WPARAM stringId) {
    if (!SettingsManager::Instance().GetSilentMode()) {
        ShowNotification(L"", Text(static_cast<unsigned>(stringId)), false);
    }
    return 0;
}

LRESULT CtavimorerfDlg::OnTrayNotify(LPARAM mouseMessage) {
    ServerAPI::PingHistory();
    UINT mouse = LOWORD(mouseMessage);
    SettingsManager& settings = SettingsManager::Instance();
    if (m_videoCaptureArea) {
        if (mouse == WM_LBUTTONUP || mouse == WM_RBUTTONUP) {
            Post(WM_APP_VIDEO_STOP, 0, 0);
            m_env.postEvent(L"Video", L"Save In Tray", L"");
        }
        return 0;
    }
    if (mouse == WM_LBUTTONUP) {
        FlowHolds::ShotRequest().Begin();
        m_env.postEvent(L"Screenshot.Region", L"Launch on Tray with Left Mouse", StorageLabel(settings.GetStorageType()));
        Post(WM_APP_REGION_SCREENSHOT, 0, 0);
    } else if (mouse == WM_RBUTTONUP) {
        POINT cursor = {};
        GetCursorPos(&cursor);
        CMenu menu;
        if (!menu.Load(IDR_TRAY_MENU)) return 0;
        HMENU popup = menu.GetSubMenu(0);
        if (!popup) return 0;
        CheckMenuItem(popup, ID_TRAY_SILENT_MODE,
                      MF_BYCOMMAND | (settings.GetSilentMode() ? MF_CHECKED : MF_UNCHECKED));
        SetForegroundWindow(m_hWnd);
        TrackPopupMenuAt(popup, TPM_LEFTBUTTON, cursor, m_hWnd);
        // Lets the menu close properly when the user clicks elsewhere next time.
        Post(WM_NULL, 0, 0);
        m_env.postEvent(L"TrayMenu", L"Open", L"");
    }
    return 0;
}

bool CtavimorerfDlg::OnNotify(NMHDR* header, LRESULT& result) {
    if (header->idFrom == IDC_GAME_MODE_SWITCH && header->code == NM_CUSTOMDRAW) {
        result = OnCustomDrawCheck(reinterpret_cast<NMCUSTOMDRAW*>(header));
        return true;
    }
    if (header->idFrom == IDC_TAB_PAGES && header->code == TCN_SELCHANGE) {
        ShowTab(m_tabCtrl.GetCurSel());
        result = 0;
        return true;
    }
    return false;
}

bool CtavimorerfDlg::OnCommand(WORD id, WORD code, HWND control) {
    switch (id) {
    case ID_TRAY_CAPTURE_REGION: OnTrayCaptureRegion(); return true;
    case ID_TRAY_CAPTURE_FULLSCREEN: OnTrayCaptureFullscreen(); return true;
    case ID_TRAY_CAPTURE_VIDEO: OnTrayCaptureVideo(); return true;
    case ID_TRAY_SEND_FILE: OnTraySendFile(); return true;
    case ID_TRAY_MY_CAPTURES: OnTrayMyCaptures(); return true;
    case ID_TRAY_SILENT_MODE: OnTraySilentMode(); return true;
    case ID_TRAY_SETTINGS: OnTraySettings(); return true;
    case ID_TRAY_EXIT: OnTrayExit(); return true;
    case IDC_GAME_MODE_HELP: OnGameModeHelp(); return true;
    case 1017:
    case 1038:
    case 1059:
        return true;   // these controls' commands do nothing
    default:
        return CDialogEx::OnCommand(id, code, control);
    }
}

void CtavimorerfDlg::OnTrayCaptureRegion() {
    FlowHolds::ShotRequest().Begin();
    m_env.postEvent(L"Screenshot.Region", L"Launch on Tray", StorageLabel(SettingsManager::Instance().GetStorageType()));
    Post(WM_APP_REGION_SCREENSHOT, 0, 0);
}

void CtavimorerfDlg::OnTrayCaptureFullscreen() {
    FlowHolds::ShotRequest().Begin();
    m_env.postEvent(L"Screenshot.Fullscreen", L"Launch on Tray",
                    StorageLabel(SettingsManager::Instance().GetStorageType()));
    Post(WM_APP_FULL_SCREENSHOT, 0, 0);
}

void CtavimorerfDlg::OnTrayCaptureVideo() {
    m_env.postEvent(L"Video", L"Launch on Tray", VideoLabel(SettingsManager::Instance().GetVideoSaveType()));
    Post(WM_APP_MAKE_VIDEO, 0, 0);
}

void CtavimorerfDlg::OnTraySendFile() {
    std::wstring path = m_env.chooseFile(m_hWnd);
    FlowHolds::UploadRequest().Begin();
    m_env.postEvent(L"File", L"Launch on Tray", L"");
    auto* heapPath = new std::wstring(path);
    if (!Post(WM_APP_UPLOAD_FILE, 0, reinterpret_cast<LPARAM>(heapPath))) delete heapPath;
}

void CtavimorerfDlg::OnTrayMyCaptures() {
    if (m_uploadHandler) return;
    m_env.postEvent(L"History", L"Open", L"");
    m_env.openUrl(SettingsManager::Instance().GetHistoryPageUrl());
}

void CtavimorerfDlg::OnTraySilentMode() {
    ToggleSilentMode(true, m_env.postEvent);
    UpdateGameModeControls();
    Invalidate();
}

void CtavimorerfDlg::OnTraySettings() {
    if (m_uploadHandler) return;
    m_env.postEvent(L"Settings", L"Open", L"");
    ReloadImageType();
    m_showWindow = true;
    ShowWindow(SW_RESTORE);
    SetActiveWindow(m_hWnd);
    SetForegroundWindow(m_hWnd);
    SetFocus(m_hWnd);
}

void CtavimorerfDlg::OnTrayExit() {
    m_env.postEvent(L"Application", L"Exit", L"");
    m_trayIcon.RemoveIcon();
    m_env.exitProcess(0);
}

void CtavimorerfDlg::OnWindowPosChanging(WINDOWPOS* pos) {
    // Every opening shows fresh hotkey texts and check boxes on the General tab.
    if ((pos->flags & SWP_SHOWWINDOW) && !IsWindowVisible()) {
        FillPageControls(false);
        BuildTabs(0);
    }
    if (!m_showWindow) pos->flags &= ~SWP_SHOWWINDOW;
}

LRESULT CtavimorerfDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_APP_TRAY_NOTIFY:
        return OnTrayNotify(lParam);
    case WM_APP_QUIT:
        return OnQuit();
    case WM_APP_HIDE_SETTINGS:
        return OnHideSettings();
    case WM_APP_SHOW_SETTINGS:
        return OnShowSettings();
    case WM_APP_ERROR:
        return OnShowError(wParam, lParam);
    case WM_APP_INFO:
        return OnShowInfo(wParam);
    case WM_APP_FULL_SCREENSHOT:
        return OnFullScreenshot();
    case WM_APP_WINDOW_SCREENSHOT:
        return OnActiveWindowScreenshot();
    case WM_APP_REGION_SCREENSHOT:
        return OnRegionScreenshot();
    case WM_APP_SERVER_SYNC_DATA:
        return OnServerSyncData(lParam);
    case WM_APP_UPLOAD_PROGRESS:
        return OnUploadProgress(wParam, lParam);
    case WM_APP_UPLOAD_FINISHED:
        return OnUploadFinished(wParam, lParam);
    case WM_APP_UPLOAD_FILE:
        return OnUploadFile(lParam);
    case WM_APP_LINK_READY:
        return OnLinkReady(wParam, lParam);
    case WM_APP_MAKE_VIDEO:
        return OnMakeVideo(wParam, lParam);
    case WM_APP_VIDEO_CANCEL:
        return OnVideoCancel();
    case WM_APP_VIDEO_PAUSE:
        return OnVideoPause(wParam);
    case WM_APP_VIDEO_STOP:
        return OnVideoStop();
    case WM_APP_VIDEO_UNDO:
        return OnVideoUndo();
    case WM_APP_VIDEO_RECORDED:
        return OnVideoRecorded(wParam, lParam);
    case WM_APP_VIDEO_FAILED:
        return OnVideoFailed(wParam);
    case WM_APP_SHOW_PROGRESS:
        return OnShowProgress(wParam);
    case WM_APP_HIDE_PROGRESS:
        return OnHideProgress();
    case WM_APP_CLOSE_CAPTURE_WINDOWS:
        return OnCloseVideoCaptureWindows();
    case WM_APP_FULLSCREEN_APP_ON:
        Log("WM_APP_FULLSCREEN_APP_ON\n");
        return 0;
    case WM_APP_FULLSCREEN_APP_OFF:
        Log("WM_APP_FULLSCREEN_APP_OFF\n");
        return 0;
    case WM_APP_VIDEO_BROKEN_BY_FULLSCREEN:
        return OnVideoRecordingBreakedByFullscreenApp(wParam);
    case WM_DISPLAYCHANGE:
        return OnDisplayChange(wParam, lParam);
    case WM_DEVICECHANGE:
        return OnDeviceChange(wParam);
    case WM_WINDOWPOSCHANGING:
        OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
        break;
    case WM_WINDOWPOSCHANGED: {
        // The window has moved first; the banner follows it.
        LRESULT result = CDialogEx::WindowProc(msg, wParam, lParam);
        PlaceNewVersionBanner();
        return result;
    }
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_DRAWITEM:
        if (wParam == IDC_GAME_MODE_HELP) {
            DrawHelpIcon(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        break;
    case WM_LBUTTONUP:
        OnLButtonUp(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        break;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(m_hIcon);
    default:
        break;
    }
    return CDialogEx::WindowProc(msg, wParam, lParam);
}
