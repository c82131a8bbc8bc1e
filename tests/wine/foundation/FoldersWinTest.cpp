#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>

#include "foundation/File.h"
#include "foundation/Folders.h"
#include "foundation/Path.h"
#include "foundation/Random.h"
#include "foundation/Utf.h"

namespace fs = std::filesystem;

namespace {

class FoldersWinTest : public testing::Test {
protected:
    void SetUp() override {
        m_root = Utf8ToWide(testing::TempDir()) + L"folders-win-" + RandomAlnumString(10);
        ASSERT_TRUE(CreateDirectoryW(m_root.c_str(), nullptr));
    }
    // Not std::filesystem::remove_all: with mingw it walks into directory links.
    void TearDown() override {
        EmptyFolder(m_root);
        RemoveDirectoryW(m_root.c_str());
    }
    std::wstring Sub(const std::wstring& name) const { return m_root + L"\\" + name; }
    static void Touch(const std::wstring& path) {
        std::ofstream(fs::path(path), std::ios::binary) << "x";
    }

    // A symbolic link at `link` to `target`. Windows makes it with CreateSymbolicLinkW
    // (which Wine 8 accepts and ignores); under Wine a Unix symbolic link made by
    // /bin/ln shows through as a reparse point, like a link planted by another user.
    static bool MakeDirectoryLink(const std::wstring& link, const std::wstring& target) {
        CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
        if (IsLink(link)) return true;
        using UnixName = char*(CDECL*)(LPCWSTR);
        auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
        if (!unixName) return false;
        char* unixTarget = unixName(target.c_str());
        char* unixFolder = unixName(GetDirectoryName(link).c_str());
        if (!unixTarget || !unixFolder) return false;
        std::string command = std::string("/bin/ln -s \"") + unixTarget + "\" \"" + unixFolder +
                              "/" + WideToUtf8(fs::path(link).filename().wstring()) + "\"";
        HeapFree(GetProcessHeap(), 0, unixTarget);
        HeapFree(GetProcessHeap(), 0, unixFolder);
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessA("Z:\\bin\\ln", &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &si, &pi)) {
            return false;
        }
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        for (int i = 0; i < 50 && GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) {
            Sleep(20);
        }
        return IsLink(link);
    }
    static bool IsLink(const std::wstring& path) {
        const DWORD attrs = GetFileAttributesW(path.c_str());
        return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT);
    }

    std::wstring m_root;
};

}  // namespace

TEST_F(FoldersWinTest, FileHeldOpenStopsEmptyFolder) {
    const std::wstring tmp = Sub(L"tmp");
    ASSERT_TRUE(CreateDirectoryW(tmp.c_str(), nullptr));
    Touch(tmp + L"\\held.tmp");
    // Opened by another writer without delete sharing, as a running upload would.
    HANDLE held = CreateFileW((tmp + L"\\held.tmp").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(EmptyFolder(tmp));
    EXPECT_EQ(GetFileAttributesW((tmp + L"\\held.tmp").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);

    File file(tmp + L"\\held.tmp");
    EXPECT_FALSE(file.Delete());
    EXPECT_EQ(file.LastError(), "File::Delete: Failed: 32");   // sharing violation
    CloseHandle(held);
    EXPECT_TRUE(EmptyFolder(tmp));
    EXPECT_TRUE(GetFilesInFolder(tmp).empty());
}

TEST_F(FoldersWinTest, EmptyFolderRemovesLinksNotTheirTargets) {
    // The program's temporary folder is writable by every user, who could plant a link
    // there to make the cleanup delete someone else's files.
    const std::wstring victim = Sub(L"victim");
    ASSERT_TRUE(CreateDirectoryW(victim.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((victim + L"\\inside").c_str(), nullptr));
    Touch(victim + L"\\precious.txt");
    Touch(victim + L"\\inside\\also.txt");
    const std::wstring tmp = Sub(L"tmp");
    ASSERT_TRUE(CreateDirectoryW(tmp.c_str(), nullptr));
    Touch(tmp + L"\\own.txt");
    const std::wstring dirLink = tmp + L"\\planted-dir";
    if (!MakeDirectoryLink(dirLink, victim)) GTEST_SKIP() << "no symbolic links on this system";
    // Links to files are left out: Wine 8 shows a Unix link to a file as the file itself
    // (no reparse-point attribute) and its DeleteFileW removes the target. On Windows a
    // file link carries the attribute and DeleteFileW removes the link; making one
    // needs a privilege that the directory junctions of the attack do not.
    EXPECT_EQ(GetFileAttributesW(dirLink.c_str()),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));

    EXPECT_TRUE(EmptyFolder(tmp));
    EXPECT_NE(GetFileAttributesW((victim + L"\\precious.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW((victim + L"\\inside\\also.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW((tmp + L"\\own.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    // Windows removes the directory link itself. Wine 8 cannot: its RemoveDirectoryW
    // acts on the target, which is not empty and so stays.
    const DWORD left = GetFileAttributesW(dirLink.c_str());
    EXPECT_TRUE(left == INVALID_FILE_ATTRIBUTES || (left & FILE_ATTRIBUTE_REPARSE_POINT));
}

TEST_F(FoldersWinTest, EmptyFolderRefusesAFolderThatIsALink) {
    const std::wstring victim = Sub(L"victim");
    ASSERT_TRUE(CreateDirectoryW(victim.c_str(), nullptr));
    Touch(victim + L"\\precious.txt");
    const std::wstring tmp = Sub(L"tmp");   // where the program's folder would be
    if (!MakeDirectoryLink(tmp, victim)) GTEST_SKIP() << "no symbolic links on this system";
    EXPECT_FALSE(EmptyFolder(tmp));
    EXPECT_NE(GetFileAttributesW((victim + L"\\precious.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(FoldersWin, ShellFolders) {
    const std::wstring roaming = GetRoamingAppDataFolder();
    const std::wstring local = GetLocalAppDataFolder();
    const std::wstring desktop = GetDesktopFolder();
    EXPECT_FALSE(roaming.empty());
    EXPECT_FALSE(local.empty());
    EXPECT_FALSE(desktop.empty());
    EXPECT_NE(roaming, local);
    EXPECT_NE(GetFileAttributesW(local.c_str()), INVALID_FILE_ATTRIBUTES);
    // The executable's folder holds the executable.
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    EXPECT_EQ(GetExeDirectory() + L"\\" + fs::path(exe).filename().wstring(), exe);
}

TEST(FoldersWin, MissingFolderGivesNothing) {
    EXPECT_TRUE(GetFilesInFolder(L"C:\\no\\such\\folder").empty());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(EmptyFolder(L"C:\\no\\such\\folder"));
}
