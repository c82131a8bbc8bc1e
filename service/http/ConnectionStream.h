#pragma once
#include <httplib.h>

#include <array>
#include <chrono>

namespace service {

// The byte stream of one client connection, for httplib's request parser. Reads are
// buffered (the parser reads headers byte by byte) and the buffer lives as long as
// the connection, so pipelined requests are not lost. Until the request is routed,
// reads stop at the request's header deadline and after maxHeaderBytes; after it, a
// body that arrives slower than the minimum rate (once the grace time is over) ends the
// request. So a client that trickles its headers or its body, or sends endless headers,
// can hold neither a worker thread nor memory. Writes never raise SIGPIPE.
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

    // True when bytes are buffered or arrive within timeoutMs.
    bool WaitReadable(int timeoutMs) const;

private:
    int ReadTimeoutMs() const;
    ssize_t ReadBuffered(char* ptr, size_t size);

    int m_sock;  // not owned: the connection loop closes it
    bool BodyTooSlow() const;

    Limits m_limits;
    std::array<char, 16 * 1024> m_buffer{};
    size_t m_begin = 0, m_end = 0;
};

// Polls one descriptor; > 0 ready, 0 time-out, < 0 error.
int PollOne(int fd, short events, int timeoutMs);

}  // namespace service
