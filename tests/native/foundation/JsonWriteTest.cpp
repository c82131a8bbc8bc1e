#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "foundation/Json.h"

TEST(JsonWrite, Numbers) {
    struct Case { double value; const wchar_t* text; };
    const Case cases[] = {
        {90, L"90"}, {0.5, L"0.5"}, {1e-7, L"1e-07"}, {0, L"0"}, {-0.0, L"-0"},
        {-5, L"-5"}, {0.1234567, L"0.123457"}, {123456.7, L"123457"}, {2.5e-5, L"2.5e-05"},
        // Integers are exact up to 2^53: colours, sizes and time stamps read back equal.
        {16777215, L"16777215"}, {2147483648.0, L"2147483648"}, {1765400000, L"1765400000"},
        {-4294967296.0, L"-4294967296"}, {9007199254740991.0, L"9007199254740991"},
        {9007199254740992.0, L"9.0072e+15"}, {1e20, L"1e+20"},
        {std::numeric_limits<double>::quiet_NaN(), L"null"}, {HUGE_VAL, L"null"}, {-HUGE_VAL, L"null"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        EXPECT_EQ(JsonValue(c.value).Stringify(), c.text);
    }
}

TEST(JsonWrite, LargeIntegersSurviveARoundTrip) {
    const double values[] = {16777215, 2147483648.0, 4294967295.0, 1765432109, 999999, 1000001};
    for (double v : values) {
        std::unique_ptr<JsonValue> back = Json::Parse(JsonValue(v).Stringify());
        ASSERT_TRUE(back);
        EXPECT_EQ(back->number, v);
    }
}

TEST(JsonWrite, StringEscapes) {
    struct Case { std::wstring in; const wchar_t* out; };
    const Case cases[] = {
        {L"a/b", L"\"a\\/b\""},
        {L"q\"b\\", L"\"q\\\"b\\\\\""},
        {L"\b\t\n\f\r", L"\"\\b\\t\\n\\f\\r\""},
        {std::wstring({wchar_t(0x1F), wchar_t(0), wchar_t(7), wchar_t(11), wchar_t(14)}),
         L"\"\\u001F\\u0000\\u0007\\u000B\\u000E\""},
        {std::wstring({L'\x7F', wchar_t(0xE9), wchar_t(0x20AC), wchar_t(0xD83D)}),
         L"\"\x7F\xE9\x20AC\xD83D\""},
        {L"", L"\"\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.out)));
        EXPECT_EQ(JsonValue(c.in).Stringify(), c.out);
        std::unique_ptr<JsonValue> back = Json::Parse(c.out);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->string, c.in);
    }
}

TEST(JsonWrite, ObjectsInNameOrderArraysInDocumentOrder) {
    std::map<std::wstring, JsonValue*> members;
    members[L"b"] = new JsonValue(true);
    members[L"a"] = new JsonValue(L"x");
    members[L"Z"] = new JsonValue();   // upper case sorts before lower case
    members[L"arr"] = new JsonValue(std::vector<JsonValue*>{new JsonValue(3), new JsonValue(1)});
    JsonValue root(members);
    EXPECT_EQ(root.Stringify(), L"{\"Z\":null,\"a\":\"x\",\"arr\":[3,1],\"b\":true}");
    EXPECT_EQ(JsonValue(std::vector<JsonValue*>{}).Stringify(), L"[]");
    EXPECT_EQ(JsonValue(std::map<std::wstring, JsonValue*>{}).Stringify(), L"{}");
    EXPECT_EQ(JsonValue(false).Stringify(), L"false");
    EXPECT_EQ(JsonValue(16777215u).Stringify(), L"16777215");
    EXPECT_EQ(JsonValue(static_cast<long long>(2147483648LL)).Stringify(), L"2147483648");
}

TEST(JsonWrite, MembersNotOwnedAreLeftAlive) {
    // Members living on the stack: deleting them would crash.
    JsonValue one(1.0), two(L"two");
    {
        JsonValue view(std::map<std::wstring, JsonValue*>{{L"one", &one}, {L"two", &two}}, true);
        EXPECT_EQ(view.Stringify(), L"{\"one\":1,\"two\":\"two\"}");
    }
    EXPECT_EQ(one.number, 1.0);
    EXPECT_EQ(two.string, L"two");
}
