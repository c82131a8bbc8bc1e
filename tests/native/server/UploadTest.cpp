#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>

#include "LoopbackHttpServer.h"
#include "RawReplyServer.h"
#include "ServerTestSupport.h"
#include "foundation/Base64.h"
#include "foundation/ProcessArguments.h"
#include "foundation/Utf.h"
#include "server/ServerAPI.h"
#include "server/Upload.h"

using namespace server_test;

namespace {

// Records what the upload reports, in order.
class RecordingHandler : public IProgressHandler {
public:
    void OnProgress(int percent) override { Add("p" + std::to_string(percent)); }
    void OnFinished(bool ok) override { Add(ok ? "finished ok" : "finished failed"); }
    void OnError(int code) override {
        char text[32];
        std::snprintf(text, sizeof(text), "error %#x", code);
        Add(text);
    }
    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    std::vector<int> Progress() {
        std::vector<int> out;
        for (const std::string& c : Calls()) {
            if (c[0] == 'p') out.push_back(std::stoi(c.substr(1)));
        }
        return out;
    }

private:
    void Add(const std::string& call) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(call);
    }
    std::mutex m_mutex;
    std::vector<std::string> m_calls;
};

// Undoes curl's quoting of a -F file name: "..." with \ escaping \ and ".
std::wstring CurlUnquote(const std::wstring& quoted) {
    EXPECT_GE(quoted.size(), 2u);
    EXPECT_EQ(quoted.front(), L'"');
    EXPECT_EQ(quoted.back(), L'"');
    std::wstring out;
    for (size_t i = 1; i + 1 < quoted.size(); ++i) {
        if (quoted[i] == L'\\' && i + 2 < quoted.size()) ++i;
        out += quoted[i];
    }
    return out;
}

}  // namespace

TEST(UploadProgress, MeterChunks) {
    struct Case { const char* name; std::vector<std::string> chunks; std::vector<int> shown; };
    const Case kCases[] = {
        {"a lower number creeps", {"10", "5", "20"}, {10, 10, 20}},
        {"chunks without numbers creep", {"  % Total    % Received", "x", "y", "z"}, {0, 0, 0, 1}},
        {"never more than 99 while curl runs", {"50", "100", "100"}, {50, 99, 99}},
        {"creeping stops below 100", {"99", "x", "x", "x", "x"}, {99, 99, 99, 99, 99}},
        {"meter line: first number wins",
         {"\r 37  1000k   0     0  37  370k      0   120k  0:00:08 --:--:--  0:00:08  120k"}, {37}},
        {"a huge number", {"99999999999999999999"}, {99}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        auto handler = std::make_shared<RecordingHandler>();
        UploadProgress progress(handler);
        for (const std::string& chunk : c.chunks) progress.Parse(chunk);
        EXPECT_EQ(handler->Progress(), c.shown);
    }
}

TEST(Upload, JudgingTheReply) {
    struct Case { const char* name; std::string reply; int code; };
    const Case kCases[] = {
        {"success", "{\"status\":0}", 0},
        {"success with a blank", "{\"status\": 0}", 0},
        {"service status 7", "{\"status\": 7}", 0x70007},
        {"service status 413", "{\"status\":413,\"error\":\"413 Request Entity Too Large\"}", 0x90000},
        {"413 elsewhere does not hide success", "{\"status\":0,\"size\":41334}", 0},
        {"413 in a status error reply", "{\"status\":2,\"error\":\"id 413\"}", 0x70002},
        {"a proxy's 413 page", "<html>413 Request Entity Too Large</html>", 0x90000},
        {"status not a number", "{\"status\":\"ok\"}", 0x50000},
        {"status without a value", "{\"status\":", 0x50000},
        {"status too large", "{\"status\":99999999999}", 0x50000},
        {"empty", "", 0x60000},
        {"garbage", "\x13\x37garbage", 0x60000},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(JudgeUploadReply(c.reply), c.code);
    }
}

TEST(Upload, AttemptsAndPauses) {
    struct Case { const char* name; std::vector<int> results; int attempts; std::vector<std::string> calls; };
    const Case kCases[] = {
        {"first attempt works", {0}, 1, {"finished ok"}},
        {"second attempt works", {0x60000, 0}, 2, {"finished ok"}},
        {"three failures: the last code", {0x60000, 0x80000, 0x70007}, 3, {"error 0x70007", "finished failed"}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        RecordingHandler handler;
        size_t next = 0;
        std::vector<int> pauses;
        bool ok = RunUploadAttempts([&] { return c.results[next++]; }, [&](int ms) { pauses.push_back(ms); },
                                    handler);
        EXPECT_EQ(ok, c.calls.back() == "finished ok");
        EXPECT_EQ(static_cast<int>(next), c.attempts);
        EXPECT_EQ(pauses, std::vector<int>(c.attempts, 500));   // after every attempt, the good one too
        EXPECT_EQ(handler.Calls(), c.calls);
    }
}

TEST(Upload, HostilePathsStayWhole) {
    const std::wstring kPaths[] = {
        L"C:\\Users\\Smith, John\\Report; final.pdf",
        L"C:\\a b\\it's \u201cquoted\u201d \u00e9\u00e8 \U0001F600.txt",
        L"C:\\trailing\\",
        L"C:\\x\\type=text;y.txt",
        L"/tmp/a\"b\\\"c",
    };
    for (const std::wstring& path : kPaths) {
        SCOPED_TRACE(WideToUtf8(path));
        std::wstring text = BuildUploadArguments(L"{APP}", L"121021/X", L".pdf", 1, L"Report, final.pdf", path,
                                                 L"http://h", 30);
        std::vector<std::wstring> args = SplitProcessArguments(text);
        const std::vector<std::wstring> expected = {
            L"--form-string", L"appId={APP}", L"--form-string", L"screenshotId=121021/X", L"--form-string",
            L"fileExt=.pdf", L"--form-string", L"uploadType=1", L"--form-string",
            L"fileName=" + Utf8ToWide(Base64Encode("Report, final.pdf")), L"-F"};
        ASSERT_EQ(args.size(), expected.size() + 6);
        EXPECT_EQ(std::vector<std::wstring>(args.begin(), args.begin() + expected.size()), expected);
        const std::wstring& file = args[expected.size()];
        ASSERT_EQ(file.rfind(L"userfile=@", 0), 0u);
        EXPECT_EQ(CurlUnquote(file.substr(10)), path);
        EXPECT_EQ(args[expected.size() + 1], L"--speed-limit");
        EXPECT_EQ(args.back(), L"http://h/post_file2");
    }
}

#define REQUIRE_CURL()                                                   \
    if (CurlPath().empty()) GTEST_SKIP() << "no curl executable to run"

namespace {

std::string TempFile(const std::string& name, const std::string& content) {
    std::string path = testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

}  // namespace

TEST(Upload, RealCurlSendsTheFormAndReadsTheLastReply) {
    REQUIRE_CURL();
    LoopbackHttpServer server(200, "{\"status\":0}");
    std::string content = "small file\n";
    std::string path = TempFile("Report, final; \"v2\" \xc3\xa9.txt", content);
    auto handler = std::make_shared<RecordingHandler>();
    int code = ServerAPI::TryUploadFile(CurlPath(), L"{APP}", Utf8ToWide(path), L".txt", L"121021/abc",
                                        Wide(server.BaseUrl()), 1, L"Report \u00e9.txt", handler, 30);
    EXPECT_EQ(code, 0);
    ASSERT_EQ(server.Requests().size(), 1u);
    const RecordedRequest& r = server.Requests()[0];
    EXPECT_EQ(r.target, "/post_file2");
    for (const std::string& part : {std::string("name=\"appId\"\r\n\r\n{APP}\r\n"),
                                    std::string("name=\"screenshotId\"\r\n\r\n121021/abc\r\n"),
                                    std::string("name=\"fileExt\"\r\n\r\n.txt\r\n"),
                                    std::string("name=\"uploadType\"\r\n\r\n1\r\n"),
                                    "name=\"fileName\"\r\n\r\n" + Base64Encode("Report \xc3\xa9.txt") + "\r\n",
                                    "\r\n\r\n" + content + "\r\n"}) {
        EXPECT_NE(r.body.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(r.Header("User-Agent").rfind("curl/", 0), 0u);   // curl's own agent
    std::vector<int> shown = handler->Progress();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), 100);   // only after the reply was judged
    for (size_t i = 0; i + 1 < shown.size(); ++i) EXPECT_LE(shown[i], 99);
    std::remove(path.c_str());
}

TEST(Upload, RealCurlFailures) {
    REQUIRE_CURL();
    std::string path = TempFile("failure.txt", "x");
    int closedPort = LoopbackHttpServer::ClosedPort();
    struct Case { const char* name; int status; std::string body; int code; };
    const Case kCases[] = {
        {"service status", 200, "{\"status\": 7}", 0x70007},
        {"refused size", 413, "{\"status\":413,\"error\":\"413 Request Entity Too Large\"}", 0x90000},
        {"garbage", 200, "garbage", 0x60000},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        LoopbackHttpServer server(c.status, c.body);
        auto handler = std::make_shared<RecordingHandler>();
        EXPECT_EQ(ServerAPI::TryUploadFile(CurlPath(), L"{APP}", Utf8ToWide(path), L".txt", L"121021/abc",
                                           Wide(server.BaseUrl()), 1, L"f.txt", handler, 30),
                  c.code);
    }
    auto handler = std::make_shared<RecordingHandler>();
    EXPECT_EQ(ServerAPI::TryUploadFile(CurlPath(), L"{APP}", Utf8ToWide(path), L".txt", L"121021/abc",
                                       L"http://127.0.0.1:" + std::to_wstring(closedPort), 1, L"f.txt", handler, 30),
              0x60000);
    EXPECT_EQ(ServerAPI::TryUploadFile(L"/no/such/curl", L"{APP}", Utf8ToWide(path), L".txt", L"121021/abc",
                                       L"http://127.0.0.1:1", 1, L"f.txt", handler, 30),
              0x10000);
    std::remove(path.c_str());
}

TEST(Upload, StalledServiceEndsTheAttempt) {
    REQUIRE_CURL();
    std::string path = TempFile("stall.txt", "x");
    RawReplyServer silent("", 20000);
    auto handler = std::make_shared<RecordingHandler>();
    auto start = std::chrono::steady_clock::now();
    int code = ServerAPI::TryUploadFile(CurlPath(), L"{APP}", Utf8ToWide(path), L".txt", L"121021/abc",
                                        L"http://127.0.0.1:" + std::to_wstring(silent.Port()), 1, L"f.txt",
                                        handler, 2);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(code, 0x60000);
    // curl averages its speed over a few seconds before the stall time counts.
    EXPECT_LT(seconds, 15.0);
    std::remove(path.c_str());
}
