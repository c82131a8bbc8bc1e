// Identifiers, day codes and short links: every form the program sends, and the
// hostile ones a client could send instead.
#include "foundation/DayCode.h"
#include "service/logic/Identifiers.h"
#include "service/logic/ShortLink.h"

#include <gtest/gtest.h>

using namespace service;

TEST(DayCode, WorkedDatesAndLimits) {
    struct Case { int d, m, y, number; const char* code; };
    const Case kCases[] = {
        {1, 1, 2020, 0, "00"},     {12, 10, 2021, 650, "AU"}, {29, 2, 2020, 59, "0x"},
        {1, 3, 2020, 60, "0y"},    {31, 12, 2020, 365, "5t"}, {10, 7, 2030, 3843, "zz"},
        {11, 7, 2030, 3844, ""},   {31, 12, 2019, -1, ""},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::to_string(c.d) + "." + std::to_string(c.m) + "." + std::to_string(c.y));
        EXPECT_EQ(DayNumberSince2020(c.d, c.m, c.y), c.number);
        EXPECT_EQ(EncodeDayCode(c.number), c.code);
        if (*c.code) {
            EXPECT_EQ(DecodeDayCode(c.code), c.number);
        }
    }
    EXPECT_EQ(DecodeDayCode("A"), -1);
    EXPECT_EQ(DecodeDayCode("A-"), -1);
    EXPECT_EQ(DecodeDayCode("AUx"), -1);
}

TEST(Identifiers, ServerNames) {
    auto ok = ParseServerName("121021/AbCdEf12");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->dayNumber, 650);
    EXPECT_EQ(ok->uid, "AbCdEf12");
    EXPECT_TRUE(ParseServerName("290220/AbCdEf12"));  // leap day
    const char* kBad[] = {
        "",                        "121021",            "121021/",          "121021/abc",  // too short an id
        "121021/../../etc/passwd", "121021/AbCd/Ef12",  "121021\\AbCdEf12", "121021/AbCd.f12",
        "121021/AbCdEf12/",        "../121021/AbCdEf12", "1210211/AbCdEf12", "12102/AbCdEf12",
        "321021/AbCdEf12",         "001021/AbCdEf12",   "121321/AbCdEf12",  "290219/AbCdEf12",
        "311219/AbCdEf12",         "110730/AbCdEf12",   "121021/AbCd Ef12", "121021/AbCdEf12\n",
        "12x021/AbCdEf12",         "121021/Ab%2e%2e12", "121021/\xc3\xa9\xc3\xa9\xc3\xa9x",
        "121021/0123456789012345678901234567890123",
    };
    for (const char* bad : kBad) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseServerName(bad));
    }
}

TEST(Identifiers, AppIdsAreGuidsInCanonicalForm) {
    EXPECT_EQ(NormalizeAppId("{12345678-9abc-DEF0-1234-56789ABCDEF0}").value_or(""),
              "{12345678-9ABC-DEF0-1234-56789ABCDEF0}");
    EXPECT_EQ(NormalizeAppId("12345678-9abc-def0-1234-56789abcdef0").value_or(""),
              "{12345678-9ABC-DEF0-1234-56789ABCDEF0}");
    const char* kBad[] = {"", "{}", "{12345678-9ABC-DEF0-1234-56789ABCDEF0", "12345678-9ABC-DEF0-1234-56789ABCDEF0}",
                          "{12345678-9ABC-DEF0-1234-56789ABCDEFG}", "{12345678_9ABC-DEF0-1234-56789ABCDEF0}",
                          "{../../../../../../../../../etc/passwd}", "<script>alert(1)</script>xxxxxxxxxxxxxxx"};
    for (const char* bad : kBad) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(NormalizeAppId(bad));
    }
}

TEST(Identifiers, FileExtensions) {
    struct Case { const char* in; const char* out; };
    const Case kGood[] = {{"", ""}, {".png", "png"}, {"png", "png"}, {".JPG", "JPG"}, {".mp4", "mp4"},
                          {".tar-x_y+z~", "tar-x_y+z~"}, {".", ""}};
    for (const Case& c : kGood) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(NormalizeFileExt(c.in).value_or("<refused>"), c.out);
    }
    const char* kBad[] = {"..", "../x", "./x", ".p/ng", ".p\\ng", ".tar.gz", "..png", ".p ng", ".<b>",
                          ".png\n", ".p\"g", ".0123456789012345678901234567890123", ".\xc3\xa9"};
    for (const char* bad : kBad) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(NormalizeFileExt(bad));
    }
}

TEST(Identifiers, UploadTypesAndLetters) {
    EXPECT_EQ(ParseUploadType("0"), UploadType::Screenshot);
    EXPECT_EQ(ParseUploadType("1"), UploadType::File);
    EXPECT_EQ(ParseUploadType("2"), UploadType::Video);
    for (const char* bad : {"", "3", "-1", "00", " 0", "1 ", "x"}) EXPECT_FALSE(ParseUploadType(bad)) << bad;
    EXPECT_EQ(TypeLetter(UploadType::Screenshot), 's');
    EXPECT_EQ(TypeLetter(UploadType::File), 'f');
    EXPECT_EQ(TypeLetter(UploadType::Video), 'v');
}

TEST(ShortLink, ParsesWhatTheProgramBuilds) {
    auto page = ParseShortLinkPath("/sAUAbCdEf12");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->type, UploadType::Screenshot);
    EXPECT_EQ(page->dayNumber, 650);
    EXPECT_EQ(page->uid, "AbCdEf12");
    EXPECT_FALSE(page->direct);
    auto direct = ParseShortLinkPath("/vAUAbCdEf12.mp4");
    ASSERT_TRUE(direct);
    EXPECT_EQ(direct->type, UploadType::Video);
    EXPECT_TRUE(direct->direct);
    EXPECT_EQ(direct->ext, "mp4");
    EXPECT_EQ(ShortLinkPath(UploadType::File, 650, "AbCdEf12"), "/fAUAbCdEf12");
    const char* kBad[] = {"", "/", "/sAU", "/sAUabc", "/xAUAbCdEf12", "/s-UAbCdEf12", "sAUAbCdEf12",
                          "/sAUAbCdEf12.", "/sAUAbCdEf12..png", "/sAUAbCdEf12.p/g", "/sAU../../etc",
                          "/sAUAbCdEf12/", "/sAUAbCdEf12.png/x", "/sAU%2e%2e", "/sAUAbCdEf12\n",
                          "/sAUAbCdEf12.tar.gz", "/sAU0123456789012345678901234567890123"};
    for (const char* bad : kBad) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseShortLinkPath(bad));
    }
}
