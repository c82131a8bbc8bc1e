#include "app/ProgramFolders.h"

#include <windows.h>
#include <shlobj.h>

#include "foundation/File.h"
#include "foundation/Folders.h"
#include "foundation/Format.h"

std::wstring g_appExeFolder BRIVANE_EARLY_INIT;
std::wstring g_appCommonFolder BRIVANE_EARLY_INIT;
std::wstring g_appTmpFolder BRIVANE_EARLY_INIT;
std::wstring g_appPluginDllPath BRIVANE_EARLY_INIT;
std::wstring g_appRoamingFolder BRIVANE_EARLY_INIT;
std::wstring g_appLocalFolder BRIVANE_EARLY_INIT;
std::wstring g_appSettingsPath BRIVANE_EARLY_INIT;
std::wstring g_appLogFolder BRIVANE_EARLY_INIT;
std::wstring g_appCurlPath BRIVANE_EARLY_INIT;

void CreateFolderForEveryone(const std::wstring& folder) {
    DWORD attrs = GetFileAttributesW(folder.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)) return;
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE);   // null DACL: full access for everyone
    SECURITY_ATTRIBUTES sa = {sizeof sa, &sd, TRUE};
    SHCreateDirectoryExW(nullptr, folder.c_str(), &sa);
}

bool InitProgramFolders() {
    wchar_t common[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common))) {
        return false;
    }
    g_appExeFolder = GetExeDirectory();
    g_appCommonFolder = std::wstring(common) + L"\\brivane";
    g_appTmpFolder = g_appCommonFolder + L"\\tmp";
    g_appPluginDllPath = g_appCommonFolder + L"\\corvexil.dll";
    CreateFolderForEveryone(g_appTmpFolder);
    g_appRoamingFolder = GetRoamingAppDataFolder() + L"\\brivane";
    g_appLocalFolder = GetLocalAppDataFolder() + L"\\brivane";
    g_appSettingsPath = g_appLocalFolder + L"\\settings.json";
    CreateFolderForEveryone(g_appLocalFolder);
    g_appLogFolder = g_appLocalFolder + L"\\log";
    CreateFolderForEveryone(g_appLogFolder);
    g_appCurlPath = Format(L"{}\\{}").Arg(GetExeDirectory()).Arg(L"curl.exe").Str();
    return true;
}
