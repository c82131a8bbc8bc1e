#pragma once
#include "service/http/ConnectionPool.h"

#include <httplib.h>

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
    size_t keepAliveMaxCount = 100;
    int listenBacklog = 4096;
};

// httplib's server with its own connection handling: a fixed pool of request threads
// over the open connections (ConnectionPool: an idle keep-alive connection holds no
// thread), one buffered stream per connection, header deadlines, a real
// "Connection: close" when a handler asks for it (CloseAfterResponse), and a lingering
// close after a reply sent before the request body was read.
class ServiceHttpServer final : public httplib::Server {
public:
    explicit ServiceHttpServer(const ServerLimits& limits);

    // Binds host:port (port 0: any free port) with a long listen queue. The port bound
    // is returned, -1 on failure.
    int Bind(const std::string& host, int port);
    // Serves until stop(); call on a thread of its own.
    bool Run() { return listen_after_bind(); }

private:
    // Hands an accepted connection to the pool (on the accepting thread).
    bool process_and_close_socket(socket_t sock) override;
    // Serves the requests the client has sent (on a pool thread); false when the
    // connection is to be closed (it is shut down then).
    bool ServeConnection(ConnectionStream& stream, size_t& requests);

    ServerLimits m_limits;
    ConnectionPool* m_pool = nullptr;  // owned by httplib's accept loop while it runs
};

}  // namespace service
