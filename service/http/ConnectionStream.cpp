#include "service/http/ConnectionStream.h"

#include "service/http/RequestContext.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>

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
    BeforeWaiting();
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

bool ConnectionStream::is_readable() const {
    if (m_begin < m_end) return true;
    // Waiting for the client: what we hold must reach it first.
    if (!Flush()) return false;
    return PollOne(m_sock, POLLIN, ReadTimeoutMs()) > 0;
}

// Send waits for room itself, at most the write time-out each time.
bool ConnectionStream::is_writable() const { return true; }

bool ConnectionStream::ReadAvailable() {
    if (m_begin < m_end) return true;
    for (;;) {
        ssize_t n = ::recv(m_sock, m_buffer.data(), m_buffer.size(), MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n > 0) {
            m_begin = 0;
            m_end = static_cast<size_t>(n);
            return true;
        }
        return n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
    }
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
    if (timeout <= 0 || !Flush()) return -1;
    // Bytes that are already there are taken without a wait.
    for (;;) {
        const bool direct = size >= m_buffer.size();
        ssize_t n = ::recv(m_sock, direct ? ptr : m_buffer.data(), direct ? size : m_buffer.size(), MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (timeout <= 0 || PollOne(m_sock, POLLIN, timeout) <= 0) return -1;
            timeout = ReadTimeoutMs();
            continue;
        }
        if (direct || n <= 0) return n;
        m_begin = 0;
        m_end = static_cast<size_t>(n);
        size_t take = std::min(size, m_end);
        std::memcpy(ptr, m_buffer.data(), take);
        m_begin = take;
        return static_cast<ssize_t>(take);
    }
}

ssize_t ConnectionStream::write(const char* ptr, size_t size) {
    if (m_holdNext && m_held.empty()) {
        m_holdNext = false;
        m_held.assign(ptr, size);
        return static_cast<ssize_t>(size);
    }
    m_holdNext = false;
    return Send(ptr, size);
}

bool ConnectionStream::Flush() const {
    return m_held.empty() || Send(nullptr, 0) >= 0;
}

ssize_t ConnectionStream::Send(const char* ptr, size_t size) const {
    size_t held = 0;  // of m_held, sent
    for (;;) {
        iovec parts[2];
        int count = 0;
        if (held < m_held.size()) parts[count++] = {&m_held[held], m_held.size() - held};
        if (size > 0) parts[count++] = {const_cast<char*>(ptr), size};
        if (count == 0) return 0;
        msghdr msg{};
        msg.msg_iov = parts;
        msg.msg_iovlen = static_cast<size_t>(count);
        ssize_t n = ::sendmsg(m_sock, &msg, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (PollOne(m_sock, POLLOUT, m_limits.writeTimeoutMs) <= 0) return -1;
            continue;
        }
        if (n < 0) {
            m_held.clear();
            return n;
        }
        size_t sent = static_cast<size_t>(n);
        if (held + sent < m_held.size()) {
            held += sent;
            continue;
        }
        sent -= m_held.size() - held;
        m_held.clear();
        held = 0;
        // Only the kept bytes went: the caller's are still to send.
        if (sent == 0 && size > 0) continue;
        return static_cast<ssize_t>(sent);
    }
}

void ConnectionStream::Addresses() const {
    if (m_haveAddresses) return;
    m_haveAddresses = true;
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (::getpeername(m_sock, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        AddressText(addr, len, m_remoteIp, m_remotePort);
    len = sizeof addr;
    if (::getsockname(m_sock, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        AddressText(addr, len, m_localIp, m_localPort);
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
    Addresses();
    if (!m_remoteIp.empty()) {
        ip = m_remoteIp;
        port = m_remotePort;
    }
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
    Addresses();
    if (!m_localIp.empty()) {
        ip = m_localIp;
        port = m_localPort;
    }
}

}  // namespace service
