#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "foundation/Json.h"

namespace {
// Latin-1 test text to wide: each byte is one unit.
std::wstring W(const char* s) {
    std::wstring out;
    for (; *s; ++s) out += static_cast<wchar_t>(static_cast<unsigned char>(*s));
    return out;
}
}  // namespace

TEST(JsonParse, AcceptsAndNormalises) {
    // Input and the writer's compact text of what was read.
    struct Case { const char* in; const char* out; };
    const Case cases[] = {
        {" \t\r\n{\"a\":1} \n", "{\"a\":1}"},
        {"TRUE", "true"}, {"False", "false"}, {"NULL", "null"}, {"nUlL", "null"},
        {"[]", "[]"}, {"{}", "{}"}, {"[ ]", "[]"}, {"{ }", "{}"},
        {"[TRUE,False,NULL]", "[true,false,null]"},
        {"{\"a\":1,\"a\":2}", "{\"a\":2}"},
        {"{\"b\" : [1, {\"c\" :\"d\"}] , \"a\":\"\"}", "{\"a\":\"\",\"b\":[1,{\"c\":\"d\"}]}"},
        {"\"a\tb\"", "\"a\\tb\""},             // a raw tab is accepted
        {"\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"", "\"\\\"\\\\\\/\\b\\f\\n\\r\\t\""},
        {"\"\\u0041\\u00e9\\u00E9\"", "\"A\xE9\xE9\""},
        {"\"\\u001f\\u0000\"", "\"\\u001F\\u0000\""},
        {"0", "0"}, {"-0", "-0"}, {"12", "12"}, {"-7", "-7"},
        {"1.5e2", "150"}, {"2E-1", "0.2"}, {"1E+2", "100"}, {"0.5", "0.5"},
        {"16777215", "16777215"}, {"2147483648", "2147483648"}, {"2.14748e+09", "2147480000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        std::unique_ptr<JsonValue> v = Json::Parse(W(c.in));
        ASSERT_TRUE(v);
        EXPECT_EQ(v->Stringify(), W(c.out));
    }
}

TEST(JsonParse, Rejects) {
    const char* bad[] = {
        "", "   ", "x", "{\"a\":1} x", "{\"a\":1}}", "[1,]", "{\"a\":1,}", "[1 2]", "[,1]",
        "{,}", "{\"a\"}", "{\"a\" 1}", "{a:1}", "{\"a\":}", "[", "{", "[1", "{\"a\":1",
        "\"abc", "\"a\nb\"", "\"a\x01\"", "\"\\x\"", "\"\\u12\"", "\"\\u12G4\"", "\"\\",
        "01", "-", "-a", "1.", "1.e5", ".5", "+1", "1e", "1e+", "1E-", "Infinity", "NaN",
        "-Infinity", "truex", "tru", "nul", "[truex]", "True False", "'a'",
    };
    for (const char* b : bad) {
        SCOPED_TRACE(b);
        EXPECT_FALSE(Json::Parse(W(b)));
    }
    // A byte-order mark is not whitespace.
    EXPECT_FALSE(Json::Parse(std::wstring(1, wchar_t(0xFEFF)) + L"{}"));
    // Nothing may follow the value, not even a null character.
    EXPECT_FALSE(Json::Parse(std::wstring(L"{}\0", 3)));
    EXPECT_FALSE(Json::Parse(std::wstring(L"\"a\0\"", 4)));
}

TEST(JsonParse, ValuesAndTypes) {
    std::unique_ptr<JsonValue> v = Json::Parse(
        L"{\"s\":\"x\",\"b\":true,\"n\":-2.5,\"a\":[null,1],\"o\":{}}");
    ASSERT_TRUE(v);
    ASSERT_EQ(v->type, JsonType::Object);
    EXPECT_EQ(v->object.size(), 5u);
    EXPECT_EQ(v->Find(L"s")->type, JsonType::String);
    EXPECT_EQ(v->Find(L"s")->string, L"x");
    EXPECT_EQ(v->Find(L"b")->type, JsonType::Bool);
    EXPECT_TRUE(v->Find(L"b")->boolean);
    EXPECT_EQ(v->Find(L"n")->number, -2.5);
    ASSERT_EQ(v->Find(L"a")->array.size(), 2u);
    EXPECT_EQ(v->Find(L"a")->array[0]->type, JsonType::Null);
    EXPECT_EQ(v->Find(L"o")->type, JsonType::Object);
    EXPECT_EQ(v->Find(L"missing"), nullptr);
    EXPECT_EQ(v->Find(L"s")->Find(L"x"), nullptr);   // not an object

    std::unique_ptr<JsonValue> zero = Json::Parse(L"-0");
    ASSERT_TRUE(zero);
    EXPECT_TRUE(std::signbit(zero->number));

    // Surrogate escapes stay two units; \u0000 is a character inside the text.
    std::unique_ptr<JsonValue> s = Json::Parse(L"\"\\ud83d\\uDE00\\u0000z\"");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->string, std::wstring({wchar_t(0xD83D), wchar_t(0xDE00), wchar_t(0), L'z'}));
}

TEST(JsonParse, NumbersAreCorrectlyRounded) {
    // Summing digit * 0.1, 0.01... gives 0.30000000000000004 for "0.3".
    struct Case { const wchar_t* in; double value; };
    const Case cases[] = {
        {L"0.3", 0.3}, {L"0.1", 0.1}, {L"2E-1", 0.2}, {L"1e-7", 1e-7}, {L"123.456", 123.456},
        {L"9007199254740993", 9007199254740992.0}, {L"1e308", 1e308}, {L"4.9e-324", 4.9e-324},
        {L"0.000", 0.0}, {L"0e5", 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.in)));
        std::unique_ptr<JsonValue> v = Json::Parse(c.in);
        ASSERT_TRUE(v);
        EXPECT_EQ(v->number, c.value);
    }
}

TEST(JsonParse, HugeExponentsSaturateQuickly) {
    struct Case { std::wstring in; double value; };
    const double inf = HUGE_VAL;
    const Case cases[] = {
        {L"1e99999999999", inf}, {L"-1e99999999999", -inf}, {L"1e-99999999999", 0.0},
        {L"1e400", inf}, {L"1e-400", 0.0}, {L"0.0001e-99999999999999999999", 0.0},
        {L"1" + std::wstring(400, L'0'), inf}, {L"0." + std::wstring(400, L'0') + L"1", 0.0},
        {L"1e" + std::wstring(100000, L'9'), inf},
    };
    const auto start = std::chrono::steady_clock::now();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.in.substr(0, 30)));
        std::unique_ptr<JsonValue> v = Json::Parse(c.in);
        ASSERT_TRUE(v);
        EXPECT_EQ(v->number, c.value);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    // An infinity is written as null, so the output stays valid JSON.
    EXPECT_EQ(Json::Parse(L"[1e99999]")->Stringify(), L"[null]");
}

TEST(JsonParse, NestingIsBounded) {
    auto nested = [](int depth, wchar_t open, wchar_t close, const wchar_t* inner) {
        std::wstring text;
        for (int i = 0; i < depth; ++i) {
            text += open;
            if (open == L'{') text += L"\"k\":";
        }
        text += inner;
        for (int i = 0; i < depth; ++i) text += close;
        return text;
    };
    EXPECT_TRUE(Json::Parse(nested(Json::kMaxDepth, L'[', L']', L"1")));
    EXPECT_FALSE(Json::Parse(nested(Json::kMaxDepth + 1, L'[', L']', L"1")));
    EXPECT_TRUE(Json::Parse(nested(Json::kMaxDepth, L'{', L'}', L"1")));
    EXPECT_FALSE(Json::Parse(nested(Json::kMaxDepth + 1, L'{', L'}', L"1")));
    // Hostile input: 100000 open brackets, closed or not, fail without a crash.
    EXPECT_FALSE(Json::Parse(std::wstring(100000, L'[')));
    EXPECT_FALSE(Json::Parse(nested(100000, L'[', L']', L"")));
    // Siblings do not add up: width is not depth.
    std::wstring wide = L"[";
    for (int i = 0; i < 2000; ++i) wide += i ? L",[[]]" : L"[[]]";
    wide += L"]";
    EXPECT_TRUE(Json::Parse(wide));
}
