#include "app/SettingsPageEnvironment.h"

#include <shellapi.h>
#include <shlobj.h>

#include "classlib/Controls.h"
#include "foundation/Log.h"
#include "foundation/StringTable.h"
#include "foundation/WinHandles.h"
#include "server/Analytics.h"

namespace {

constexpr unsigned kSelectFolderText = 131;

// Opens the chooser on the folder that the page shows.
int CALLBACK BrowseCallback(HWND hwnd, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED && data) SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

std::wstring BrowseForFolder(HWND owner, const std::wstring& title, const std::wstring& initialFolder) {
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_NEWDIALOGSTYLE;
    info.lpfn = &BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(initialFolder.c_str());
    // The new dialog style needs COM on this thread; a thread that has it already keeps it.
    const ComInit com(COINIT_APARTMENTTHREADED);
    std::wstring chosen;
    if (PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info)) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetPathFromIDListW(list, path)) chosen = path;
        CoTaskMemFree(list);
    }
    return chosen;
}

AudioDeviceReport CheckDevices() {
    AudioDeviceReport report;
    CvxCheckAudioDevices(report.soundOk, report.micOk, report.formatsMatch, report.text, report.mic, report.sound);
    return report;
}

}  // namespace

SettingsPageEnvironment SettingsPageEnvironment::Default() {
    SettingsPageEnvironment env;
    env.postEvent = [](const std::wstring& category, const std::wstring& action, const std::wstring& label) {
        CvxAnalyticsPostEventAsync(-1, category, action, label);
    };
    env.messageBox = [](HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
        return MessageBoxW(owner, text.c_str(), caption.c_str(), type);
    };
    env.browseForFolder = &BrowseForFolder;
    env.shellExecute = [](HWND owner, const std::wstring& verb, const std::wstring& file,
                          const std::wstring& parameters, int show) {
        auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(owner, verb.c_str(), file.c_str(),
                                                              parameters.empty() ? nullptr : parameters.c_str(),
                                                              nullptr, show));
        if (result <= 32) Log("ShellExecuteW failed: %d\n", static_cast<int>(result));
    };
    env.checkAudioDevices = &CheckDevices;
    return env;
}

void ChoosePageFolder(const SettingsPageEnvironment& env, HWND page, int editId, const std::wstring& action,
                      const std::function<void(const std::wstring& folder)>& store) {
    env.postEvent(L"Settings", action, L"");
    std::wstring current = GetWindowTextString(GetDlgItem(page, editId));
    HWND owner = GetAncestor(page, GA_ROOT);
    std::wstring chosen = env.browseForFolder(owner, Text(kSelectFolderText), current);
    if (chosen.empty()) return;
    store(chosen);
    SetDlgItemTextW(page, editId, chosen.c_str());
}

void KeepPageFolderShown(HWND page, int editId, const std::wstring& stored) {
    if (GetWindowTextString(GetDlgItem(page, editId)) != stored) SetDlgItemTextW(page, editId, stored.c_str());
}
