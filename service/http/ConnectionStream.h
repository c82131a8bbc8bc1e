#pragma once
#include <httplib.h>

#include <array>
#include <chrono>
#include <string>

namespace service {

// The byte stream of one client connection, for httplib's request parser. Reads are
// buffered (the parser reads headers byte by byte) and the buffer lives as long as
// the connection, so pipelined requests are not lost. Until the request is routed,
// reads stop at the request's header deadline and after maxHeaderBytes; after it, a
// body that arrives slower than the minimum rate (once the grace time is over) ends the
// request. So a client that trickles its headers or its body, or sends endless headers,
// can hold neither a worker thread nor memory. Writes never raise SIGPIPE.
//
// A reply's head and body leave in one send: the connection loop calls
// HoldNextWrite before each request, the first write (httplib writes the status line
// and headers in one) is kept and goes out with the next one, or at Flush, which the
// loop calls after the request, and before any wait for the client's bytes (an
// interim "100 Continue" must reach the client before its body is awaited). Reads and
// writes wait (poll) only when the socket is not ready. The connection's addresses
// are asked of the kernel once.
class ConnectionStream final : public httplib::Stream {
public:
    struct Limits {
        int readTimeoutMs = 30000;
        int writeTimeoutMs = 30000;
        size_t maxHeaderBytes = 64 * 1024;
        int bodyGraceMs = 30000;
        uint64_t minBodyBytesPerSecond = 1024;
    };
    ConnectionStream(int sock, const Limits& limits);

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    int socket() const override { return m_sock; }

    // True when bytes of the client's next request are already buffered.
    bool HasBuffered() const { return m_begin < m_end; }
    // Buffers what has arrived, without waiting; true when bytes are buffered or the
    // client closed or failed (the next read tells which), false when nothing came.
    bool ReadAvailable();

    // Keeps the next write until the one after it, or Flush.
    void HoldNextWrite() { m_holdNext = true; }
    // Sends a kept write; false when the connection failed.
    bool Flush() const;

private:
    int ReadTimeoutMs() const;
    ssize_t ReadBuffered(char* ptr, size_t size);
    // Sends the kept bytes and then up to size bytes of ptr; the number of those sent.
    ssize_t Send(const char* ptr, size_t size) const;
    void Addresses() const;

    int m_sock;  // not owned: the connection loop closes it
    bool BodyTooSlow() const;

    Limits m_limits;
    std::array<char, 16 * 1024> m_buffer{};
    size_t m_begin = 0, m_end = 0;
    mutable bool m_holdNext = false;
    mutable std::string m_held;  // a kept write, sent with the next
    mutable bool m_haveAddresses = false;
    mutable std::string m_remoteIp, m_localIp;
    mutable int m_remotePort = 0, m_localPort = 0;
};

// Polls one client socket (after BeforeWaiting); > 0 ready, 0 time-out, < 0 error.
int PollOne(int fd, short events, int timeoutMs);

}  // namespace service
