#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>

#include "LoopbackHttpServer.h"
#include "ServerTestSupport.h"
#include "foundation/ProcessArguments.h"
#include "foundation/Utf.h"
#include "server/Curl.h"

using namespace server_test;

namespace {

struct Reply {
    std::wstring body;
    int httpCode = -1;
    int calls = 0;
};

// Runs one request and waits for its callback; a second call would show within 200 ms.
Reply Request(const CurlRequestParams& params) {
    struct State { std::mutex m; std::condition_variable cv; Reply r; };
    auto state = std::make_shared<State>();
    Curl::RequestAsync(params, [state](const std::wstring& body, int code) {
        std::lock_guard<std::mutex> lock(state->m);
        state->r.body = body;
        state->r.httpCode = code;
        ++state->r.calls;
        state->cv.notify_all();
    });
    std::unique_lock<std::mutex> lock(state->m);
    EXPECT_TRUE(state->cv.wait_for(lock, std::chrono::seconds(60), [&] { return state->r.calls > 0; }));
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    lock.lock();
    return state->r;
}

#define REQUIRE_CURL()                                                   \
    if (CurlPath().empty()) GTEST_SKIP() << "no curl executable to run"

}  // namespace

TEST(Curl, RequestArguments) {
    struct Case { const char* name; std::wstring host; std::map<std::wstring, std::wstring> headers;
                  double timeoutMs; std::wstring expected; };
    const Case kCases[] = {
        {"https, no headers", L"https://a.example", {}, 60000,
         L"-L --insecure  --max-time 60 -A \"UA/1\" \"https://a.example/p/q\" -w\"%{http_code}\""},
        {"plain http", L"http://a.example", {}, 1500,
         L"-L   --max-time 2 -A \"UA/1\" \"http://a.example/p/q\" -w\"%{http_code}\""},
        {"https elsewhere, headers in key order", L"http://https.example",
         {{L"X-B", L"2"}, {L"X-A", L"1"}}, 1000,
         L"-L --insecure  -H \"X-A: 1\" -H \"X-B: 2\" --max-time 1 -A \"UA/1\" \"http://https.example/p/q\" -w\"%{http_code}\""},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        CurlRequestParams p(L"C:\\curl.exe");
        p.userAgent = L"UA/1";
        p.host = c.host;
        p.path = L"p/q";
        p.headers = c.headers;
        p.timeoutMs = c.timeoutMs;
        EXPECT_EQ(Curl::BuildRequestArguments(p), c.expected);
    }
}

TEST(Curl, HostileValuesStayInsideTheirArguments) {
    CurlRequestParams p(L"curl");
    p.userAgent = L"ua\" --output C:\\evil";
    p.host = L"http://h";
    p.path = L"a b\"c";
    p.headers[L"X"] = L"v\" -d \"x";
    auto args = SplitProcessArguments(Curl::BuildRequestArguments(p));
    std::vector<std::wstring> expected = {L"-L", L"-H", L"X: v\" -d \"x", L"--max-time", L"60",
                                          L"-A", L"ua\" --output C:\\evil", L"http://h/a b\"c",
                                          L"-w%{http_code}"};
    EXPECT_EQ(args, expected);
}

TEST(Curl, ReplyStep) {
    struct Case { const wchar_t* out; bool ok; const wchar_t* body; int code; };
    const Case kCases[] = {
        {L"200", true, L"", 200},
        {L"abc", true, L"", 0},
        {L"{\"a\":1}200", true, L"{\"a\":1}", 200},
        {L"not found404", true, L"", 404},
        {L"20", true, L"", 0},
        {L"body200", false, L"", 0},
    };
    for (const Case& c : kCases) {
        std::wstring body = L"junk";
        int code = -1;
        Curl::ParseReply(c.out, c.ok, body, code);
        EXPECT_EQ(body, c.body) << c.out;
        EXPECT_EQ(code, c.code) << c.out;
    }
}

TEST(Curl, EmptyHostStillAnswersOnce) {
    CurlRequestParams p(L"/nonexistent/curl");
    Reply r = Request(p);
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(r.body, L"");
    EXPECT_EQ(r.httpCode, 0);
}

TEST(Curl, MissingCurlIsAFailure) {
    CurlRequestParams p(L"/nonexistent/dir/curl.exe");
    p.host = L"http://127.0.0.1:9";
    Reply r = Request(p);
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(r.httpCode, 0);
    EXPECT_EQ(r.body, L"");
}

TEST(Curl, GetReturnsBodyAndStatus) {
    REQUIRE_CURL();
    LoopbackHttpServer server(200, "{\"ids\":[\"x\"]} \xC3\xA9");
    CurlRequestParams p(CurlPath());
    p.userAgent = L"Brivane/1.0 (test)";
    p.host = Wide(server.BaseUrl());
    p.path = L"api/ids?n=3";
    p.headers[L"X-Token"] = L"t 1";
    Reply r = Request(p);
    EXPECT_EQ(r.httpCode, 200);
    EXPECT_EQ(r.body, L"{\"ids\":[\"x\"]} \u00E9");
    ASSERT_TRUE(server.WaitForRequests(1));
    RecordedRequest req = server.Requests()[0];
    EXPECT_EQ(req.method, "GET");
    EXPECT_EQ(req.target, "/api/ids?n=3");
    EXPECT_EQ(req.Header("User-Agent"), "Brivane/1.0 (test)");
    EXPECT_EQ(req.Header("X-Token"), "t 1");
}

TEST(Curl, OtherStatusGivesNoBody) {
    REQUIRE_CURL();
    LoopbackHttpServer server(404, "missing");
    CurlRequestParams p(CurlPath());
    p.host = Wide(server.BaseUrl());
    Reply r = Request(p);
    EXPECT_EQ(r.httpCode, 404);
    EXPECT_EQ(r.body, L"");
}

TEST(Curl, RefusedConnectionIsAFailure) {
    REQUIRE_CURL();
    CurlRequestParams p(CurlPath());
    p.host = L"http://127.0.0.1:" + std::to_wstring(LoopbackHttpServer::ClosedPort());
    p.timeoutMs = 5000;
    Reply r = Request(p);
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(r.httpCode, 0);
    EXPECT_EQ(r.body, L"");
}

TEST(Curl, MultipartPostThroughRun) {
    REQUIRE_CURL();
    LoopbackHttpServer server(200, "stored");
    std::string file = testing::TempDir() + "brivane upload test.txt";
    {
        std::ofstream out(file, std::ios::binary);
        out << "file content \xC3\xA9";
    }
#ifdef _WIN32
    std::wstring filePath = Utf8ToWide(file);
#else
    std::wstring filePath = Utf8ToWide(file);
#endif
    std::wstring args = L"-s -F " + QuoteProcessArgument(L"file=@" + filePath) + L" -F \"name=shot\" " +
                        QuoteProcessArgument(Wide(server.BaseUrl()) + L"/upload") + L" -w \"%{http_code}\"";
    struct State { std::mutex m; std::condition_variable cv; std::wstring out; bool ok = false; int calls = 0; };
    auto state = std::make_shared<State>();
    Curl::RunAsync(CurlPath(), args, [state](const std::wstring& out, const std::wstring&, bool ok) {
        std::lock_guard<std::mutex> lock(state->m);
        state->out = out;
        state->ok = ok;
        ++state->calls;
        state->cv.notify_all();
    });
    std::unique_lock<std::mutex> lock(state->m);
    ASSERT_TRUE(state->cv.wait_for(lock, std::chrono::seconds(60), [&] { return state->calls > 0; }));
    EXPECT_TRUE(state->ok);
    std::wstring body;
    int code = 0;
    Curl::ParseReply(state->out, state->ok, body, code);
    EXPECT_EQ(code, 200);
    EXPECT_EQ(body, L"stored");
    ASSERT_TRUE(server.WaitForRequests(1));
    RecordedRequest req = server.Requests()[0];
    EXPECT_EQ(req.method, "POST");
    EXPECT_EQ(req.target, "/upload");
    EXPECT_NE(req.Header("Content-Type").find("multipart/form-data"), std::string::npos);
    EXPECT_NE(req.body.find("filename=\"brivane upload test.txt\""), std::string::npos);
    EXPECT_NE(req.body.find("file content \xC3\xA9"), std::string::npos);
    EXPECT_NE(req.body.find("name=\"name\""), std::string::npos);
}
