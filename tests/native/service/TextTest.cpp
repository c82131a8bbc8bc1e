// Decoding, sanitising and escaping of outside text.
#include "service/logic/AnalyticsEvent.h"
#include "service/logic/Base64.h"
#include "service/logic/Html.h"
#include "service/logic/Json.h"
#include "service/logic/MediaType.h"
#include "service/logic/UploadFields.h"
#include "service/logic/Utf8.h"

#include <gtest/gtest.h>

using namespace service;

TEST(Base64, DecodesWhatTheProgramEncodes) {
    struct Case { const char* in; const char* out; };
    const Case kCases[] = {{"", ""}, {"YQ==", "a"}, {"YWI=", "ab"}, {"YWJj", "abc"},
                           // "Снимок экрана" in UTF-8
                           {"0KHQvdC40LzQvtC6INGN0LrRgNCw0L3QsA==",
                            "\xd0\xa1\xd0\xbd\xd0\xb8\xd0\xbc\xd0\xbe\xd0\xba \xd1\x8d\xd0\xba\xd1\x80\xd0\xb0\xd0\xbd\xd0\xb0"},
                           {"Pz4/", "?>?"}, {"+/+/", "\xfb\xff\xbf"}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(Base64Decode(c.in).value_or("<refused>"), c.out);
    }
    for (const char* bad : {"Y", "YQ=", "YQ", "Y===", "=YQ=", "YQ==YQ==", "YR==", "YWJ=", "YW J", "YW\nJ", "YW-_"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(Base64Decode(bad));
    }
}

TEST(Utf8, InvalidBytesAndControlsAreReplaced) {
    struct Case { std::string in; size_t max; std::string out; };
    const Case kCases[] = {
        {"plain", 100, "plain"},
        {"caf\xc3\xa9", 100, "caf\xc3\xa9"},
        {"a\xff" "b", 100, "a\xef\xbf\xbd" "b"},
        {"\xc0\xaf", 100, "\xef\xbf\xbd\xef\xbf\xbd"},          // overlong "/"
        {"\xed\xa0\x80", 100, "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},  // a surrogate
        {"a\nb\tc\x7f" "d", 100, "a b c d"},
        {"\xc2\x85x", 100, " x"},                              // C1 control
        {"caf\xc3\xa9", 4, "caf"},                             // never cut inside a character
        {"\xe2\x82", 100, "\xef\xbf\xbd\xef\xbf\xbd"},          // truncated sequence
        {std::string("a\0b", 3), 100, "a b"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(SanitizeUtf8(c.in, c.max), c.out);
    }
}

TEST(Escaping, HtmlAndJson) {
    EXPECT_EQ(HtmlEscape("<img src=x onerror=\"a('b')\">&amp;"),
              "&lt;img src=x onerror=&quot;a(&#39;b&#39;)&quot;&gt;&amp;amp;");
    EXPECT_EQ(JsonString("a\"b\\c\n\x01</script>&"), "\"a\\\"b\\\\c\\n\\u0001\\u003c/script\\u003e\\u0026\"");
    EXPECT_EQ(JsonString("3.10.0.60"), "\"3.10.0.60\"");
}

TEST(Formatting, SizesAndTimes) {
    struct Case { uint64_t bytes; const char* text; };
    const Case kCases[] = {{0, "0 bytes"}, {1, "1 byte"}, {1023, "1023 bytes"}, {1024, "1.0 KB"},
                           {300 * 1024 + 512, "300.5 KB"}, {5u << 20, "5.0 MB"}, {2147483648ULL, "2.0 GB"}};
    for (const Case& c : kCases) EXPECT_EQ(FormatSize(c.bytes), c.text);
    EXPECT_EQ(FormatUtcTime(1634049005), "2021-10-12 14:30 UTC");
}

TEST(AnalyticsEvent, ReadsTheProgramsUnencodedForm) {
    // What the program posts: values as they are, blanks included, nothing encoded.
    std::string body =
        "v=1&t=event&tid=UA-48151623-42&cid=12345678-9ABC-DEF0-1234-56789ABCDEF0&ec=Screenshot.Region"
        "&ea=Launch on Hotkey&el=C++ 50% <b>&ev=3.000000&an=BrivaneWin&av=3.10.0.58";
    std::string error;
    auto e = ParseAnalyticsEvent(body, &error);
    ASSERT_TRUE(e) << error;
    EXPECT_EQ(e->v, "1");
    EXPECT_EQ(e->t, "event");
    EXPECT_EQ(e->tid, "UA-48151623-42");
    EXPECT_EQ(e->cid, "12345678-9ABC-DEF0-1234-56789ABCDEF0");
    EXPECT_EQ(e->ec, "Screenshot.Region");
    EXPECT_EQ(e->ea, "Launch on Hotkey");
    EXPECT_EQ(e->el, "C++ 50% <b>");  // '+' kept, a lone '%' kept
    EXPECT_EQ(e->ev, "3.000000");
    EXPECT_EQ(e->an, "BrivaneWin");
    EXPECT_EQ(e->av, "3.10.0.58");

    auto encoded = ParseAnalyticsEvent("v=1&t=event&tid=x&cid=y&ea=a%20b%26c&ea=second&zz=1&el", &error);
    ASSERT_TRUE(encoded) << error;
    EXPECT_EQ(encoded->ea, "a b&c");  // the first value wins
    EXPECT_EQ(encoded->el, "");

    auto control = ParseAnalyticsEvent("v=1&t=event&tid=x&cid=y&el=a%0Ab%FF", &error);
    ASSERT_TRUE(control);
    EXPECT_EQ(control->el, "a b\xef\xbf\xbd");

    for (const char* bad : {"", "v=2&t=event&tid=x&cid=y", "v=1&tid=x&cid=y", "v=1&t=event&cid=y", "v=1&t=event&tid=x"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseAnalyticsEvent(bad, &error));
    }
}

TEST(MediaType, OnlyKnownImagesAndVideosAreInline) {
    struct Case { const char* ext; UploadType type; const char* contentType; MediaKind kind; };
    const Case kCases[] = {
        {"png", UploadType::Screenshot, "image/png", MediaKind::Image},
        {"JPG", UploadType::Screenshot, "image/jpeg", MediaKind::Image},
        {"mp4", UploadType::Video, "video/mp4", MediaKind::Video},
        {"png", UploadType::File, "image/png", MediaKind::Other},  // sent as a file: a download
        {"html", UploadType::Screenshot, "application/octet-stream", MediaKind::Other},
        {"svg", UploadType::Screenshot, "application/octet-stream", MediaKind::Other},
        {"zip", UploadType::File, "application/zip", MediaKind::Other},
        {"", UploadType::File, "application/octet-stream", MediaKind::Other},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.ext);
        MediaType m = MediaTypeFor(c.ext, c.type);
        EXPECT_EQ(m.contentType, c.contentType);
        EXPECT_EQ(m.kind, c.kind);
    }
    EXPECT_EQ(DownloadFileName("report", "pdf", "AbCdEf12"), "report.pdf");
    EXPECT_EQ(DownloadFileName("report.PDF", "pdf", "AbCdEf12"), "report.PDF");
    EXPECT_EQ(DownloadFileName("", "zip", "AbCdEf12"), "AbCdEf12.zip");
    EXPECT_EQ(DownloadFileName(".bashrc", "", "AbCdEf12"), ".bashrc");
    EXPECT_EQ(ContentDisposition("a \"b\";\\c\r\n\xc3\xa9.txt", true),
              "attachment; filename=\"a _b___c____.txt\"; filename*=UTF-8''a%20%22b%22%3B%5Cc%0D%0A%C3%A9.txt");
}

TEST(UploadFields, ValidatesEveryField) {
    std::map<std::string, std::string> good = {{"appId", "{12345678-9abc-DEF0-1234-56789ABCDEF0}"},
                                               {"screenshotId", "121021/AbCdEf12"},
                                               {"fileExt", ".png"},
                                               {"uploadType", "0"},
                                               {"fileName", "PGI+IiBuYW1l"}};  // <b>" name
    UploadMeta meta;
    std::string error;
    ASSERT_TRUE(ValidateUploadFields(good, meta, &error)) << error;
    EXPECT_EQ(meta.appId, "{12345678-9ABC-DEF0-1234-56789ABCDEF0}");
    EXPECT_EQ(meta.dayNumber, 650);
    EXPECT_EQ(meta.uid, "AbCdEf12");
    EXPECT_EQ(meta.ext, "png");
    EXPECT_EQ(meta.type, UploadType::Screenshot);
    EXPECT_EQ(meta.displayName, "<b>\" name");  // kept as text; pages escape it

    struct Case { const char* field; const char* value; const char* error; };
    const Case kBad[] = {{"appId", "nope", "bad appId"},
                         {"screenshotId", "121021/../x", "bad screenshotId"},
                         {"fileExt", "../x", "bad fileExt"},
                         {"uploadType", "7", "bad uploadType"},
                         {"fileName", "not base64!", "bad fileName"}};
    for (const Case& c : kBad) {
        SCOPED_TRACE(c.field);
        auto fields = good;
        fields[c.field] = c.value;
        EXPECT_FALSE(ValidateUploadFields(fields, meta, &error));
        EXPECT_EQ(error, c.error);
        fields.erase(c.field);
        EXPECT_FALSE(ValidateUploadFields(fields, meta, &error));
        EXPECT_EQ(error, std::string("missing field ") + c.field);
    }
}
