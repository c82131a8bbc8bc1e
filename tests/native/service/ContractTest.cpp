// The service answers the exact bytes the program sends: the raw GETs of its socket
// client, the identifier request and the multipart body of its curl upload command.
#include "ServiceTestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <set>

using namespace servicetest;

namespace {

class Contract : public ServiceFixture {};

// The program reads a raw reply as one text: it must be short, framed by
// Content-Length, never chunked, and the server must close at once.
void ExpectRawFraming(const Reply& r) {
    EXPECT_EQ(r.status, 200) << r.raw;
    EXPECT_LT(r.raw.size(), 4095u);
    EXPECT_EQ(r.Header("Content-Length"), std::to_string(r.body.size()));
    EXPECT_EQ(r.Header("Connection"), "close");
    EXPECT_EQ(r.Header("Transfer-Encoding"), "");
    EXPECT_EQ(r.Header("Keep-Alive"), "");
    EXPECT_TRUE(r.closedByServer);
    // Under 1 s, with room for a loaded machine and the sanitizers: a server that keeps the
    // connection makes the program wait for its full 1 s receive time-out.
    EXPECT_LT(r.closeMs, 900.0) << "the program would wait for its 1 s receive time-out";
    EXPECT_EQ(r.head.find('"'), std::string::npos) << "a quoted header value would be read as the version";
}

}  // namespace

TEST_F(Contract, SyncReplyIsAFlatObjectTheProgramCanCut) {
    Reply r = Exchange(m_port, ProgramGet("/sync.php?appid={12345678-9ABC-DEF0-1234-56789ABCDEF0}&ts=1634049005",
                                          "brivane.test"));
    ExpectRawFraming(r);
    // The program takes the first "{\"" up to the first "}" of the whole reply.
    size_t start = r.raw.find("{\"");
    ASSERT_NE(start, std::string::npos);
    size_t end = r.raw.find('}', start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(r.raw.substr(start, end + 1 - start),
              "{\"max_upload_file_size\":2147483648,\"upload_host\":\"http://brivane.test\"}");
    EXPECT_EQ(r.Header("Content-Type"), "application/json");
}

TEST_F(Contract, SyncReportsTheConfiguredLimitAndPublicUrl) {
    Restart({"--max-upload-size", "1048576", "--public-url", "https://captures.example.org/"});
    Reply r = Exchange(m_port, ProgramGet("/sync.php?appid={12345678-9ABC-DEF0-1234-56789ABCDEF0}&ts=1"));
    ExpectRawFraming(r);
    EXPECT_EQ(r.body, "{\"max_upload_file_size\":1048576,\"upload_host\":\"https://captures.example.org\"}");
}

TEST_F(Contract, EveryListenAddressServes) {
    Restart({"--listen", "127.0.0.1:0"});
    ASSERT_EQ(m_app->Ports().size(), 2u);
    for (int port : m_app->Ports()) {
        SCOPED_TRACE(port);
        ExpectRawFraming(Exchange(port, ProgramGet("/actver.php?1")));
    }
}

TEST_F(Contract, HistoryAndLatestVersion) {
    Reply history = Exchange(m_port, ProgramGet("/history_add_to_cache.php?appid={12345678-9ABC-DEF0-1234-56789ABCDEF0}"));
    ExpectRawFraming(history);

    Reply version = Exchange(m_port, ProgramGet("/actver.php?1634049005"));
    ExpectRawFraming(version);
    // The program takes the text between the first two double quotes of the whole reply.
    size_t q1 = version.raw.find('"');
    size_t q2 = version.raw.find('"', q1 + 1);
    ASSERT_NE(q2, std::string::npos);
    EXPECT_EQ(version.raw.substr(q1 + 1, q2 - q1 - 1), "3.10.0.60");
    EXPECT_EQ(version.body, "\"3.10.0.60\"");
}

TEST_F(Contract, RawGetsWithABadAppIdGetAClearStatus) {
    for (const char* path : {"/sync.php?appid=&ts=1", "/sync.php?appid=..%2F..%2Fetc&ts=1",
                             "/history_add_to_cache.php?appid=%3Cscript%3E"}) {
        SCOPED_TRACE(path);
        Reply r = Exchange(m_port, ProgramGet(path));
        EXPECT_EQ(r.status, 400);
        EXPECT_EQ(r.body, "{\"status\":1,\"error\":\"bad appid\"}");
        EXPECT_TRUE(r.closedByServer);
    }
}

TEST_F(Contract, IdentifierBatchesAreFreshAndAlphanumeric) {
    // What curl sends for the identifier request (user agent "<product>/<version> (<id>)").
    std::string request =
        "GET /api/app/v1/uids HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        "User-Agent: Brivane/3.10.0.58 ({12345678-9ABC-DEF0-1234-56789ABCDEF0})\r\nAccept: */*\r\n\r\n";
    std::set<std::string> seen;
    for (int i = 0; i < 3; ++i) {
        Reply r = Exchange(m_port, request);
        ASSERT_EQ(r.status, 200);
        std::smatch m;
        ASSERT_TRUE(std::regex_match(r.body, m, std::regex(R"(\{"status":"ok","uids":\[(.*)\]\})"))) << r.body;
        std::string list = m[1];
        std::regex item("\"([^\"]*)\"");
        int count = 0;
        for (auto it = std::sregex_iterator(list.begin(), list.end(), item); it != std::sregex_iterator(); ++it) {
            std::string uid = (*it)[1];
            EXPECT_TRUE(std::regex_match(uid, std::regex("[0-9A-Za-z]{10}"))) << uid;
            EXPECT_TRUE(seen.insert(uid).second) << "issued twice: " << uid;
            ++count;
        }
        EXPECT_EQ(count, 10);
    }
}

TEST_F(Contract, CurlUploadThenShortLinkDirectLinkAndMyCaptures) {
    UploadForm form;
    form.file = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(3000, '\x7f') + std::string("\0\r\n--", 5);
    std::string name = "Screenshot 12-10-2021 143005 <b>\"&'</b>";
    form.fileName = Base64(name);
    for (int attempt = 0; attempt < 3; ++attempt) {  // the program posts up to three times
        Reply r = Upload(m_port, form);
        ASSERT_EQ(r.status, 200) << r.raw;
        EXPECT_EQ(r.body, "{\"status\":0}");
        EXPECT_EQ(r.raw.find("413"), std::string::npos);
    }
    EXPECT_EQ(FilesBelow(m_data.Path() + "/data/files").size(), 1u) << "three posts, one file";

    Reply direct = Exchange(m_port, "GET /sAUAbCdEf12.png HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(direct.status, 200);
    EXPECT_EQ(direct.body, form.file);
    EXPECT_EQ(direct.Header("Content-Type"), "image/png");
    EXPECT_EQ(direct.Header("X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(direct.Header("Content-Disposition").rfind("inline;", 0), 0u);

    // The program opens the short link with "?a" appended.
    Reply page = Exchange(m_port, "GET /sAUAbCdEf12?a HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.Header("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(page.body.find("Screenshot 12-10-2021 143005 &lt;b&gt;&quot;&amp;&#39;&lt;/b&gt;"), std::string::npos);
    EXPECT_EQ(page.body.find("<b>\""), std::string::npos);
    EXPECT_NE(page.body.find("src=\"/sAUAbCdEf12.png\""), std::string::npos);
    EXPECT_NE(page.body.find("2.9 KB"), std::string::npos);  // 3013 bytes

    Reply download = Exchange(m_port, "GET /sAUAbCdEf12.png?dl HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(download.body, form.file);
    EXPECT_EQ(download.Header("Content-Disposition").rfind("attachment;", 0), 0u);

    Reply mine = Exchange(m_port, "GET /my?appId={12345678-9ABC-DEF0-1234-56789ABCDEF0} HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_EQ(mine.status, 200);
    EXPECT_NE(mine.body.find("href=\"/sAUAbCdEf12\""), std::string::npos);
    EXPECT_NE(mine.body.find("Screenshot 12-10-2021 143005 &lt;b&gt;"), std::string::npos);
    Reply other = Exchange(m_port, "GET /my?appId=%7B0FEDCBA9-8765-4321-0FED-CBA987654321%7D HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_EQ(other.body.find("AbCdEf12"), std::string::npos) << "another installation's list";

    Reply range = Exchange(m_port, "GET /sAUAbCdEf12.png HTTP/1.1\r\nHost: h\r\nRange: bytes=1-3\r\n\r\n");
    EXPECT_EQ(range.status, 206);
    EXPECT_EQ(range.body, "PNG");
    Reply badRange = Exchange(m_port, "GET /sAUAbCdEf12.png HTTP/1.1\r\nHost: h\r\nRange: bytes=99999-\r\n\r\n");
    EXPECT_EQ(badRange.status, 416);
}

TEST_F(Contract, LargeUploadWithExpectContinue) {
    UploadForm form;
    form.screenshotId = "121021/LargeFile1";
    form.file.assign(3 * 1024 * 1024 + 17, 'z');  // curl asks for 100-continue above 1 MB
    Reply r = Upload(m_port, form, true);
    EXPECT_EQ(r.raw.rfind("HTTP/1.1 100 Continue\r\n\r\n", 0), 0u);
    ASSERT_EQ(r.status, 200) << r.raw.substr(0, 300);
    EXPECT_EQ(r.body, "{\"status\":0}");
    Reply back = Exchange(m_port, "GET /sAULargeFile1.png HTTP/1.1\r\nHost: h\r\n\r\n", "", 10000);
    EXPECT_EQ(back.body.size(), form.file.size());
    EXPECT_EQ(back.body, form.file);
}

TEST_F(Contract, FilesAndVideos) {
    UploadForm file;
    file.screenshotId = "121021/FileNoExt1";
    file.fileExt = "";
    file.uploadType = "1";
    file.fileName = Base64(".bashrc");
    file.contentType = "application/octet-stream";
    file.file = "<html><script>alert(1)</script></html>";
    ASSERT_EQ(Upload(m_port, file).body, "{\"status\":0}");
    Reply page = Exchange(m_port, "GET /fAUFileNoExt1 HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_NE(page.body.find("href=\"/fAUFileNoExt1?raw&amp;dl\""), std::string::npos);
    Reply raw = Exchange(m_port, "GET /fAUFileNoExt1?raw HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_EQ(raw.body, file.file);
    EXPECT_EQ(raw.Header("Content-Type"), "application/octet-stream");  // never served as a page
    EXPECT_EQ(raw.Header("Content-Disposition").rfind("attachment;", 0), 0u);
    EXPECT_NE(raw.Header("Content-Security-Policy").find("sandbox"), std::string::npos);

    UploadForm video;
    video.screenshotId = "121021/VideoAbc1";
    video.fileExt = ".mp4";
    video.uploadType = "2";
    video.contentType = "video/mp4";
    video.file = "....ftypisom";
    ASSERT_EQ(Upload(m_port, video).body, "{\"status\":0}");
    Reply vpage = Exchange(m_port, "GET /vAUVideoAbc1?a HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_NE(vpage.body.find("<video id=\"capture\" controls"), std::string::npos);
    Reply vfile = Exchange(m_port, "GET /vAUVideoAbc1.mp4 HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_EQ(vfile.Header("Content-Type"), "video/mp4");
    EXPECT_EQ(vfile.body, video.file);
    Reply wrongExt = Exchange(m_port, "GET /vAUVideoAbc1.png HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_EQ(wrongExt.status, 404);
}

TEST_F(Contract, AnalyticsEventsAreStoredAndListed) {
    // The program's curl command posts the form body unencoded, blanks included.
    std::string body =
        "v=1&t=event&tid=UA-48151623-42&cid=12345678-9ABC-DEF0-1234-56789ABCDEF0&ec=Screenshot.Region"
        "&ea=Launch on Hotkey&el=Clipboard&ev=5.000000&an=BrivaneWin&av=3.10.0.58";
    std::string head = "POST /collect HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: BrivaneWin/3.10.0.58\r\nAccept: */*\r\n"
                       "Content-Length: " + std::to_string(body.size()) +
                       "\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n";
    Reply posted = Exchange(m_port, head, body);
    EXPECT_EQ(posted.status, 200);
    Reply bad = Exchange(m_port, "POST /collect HTTP/1.1\r\nHost: h\r\nContent-Length: 3\r\n"
                                 "Content-Type: application/x-www-form-urlencoded\r\n\r\n", "v=2");
    EXPECT_EQ(bad.status, 400);

    Reply list = Exchange(m_port, "GET /collect/events?limit=5 HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_EQ(list.status, 200);
    EXPECT_NE(list.body.find("\"ea\":\"Launch on Hotkey\",\"el\":\"Clipboard\",\"ev\":\"5.000000\",\"an\":\"BrivaneWin\""),
              std::string::npos) << list.body;
    EXPECT_NE(list.body.find("\"cid\":\"12345678-9ABC-DEF0-1234-56789ABCDEF0\""), std::string::npos);
    EXPECT_EQ(Exchange(m_port, "GET /collect/events?limit=0 HTTP/1.1\r\nHost: h\r\n\r\n").status, 400);
    Reply none = Exchange(m_port, "GET /collect/events?cid=nobody HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_EQ(none.body, "{\"events\":[]}");
}

TEST_F(Contract, DownloadPageAndInstaller) {
    Reply page = Exchange(m_port, "GET /new-version?utm_source=Update&utm_medium=click&utm_campaign=Update_Alert "
                                  "HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("Brivane 3.10.0.60"), std::string::npos);
    EXPECT_EQ(Exchange(m_port, "GET /download/latest HTTP/1.1\r\nHost: h\r\n\r\n").status, 404);
    std::filesystem::create_directories(m_data.Path() + "/data/download");
    { std::ofstream(m_data.Path() + "/data/download/brivane-setup-3.10.0.60.exe") << "MZ installer"; }
    Reply installer = Exchange(m_port, "GET /download/latest HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_EQ(installer.body, "MZ installer");
    EXPECT_NE(installer.Header("Content-Disposition").find("brivane-setup-3.10.0.60.exe"), std::string::npos);
}

TEST_F(Contract, EveryRequestGetsOneLogLine) {
    size_t before = m_log.Lines().size();
    Exchange(m_port, ProgramGet("/actver.php?1"));
    Exchange(m_port, ProgramGet("/nothing-here"));
    Exchange(m_port, "DELETE /sAUAbCdEf12 HTTP/1.1\r\nHost: h\r\n\r\n");
    Exchange(m_port, "BREW /pot HTTP/1.1\r\nHost: h\r\n\r\n");
    Exchange(m_port, "this is not http\r\n\r\n");
    auto lines = m_log.WaitForLines(before + 5);
    ASSERT_EQ(lines.size(), before + 5);
    // Lines are written when each reply has gone out, so their order may differ.
    std::vector<std::string> added(lines.begin() + static_cast<long>(before), lines.end());
    auto has = [&](const std::string& text) {
        return std::count_if(added.begin(), added.end(),
                             [&](const std::string& l) { return l.find(text) != std::string::npos; });
    };
    EXPECT_EQ(has("\"GET /actver.php?1\" 200 "), 1);
    EXPECT_EQ(has("\"GET /nothing-here\" 404 "), 1);
    EXPECT_EQ(has("\"DELETE /sAUAbCdEf12\" 405 "), 1);
    EXPECT_EQ(has("\"BREW /pot\" 400 "), 1);
    EXPECT_EQ(has("\"this is\" 400 "), 1);
}

TEST(ContractIpv6, ListensOnIpv6Loopback) {
    TempFolder data;
    service::Options options;
    ASSERT_TRUE(service::ParseOptions({"--listen", "[::1]:0", "--data", data.Path()}, options, nullptr));
    service::ServiceApp app(options);
    std::string error;
    if (!app.Start(&error)) GTEST_SKIP() << "no IPv6 loopback here: " << error;
    int fd = ::socket(AF_INET6, SOCK_STREAM, 0);
    sockaddr_in6 addr{};
    addr.sin6_family = AF_INET6;
    addr.sin6_port = htons(static_cast<uint16_t>(app.Ports().at(0)));
    addr.sin6_addr = in6addr_loopback;
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    std::string request = ProgramGet("/actver.php?1", "[::1]");
    ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
    std::string reply;
    char buf[4096];
    ssize_t n;
    while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) reply.append(buf, static_cast<size_t>(n));
    ::close(fd);
    EXPECT_EQ(reply.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << reply;
    EXPECT_NE(reply.find("\r\n\r\n\"0.0.0.0\""), std::string::npos) << reply;
}
