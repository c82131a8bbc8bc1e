#include "service/http/ConnectionStream.h"

#include "service/http/RequestContext.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

namespace service {
namespace {

void AddressText(const sockaddr_storage& addr, socklen_t len, std::string& ip, int& port) {
    char host[NI_MAXHOST], serv[NI_MAXSERV];
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&addr), len, host, sizeof host, serv, sizeof serv,
                    NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
        ip = host;
        port = std::atoi(serv);
    }
}

}  // namespace

int PollOne(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    for (;;) {
        int rc = ::poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
        if (rc < 0 && errno == EINTR) continue;
        if (rc > 0 && (p.revents & (events | POLLHUP | POLLERR)) == 0) return -1;
        return rc;
    }
}

ConnectionStream::ConnectionStream(int sock, const Limits& limits) : m_sock(sock), m_limits(limits) {}

bool ConnectionStream::BodyTooSlow() const {
    const RequestContext& ctx = CurrentRequest();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - ctx.routedAt)
                  .count();
    if (ms <= m_limits.bodyGraceMs) return false;
    return ctx.bodyBytes * 1000 < static_cast<uint64_t>(ms) * m_limits.minBodyBytesPerSecond;
}

int ConnectionStream::ReadTimeoutMs() const {
    const RequestContext& ctx = CurrentRequest();
    if (ctx.routed) return m_limits.readTimeoutMs;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(ctx.headerDeadline -
                                                                      std::chrono::steady_clock::now()).count();
    if (left <= 0) return 0;
    return left < m_limits.readTimeoutMs ? static_cast<int>(left) : m_limits.readTimeoutMs;
}

bool ConnectionStream::is_readable() const { return WaitReadable(ReadTimeoutMs()); }

bool ConnectionStream::is_writable() const { return PollOne(m_sock, POLLOUT, m_limits.writeTimeoutMs) > 0; }

bool ConnectionStream::WaitReadable(int timeoutMs) const {
    if (m_begin < m_end) return true;
    return PollOne(m_sock, POLLIN, timeoutMs) > 0;
}

ssize_t ConnectionStream::read(char* ptr, size_t size) {
    RequestContext& ctx = CurrentRequest();
    if (!ctx.routed) {
        if (ctx.headerBytes >= m_limits.maxHeaderBytes) return -1;
        size = std::min(size, m_limits.maxHeaderBytes - ctx.headerBytes);
        ssize_t n = ReadBuffered(ptr, size);
        if (n > 0) ctx.headerBytes += static_cast<size_t>(n);
        return n;
    }
    if (BodyTooSlow()) return -1;
    ssize_t n = ReadBuffered(ptr, size);
    if (n > 0) ctx.bodyBytes += static_cast<uint64_t>(n);
    return n;
}

ssize_t ConnectionStream::ReadBuffered(char* ptr, size_t size) {
    if (size == 0) return 0;
    if (m_begin < m_end) {
        size_t n = std::min(size, m_end - m_begin);
        std::memcpy(ptr, m_buffer.data() + m_begin, n);
        m_begin += n;
        return static_cast<ssize_t>(n);
    }
    int timeout = ReadTimeoutMs();
    if (timeout <= 0 || PollOne(m_sock, POLLIN, timeout) <= 0) return -1;
    for (;;) {
        ssize_t n;
        if (size >= m_buffer.size()) {
            n = ::recv(m_sock, ptr, size, 0);
            if (n < 0 && errno == EINTR) continue;
            return n;
        }
        n = ::recv(m_sock, m_buffer.data(), m_buffer.size(), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n;
        m_begin = 0;
        m_end = static_cast<size_t>(n);
        size_t take = std::min(size, m_end);
        std::memcpy(ptr, m_buffer.data(), take);
        m_begin = take;
        return static_cast<ssize_t>(take);
    }
}

ssize_t ConnectionStream::write(const char* ptr, size_t size) {
    if (PollOne(m_sock, POLLOUT, m_limits.writeTimeoutMs) <= 0) return -1;
    for (;;) {
        ssize_t n = ::send(m_sock, ptr, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (::getpeername(m_sock, reinterpret_cast<sockaddr*>(&addr), &len) == 0) AddressText(addr, len, ip, port);
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(m_sock, reinterpret_cast<sockaddr*>(&addr), &len) == 0) AddressText(addr, len, ip, port);
}

}  // namespace service
