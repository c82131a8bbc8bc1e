#include <windows.h>
#include <shlwapi.h>

#include <memory>
#include <vector>

#include "foundation/Log.h"
#include "foundation/Registry.h"
#include "foundation/StringTable.h"
#include "foundation/WinHandles.h"
#include "settings/LegacySettingsStore.h"
#include "settings/SettingsManager.h"

namespace {

constexpr unsigned kProductNameStringId = 129;

// Splits "sub\key\path\value" at its last backslash.
void SplitValuePath(const std::wstring& path, std::wstring& key, std::wstring& name) {
    size_t pos = path.find_last_of(L'\\');
    key = pos == std::wstring::npos ? std::wstring() : path.substr(0, pos);
    name = pos == std::wstring::npos ? path : path.substr(pos + 1);
}

class RegistryLegacySettingsStore : public ILegacySettingsStore {
public:
    uint32_t ReadDword(const std::wstring& path, uint32_t defaultValue) override {
        return RegistryDword(path, defaultValue, false, HKEY_CURRENT_USER).Get();
    }
    std::wstring ReadString(const std::wstring& path, const std::wstring& defaultValue) override {
        return RegistryString(false, HKEY_CURRENT_USER, path, defaultValue).Get();
    }
    bool DeleteAll() override {
        UniqueRegKey key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Brivane", 0, KEY_READ, key.put()) !=
            ERROR_SUCCESS) {
            return true;   // nothing to delete
        }
        key.reset();
        return SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Brivane") == ERROR_SUCCESS;
    }
};

}  // namespace

std::unique_ptr<ILegacySettingsStore> CreateLegacySettingsStore() {
    return std::make_unique<RegistryLegacySettingsStore>();
}

bool SettingsManager::DeleteRegistrySettings() {
    if (!RegistryLegacySettingsStore().DeleteAll()) {
        Log("Failed to cleaned up registry settings\n");
        return false;
    }
    Log("Registry settings cleaned up successfully\n");
    return true;
}

std::wstring SettingsManager::GetProductName() {
    return StringTable::Instance().GetString(kProductNameStringId);
}

std::wstring SettingsManager::GetProductVersion() {
    wchar_t path[MAX_PATH] = {};
    if (GetModuleFileNameW(nullptr, path, MAX_PATH) == 0) return L"";
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0) return L"";
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(path, 0, size, data.data())) return L"";
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\StringFileInfo\\000904b0\\ProductVersion",
                        reinterpret_cast<void**>(&value), &length) || !value) {
        return L"";
    }
    // The reported length includes the terminating null.
    std::wstring version(value, length);
    while (!version.empty() && version.back() == L'\0') version.pop_back();
    return version;
}
