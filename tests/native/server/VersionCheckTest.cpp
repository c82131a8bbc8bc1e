#include "server/VersionCheck.h"

#include <gtest/gtest.h>

namespace {

TEST(VersionCheck, NewerVersionTable) {
    struct Case {
        const char* product;
        const char* available;
        bool newer;
    };
    const Case cases[] = {
        {"3.10.0.58", "3.10.0.60", true},
        {"3.9.0.1", "3.10.0.0", true},
        {"3.99.99", "4.0", true},
        {"3.10.0.58", "3.11.0.1", true},
        // Components are numbers, not joined digits.
        {"3.10.0.58", "3.10.1.0", true},
        {"3.10.1.0", "3.10.0.100", false},
        {"3.9.10.0", "3.10.0.0", true},
        {"3.10.0.58", "3.10.0.58", false},
        {"3.10.0.58", "3.9.99.99", false},
        {"3.10", "3.10.0.0", false},
        {"3.10.0.0", "3.10", false},
        {"3.10", "3.10.0.1", true},
        {"999999999.1", "1000000000.0", false},   // overlong component: invalid
        {"3.10.0.58", "99999999999999999999", false},
        // Invalid texts are never newer.
        {"3.10.0.58", "", false},
        {"3.10.0.58", "4.0-beta", false},
        {"3.10.0.58", "v4", false},
        {"3.10.0.58", "4..0", false},
        {"3.10.0.58", "4.", false},
        {"3.10.0.58", ".4", false},
        {"3.10.0.58", "1.2.3.4.5.6.7.8.9", false},
        {"", "4.0", false},
        {"3.10.0.58", "1.2.3.4.5.6.7.99", false},
        {"1.2.3.4.5.6.7.8", "1.2.3.4.5.6.7.9", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.product) + " vs " + c.available);
        EXPECT_EQ(IsNewerVersion(c.product, c.available), c.newer);
    }
}

TEST(VersionCheck, ParseVersion) {
    const ParsedVersion v = ParseVersion("3.10.0.58");
    EXPECT_TRUE(v.valid);
    EXPECT_EQ(v.parts, (std::vector<uint32_t>{3, 10, 0, 58}));
    EXPECT_EQ(v.major(), 3);
    const ParsedVersion bad = ParseVersion("3.1x");
    EXPECT_FALSE(bad.valid);
    EXPECT_EQ(bad.parts, (std::vector<uint32_t>{3}));
    EXPECT_TRUE(ParseVersion("7").valid);
    EXPECT_TRUE(ParseVersion("123456789").valid);
    EXPECT_FALSE(ParseVersion("1234567890").valid);
}

TEST(VersionCheck, ReplyExtraction) {
    struct Case {
        const char* name;
        std::string reply;
        const char* version;
    };
    const std::string ok = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n";
    const Case cases[] = {
        {"JSON string body", ok + "\r\n\"3.11.0.1\"", "3.11.0.1"},
        {"JSON object body", ok + "\r\n{\"version\":\"3.11.0.1\"}", ""},  // first quoted text is the key
        {"quoted header, version in body", ok + "ETag: \"12345\"\r\n\r\n\"3.11.0.1\"", "3.11.0.1"},
        {"quoted header, body without quotes", ok + "ETag: \"12345\"\r\n\r\n3.11.0.1", ""},
        {"no separator: the whole reply", "\"3.12\"", "3.12"},
        {"no closing quote: the rest", ok + "\r\n\"3.11.0.2", "3.11.0.2"},
        {"no closing quote, trailing newline", ok + "\r\n\"3.11.0.2\n", ""},
        {"empty reply", "", ""},
        {"headers only", ok + "\r\n", ""},
        {"empty quotes", ok + "\r\n\"\"", ""},
        {"nonsense", ok + "\r\n\"<html>oops</html>\"", ""},
        {"binary", std::string("\r\n\r\n\"\xff\xfe\"", 8), ""},
        {"overlong number", ok + "\r\n\"12345678901234567890.1\"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ExtractLatestVersion(c.reply), c.version);
    }
}

TEST(VersionCheck, RequestPath) {
    EXPECT_EQ(LatestVersionPath(1733875200), "/actver.php?1733875200");
}

TEST(VersionCheck, DailyGate) {
    const int64_t now = 1800000000;
    struct Case {
        const char* name;
        int64_t now;
        uint32_t last;
        bool due;
    };
    const Case cases[] = {
        {"never shown", now, 0, true},
        {"86399 s ago", now, static_cast<uint32_t>(now - 86399), false},
        {"86400 s ago", now, static_cast<uint32_t>(now - 86400), true},
        {"long ago", now, 1000, true},
        {"in the future", now, static_cast<uint32_t>(now + 5), false},
        // Far in the future as unsigned 32 bits: no wrap into a huge age.
        {"end of the 32-bit range", now, 0xFFFFFFFFu, false},
        {"now beyond 32 bits", int64_t{0x100000000} + 100000, 0xFFFFFFF0u, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NewVersionDialogDue(c.now, c.last), c.due);
    }
}

}  // namespace
