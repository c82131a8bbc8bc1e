#include <gtest/gtest.h>

#include "foundation/ProcessArguments.h"
#include "foundation/ProcessOutputDecoder.h"

TEST(ProcessOutputDecoder, KeepsACharacterSplitAcrossReads) {
    ProcessOutputDecoder decoder;
    // "é" (C3 A9) and "€" (E2 82 AC) cut at every byte.
    EXPECT_EQ(decoder.Feed("a\xC3"), L"a");
    EXPECT_EQ(decoder.Feed("\xA9\xE2"), L"\u00E9");
    EXPECT_EQ(decoder.Feed("\x82"), L"");
    EXPECT_EQ(decoder.Feed("\xAC" "b"), L"\u20ACb");
    EXPECT_EQ(decoder.Flush(), L"");
}

TEST(ProcessOutputDecoder, MalformedBytesBecomeReplacementCharacters) {
    ProcessOutputDecoder decoder;
    std::wstring text = decoder.Feed("x\xFFy\x80z");
    EXPECT_EQ(text, L"x\uFFFDy\uFFFDz");
    // An incomplete sequence left at the end is flushed as a replacement character.
    EXPECT_EQ(decoder.Feed("ok\xE2\x82"), L"ok");
    std::wstring rest = decoder.Flush();
    ASSERT_FALSE(rest.empty());
    EXPECT_EQ(rest.find_first_not_of(L'\uFFFD'), std::wstring::npos);
    EXPECT_EQ(decoder.Flush(), L"");
}

TEST(ProcessArguments, SplitsWithWindowsRules) {
    struct Case { const wchar_t* text; std::vector<std::wstring> args; };
    const Case kCases[] = {
        {L"", {}},
        {L"  a  b\tc ", {L"a", L"b", L"c"}},
        {L"-L  --max-time 60", {L"-L", L"--max-time", L"60"}},
        {L"\"a b\" c", {L"a b", L"c"}},
        {L"-w\"%{http_code}\"", {L"-w%{http_code}"}},
        {L"a\\\\b", {L"a\\\\b"}},
        {L"\"C:\\dir\\\\\" x", {L"C:\\dir\\", L"x"}},
        {L"a\\\"b", {L"a\"b"}},
        {L"\"a\"\"b\"", {L"a\"b"}},
        {L"\"\"", {L""}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        EXPECT_EQ(SplitProcessArguments(c.text), c.args);
    }
}

TEST(ProcessArguments, QuotedArgumentsReadBackUnchanged) {
    const std::wstring hostile[] = {L"", L"plain", L"two words", L"quote\"inside", L"\"",
                                    L"ends with\\", L"C:\\dir\\", L"\\\\\"\\", L"a&b=c%d",
                                    L"tab\there", L"\u00E9\u20AC"};
    for (const std::wstring& h : hostile) {
        std::wstring line = L"-x " + QuoteProcessArgument(h) + L" tail";
        auto args = SplitProcessArguments(line);
        ASSERT_EQ(args.size(), 3u) << testing::PrintToString(line);
        EXPECT_EQ(args[1], h);
        EXPECT_EQ(args[2], L"tail");
    }
}
