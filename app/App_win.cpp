#include "app/App.h"

#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "app/ProgramFolders.h"
#include "app/Upgrade.h"
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

CtavimorerfApp::CtavimorerfApp() {
    srand(static_cast<unsigned>(time(nullptr)));
    if (!InitProgramFolders()) {
        MessageBoxW(nullptr, L"Failed to get path to CSIDL_COMMON_APPDATA", L"Error", MB_OK);
        ExitProcess(static_cast<UINT>(-1));
    }
}

CtavimorerfApp::~CtavimorerfApp() = default;

BOOL CtavimorerfApp::InitInstance() {
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

    DeleteStaleCloseRequests();

    if (PathFileExistsW(g_appCurlPath.c_str()) != TRUE) {
        MessageBoxW(nullptr, (g_appCurlPath + L" not found").c_str(), L"Brivane", MB_ICONERROR);
        ExitProcess(kExitStartupFailed);
    }
    Log("curl.exe found: %s\n", WideToUtf8(g_appCurlPath).c_str());

    int upgrade = UpgradeSettingsFiles();
    (void)upgrade;

    StringTable::Instance();

    SetCurrentDirectoryW(g_appExeFolder.c_str());

    INITCOMMONCONTROLSEX controls = {8, 0xFF};
    InitCommonControlsEx(&controls);
    SetRegistryKey(L"Local AppWizard-Generated Applications");

    Log("Going to start Main Window\n");
    return FALSE;
}

int CtavimorerfApp::ExitInstance() {
    CloseLogFile();
    CoUninitialize();
    return CWinAppEx::ExitInstance();
}
