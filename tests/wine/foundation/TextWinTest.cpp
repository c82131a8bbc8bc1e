#include <gtest/gtest.h>

#include <windows.h>

#include "foundation/StringTable.h"
#include "foundation/Utf.h"

TEST(WStringPrintf, WideStringsAndAnyLength) {
    EXPECT_EQ(WStringPrintf(L"%s", L"wide"), L"wide");
    EXPECT_EQ(WStringPrintf(L"%d-%s", 12, L"x"), L"12-x");
    std::wstring big(10000, L'q');
    EXPECT_EQ(WStringPrintf(L"%s", big.c_str()), big);
    EXPECT_EQ(WStringPrintf(L"%s!", big.c_str()).size(), 10001u);
}

TEST(SystemConversions, Utf8AndAnsi) {
    std::wstring smile = {wchar_t(0xD83D), wchar_t(0xDE00)};
    EXPECT_EQ(WStringToUtf8(smile), "\xF0\x9F\x98\x80");
    EXPECT_EQ(WStringToUtf8(L""), "");
    EXPECT_EQ(WStringToUtf8(std::wstring(L"ab\0cd", 5)), "ab");
    EXPECT_EQ(WStringToAnsi(L"plain"), "plain");
    // Our own converter agrees with the system's for text outside the BMP.
    EXPECT_EQ(WideToUtf8(smile), WStringToUtf8(smile));
}

TEST(StringTable, MissingIdGivesEmptyText) {
    // The test executable has no string table at all.
    EXPECT_EQ(StringTable::Instance().GetString(64999), L"");
    wchar_t buf[8] = L"junk";
    EXPECT_STREQ(StringTable::Instance().CopyString(64999, buf, 8), L"");
}
