#include "service/http/ServiceHttpServer.h"

#include "service/http/ConnectionStream.h"
#include "service/http/RequestContext.h"
#include "service/http/RequestLog.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <cstdio>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace service {
namespace {

constexpr int kLingerTotalMs = 2000;
constexpr size_t kLingerMaxBytes = 64 * 1024 * 1024;

// Tells the client we are done, then reads and drops what it still sends for a short
// while, so that our reply is not destroyed by a reset when we close with unread data.
void LingeringClose(int sock) {
    ::shutdown(sock, SHUT_WR);
    char sink[16 * 1024];
    size_t dropped = 0;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLingerTotalMs);
    while (dropped < kLingerMaxBytes) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        if (left <= 0 || PollOne(sock, POLLIN, static_cast<int>(left)) <= 0) break;
        ssize_t n = ::recv(sock, sink, sizeof sink, 0);
        if (n <= 0) break;
        dropped += static_cast<size_t>(n);
    }
}

void RefuseUnreadableRequest(ConnectionStream& stream, const RequestContext& ctx) {
    const std::string body = "{\"status\":400,\"error\":\"400 Bad Request\"}";
    const std::string reply = "HTTP/1.1 400 Bad Request\r\nConnection: close\r\nContent-Type: application/json\r\n"
                              "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    stream.write(reply.data(), reply.size());
    std::string ip;
    int port = 0;
    stream.get_remote_ip_and_port(ip, port);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - ctx.start).count();
    char tail[96];
    std::snprintf(tail, sizeof tail, "\" 400 %zu %.1fms request line unreadable after %zu bytes", body.size(), ms,
                  ctx.headerBytes);
    WriteLogLine(UtcTimestamp() + " " + LogSafe(ip, 64) + " \"- -" + tail);
}

}  // namespace

ServiceHttpServer::ServiceHttpServer(const ServerLimits& limits) : m_limits(limits) {
    new_task_queue = [this] {
        ConnectionPool::Limits poolLimits;
        poolLimits.threads = m_limits.threads;
        poolLimits.maxConnections = static_cast<size_t>(m_limits.threads) + m_limits.queuedConnections;
        poolLimits.firstRequestMs = m_limits.headerTimeoutMs;
        poolLimits.keepAliveMs = m_limits.keepAliveTimeoutMs;
        m_pool = new ConnectionPool(poolLimits, [this](ConnectionStream& stream, size_t& requests) {
            return ServeConnection(stream, requests);
        });
        return m_pool;
    };
    set_keep_alive_max_count(m_limits.keepAliveMaxCount);
}

int ServiceHttpServer::Bind(const std::string& host, int port) {
    int bound = port;
    if (port == 0) {
        bound = bind_to_any_port(host);
    } else if (!bind_to_port(host, port)) {
        bound = -1;
    }
    if (bound <= 0) return -1;
    // httplib listens with a backlog of 5; a burst of clients would see dropped SYNs.
    ::listen(svr_sock_, m_limits.listenBacklog);
    return bound;
}

bool ServiceHttpServer::process_and_close_socket(socket_t sock) {
    int one = 1;
    ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ConnectionStream::Limits streamLimits;
    streamLimits.readTimeoutMs = m_limits.readTimeoutMs;
    streamLimits.writeTimeoutMs = m_limits.writeTimeoutMs;
    streamLimits.maxHeaderBytes = m_limits.maxHeaderBytes;
    streamLimits.bodyGraceMs = m_limits.bodyGraceMs;
    streamLimits.minBodyBytesPerSecond = m_limits.minBodyBytesPerSecond;
    m_pool->Add(sock, std::make_unique<ConnectionStream>(sock, streamLimits));
    return true;
}

bool ServiceHttpServer::ServeConnection(ConnectionStream& stream, size_t& requests) {
    const int sock = stream.socket();
    bool keep = false;
    bool drain = false;
    // Requests the client has pipelined are served in turn; then the connection waits
    // in the pool for the next one.
    do {
        if (svr_sock_ == INVALID_SOCKET || requests >= keep_alive_max_count_) break;
        ResetRequest(std::chrono::milliseconds(m_limits.headerTimeoutMs));
        bool connectionClosed = false;
        // The reply's head waits for its body: one send for both.
        stream.HoldNextWrite();
        bool ret = process_request(stream, requests + 1 == keep_alive_max_count_, connectionClosed, nullptr);
        bool sent = stream.Flush();
        ++requests;
        const RequestContext& ctx = CurrentRequest();
        if (!ret && !ctx.logged && ctx.headerBytes > 0) {
            // httplib gives up silently when the request line never ends (too long,
            // too slow, or the client left); answer and log it like any other request.
            RefuseUnreadableRequest(stream, ctx);
            stream.Flush();
            break;
        }
        drain = ctx.drainOnClose;
        keep = ret && sent && !connectionClosed && !ctx.closeAfter && requests < keep_alive_max_count_;
    } while (keep && stream.HasBuffered());
    if (keep) return true;
    if (drain) {
        LingeringClose(sock);
    } else {
        ::shutdown(sock, SHUT_RDWR);
    }
    return false;
}

}  // namespace service
