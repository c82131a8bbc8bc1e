#include <gtest/gtest.h>

#include "foundation/Path.h"

TEST(Path, SplitsDirectoryExtensionAndBaseName) {
    struct Case { const wchar_t* path; const wchar_t* dir; const wchar_t* ext; const wchar_t* base; };
    const Case cases[] = {
        {L"C:\\a\\b.txt", L"C:\\a", L"txt", L"b"},
        {L"a/b/c", L"a/b", L"", L"c"},
        {L"abc", L"", L"", L"abc"},
        {L"shot.final.png", L"", L"png", L"shot.final"},
        {L"C:\\dir.old\\file", L"C:\\dir.old", L"", L"file"},
        {L"C:\\x\\shot.png", L"C:\\x", L"png", L"shot"},
        // A backslash wins over a later slash for the folder.
        {L"C:\\a/b\\c/d.e", L"C:\\a/b", L"e", L"d"},
        {L"dir/.hidden", L"dir", L"hidden", L""},
        {L"name.", L"", L"", L"name"},
        {L"", L"", L"", L""},
        {L"C:\\", L"C:", L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.path)));
        EXPECT_EQ(GetDirectoryName(c.path), c.dir);
        EXPECT_EQ(GetFileExtension(c.path), c.ext);
        EXPECT_EQ(GetFileBaseName(c.path), c.base);
    }
}

TEST(Path, DotEntries) {
    EXPECT_TRUE(IsDotEntry(L"."));
    EXPECT_TRUE(IsDotEntry(L".."));
    EXPECT_FALSE(IsDotEntry(L"..."));
    EXPECT_FALSE(IsDotEntry(L".git"));
    EXPECT_FALSE(IsDotEntry(L""));
}
