#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "foundation/Folders.h"
#include "foundation/Random.h"
#include "foundation/Utf.h"

namespace fs = std::filesystem;

namespace {

class FoldersTest : public testing::Test {
protected:
    void SetUp() override {
        m_root = fs::path(Utf8ToWide(testing::TempDir()) + L"folders-" + RandomAlnumString(10));
        fs::create_directories(m_root);
    }
    void TearDown() override {
        std::error_code ec;
        for (const auto& e : fs::recursive_directory_iterator(m_root, ec)) {
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
        fs::remove_all(m_root, ec);
    }
    static void Touch(const fs::path& p, const char* bytes = "x") {
        std::ofstream(p, std::ios::binary) << bytes;
    }
    static std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path m_root;
};

}  // namespace

TEST_F(FoldersTest, GetFilesInFolderListsFilesAndFolders) {
    Touch(m_root / "a.log");
    Touch(m_root / "b.log");
    fs::create_directory(m_root / "sub");
    Touch(m_root / "sub" / "inner.log");   // not listed: one level only
    EXPECT_EQ(Sorted(GetFilesInFolder(m_root.wstring())),
              (std::vector<std::wstring>{L"a.log", L"b.log", L"sub"}));
    EXPECT_TRUE(GetFilesInFolder((m_root / "missing").wstring()).empty());
    fs::create_directory(m_root / "empty");
    EXPECT_TRUE(GetFilesInFolder((m_root / "empty").wstring()).empty());
}

TEST_F(FoldersTest, EmptyFolderRemovesNestedFoldersAndReadOnlyFiles) {
    const fs::path tmp = m_root / "tmp";
    fs::create_directories(tmp / "a" / "b" / "c");
    Touch(tmp / "top.png");
    Touch(tmp / "a" / "mid.mp4");
    Touch(tmp / "a" / "b" / "c" / "deep.txt");
    Touch(tmp / "a" / "b" / "ro.txt");
    fs::permissions(tmp / "a" / "b" / "ro.txt", fs::perms::owner_read);
    Touch(tmp / "ro-top.txt");
    fs::permissions(tmp / "ro-top.txt", fs::perms::owner_read);

    EXPECT_TRUE(EmptyFolder(tmp.wstring()));
    EXPECT_TRUE(fs::is_directory(tmp));   // the folder itself stays
    EXPECT_TRUE(fs::is_empty(tmp));
    EXPECT_TRUE(EmptyFolder(tmp.wstring()));   // an empty folder is fine too
    EXPECT_FALSE(EmptyFolder((m_root / "missing").wstring()));
}

#ifndef _WIN32
// Under Wine the same case runs with links made by the system (see the Wine tests).
TEST_F(FoldersTest, EmptyFolderDoesNotFollowLinks) {
    const fs::path victim = m_root / "victim";
    fs::create_directories(victim / "inside");
    Touch(victim / "precious.txt");
    Touch(victim / "inside" / "also.txt");
    const fs::path tmp = m_root / "tmp";
    fs::create_directory(tmp);
    fs::create_directory_symlink(victim, tmp / "planted-dir");
    fs::create_symlink(victim / "precious.txt", tmp / "planted-file");
    Touch(tmp / "own.txt");

    EXPECT_TRUE(EmptyFolder(tmp.wstring()));
    EXPECT_TRUE(fs::is_empty(tmp));   // the links themselves are gone
    EXPECT_TRUE(fs::exists(victim / "precious.txt"));
    EXPECT_TRUE(fs::exists(victim / "inside" / "also.txt"));

    // The folder itself swapped for a link: refused, the target untouched.
    fs::remove(tmp);
    fs::create_directory_symlink(victim, tmp);
    EXPECT_FALSE(EmptyFolder(tmp.wstring()));
    EXPECT_TRUE(fs::exists(victim / "precious.txt"));
    EXPECT_TRUE(fs::exists(victim / "inside" / "also.txt"));
}
#endif

TEST(Folders, WellKnownFolders) {
    const std::wstring temp = GetTempFolder();
    ASSERT_FALSE(temp.empty());
#ifdef _WIN32
    EXPECT_EQ(temp.back(), L'\\');
#else
    EXPECT_EQ(temp.back(), L'/');
#endif
    EXPECT_TRUE(fs::is_directory(fs::path(temp)));
    const std::wstring exeDir = GetExeDirectory();
    ASSERT_FALSE(exeDir.empty());
    EXPECT_EQ(exeDir, GetModuleFolder());
    EXPECT_TRUE(fs::is_directory(fs::path(exeDir)));
}
