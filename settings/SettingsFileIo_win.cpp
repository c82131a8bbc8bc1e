#include <windows.h>

#include "foundation/Format.h"
#include "foundation/Utf.h"
#include "foundation/WinHandles.h"
#include "settings/SettingsFileIo.h"

ReplaceFileResult ReplaceFileAtomically(const std::wstring& source, const std::wstring& target,
                                        std::string& errorText) {
    // Windows refuses to replace a read-only file; Wine's MoveFileExW does not, so ask
    // first: a read-only settings.json must stay as it is on both.
    DWORD targetAttributes = GetFileAttributesW(target.c_str());
    if (targetAttributes != INVALID_FILE_ATTRIBUTES && (targetAttributes & FILE_ATTRIBUTE_READONLY)) {
        errorText = FormatA("MoveFileEx: Failed: {}").ArgInt(ERROR_ACCESS_DENIED).Str();
        return ReplaceFileResult::AccessDenied;
    }
    if (MoveFileExW(source.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        errorText.clear();
        return ReplaceFileResult::Ok;
    }
    DWORD error = GetLastError();
    errorText = FormatA("MoveFileEx: Failed: {}").ArgInt(static_cast<int>(error)).Str();
    DWORD attributes = GetFileAttributesW(target.c_str());
    bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    return error == ERROR_ACCESS_DENIED || readOnly ? ReplaceFileResult::AccessDenied
                                                    : ReplaceFileResult::Failed;
}

bool ReadFileLenient(const std::wstring& path, std::wstring& text) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    // Settings files are small; stop at 16 MB whatever the file claims.
    while (bytes.size() < (16u << 20) && ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) &&
           read > 0) {
        bytes.append(buffer, read);
    }
    text = Utf8ToWideLenient(bytes);
    return true;
}
