#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/OldLogs.h"
#include "foundation/Utf.h"

namespace {

std::wstring MakeFolder(const char* name) {
    std::wstring folder = Utf8ToWide(::testing::TempDir()) + Utf8ToWide(name);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void WriteFileAged(const std::wstring& path, long long ageSeconds) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "log", 3, &written, nullptr);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t;
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    t.QuadPart -= static_cast<unsigned long long>(ageSeconds * 10000000LL);
    FILETIME stamp = {t.LowPart, t.HighPart};
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &stamp));
    CloseHandle(file);
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(OldLogsWinTest, DeletesOnlyOldFilesAndLeavesDirectories) {
    std::wstring folder = MakeFolder("oldlogs");
    const std::wstring old31 = folder + L"\\cvxlog_old.log";
    const std::wstring young = folder + L"\\cvxlog_young.log";
    const std::wstring future = folder + L"\\cvxlog_future.log";
    const std::wstring dir = folder + L"\\sub";
    WriteFileAged(old31, 2678400);
    // A few seconds younger than the limit, so the time the test takes cannot age it.
    WriteFileAged(young, 2678395);
    WriteFileAged(future, -86400);
    CreateDirectoryW(dir.c_str(), nullptr);
    DeleteOldLogs(folder);
    EXPECT_FALSE(Exists(old31));
    EXPECT_TRUE(Exists(young));
    EXPECT_TRUE(Exists(future)) << "a last-write time in the future is not old";
    EXPECT_TRUE(Exists(dir));
}

TEST(OldLogsWinTest, EmptyTmpFolderEmptiesAndRecreates) {
    std::wstring folder = MakeFolder("apptmp");
    CreateDirectoryW((folder + L"\\inner").c_str(), nullptr);
    WriteFileAged(folder + L"\\inner\\a.png", 0);
    WriteFileAged(folder + L"\\b.mp4", 0);
    EmptyTmpFolder(folder);
    EXPECT_TRUE(Exists(folder));
    EXPECT_FALSE(Exists(folder + L"\\b.mp4"));
    EXPECT_FALSE(Exists(folder + L"\\inner"));
    // A missing folder is created.
    RemoveDirectoryW(folder.c_str());
    EmptyTmpFolder(folder);
    EXPECT_TRUE(Exists(folder));
}

}  // namespace
