#include "service/http/ServiceHttpServer.h"

#include "service/http/BoundedTaskQueue.h"
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
        return new BoundedTaskQueue(static_cast<size_t>(m_limits.threads), m_limits.queuedConnections, m_waiting);
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
    ConnectionStream stream(sock, streamLimits);
    bool ret = false;
    bool drain = false;
    size_t count = keep_alive_max_count_;
    bool first = true;
    while (svr_sock_ != INVALID_SOCKET && count > 0) {
        int waitMs = first ? m_limits.headerTimeoutMs
                           : (m_waiting.load() > 0 ? m_limits.busyKeepAliveMs : m_limits.keepAliveTimeoutMs);
        if (!stream.WaitReadable(waitMs)) break;
        first = false;
        ResetRequest(std::chrono::milliseconds(m_limits.headerTimeoutMs));
        bool connectionClosed = false;
        // The reply's head waits for its body: one send for both.
        stream.HoldNextWrite();
        ret = process_request(stream, count == 1, connectionClosed, nullptr);
        bool sent = stream.Flush();
        const RequestContext& ctx = CurrentRequest();
        if (!ret && !ctx.logged && ctx.headerBytes > 0) {
            // httplib gives up silently when the request line never ends (too long,
            // too slow, or the client left); answer and log it like any other request.
            RefuseUnreadableRequest(stream, ctx);
            stream.Flush();
            break;
        }
        drain = ctx.drainOnClose;
        if (!ret || !sent || connectionClosed || ctx.closeAfter) break;
        --count;
    }
    if (drain) {
        LingeringClose(sock);
    } else {
        ::shutdown(sock, SHUT_RDWR);
    }
    ::close(sock);
    return ret;
}

}  // namespace service
