#include <gtest/gtest.h>

#include "foundation/Utf.h"

namespace {
std::wstring Units(std::initializer_list<unsigned> units) {
    std::wstring s;
    for (unsigned u : units) s += static_cast<wchar_t>(u);
    return s;
}
}  // namespace

TEST(Utf, BmpRoundTrips) {
    const std::wstring samples[] = {L"", L"abc123", Units({0xE9}), Units({0x20AC, 0x41}),
                                    Units({0xFEFF, 0x7B}), Units({0x4E2D, 0x6587, 0xFFFD})};
    for (const auto& s : samples) {
        EXPECT_EQ(Utf8ToWide(WideToUtf8(s)), s);
    }
    EXPECT_EQ(WideToUtf8(Units({0xE9})), "\xC3\xA9");
    EXPECT_EQ(Utf8ToWide("\xC3\xA9"), Units({0xE9}));
    // A byte-order mark stays.
    EXPECT_EQ(Utf8ToWide("\xEF\xBB\xBF{}"), Units({0xFEFF, '{', '}'}));
}

TEST(Utf, MalformedInputFails) {
    const char* bad[] = {"\xC3\x41", "\x80", "abc\xC3", "\xF4\x90\x80\x80", "\xFF", "\xE2\x82"};
    for (const char* b : bad) {
        EXPECT_THROW(Utf8ToWide(b), Utf8Error) << b;
        std::wstring out = L"kept";
        EXPECT_FALSE(TryUtf8ToWide(b, out));
        EXPECT_EQ(out, L"kept");
    }
    EXPECT_EQ(Utf8ToWideLenient("a\xC3\x41z"), Units({'a', 0xFFFD, 'A', 'z'}));
}

TEST(Utf, OutsideBmpUsesSurrogatePairs) {
    // U+1F600 in UTF-8 is F0 9F 98 80; in UTF-16 D83D DE00.
    const std::wstring pair = Units({0xD83D, 0xDE00});
    EXPECT_EQ(Utf8ToWide("\xF0\x9F\x98\x80"), pair);
    EXPECT_EQ(WideToUtf8(pair), "\xF0\x9F\x98\x80");
    // Older files carry each half as a three-byte sequence: still readable.
    EXPECT_EQ(Utf8ToWide("\xED\xA0\xBD\xED\xB8\x80"), pair);
    // A lone surrogate is written as U+FFFD, never as invalid UTF-8.
    EXPECT_EQ(WideToUtf8(Units({'a', 0xD83D})), "a\xEF\xBF\xBD");
    EXPECT_EQ(WideToUtf8(Units({0xDE00, 'b'})), "\xEF\xBF\xBD" "b");
}

TEST(Utf, StringToWStringSignExtends) {
    EXPECT_EQ(StringToWString("abc123"), L"abc123");
    EXPECT_EQ(StringToWString("\x80"), Units({0xFF80}));
}

TEST(Utf, CompleteUtf8Prefix) {
    struct Case { std::string bytes; size_t complete; };
    const Case cases[] = {
        {"", 0}, {"abc", 3}, {"a\xC3", 1}, {"a\xC3\xA9", 3}, {"\xE2\x82", 0}, {"x\xE2\x82\xAC", 4},
        {"\xF0\x9F\x98", 0}, {"\xF0\x9F\x98\x80", 4}, {"ab\x80", 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CompleteUtf8Prefix(c.bytes), c.complete);
    }
}
