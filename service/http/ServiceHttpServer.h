#pragma once
#include <httplib.h>

#include <atomic>
#include <string>

namespace service {

struct ServerLimits {
    int threads = 64;
    size_t queuedConnections = 4096;
    int headerTimeoutMs = 10000;    // request line and headers
    size_t maxHeaderBytes = 64 * 1024;
    int readTimeoutMs = 30000;      // each wait for body bytes
    int bodyGraceMs = 30000;        // then a body must average at least:
    uint64_t minBodyBytesPerSecond = 1024;
    int writeTimeoutMs = 30000;
    int keepAliveTimeoutMs = 5000;  // idle wait for the next request
    int busyKeepAliveMs = 20;       // the same while connections are queued
    size_t keepAliveMaxCount = 100;
    int listenBacklog = 4096;
};

// httplib's server with its own connection loop: a bounded worker pool, one buffered
// stream per connection, header deadlines, keep-alive that yields to waiting clients,
// a real "Connection: close" when a handler asks for it (CloseAfterResponse), and a
// lingering close after a reply sent before the request body was read.
class ServiceHttpServer final : public httplib::Server {
public:
    explicit ServiceHttpServer(const ServerLimits& limits);

    // Binds host:port (port 0: any free port) with a long listen queue. The port bound
    // is returned, -1 on failure.
    int Bind(const std::string& host, int port);
    // Serves until stop(); call on a thread of its own.
    bool Run() { return listen_after_bind(); }

private:
    bool process_and_close_socket(socket_t sock) override;

    ServerLimits m_limits;
    std::atomic<int> m_waiting{0};
};

}  // namespace service
