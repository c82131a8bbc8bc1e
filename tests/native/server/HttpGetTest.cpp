#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "RawReplyServer.h"
#include "server/HttpGet.h"

namespace {

struct GetResult {
    std::string reply;
    int calls = 0;
    double seconds = 0;
};

// One GET to 127.0.0.1:port; waits for the callback and a little longer, so a second
// call would be seen.
GetResult Get(const std::string& host, int port, const std::string& path) {
    struct State { std::mutex m; std::condition_variable cv; GetResult r; };
    auto state = std::make_shared<State>();
    auto start = std::chrono::steady_clock::now();
    HttpGetAsync(host, port, path, StandardHttpGetHeaderLines(host), [state, start](const std::string& reply) {
        std::lock_guard<std::mutex> lock(state->m);
        state->r.reply = reply;
        state->r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++state->r.calls;
        state->cv.notify_all();
    });
    std::unique_lock<std::mutex> lock(state->m);
    EXPECT_TRUE(state->cv.wait_for(lock, std::chrono::seconds(20), [&] { return state->r.calls > 0; }));
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    lock.lock();
    return state->r;
}

}  // namespace

TEST(HttpGet, RequestBytesOnTheWire) {
    RawReplyServer server("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n{}", 0);
    GetResult r = Get("127.0.0.1", server.Port(), "/sync.php?appid={A-B}&ts=5");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0],
              "GET /sync.php?appid={A-B}&ts=5 HTTP/1.1\r\nUser-Agent: curl/7.33.0\r\n"
              "Host: 127.0.0.1\r\nAccept: */*\r\n\r\n");
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(r.reply, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n{}");
    EXPECT_LT(r.seconds, 0.9);   // the server closed: no wait for the time-out
}

TEST(HttpGet, Replies) {
    struct Case {
        const char* name;
        std::string sent;
        int holdOpenMs;
        std::string expected;
        double minSeconds, maxSeconds;
    };
    const std::string big(10 * 1024, 'x');
    const Case kCases[] = {
        {"headers only", "HTTP/1.1 204 No Content\r\n\r\n", 0, "HTTP/1.1 204 No Content\r\n\r\n", 0, 0.9},
        {"keep-alive: ends by the receive time-out", "HTTP/1.1 200 OK\r\n\r\nabc", 5000,
         "HTTP/1.1 200 OK\r\n\r\nabc", 0.9, 3.0},
        {"longer than the buffer: cut", big, 0, big.substr(0, HttpGetRequest::kMaxReplyBytes), 0, 0.9},
        {"a NUL byte ends the text", std::string("ab\0cd", 5), 0, "ab", 0, 0.9},
        {"nothing at all", "", 0, "", 0, 0.9},
        {"nothing and the connection held", "", 5000, "", 0.9, 3.0},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        RawReplyServer server(c.sent, c.holdOpenMs);
        GetResult r = Get("127.0.0.1", server.Port(), "/p");
        EXPECT_EQ(r.calls, 1);
        EXPECT_EQ(r.reply, c.expected);
        EXPECT_GE(r.seconds, c.minSeconds);
        EXPECT_LE(r.seconds, c.maxSeconds);
    }
}

TEST(HttpGet, FailuresGiveAnEmptyReplyAtOnce) {
    int closedPort;
    {
        RawReplyServer probe("", 0);
        closedPort = probe.Port();
    }
    struct Case { const char* name; std::string host; int port; std::string path; };
    const Case kCases[] = {
        {"nothing listens", "127.0.0.1", closedPort, "/p"},
        {"unresolvable host", "no-such-host.invalid", 80, "/p"},
        {"empty host", "", 80, "/p"},
        {"request too long", "127.0.0.1", closedPort, "/" + std::string(1100, 'a')},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        GetResult r = Get(c.host, c.port, c.path);
        EXPECT_EQ(r.calls, 1);
        EXPECT_EQ(r.reply, "");
        EXPECT_LT(r.seconds, 2.0);
    }
}
