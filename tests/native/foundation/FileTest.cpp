#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "foundation/File.h"
#include "foundation/Random.h"
#include "foundation/Utf.h"

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
const wchar_t kSep = L'\\';
#else
const wchar_t kSep = L'/';
#endif

// A fresh folder under the test temporary folder, removed afterwards.
class FileTest : public testing::Test {
protected:
    void SetUp() override {
        m_dir = Utf8ToWide(testing::TempDir()) + L"file-" + RandomAlnumString(10);
        fs::create_directories(fs::path(m_dir));
    }
    void TearDown() override {
        std::error_code ec;
        for (const auto& e : fs::recursive_directory_iterator(fs::path(m_dir), ec)) {
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
        fs::remove_all(fs::path(m_dir), ec);
    }
    std::wstring PathOf(const wchar_t* name) const { return m_dir + kSep + name; }
    void WriteBytes(const std::wstring& path, const std::string& bytes) const {
        std::ofstream out(fs::path(path), std::ios::binary);
        out << bytes;
    }
    std::string ReadBytes(const std::wstring& path) const {
        std::ifstream in(fs::path(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::wstring m_dir;
};

}  // namespace

TEST_F(FileTest, WriteStringThenReadAllText) {
    const std::wstring text = {L'h', L'\xE9', L'\x20AC', L'\n', L'{', L'}'};
    File file(PathOf(L"a.json"));
    EXPECT_FALSE(file.Exists());
    ASSERT_TRUE(file.WriteString(text)) << file.LastError();
    EXPECT_TRUE(file.Exists());
    EXPECT_EQ(ReadBytes(file.Path()), "h\xC3\xA9\xE2\x82\xAC\n{}");   // UTF-8, no BOM
    std::wstring back;
    ASSERT_TRUE(file.ReadAllText(back));
    EXPECT_EQ(back, text);
    EXPECT_EQ(file.LastError(), "");

    // Writing again replaces the whole file.
    ASSERT_TRUE(file.WriteString(L"x"));
    EXPECT_EQ(ReadBytes(file.Path()), "x");

    // "" makes an empty file, which reads back as "".
    ASSERT_TRUE(file.WriteString(L""));
    EXPECT_EQ(fs::file_size(fs::path(file.Path())), 0u);
    back = L"stale";
    ASSERT_TRUE(file.ReadAllText(back));
    EXPECT_EQ(back, L"");
}

TEST_F(FileTest, ReadAllTextKeepsByteOrderMark) {
    WriteBytes(PathOf(L"bom.json"), "\xEF\xBB\xBF{}");
    File file(PathOf(L"bom.json"));
    std::wstring text;
    ASSERT_TRUE(file.ReadAllText(text));
    EXPECT_EQ(text, std::wstring({wchar_t(0xFEFF), L'{', L'}'}));
}

TEST_F(FileTest, ReadAllTextFailsOnInvalidUtf8) {
    // A hand-edited settings file must not take the program down at every start.
    const char* samples[] = {"{\"a\":\"\xFF\"}", "abc\xC3", "\x80", "{\"a\":\"\xC3\x41\"}"};
    for (const char* bytes : samples) {
        SCOPED_TRACE(bytes);
        WriteBytes(PathOf(L"bad.json"), bytes);
        File file(PathOf(L"bad.json"));
        std::wstring text = L"untouched";
        EXPECT_FALSE(file.ReadAllText(text));
        EXPECT_EQ(file.LastError(), "Failed File::ReadAllText: invalid UTF-8");
        EXPECT_EQ(text, L"untouched");
    }
}

TEST_F(FileTest, FailureTexts) {
    File missing(PathOf(L"missing.txt"));
    EXPECT_FALSE(missing.Delete());
    EXPECT_EQ(missing.LastError(), "File::Delete: Failed: 2");
    std::wstring text = L"untouched";
    EXPECT_FALSE(missing.ReadAllText(text));
    EXPECT_EQ(missing.LastError(), "Failed File::ReadAllText: CreateFile: 2");
    EXPECT_EQ(text, L"untouched");
    EXPECT_FALSE(missing.Move(PathOf(L"elsewhere.txt")));
    EXPECT_EQ(missing.LastError(), "File::Move: Failed: -1");

    File nothing(L"");
    EXPECT_TRUE(nothing.Delete());
    EXPECT_EQ(nothing.LastError(), "");

    // A folder that does not exist cannot take a new file.
    File nowhere(PathOf(L"no-such-folder") + kSep + L"f.txt");
    EXPECT_FALSE(nowhere.WriteString(L"x"));
    EXPECT_EQ(nowhere.LastError().rfind("Failed File::WriteString: CreateFile: ", 0), 0u)
        << nowhere.LastError();
}

TEST_F(FileTest, MoveRefusesAnExistingTarget) {
    WriteBytes(PathOf(L"from"), "new");
    WriteBytes(PathOf(L"to"), "old");
    File from(PathOf(L"from"));
    EXPECT_FALSE(from.Move(PathOf(L"to")));
    EXPECT_EQ(from.LastError(), "File::Move: Failed: -1");
    EXPECT_EQ(ReadBytes(PathOf(L"to")), "old");
    EXPECT_EQ(ReadBytes(PathOf(L"from")), "new");

    // A success clears the previous failure text.
    ASSERT_TRUE(File(PathOf(L"to")).Delete());
    EXPECT_TRUE(from.Move(PathOf(L"to")));
    EXPECT_EQ(from.LastError(), "");
    EXPECT_EQ(ReadBytes(PathOf(L"to")), "new");
    EXPECT_FALSE(from.Exists());
}

TEST_F(FileTest, CopyReplacesTheTarget) {
    WriteBytes(PathOf(L"src"), "fresh");
    WriteBytes(PathOf(L"dst"), "stale and longer");
    File src(PathOf(L"src"));
    EXPECT_TRUE(src.Copy(PathOf(L"dst")));
    EXPECT_EQ(ReadBytes(PathOf(L"dst")), "fresh");
    EXPECT_EQ(ReadBytes(PathOf(L"src")), "fresh");
    // Onto itself: refused, and the contents stay.
    EXPECT_FALSE(src.Copy(PathOf(L"src")));
    EXPECT_EQ(ReadBytes(PathOf(L"src")), "fresh");
    EXPECT_FALSE(File(PathOf(L"none")).Copy(PathOf(L"dst2")));
    EXPECT_FALSE(fs::exists(fs::path(PathOf(L"dst2"))));
}

TEST_F(FileTest, WriteStringOverReadOnlyFileFailsAtDelete) {
    WriteBytes(PathOf(L"ro.json"), "keep");
    fs::permissions(fs::path(PathOf(L"ro.json")), fs::perms::owner_read | fs::perms::group_read |
                                                      fs::perms::others_read);
    File file(PathOf(L"ro.json"));
    EXPECT_FALSE(file.WriteString(L"new"));
    EXPECT_EQ(file.LastError().rfind("File::Delete: Failed: ", 0), 0u) << file.LastError();
    EXPECT_EQ(ReadBytes(PathOf(L"ro.json")), "keep");
}
