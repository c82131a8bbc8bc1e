#include <errno.h>
#include <stdio.h>
#include <sys/stat.h>

#include "foundation/Format.h"
#include "foundation/Utf.h"
#include "settings/SettingsFileIo.h"

ReplaceFileResult ReplaceFileAtomically(const std::wstring& source, const std::wstring& target,
                                        std::string& errorText) {
    std::string to = WideToUtf8(target);
    struct stat st;
    // Windows refuses to replace a read-only file; behave the same here (root could).
    if (stat(to.c_str(), &st) == 0 && (st.st_mode & 0222) == 0) {
        errorText = FormatA("MoveFileEx: Failed: {}").ArgInt(EACCES).Str();
        return ReplaceFileResult::AccessDenied;
    }
    if (rename(WideToUtf8(source).c_str(), to.c_str()) == 0) {
        errorText.clear();
        return ReplaceFileResult::Ok;
    }
    int error = errno;
    errorText = FormatA("MoveFileEx: Failed: {}").ArgInt(error).Str();
    return error == EACCES || error == EPERM ? ReplaceFileResult::AccessDenied
                                             : ReplaceFileResult::Failed;
}

bool ReadFileLenient(const std::wstring& path, std::wstring& text) {
    FILE* file = fopen(WideToUtf8(path).c_str(), "rb");
    if (!file) return false;
    std::string bytes;
    char buffer[65536];
    size_t got;
    while (bytes.size() < (16u << 20) && (got = fread(buffer, 1, sizeof(buffer), file)) > 0) {
        bytes.append(buffer, got);
    }
    fclose(file);
    text = Utf8ToWideLenient(bytes);
    return true;
}
