#include "app/OldLogs.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "foundation/File.h"
#include "foundation/Folders.h"
#include "foundation/Log.h"
#include "foundation/WinHandles.h"

namespace {

int64_t FileTimeSeconds(const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<int64_t>(value.QuadPart / 10000000ULL);
}

}  // namespace

bool IsFileOlderThan(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        Log("Could not open file, error %ul\n", static_cast<unsigned>(GetLastError()));
        return false;
    }
    FILETIME lastWrite;
    const BOOL dated = GetFileTime(file.get(), nullptr, nullptr, &lastWrite);
    file.reset();
    if (!dated) {
        Log("Something wrong!\n");
        return false;
    }
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return IsAgeOld(FileTimeSeconds(now), FileTimeSeconds(lastWrite));
}

void DeleteOldLogs(std::wstring folder) {
    for (const std::wstring& name : GetFilesInFolder(folder)) {
        std::wstring path = folder + L"\\" + name;
        // Directories cannot be opened by IsFileOlderThan and stay.
        if (PathFileExistsW(path.c_str()) == TRUE && IsFileOlderThan(path)) {
            File(path).Delete();
        }
    }
}

void EmptyTmpFolder(std::wstring folder) {
    EmptyFolder(folder);
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
}
