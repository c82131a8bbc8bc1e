#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>

#include "foundation/Folders.h"
#include "foundation/Utf.h"
#include "foundation/ZipWriter.h"
#include "ZipReadBack.h"

namespace {

std::string ReadAll(const std::wstring& path) {
    std::ifstream in(WideToUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::wstring& path, const std::string& data) {
    std::ofstream(WideToUtf8(path), std::ios::binary) << data;
}

// Sets the last-write time (UTC).
void SetModified(const std::wstring& path, WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s) {
    SYSTEMTIME st{};
    st.wYear = y;
    st.wMonth = mo;
    st.wDay = d;
    st.wHour = h;
    st.wMinute = mi;
    st.wSecond = s;
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    HANDLE f = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    SetFileTime(f, nullptr, nullptr, &ft);
    CloseHandle(f);
}

// The Windows file layer under the writer: attributes, times and contents of real
// files, the executable test on a real program (this test's own), and the failures
// of a missing source and an archive that cannot be created.
TEST(ZipFilesWin, RealFilesKeepTheirAttributesAndTimes) {
    const std::wstring dir = GetTempFolder() + L"zipfiles_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    std::mt19937 rng(9);
    std::string big(70000, '\0');
    for (auto& c : big) c = static_cast<char>('a' + rng() % 4);
    WriteAll(dir + L"\\empty.txt", "");
    WriteAll(dir + L"\\one.txt", "x");
    WriteAll(dir + L"\\big.log", big);
    WriteAll(dir + L"\\ro.txt", "read only");
    SetModified(dir + L"\\ro.txt", 2021, 10, 12, 12, 34, 57);
    ASSERT_TRUE(SetFileAttributesW((dir + L"\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);

    const std::wstring zipPath = dir + L"\\out.zip";
    ZipHandle* zip = CreateZipFile(zipPath);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(ZipAdd(zip, L"empty.txt", dir + L"\\empty.txt"), kZipOk);
    EXPECT_EQ(ZipAdd(zip, L"one.txt", dir + L"\\one.txt"), kZipOk);
    EXPECT_EQ(ZipAdd(zip, L"logs\\big.log", dir + L"\\big.log"), kZipOk);
    EXPECT_EQ(ZipAdd(zip, L"ro.txt", dir + L"\\ro.txt"), kZipOk);
    EXPECT_EQ(ZipAdd(zip, L"self.exe", self), kZipOk);
    EXPECT_EQ(ZipAdd(zip, L"missing.txt", dir + L"\\missing.txt"), kZipOpenFailed);
    EXPECT_EQ(ZipClose(zip), kZipOk);
    zip->writer->Destroy();
    delete zip;
    // The archive cannot be created inside a missing folder.
    EXPECT_EQ(CreateZipFile(dir + L"\\no\\such\\folder.zip"), nullptr);
    EXPECT_EQ(GetLastZipResult(), kZipOpenFailed);

    const auto entries = ZipReadBack(ReadAll(zipPath));
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries.at("empty.txt").content, "");
    EXPECT_EQ(entries.at("one.txt").content, "x");
    EXPECT_EQ(entries.at("logs/big.log").content, big);
    EXPECT_EQ(entries.at("self.exe").content, ReadAll(self));
    for (const auto& e : entries) {
        SCOPED_TRACE(e.first);
        EXPECT_EQ(e.second.method, 8u);
        EXPECT_EQ(e.second.flags, 2u);
    }
    const ZipReadEntry& ro = entries.at("ro.txt");
    EXPECT_EQ(ro.externalAttributes, (0x8100u << 16) | 0x21);
    EXPECT_EQ(ro.dosDateTime & 0xFFFF, (12u << 11) | (34u << 5) | 28u);
    EXPECT_EQ(ro.dosDateTime >> 16, ((2021u - 1980) << 9) | (10u << 5) | 12u);
    EXPECT_EQ(ro.centralMtime, 1634042097u);
    EXPECT_EQ(entries.at("one.txt").externalAttributes >> 16, 0x8180u);
    EXPECT_EQ(entries.at("self.exe").externalAttributes >> 16, 0x81C0u);

    SetFileAttributesW((dir + L"\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    for (const wchar_t* f : {L"\\empty.txt", L"\\one.txt", L"\\big.log", L"\\ro.txt", L"\\out.zip"}) {
        DeleteFileW((dir + f).c_str());
    }
    RemoveDirectoryW(dir.c_str());
}

}  // namespace
