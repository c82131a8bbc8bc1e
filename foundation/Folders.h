#pragma once
#include <string>
#include <vector>

// Well-known folders as wide paths; "" when the system cannot tell (callers fall back,
// the settings to the executable's folder). In the native build they map to the XDG
// folders and /proc/self/exe, so that portable callers run in tests.

// The user's temporary folder, ending with a separator.
std::wstring GetTempFolder();
std::wstring GetRoamingAppDataFolder();
std::wstring GetLocalAppDataFolder();
// The user's desktop folder (not created when missing).
std::wstring GetDesktopFolder();
// The folder of the executable (GetDirectoryName of its full path).
std::wstring GetModuleFolder();
// The executable's full path cut before its last backslash (the whole path when it has
// none).
std::wstring GetExeDirectory();

// The names (without folder) of all entries of the folder, files and sub-folders alike,
// in the order the system lists them, without "." and "..". A missing folder gives an
// empty list and a log line with the system's error code.
std::vector<std::wstring> GetFilesInFolder(const std::wstring& folder);

// Deletes everything inside the folder, recursively; the folder itself stays. Read-only
// files are made writable first. True when every entry was deleted; a file that cannot
// be deleted (open elsewhere) ends the walk with false.
//
// Links are never followed: the temporary folder it cleans is writable by every user,
// so a junction or symbolic link planted there must not make this delete the target's
// contents. Only the link itself is removed, and a failure to remove it is ignored. A
// folder that is itself a link is refused (false, nothing deleted).
bool EmptyFolder(const std::wstring& folder);
