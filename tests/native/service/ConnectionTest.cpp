// Keep-alive connections: idle ones hold no request thread and keep working while
// other clients are served, pipelined requests are answered in order, and connections
// left idle are closed after their time.
#include "ServiceTestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace servicetest;

namespace {

using Clock = std::chrono::steady_clock;

// A client socket that keeps its connection between requests.
class Client {
public:
    explicit Client(int port) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~Client() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool Connected() const { return m_connected; }
    bool Send(const std::string& bytes) {
        return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    // Reads until count complete replies (by Content-Length) have arrived, the server
    // closes, or timeoutMs pass without data. Returns their bodies.
    std::vector<std::string> Replies(size_t count, int timeoutMs = 3000) {
        std::vector<std::string> bodies;
        for (;;) {
            while (bodies.size() < count) {
                size_t end = m_in.find("\r\n\r\n");
                if (end == std::string::npos) break;
                size_t cl = m_in.find("Content-Length: ");
                if (cl == std::string::npos || cl > end) break;
                size_t length = std::stoul(m_in.substr(cl + 16));
                if (m_in.size() < end + 4 + length) break;
                bodies.push_back(m_in.substr(end + 4, length));
                m_in.erase(0, end + 4 + length);
            }
            if (bodies.size() >= count) return bodies;
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0) return bodies;
            char buf[8192];
            ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0) {
                m_closed = true;
                return bodies;
            }
            m_in.append(buf, static_cast<size_t>(n));
        }
    }
    // Waits up to timeoutMs for the server to close; the time it took, or -1.
    double WaitForClose(int timeoutMs) {
        auto start = Clock::now();
        char buf[4096];
        for (;;) {
            auto left = timeoutMs - std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
            pollfd p{m_fd, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) return -1;
            ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0) return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
    }
    bool ClosedByServer() const { return m_closed; }

private:
    int m_fd = -1;
    bool m_connected = false;
    bool m_closed = false;
    std::string m_in;
};

std::string Get(const std::string& path) { return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"; }

// The front page, which keeps the connection (the program's raw GETs close it).
const char kFrontPageText[] = "This server keeps the screenshots";

bool OneFrontPage(const std::vector<std::string>& bodies) {
    return bodies.size() == 1 && bodies[0].find(kFrontPageText) != std::string::npos;
}

class Connections : public ServiceFixture {};

TEST_F(Connections, IdleKeepAliveConnectionsHoldNoThread) {
    // Two request threads and ten idle keep-alive connections: others are still served
    // at once, and every idle connection still takes its next request.
    Restart({"--threads", "2"});
    std::vector<std::unique_ptr<Client>> idle;
    for (int i = 0; i < 10; ++i) {
        idle.push_back(std::make_unique<Client>(m_port));
        ASSERT_TRUE(idle.back()->Connected());
        ASSERT_TRUE(idle.back()->Send(Get("/")));
        ASSERT_TRUE(OneFrontPage(idle.back()->Replies(1)));
    }
    auto start = Clock::now();
    Client other(m_port);
    ASSERT_TRUE(other.Send(Get("/actver.php?2")));
    EXPECT_EQ(other.Replies(1), std::vector<std::string>{"\"3.10.0.60\""});
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
    // Still kept open after 100 ms, and each answers again on the same connection.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    for (auto& c : idle) {
        ASSERT_TRUE(c->Send(Get("/")));
        EXPECT_TRUE(OneFrontPage(c->Replies(1)));
        EXPECT_FALSE(c->ClosedByServer());
    }
}

TEST_F(Connections, PipelinedRequestsAreAnsweredInOrder) {
    Client c(m_port);
    ASSERT_TRUE(c.Connected());
    // The last one is a raw GET, which ends the connection.
    ASSERT_TRUE(c.Send(Get("/") + Get("/nowhere") + Get("/") + Get("/actver.php?2")));
    std::vector<std::string> bodies = c.Replies(4);
    ASSERT_EQ(bodies.size(), 4u);
    EXPECT_NE(bodies[0].find(kFrontPageText), std::string::npos);
    EXPECT_NE(bodies[1].find("There is nothing at this address."), std::string::npos);
    EXPECT_NE(bodies[2].find(kFrontPageText), std::string::npos);
    EXPECT_EQ(bodies[3], "\"3.10.0.60\"");
    EXPECT_GE(c.WaitForClose(2000), 0.0);
    EXPECT_EQ(m_log.WaitForCount("\"GET /actver.php?2\" 200", 1), 1u);
}

TEST_F(Connections, IdleConnectionsAreClosedAfterTheirTime) {
    m_limits.headerTimeoutMs = 400;
    m_limits.keepAliveTimeoutMs = 300;
    Restart();
    struct Case {
        const char* what;
        bool sendFirst;  // a request first, then idle (keep-alive); or nothing at all
        double minMs, maxMs;
    };
    const Case cases[] = {
        {"idle after a request", true, 250, 1500},
        {"never sends", false, 350, 1500},
    };
    for (const Case& k : cases) {
        Client c(m_port);
        ASSERT_TRUE(c.Connected()) << k.what;
        if (k.sendFirst) {
            ASSERT_TRUE(c.Send(Get("/")));
            ASSERT_TRUE(OneFrontPage(c.Replies(1))) << k.what;
        }
        double ms = c.WaitForClose(5000);
        EXPECT_GE(ms, k.minMs) << k.what;
        EXPECT_LE(ms, k.maxMs) << k.what;
    }
}

}  // namespace
