#pragma once
#include <functional>
#include <string>

// A minimal HTTP/1.1 GET over a plain TCP socket for the small requests to the site
// host (sync, history, latest version). It sends one request text and hands back
// everything the server sent, headers included. No TLS, no redirects, no chunked
// decoding.

// The header lines every caller sends (the request line's version first):
// "HTTP/1.1\r\nUser-Agent: curl/7.33.0\r\nHost: " + host + "\r\nAccept: */*".
std::string StandardHttpGetHeaderLines(const std::string& host);

// One request, owned by the thread that runs it.
struct HttpGetRequest {
    using Callback = std::function<void(const std::string& reply)>;

    // Longest request text sent (the rest of a 1024-byte buffer holds its terminator)
    // and the most reply bytes kept; a longer reply is cut there.
    static constexpr size_t kMaxRequestBytes = 1023;
    static constexpr size_t kMaxReplyBytes = 4095;
    // Send and receive time-outs; with a server that keeps the connection open the
    // receive time-out is what ends the reading.
    static constexpr int kSocketTimeoutMs = 1000;

    std::string host;
    int port = 80;
    std::string path;
    std::string headerLines;
    Callback callback;

    // "GET " + path + " " + headerLines + "\r\n\r\n"; "" when that would not fit.
    std::string RequestText() const;

    // Connects, sends, reads until the peer closes, the buffer is full or a read fails
    // or times out, and calls the callback once with the reply up to its first NUL
    // byte, or with "" on any failure. Never throws.
    void Run();

private:
    // The platform part: false on any failure; `reply` holds what was received.
    bool Exchange(const std::string& request, std::string& reply) const;
};

// Moves the arguments into a request and runs it on a new detached thread; returns at
// once. The callback is called exactly once on that thread ("" on failure, also when no
// thread could be started: then on the caller's thread).
void HttpGetAsync(std::string host, int port, std::string path, std::string headerLines,
                  HttpGetRequest::Callback callback);
