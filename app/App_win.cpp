#include "app/App.h"

#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "app/MainDlg.h"
#include "app/CommandLine.h"
#include "app/FlowHolds.h"
#include "app/HotkeysManager.h"
#include "app/MainDlgMessages.h"
#include "app/ProgramFolders.h"
#include "app/SettingsAnalytics.h"
#include "app/Upgrade.h"
#include "core/Cvx.h"
#include "foundation/EventBus.h"
#include "foundation/Format.h"
#include "server/Analytics.h"
#include "server/ScreenshotUidManager.h"
#include "server/ServerAPI.h"
#include "settings/SettingsManager.h"
#include "foundation/File.h"
#include "foundation/Folders.h"
#include "foundation/Log.h"
#include "foundation/StringTable.h"
#include "foundation/Utf.h"

CtavimorerfApp theApp;

namespace {

// Fatal start-up failures end the process with a non-zero code.
constexpr UINT kExitStartupFailed = 1;

void DeleteStaleCloseRequests() {
    const std::wstring markers[] = {GetTempFolder() + L"\\cvx_do_close", g_appLocalFolder + L"\\cvx_do_close",
                                    g_appCommonFolder + L"\\cvx_do_close"};
    for (const std::wstring& marker : markers) {
        if (PathFileExistsW(marker.c_str()) == TRUE) {
            File(marker).Delete();
        }
    }
}

}  // namespace

bool CSingleInstanceApp::OnThreadMessage(const MSG& msg) {
    if (msg.message != g_singleInstanceMessage || !m_singleInstance.IsFirstInstance()) return false;
    OnSecondInstance();
    return true;
}

void CtavimorerfApp::OnSecondInstance() {
    const LaunchCommand command = ParseHandedOverCommandLine(m_singleInstance.TakeHandedOverCommandLine());
    HWND main = m_hMainWnd;
    // The request's event (below) starts its curl.exe once the request shows its result.
    FlowHolds::BeginForLaunch(command.action);
    switch (command.action) {
    case LaunchAction::RegionScreenshot: PostMessageW(main, WM_APP_REGION_SCREENSHOT, 0, 0); break;
    case LaunchAction::FullScreenshot: PostMessageW(main, WM_APP_FULL_SCREENSHOT, 0, 0); break;
    case LaunchAction::MakeVideo: PostMessageW(main, WM_APP_MAKE_VIDEO, 0, 0); break;
    case LaunchAction::Quit: PostMessageW(main, WM_APP_QUIT, 0, 0); break;
    case LaunchAction::UploadFile: {
        auto* path = new std::wstring(command.uploadPath);   // the receiver frees it
        if (!PostMessageW(main, WM_APP_UPLOAD_FILE, 0, reinterpret_cast<LPARAM>(path))) delete path;
        break;
    }
    case LaunchAction::None:
    case LaunchAction::QuietStart: PostMessageW(main, WM_APP_SHOW_SETTINGS, 0, 0); break;
    }
    LaunchEvent event;
    if (LaunchCommandEvent(command, SettingsManager::Instance().GetStorageType(),
                           SettingsManager::Instance().GetVideoSaveType(), event)) {
        CvxAnalyticsPostEventAsync(-1, event.category, event.action, event.label);
    }
}

CtavimorerfApp::CtavimorerfApp() {
    srand(static_cast<unsigned>(time(nullptr)));
    if (!InitProgramFolders()) {
        MessageBoxW(nullptr, L"Failed to get path to CSIDL_COMMON_APPDATA", L"Error", MB_OK);
        ExitProcess(static_cast<UINT>(-1));
    }
}

CtavimorerfApp::~CtavimorerfApp() = default;

BOOL CtavimorerfApp::InitInstance() {
    if (!m_singleInstance.IsFirstInstance()) {
        // The command line has been handed over to the running instance.
        ExitProcess(0);
    }
    if (!AllocConsole()) {
        MessageBoxW(nullptr, L"Failed to create the console!", L"", MB_ICONERROR);
    }
    _wfreopen(L"CONIN$", L"r", stdin);
    _wfreopen(L"CONOUT$", L"w", stdout);
    _wfreopen(L"CONOUT$", L"w", stderr);
    Log("This is a test of the attached console\n");
    ShowWindow(GetConsoleWindow(), SW_HIDE);

    g_logFolder = g_appLogFolder;
    OpenLogFile();

    if (!CvxInit()) {
        MessageBoxW(nullptr, L"CvxInit failed", L"Brivane", MB_ICONERROR);
        ExitProcess(kExitStartupFailed);
    }
    Log("CvxInit ok\n");

    DeleteStaleCloseRequests();

    if (PathFileExistsW(g_appCurlPath.c_str()) != TRUE) {
        MessageBoxW(nullptr, (g_appCurlPath + L" not found").c_str(), L"Brivane", MB_ICONERROR);
        ExitProcess(kExitStartupFailed);
    }
    Log("curl.exe found: %s\n", WideToUtf8(g_appCurlPath).c_str());

    const std::wstring version = SettingsManager::GetProductVersion();
    Log("Program version: %s\n", WideToUtf8(version).c_str());
    AnalyticsInit(g_appCurlPath, Format(L"BrivaneWin/{}").Arg(version).Str(), L"UA-48151623-42", L"BrivaneWin",
                  version);
    ConnectSettingsToAnalytics(SettingsManager::Instance());

    const int upgrade = UpgradeSettingsFiles();

    EventBus::Instance();
    StringTable::Instance();
    SettingsManager::Instance().Init(g_appSettingsPath);
    ServerAPI::Init(g_appCurlPath);
    ScreenshotUidManager::Instance().Init();
    HotkeysManager::Start();
    Log("Singletons initialized\n");

    std::wstring appId = SettingsManager::Instance().GetAppId();
    Log("Program GUID: %s\n", WideToUtf8(appId).c_str());
    std::wstring clientId;
    for (wchar_t c : appId) {
        if (c != L'{' && c != L'}') clientId += c;
    }
    AnalyticsSetClientId(clientId);

    SetCurrentDirectoryW(g_appExeFolder.c_str());

    const RECT screen = CvxGetVirtualScreenRect();
    const std::wstring label = Format(L"OS[{}],Up-{}, {} displays[{}x{}], {}, {}")
                                   .Arg(Utf8ToWide(CvxGetOsVersionString()))
                                   .ArgInt(upgrade)
                                   .ArgInt(CvxGetMonitorCount())
                                   .ArgInt(screen.right - screen.left)
                                   .ArgInt(screen.bottom - screen.top)
                                   .Arg(GetCpuAndMemoryText())
                                   .Arg(Utf8ToWide(CvxGetVideoModeName()))
                                   .Str();
    CvxAnalyticsPostEventAsync(-1, L"Application", L"Launch", label);
    Log("System: %s\n", WideToUtf8(label).c_str());
    Log("System info sent to Analytics\n");

    INITCOMMONCONTROLSEX controls = {8, 0xFF};
    InitCommonControlsEx(&controls);
    CSingleInstanceApp::InitInstance();
    SetRegistryKey(L"Local AppWizard-Generated Applications");

    Log("Going to start Main Window\n");
    {
        // Runs for the rest of the process: every exit is an ExitProcess from inside.
        CtavimorerfDlg dialog;
        dialog.DoModal();   // makes itself the application's main window
    }
    m_hMainWnd = nullptr;
    return FALSE;
}

int CtavimorerfApp::ExitInstance() {
    SettingsManager::Instance().Flush();
    CloseLogFile();
    CoUninitialize();
    return CWinAppEx::ExitInstance();
}
