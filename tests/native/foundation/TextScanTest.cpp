#include <gtest/gtest.h>

#include "foundation/TextScan.h"

TEST(TextScan, ReadNextWalksDigitRuns) {
    const std::string text = "ab12cd34";
    size_t pos = 0;
    uint32_t value = 0;
    ASSERT_TRUE(ReadNextUnsignedIntegerFromBuffer(text.data(), text.size(), pos, value));
    EXPECT_EQ(value, 12u);
    EXPECT_EQ(pos, 4u);
    ASSERT_TRUE(ReadNextUnsignedIntegerFromBuffer(text.data(), text.size(), pos, value));
    EXPECT_EQ(value, 34u);
    EXPECT_EQ(pos, 8u);
    EXPECT_FALSE(ReadNextUnsignedIntegerFromBuffer(text.data(), text.size(), pos, value));
    EXPECT_EQ(pos, 8u);
    EXPECT_EQ(value, 34u);

    // No digits: position and value stay.
    pos = 1;
    value = 77;
    EXPECT_FALSE(ReadNextUnsignedIntegerFromBuffer("x,y", 3, pos, value));
    EXPECT_EQ(pos, 1u);
    EXPECT_EQ(value, 77u);
    // Empty text, position past the end.
    pos = 0;
    EXPECT_FALSE(ReadNextUnsignedIntegerFromBuffer("", 0, pos, value));
    pos = 5;
    EXPECT_FALSE(ReadNextUnsignedIntegerFromBuffer("12", 2, pos, value));
}

TEST(TextScan, ParseNumbers) {
    struct Case { std::string text; std::vector<int> numbers; };
    const Case cases[] = {
        {"17,16,44", {17, 16, 44}},
        {"1.2.3", {1, 2, 3}},
        {" 44 ", {44}},
        {"", {}},
        {"x", {}},
        {"007", {7}},
        {"4294967295", {-1}},   // the 32-bit pattern of 4294967295
        // Runs that do not fit in 32 bits are skipped, not wrapped or undefined.
        {"1,4294967296,2", {1, 2}},
        {"99999999999999999999999999999999,5", {5}},
        // A null character ends the text.
        {std::string("12\0" "34", 5), {12}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseNumbers(c.text), c.numbers);
    }
}

TEST(TextScan, JoinNumbersRoundTrips) {
    const std::vector<std::vector<int>> lists = {{17, 16, 44}, {}, {0}, {1, 2}, {-1, 2147483647}};
    const char* texts[] = {"17,16,44", "", "0", "1,2", "4294967295,2147483647"};
    for (size_t i = 0; i < lists.size(); ++i) {
        EXPECT_EQ(JoinNumbers(lists[i]), texts[i]);
        EXPECT_EQ(ParseNumbers(JoinNumbers(lists[i])), lists[i]);
    }
}

TEST(TextScan, ExtractQuotedText) {
    struct Case { std::string text; bool found; std::string out; size_t pos; };
    const Case cases[] = {
        {"x \"abc\" y", true, "abc", 7},
        {"\"abc", false, "abc", 4},
        {"abc", false, "", 3},
        {"\"", false, "", 1},
        {"\"\"", true, "", 2},
        {"", false, "", 0},
        {std::string("\"a\0b\"", 5), false, "a", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        size_t pos = 0;
        std::string out = "stale";
        EXPECT_EQ(ExtractQuotedText(c.text, pos, out), c.found);
        EXPECT_EQ(out, c.out);
        EXPECT_EQ(pos, c.pos);
    }
}

TEST(TextScan, ExtractQuotedTextWalksTokens) {
    const std::string text = "\"a1\" \"b2\",\"c3\"";
    size_t pos = 0;
    std::string token;
    std::vector<std::string> tokens;
    while (ExtractQuotedText(text, pos, token)) tokens.push_back(token);
    EXPECT_EQ(tokens, (std::vector<std::string>{"a1", "b2", "c3"}));
}
