#include <gtest/gtest.h>

#include "foundation/Format.h"

TEST(Format, FillsPlaceholdersLeftToRight) {
    struct Case { const wchar_t* pattern; std::vector<std::wstring> args; const wchar_t* expected; };
    const Case cases[] = {
        {L"a{}b{}c", {L"1", L"2", L"3"}, L"a1b2c"},
        {L"a{}b{}c", {L"1"}, L"a1b{}c"},
        {L"no braces", {L"x"}, L"no braces"},
        {L"{}{}", {L"", L"z"}, L"z"},
        // Inserted text is never searched again: braces inside an argument stay.
        {L"{}-{}", {L"{}", L"x"}, L"{}-x"},
        {L"{}\\{}", {L"C:\\a{}b", L"curl.exe"}, L"C:\\a{}b\\curl.exe"},
    };
    for (const Case& c : cases) {
        Format f(c.pattern);
        for (const auto& a : c.args) f.Arg(a);
        EXPECT_EQ(f.Str(), c.expected) << c.pattern;
    }
}

TEST(Format, NumberArguments) {
    EXPECT_EQ(Format(L"{}").ArgInt(-12).Str(), L"-12");
    EXPECT_EQ(Format(L"{}").ArgInt(0).Str(), L"0");
    struct Case { int value; const wchar_t* expected; };
    for (const Case& c : {Case{7, L"07"}, Case{0, L"00"}, Case{10, L"10"}, Case{2024, L"2024"}}) {
        EXPECT_EQ(Format(L"{}").ArgTwoDigits(c.value).Str(), c.expected);
    }
    EXPECT_EQ(Format(L"{}").ArgDouble(2).Str(), L"2.000000");
    EXPECT_EQ(Format(L"{}").ArgDouble(3.5).Str(), L"3.500000");
    EXPECT_EQ(Format(L"{}").ArgHex(255).Str(), L"ff");
    EXPECT_EQ(Format(L"{}").ArgHex(0).Str(), L"0");
    EXPECT_EQ(Format(L"{}").ArgHex(-1).Str(), L"ffffffff");
}

TEST(FormatA, ArgumentsBoolsAndMaxLength) {
    EXPECT_EQ(FormatA("{}={}").Arg("k").ArgBool(true).Str(), "k=1");
    EXPECT_EQ(FormatA("{}").ArgBool(false).Str(), "0");
    EXPECT_EQ(FormatA("{}:{}").ArgInt(42).Arg("x").Str(), "42:x");
    EXPECT_EQ(FormatA("abc{}").Arg("def").SetMaxLength(4).Str(), "abcd");
    EXPECT_EQ(FormatA("abc").SetMaxLength(10).Str(), "abc");
    EXPECT_EQ(FormatA("abc").SetMaxLength(0).Str(), "abc");
}
