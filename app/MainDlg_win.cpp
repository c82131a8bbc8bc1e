#include "app/MainDlg.h"

#include <shellapi.h>
#include <shlwapi.h>
#include <windowsx.h>

#include <thread>

#include "app/CommandLine.h"
#include "app/CoreVideoRecorder_win.h"
#include "app/FlowHolds.h"
#include "app/MainDlgHotkeys.h"
#include "app/OldLogs.h"
#include "app/ProcessExit.h"
#include "app/ProgramFolders.h"
#include "app/Upgrade.h"
#include "classlib/DataExchange.h"
#include "classlib/FileDialog.h"
#include "classlib/WinApp.h"
#include "core/Cvx.h"
#include "foundation/EventBus.h"
#include "foundation/Folders.h"
#include "foundation/Log.h"
#include "foundation/Stopwatch.h"
#include "foundation/StringTable.h"
#include "resources/resource.h"
#include "server/Analytics.h"
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
      m_env(std::move(environment)),
      m_fullScreenTracker(m_env.monitors, MonotonicTicks),
      m_monitorCount(m_env.countMonitors()),
      m_uploads(MakeUploadHost()),
      m_shots(MakeScreenshotHost()),
      m_recording(MakeRecordingServices()),
      m_version(*this, m_env.openUrl),
      m_settings(*this, MakeSettingsServices()),
      m_tray(MakeTrayHost()) {
    if (!tmpl) SetTemplate(IDD_CTAVIMORERF_DIALOG);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    m_hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    m_hRecordingIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_RECORDING));
    if (!m_hIcon) m_hIcon = LoadIconW(nullptr, IDI_APPLICATION);
}

CtavimorerfDlg::~CtavimorerfDlg() {
    EventBus::Instance().Unregister(this);
    m_recording.CloseCaptureWindows();
}

void CtavimorerfDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, IDC_TAB_PAGES, m_settings.Tabs());
}

BOOL CtavimorerfDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    if (CWinApp* app = AfxGetApp()) app->m_hMainWnd = m_hWnd;
    m_settings.CreatePages();
    m_settings.BuildTabs(0);

    std::wstring caption = SettingsManager::GetProductName() + L" " + SettingsManager::GetProductVersion();
    SetText(caption.c_str());
    Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    m_settings.FillPageControls(true);

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

    m_settings.CreateHelpTooltip();

    InstallMainDialogHotkeyHandlers(m_hWnd, &m_captureBusy, &m_fullScreenTracker);

    SetTimer(TIMER_LATEST_VERSION, 1000);
    SetTimer(TIMER_TOOLTIP_HOVER, 1000);
    SetTimer(TIMER_VERSION_CHECK, 120000);

    m_settings.LoadPages();
    EventBus::Instance().Register(this);
    return TRUE;
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
    int height = 0;
    {
        WindowDC screen(nullptr);
        height = -MulDiv(110, GetDeviceCaps(screen.get(), LOGPIXELSY), 720);
    }
    LOGFONTW font = {};
    font.lfHeight = height;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(font.lfFaceName, L"Calibri", LF_FACESIZE);
    m_font.reset(CreateFontIndirectW(&font));
    if (!m_font) return;
    const WPARAM handle = reinterpret_cast<WPARAM>(m_font.get());
    Send(WM_SETFONT, handle, TRUE);
    for (HWND child = GetWindow(m_hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        SendMessageW(child, WM_SETFONT, handle, TRUE);
    }
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
        m_uploads.RequestServerSync();
        SetTimer(TIMER_SERVER_SYNC, kHourMs);
        break;
    case TIMER_LATEST_VERSION:
        KillTimer(TIMER_LATEST_VERSION);
        SetTimer(TIMER_LATEST_VERSION, kHourMs);
        m_version.RequestLatestVersion();
        break;
    case TIMER_VERSION_CHECK:
        KillTimer(TIMER_VERSION_CHECK);
        SetTimer(TIMER_VERSION_CHECK, kHourMs);
        m_version.CheckLatestVersion();
        break;
    case TIMER_TOOLTIP_HOVER:
        m_settings.HelpTip().OnHoverTimer(m_showWindow);
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
    m_monitorCount.Tick(m_env.countMonitors(), m_recording.Active().load(), actions);
}

LRESULT CtavimorerfDlg::OnDisplayChange(WPARAM bitsPerPixel, LPARAM size) {
    Log("OnDisplayChange %d, %d, %d\n", static_cast<int>(bitsPerPixel), static_cast<int>(LOWORD(size)),
        static_cast<int>(HIWORD(size)));
    m_fullScreenTracker.UpdateDisplayState();
    if (m_recording.Active() && m_fullScreenTracker.m_displayChanged) {
        m_env.postEvent(L"Video", L"OnDeviceChange Stop", L"");
        Post(WM_APP_VIDEO_STOP, 0, 0);
        Post(WM_APP_VIDEO_BROKEN_BY_FULLSCREEN, 0, 0);
    }
    return 0;
}

LRESULT CtavimorerfDlg::OnDeviceChange(WPARAM event) {
    Log("OnDeviceChange %d\n", static_cast<int>(event));
    m_fullScreenTracker.UpdateDisplayState();
    if (m_recording.Active()) {
        m_env.postEvent(L"Video", L"Save OnDeviceChange", L"");
        Post(WM_APP_VIDEO_STOP, 0, 0);
    }
    return TRUE;
}

LRESULT CtavimorerfDlg::OnShowSettings() {
    if (m_uploads.Running()) return 0;
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
    m_version.HideNewVersionBanner();
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
        m_uploads.ShowUploadError(record);
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

bool CtavimorerfDlg::OnNotify(NMHDR* header, LRESULT& result) {
    if (header->idFrom == IDC_GAME_MODE_SWITCH && header->code == NM_CUSTOMDRAW) {
        result = m_settings.DrawSwitch(reinterpret_cast<NMCUSTOMDRAW*>(header));
        return true;
    }
    if (header->idFrom == IDC_TAB_PAGES && header->code == TCN_SELCHANGE) {
        m_settings.OnTabChanged();
        result = 0;
        return true;
    }
    return false;
}

bool CtavimorerfDlg::OnCommand(WORD id, WORD code, HWND control) {
    if (m_tray.OnCommand(id)) return true;
    switch (id) {
    case IDC_GAME_MODE_HELP: m_settings.HelpTip().Show(); return true;
    case 1017:
    case 1038:
    case 1059:
        return true;   // these controls' commands do nothing
    default:
        return CDialogEx::OnCommand(id, code, control);
    }
}

void CtavimorerfDlg::OnWindowPosChanging(WINDOWPOS* pos) {
    // Every opening shows fresh hotkey texts and check boxes on the General tab.
    if ((pos->flags & SWP_SHOWWINDOW) && !IsWindowVisible()) {
        m_settings.FillPageControls(false);
        m_settings.BuildTabs(0);
    }
    if (!m_showWindow) pos->flags &= ~SWP_SHOWWINDOW;
}

LRESULT CtavimorerfDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    // The screenshots', uploads' and recordings' messages go to their own objects.
    if (m_shots.HandleMessage(msg) || m_uploads.HandleMessage(msg, wParam, lParam) ||
        m_recording.HandleMessage(msg, wParam, lParam)) {
        return 0;
    }
    switch (msg) {
    case WM_APP_TRAY_NOTIFY:
        m_tray.OnNotify(LOWORD(lParam));
        return 0;
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
        m_version.PlaceNewVersionBanner();
        return result;
    }
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_PAINT:
        m_settings.Paint(m_hIcon);
        return 0;
    case WM_DRAWITEM:
        if (wParam == IDC_GAME_MODE_HELP) {
            m_settings.DrawHelpIcon(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        break;
    case WM_LBUTTONUP:
        if (m_settings.ClickSwitch(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)})) Invalidate();
        break;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(m_hIcon);
    default:
        break;
    }
    return CDialogEx::WindowProc(msg, wParam, lParam);
}
