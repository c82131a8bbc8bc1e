#include "app/Upgrade.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "app/ProgramFolders.h"
#include "foundation/File.h"
#include "foundation/Log.h"
#include "foundation/Registry.h"
#include "foundation/WinHandles.h"
#include "settings/SettingsManager.h"

namespace {

const wchar_t kOldShellExtensionClsid[] = L"{6B3A1C52-58E4-4E0B-9D3C-2A7F01B5C3E1}";
const wchar_t kOldShellExtension32[] = L"brivaneshell.dll";
const wchar_t kOldShellExtension64[] = L"brivaneshell64.dll";

// A settings file is there only as a file: a folder of that name (left by accident)
// must not make the old copies look redundant.
bool Exists(const std::wstring& path) {
    DWORD attrs = GetFileAttributesW(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

// Moves `from` into `to`, or copies it when the move fails. Returns the upgrade
// result for this source: nothing when it does not exist, migrated or failed.
int MigrateOne(const std::wstring& from, const std::wstring& to, const char* folderName) {
    File source(from);
    if (!Exists(from)) return kUpgradeNothing;
    Log("Upgrade: Try move settings.json from %s to LocalAppDataFolder\n", folderName);
    if (source.Move(to)) {
        Log("Upgrade: Ok\n");
        return kUpgradeMigrated;
    }
    Log("Upgrade: Failed\n");
    Log("Upgrade: Try copy settings.json from %s to LocalAppDataFolder\n", folderName);
    if (source.Copy(to)) {
        Log("Upgrade: Ok\n");
        return kUpgradeMigrated;
    }
    Log("Upgrade: Failed\n");
    return kUpgradeFailed;
}

}  // namespace

int UpgradeSettingsFiles() {
    Log("Upgrade to 3.10.0.58\n");
    const std::wstring local = g_appSettingsPath;
    const std::wstring roaming = g_appRoamingFolder + L"\\settings.json";
    const std::wstring common = g_appCommonFolder + L"\\settings.json";

    int result = kUpgradeNothing;
    bool roamingSafeToDelete = true;
    bool commonSafeToDelete = true;
    if (!Exists(local)) {
        int r = MigrateOne(roaming, local, "RoamingAppDataFolder");
        roamingSafeToDelete = r != kUpgradeFailed;
        if (r != kUpgradeNothing) result = r;
        int c = MigrateOne(common, local, "CommonAppDataFolder");
        commonSafeToDelete = c != kUpgradeFailed;
        if (c != kUpgradeNothing) result = c;
    }
    // A copy whose migration failed may be the only one left: keep it for the next start.
    if (roamingSafeToDelete) File(roaming).Delete();
    if (commonSafeToDelete) File(common).Delete();

    if (Exists(local)) {
        SettingsManager::DeleteRegistrySettings();
    }
    return result;
}

bool IsOldShellExtensionRegistered() {
    std::wstring path = std::wstring(L"Software\\Classes\\CLSID\\") + kOldShellExtensionClsid +
                        L"\\InprocServer32\\ThreadingModel";
    RegistryString model(false, HKEY_CURRENT_USER, path, L"");
    return model.Get() == L"Apartment";
}

const wchar_t* OldShellExtensionLibrary() {
    if (sizeof(void*) == 8) return kOldShellExtension64;
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64 = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    if (isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64) return kOldShellExtension64;
    return kOldShellExtension32;
}

void UnregisterOldShellExtension() {
    std::wstring parameters = std::wstring(L"/s /u ") + OldShellExtensionLibrary();
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"open";
    info.lpFile = L"regsvr32.exe";
    info.lpParameters = parameters.c_str();
    info.lpDirectory = g_appExeFolder.c_str();
    info.nShow = SW_HIDE;
    if (ShellExecuteExW(&info) && info.hProcess) {
        UniqueHandle process(info.hProcess);
        WaitForSingleObject(process.get(), INFINITE);
    }
}
