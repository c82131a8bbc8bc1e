#include "foundation/Folders.h"

#include <windows.h>
#include <shlobj.h>

#include "foundation/Log.h"
#include "foundation/Path.h"
#include "foundation/WinHandles.h"

namespace {

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) {
        return std::wstring();
    }
    return path;
}

std::wstring ModulePath() {
    std::wstring path(4096, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768) return std::wstring();
        path.resize(path.size() * 2);
    }
}

}  // namespace

std::wstring GetTempFolder() {
    std::wstring path(4096, L'\0');
    const DWORD n = GetTempPathW(static_cast<DWORD>(path.size()), &path[0]);
    if (n == 0 || n >= path.size()) return std::wstring();
    path.resize(n);
    if (path.back() != L'\\') path += L'\\';
    return path;
}

std::wstring GetRoamingAppDataFolder() {
    return ShellFolder(CSIDL_APPDATA);
}

std::wstring GetLocalAppDataFolder() {
    return ShellFolder(CSIDL_LOCAL_APPDATA);
}

std::wstring GetDesktopFolder() {
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, CSIDL_DESKTOPDIRECTORY, FALSE)) {
        return std::wstring();
    }
    return path;
}

std::wstring GetModuleFolder() {
    return GetDirectoryName(ModulePath());
}

std::wstring GetExeDirectory() {
    const std::wstring path = ModulePath();
    const size_t cut = path.rfind(L'\\');
    return cut == std::wstring::npos ? path : path.substr(0, cut);
}

std::vector<std::wstring> GetFilesInFolder(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW((folder + L"\\*.*").c_str(), &data));
    if (!find) {
        Log("GetFilesInFolder::FindFirstFile failed (%d)\n", static_cast<int>(GetLastError()));
        return names;
    }
    do {
        if (!IsDotEntry(data.cFileName)) names.emplace_back(data.cFileName);
    } while (FindNextFileW(find.get(), &data));
    return names;
}

namespace {

bool EmptyFolderContents(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find) return false;
    do {
        if (IsDotEntry(data.cFileName)) continue;
        const std::wstring path = folder + L"\\" + data.cFileName;
        const DWORD attrs = data.dwFileAttributes;
        if (attrs & FILE_ATTRIBUTE_REPARSE_POINT) {
            // A junction or symbolic link: remove the link, never what it points to.
            if (attrs & FILE_ATTRIBUTE_DIRECTORY) RemoveDirectoryW(path.c_str());
            else DeleteFileW(path.c_str());
            continue;
        }
        if (attrs & FILE_ATTRIBUTE_DIRECTORY) {
            if (!EmptyFolderContents(path)) return false;
            RemoveDirectoryW(path.c_str());   // a failure here is not the walk's failure
            continue;
        }
        if (attrs & FILE_ATTRIBUTE_READONLY) {
            SetFileAttributesW(path.c_str(), attrs & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
        }
        if (!DeleteFileW(path.c_str())) return false;
    } while (FindNextFileW(find.get(), &data));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

}  // namespace

bool EmptyFolder(const std::wstring& folder) {
    // The folder itself may have been swapped for a link by another user.
    const DWORD attrs = GetFileAttributesW(folder.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    return EmptyFolderContents(folder);
}
