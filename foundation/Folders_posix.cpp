#ifndef _WIN32
// The native build's folders: XDG locations and the running executable.
#include "foundation/Folders.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "foundation/Log.h"
#include "foundation/Path.h"
#include "foundation/PosixHandles.h"
#include "foundation/Utf.h"

namespace {

std::string Narrow(const std::wstring& path) { return WideToUtf8(path); }
std::wstring Wide(const std::string& path) { return Utf8ToWideLenient(path); }

std::wstring EnvFolder(const char* name, const char* homeRelative) {
    const char* value = std::getenv(name);
    if (value && *value) return Wide(value);
    const char* home = std::getenv("HOME");
    if (!home || !*home) return std::wstring();
    return Wide(std::string(home) + homeRelative);
}

std::wstring ModulePath() {
    std::string path(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", &path[0], path.size());
    if (n <= 0 || static_cast<size_t>(n) >= path.size()) return std::wstring();
    path.resize(static_cast<size_t>(n));
    return Wide(path);
}

}  // namespace

std::wstring GetTempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::wstring folder = tmp && *tmp ? Wide(tmp) : std::wstring(L"/tmp");
    if (folder.back() != L'/') folder += L'/';
    return folder;
}

std::wstring GetRoamingAppDataFolder() {
    return EnvFolder("XDG_CONFIG_HOME", "/.config");
}

std::wstring GetLocalAppDataFolder() {
    return EnvFolder("XDG_DATA_HOME", "/.local/share");
}

std::wstring GetDesktopFolder() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return std::wstring();
    return Wide(std::string(home) + "/Desktop");
}

std::wstring GetModuleFolder() {
    return GetDirectoryName(ModulePath());
}

std::wstring GetExeDirectory() {
    const std::wstring path = ModulePath();
    const size_t cut = path.rfind(L'/');
    return cut == std::wstring::npos ? path : path.substr(0, cut);
}

std::vector<std::wstring> GetFilesInFolder(const std::wstring& folder) {
    std::vector<std::wstring> names;
    UniqueDir dir(opendir(Narrow(folder).c_str()));
    if (!dir.get()) {
        Log("GetFilesInFolder::FindFirstFile failed (%d)\n", errno);
        return names;
    }
    while (dirent* entry = readdir(dir.get())) {
        std::wstring name = Wide(entry->d_name);
        if (!IsDotEntry(name)) names.push_back(std::move(name));
    }
    return names;
}

namespace {

bool EmptyFolderContents(const std::string& base) {
    UniqueDir dir(opendir(base.c_str()));
    if (!dir.get()) return false;
    for (;;) {
        errno = 0;
        dirent* entry = readdir(dir.get());
        if (!entry) return errno == 0;
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = base + "/" + name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) return false;
        if (S_ISLNK(st.st_mode)) {
            unlink(path.c_str());   // the link only, never its target
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            if (!EmptyFolderContents(path)) return false;
            rmdir(path.c_str());
            continue;
        }
        if (unlink(path.c_str()) != 0) return false;
    }
}

}  // namespace

bool EmptyFolder(const std::wstring& folder) {
    const std::string base = Narrow(folder);
    // The folder itself may have been swapped for a link by another user.
    struct stat st;
    if (lstat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    return EmptyFolderContents(base);
}
#endif
