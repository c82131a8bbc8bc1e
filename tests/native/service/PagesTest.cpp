// The pages escape every outside text and link only to checked identifiers.
#include "service/logic/Pages.h"

#include <gtest/gtest.h>

using namespace service;

namespace {

const char kHostile[] = "<script>alert(\"x\")</script> 'q' & <img src=x onerror=alert(1)>";

UploadInfo Info(UploadType type, const std::string& ext) {
    UploadInfo info;
    info.dayNumber = 650;
    info.uid = "AbCdEf12";
    info.appId = "{12345678-9ABC-DEF0-1234-56789ABCDEF0}";
    info.type = type;
    info.ext = ext;
    info.displayName = kHostile;
    info.size = 307200;
    info.createdAt = 1634049005;
    return info;
}

void ExpectNoRawMarkup(const std::string& html) {
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("<img src=x"), std::string::npos);
    EXPECT_EQ(html.find("\"x\""), std::string::npos);
    EXPECT_EQ(html.find("'q'"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &#39;q&#39; &amp;"), std::string::npos);
}

}  // namespace

TEST(Pages, ScreenshotPageShowsTheImageNameAndSize) {
    std::string html = RenderUploadPage(Info(UploadType::Screenshot, "png"), "http://example.test");
    ExpectNoRawMarkup(html);
    EXPECT_NE(html.find("<img id=\"capture\" src=\"/sAUAbCdEf12.png\""), std::string::npos);
    EXPECT_NE(html.find("300.0 KB"), std::string::npos);
    EXPECT_NE(html.find("href=\"/sAUAbCdEf12.png?dl\""), std::string::npos);
    EXPECT_NE(html.find("value=\"http://example.test/sAUAbCdEf12\""), std::string::npos);
    EXPECT_NE(html.find("name=\"viewport\""), std::string::npos);
}

TEST(Pages, VideoAndFilePages) {
    std::string video = RenderUploadPage(Info(UploadType::Video, "mp4"), "");
    ExpectNoRawMarkup(video);
    EXPECT_NE(video.find("<video id=\"capture\" controls"), std::string::npos);
    EXPECT_NE(video.find("src=\"/vAUAbCdEf12.mp4\""), std::string::npos);

    std::string file = RenderUploadPage(Info(UploadType::File, ""), "");
    ExpectNoRawMarkup(file);
    EXPECT_EQ(file.find("<img"), std::string::npos);
    EXPECT_EQ(file.find("<video"), std::string::npos);
    EXPECT_NE(file.find("href=\"/fAUAbCdEf12?raw&amp;dl\""), std::string::npos);
}

TEST(Pages, MyCapturesListsNewestFirstWithLinks) {
    UploadInfo older = Info(UploadType::Screenshot, "png");
    UploadInfo newer = Info(UploadType::File, "zip");
    newer.uid = "ZzYyXx99";
    newer.displayName = "logs";
    std::string html = RenderMyCapturesPage(older.appId, {newer, older}, "http://h", 500);
    ExpectNoRawMarkup(html);
    size_t first = html.find("href=\"/fAUZzYyXx99\"");
    size_t second = html.find("href=\"/sAUAbCdEf12\"");
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(second, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_NE(html.find("logs.zip"), std::string::npos);
    EXPECT_NE(RenderMyCapturesPage(older.appId, {}, "", 500).find("Nothing uploaded"), std::string::npos);
}

TEST(Pages, NewVersionAndMessagesEscape) {
    std::string page = RenderNewVersionPage("3.10.0.60", "");
    EXPECT_NE(page.find("Brivane 3.10.0.60"), std::string::npos);
    EXPECT_EQ(page.find("/download/latest"), std::string::npos);
    EXPECT_NE(RenderNewVersionPage("3.10.0.60", "setup.exe").find("href=\"/download/latest\""), std::string::npos);
    ExpectNoRawMarkup(RenderMessagePage(kHostile, kHostile));
}
