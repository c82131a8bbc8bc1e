#include <gtest/gtest.h>

#include "foundation/Base64.h"

TEST(Base64, EncodesRfc4648Vectors) {
    struct Case { std::string in; const char* out; };
    const Case cases[] = {
        {"", ""}, {"a", "YQ=="}, {"ab", "YWI="}, {"abc", "YWJj"},
        {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
        // The last two alphabet characters and bytes with the high bit set.
        {"\xFB\xFF", "+/8="}, {std::string("\0\0\0", 3), "AAAA"}, {"\xFF\xFF\xFF", "////"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.out);
        EXPECT_EQ(Base64Encode(c.in), c.out);
    }
}

TEST(Base64, EncodeBytesNeedsRoomForANull) {
    const uint8_t bytes[] = {'a', 'b', 'c'};
    char out[8];
    std::fill(std::begin(out), std::end(out), '#');
    EXPECT_EQ(Base64EncodeBytes(bytes, 3, out, 4), 0u);
    EXPECT_EQ(out[0], '#');   // nothing written
    EXPECT_EQ(Base64EncodeBytes(bytes, 3, out, 5), 4u);
    EXPECT_EQ(std::string(out, 4), "YWJj");
    EXPECT_EQ(out[4], '#');   // no terminating null
    EXPECT_EQ(Base64EncodeBytes(bytes, 0, out, 1), 0u);
    EXPECT_EQ(Base64EncodedLength(4), 8u);
}
