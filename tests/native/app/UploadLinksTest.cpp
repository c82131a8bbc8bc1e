#include <gtest/gtest.h>

#include "app/UploadLinks.h"

TEST(UploadLinks, DayCodesAndServerNames) {
    struct Case { int d, m, y; int day; std::wstring code; };
    const Case kCases[] = {
        {1, 1, 2020, 0, L"00"},
        {12, 10, 2021, 650, L"AU"},
        {29, 2, 2020, 59, L"0x"},
        {1, 3, 2020, 60, L"0y"},
        {1, 1, 2021, 366, L"5u"},
        {10, 7, 2030, 3843, L"zz"},
        {11, 7, 2030, 3844, L"zz"},    // past the two characters: clamped
        {31, 12, 2019, -1, L"00"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.day);
        EXPECT_EQ(DayNumberSince2020(c.d, c.m, c.y), c.day);
        EXPECT_EQ(EncodeBase62(DayNumberSince2020(c.d, c.m, c.y)), c.code);
    }
    EXPECT_EQ(MakeServerName(12, 10, 2021, L"X"), L"121021/X");
    EXPECT_EQ(MakeServerName(1, 2, 2030, L"abc"), L"010230/abc");
    EXPECT_EQ(MakeShortLink(L"http://h:1", L"s", 12, 10, 2021, L"X"), L"http://h:1/sAUX");
}

TEST(UploadLinks, OpeningRules) {
    struct Case { int type; bool shotDirect, videoDirect; std::wstring opened; };
    const Case kCases[] = {
        {kLinkScreenshot, false, true, L"L?a"},
        {kLinkScreenshot, true, false, L"L"},
        {kLinkFile, false, true, L"L?a"},
        {kLinkFile, true, false, L"L"},
        {kLinkVideo, true, false, L"L?a"},
        {kLinkVideo, false, true, L"L"},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(LinkToOpen(c.type, L"L", c.shotDirect, c.videoDirect), c.opened) << c.type;
    }
    EXPECT_TRUE(MayOpenLink(kLinkScreenshot, true, false));
    EXPECT_FALSE(MayOpenLink(kLinkScreenshot, false, true));
    EXPECT_TRUE(MayOpenLink(kLinkVideo, false, true));
    EXPECT_FALSE(MayOpenLink(kLinkVideo, true, false));
    EXPECT_TRUE(MayOpenLink(kLinkFile, false, false));
}

TEST(UploadLinks, ErrorTexts) {
    struct Case { int code; std::wstring text; };
    const Case kCases[] = {
        {1, L"t211"},
        {2, L"t212"},
        {0x90000, L"t179"},
        {0x70007, L"t133 Code: 0x070007"},
        {0x60000, L"t133 Code: 0x060000"},
        {0x10000, L"t133 Code: 0x010000"},
        {0, L"t133 Code: 00000000"},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(UploadErrorText(c.code, L"t211", L"t212", L"t179", L"t133"), c.text) << c.code;
    }
}

TEST(UploadLinks, NamesSizesAndFolders) {
    struct Case { std::wstring path, name, ext; };
    const Case kCases[] = {
        {L"C:\\d\\Report, final.pdf", L"Report, final", L".pdf"},
        {L"C:\\d\\archive.tar.gz", L"archive.tar", L".gz"},
        {L"C:\\d\\README", L"README", L""},
        {L"C:\\d\\.profile", L".profile", L""},
        {L"C:\\dir.old\\file", L"file", L""},
        {L"C:\\d\\caf\u00e9 \U0001F600.txt", L"caf\u00e9 \U0001F600", L".txt"},
    };
    for (const Case& c : kCases) {
        std::wstring name, ext;
        SplitUploadName(c.path, name, ext);
        EXPECT_EQ(name, c.name);
        EXPECT_EQ(ext, c.ext);
    }
    EXPECT_TRUE(FitsUploadLimit(100, 100));
    EXPECT_FALSE(FitsUploadLimit(101, 100));
    EXPECT_FALSE(FitsUploadLimit(0x100000000ULL, 0xFFFFFFFFu));
    EXPECT_TRUE(IsInFolder(L"C:\\t\\tmp\\v.mp4", L"C:\\t\\tmp"));
    EXPECT_TRUE(IsInFolder(L"C:\\t\\tmp\\v.mp4", L"C:\\t\\tmp\\"));
    EXPECT_FALSE(IsInFolder(L"C:\\t\\tmp2\\v.mp4", L"C:\\t\\tmp"));
    EXPECT_FALSE(IsInFolder(L"C:\\t\\tmp", L"C:\\t\\tmp"));
    EXPECT_FALSE(IsInFolder(L"C:\\v.mp4", L""));
}
