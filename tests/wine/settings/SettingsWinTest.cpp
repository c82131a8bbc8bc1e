// Settings against the real registry and with a saving process killed by
// TerminateProcess. The saver is this test program started with
// "--brivane-saver=<settings path>", which saves before GoogleTest runs.
#include <windows.h>

#include <random>

#include "../../native/settings/SettingsTestSupport.h"
#include "settings/LegacySettingsStore.h"

using namespace settings_test;

namespace {

struct SaverMode {
    SaverMode() {
        std::wstring line = GetCommandLineW();
        const std::wstring marker = L"--brivane-saver=";
        size_t pos = line.find(marker);
        if (pos == std::wstring::npos) return;
        SaveUntilKilled(line.substr(pos + marker.size()));
    }
};
SaverMode g_saverMode;

void SetString(const wchar_t* key, const wchar_t* name, const std::wstring& value) {
    HKEY h;
    RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr);
    RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
}

void SetDword(const wchar_t* key, const wchar_t* name, DWORD value) {
    HKEY h;
    RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr);
    RegSetValueExW(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(h);
}

bool KeyExists(const wchar_t* key) {
    HKEY h;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

}  // namespace

TEST_F(SettingsTest, MigratesTheRegistryAndDeletesItAfterSaving) {
    SetString(L"Software\\Brivane", L"appId", L"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}");
    SetString(L"Software\\Brivane\\Settings", L"screenshots_path", L"D:\\shots");
    SetString(L"Software\\Brivane\\Settings", L"hotkey_region_scr", L"17,45");
    SetDword(L"Software\\Brivane\\Settings", L"storage_type", 6);
    SetDword(L"Software\\Brivane\\Settings", L"draw_color", 16777215);
    SetDword(L"Software\\Brivane\\Settings", L"need_play_sound", 0);
    auto legacy = CreateLegacySettingsStore();
    auto m = Load(legacy.get());
    EXPECT_EQ(m->GetAppId(), L"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}");
    EXPECT_EQ(m->GetScreenshotsSavePath(), L"D:\\shots");
    EXPECT_EQ(m->GetStorageType(), 6);
    EXPECT_EQ(m->GetDrawColor(), 16777215u);
    EXPECT_FALSE(m->GetNeedPlaySound());
    EXPECT_EQ(m->GetHotkeys()[HotkeySlot::RegionScreenshot], (HotkeyCombination{17, 45}));
    EXPECT_FALSE(KeyExists(L"Software\\Brivane"));
    auto root = ParsedSettings();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->Find(L"app_id")->string, L"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}");
    EXPECT_TRUE(SettingsManager::DeleteRegistrySettings());   // nothing left to delete
}

TEST_F(SettingsTest, RegistryStaysWhenTheMigratedSettingsCannotBeSaved) {
    SetString(L"Software\\Brivane", L"appId", L"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}");
    m_path = (m_dir / "missing" / "settings.json").wstring();
    auto legacy = CreateLegacySettingsStore();
    auto m = Load(legacy.get());
    EXPECT_TRUE(KeyExists(L"Software\\Brivane"));
    EXPECT_TRUE(m->IsDirty());
    EXPECT_TRUE(SettingsManager::DeleteRegistrySettings());
    EXPECT_FALSE(KeyExists(L"Software\\Brivane"));
}

TEST_F(SettingsTest, SaveKilledAtRandomTimesLeavesACompleteFile) {
    WriteSettings("{\"app_id\":\"{12345678-9ABC-DEF0-1234-56789ABCDEF0}\"}");
    {
        auto m = Load();
        m->SetJpegQuality(1);
        ASSERT_TRUE(m->Flush());
    }
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --brivane-saver=" + m_path;
    std::mt19937 rng(20261210);
    for (int round = 0; round < 15; ++round) {
        SCOPED_TRACE(round);
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
        buffer.push_back(0);
        ASSERT_TRUE(CreateProcessW(self, buffer.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                                   nullptr, nullptr, &si, &pi));
        Sleep(150 + rng() % 250);   // the saver needs a moment to start under Wine
        EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), WAIT_TIMEOUT);   // still saving
        EXPECT_TRUE(TerminateProcess(pi.hProcess, 9));
        if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) {
            // Every wait is bounded: a kill that went astray is a failure, and the saver
            // ends by itself within kSaverLifetime.
            ADD_FAILURE() << "the saver outlived TerminateProcess";
            TerminateProcess(pi.hProcess, 9);
            WaitForSingleObject(pi.hProcess, 30000);
        }
        DWORD exitCode = 0;
        EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &exitCode));
        EXPECT_EQ(exitCode, 9u) << "killed while saving";
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        ExpectCompleteSettings(m_dir / "settings.json", L"{12345678-9ABC-DEF0-1234-56789ABCDEF0}");
    }
    auto m = Load();
    EXPECT_EQ(m->GetAppId(), L"{12345678-9ABC-DEF0-1234-56789ABCDEF0}");
    EXPECT_EQ(FolderEntries(m_dir), std::vector<std::string>{"settings.json"});
}
