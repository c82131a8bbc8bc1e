#pragma once
// A tiny HTTP/1.1 server on 127.0.0.1 for the client tests: it records each request and
// answers every one with the same status and body. One connection at a time; stops in
// its destructor.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using SocketHandle = SOCKET;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
using SocketHandle = int;
#endif

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct RecordedRequest {
    std::string method;
    std::string target;
    std::string headers;   // the header lines as received, lower-cased names kept as sent
    std::string body;

    std::string Header(const std::string& name) const {
        std::string lower = ToLower(headers);
        std::string key = "\r\n" + ToLower(name) + ":";
        size_t pos = ("\r\n" + lower).find(key);
        if (pos == std::string::npos) return "";
        size_t start = pos + key.size() - 2;
        size_t end = headers.find("\r\n", start);
        std::string value = headers.substr(start, end == std::string::npos ? std::string::npos : end - start);
        while (!value.empty() && value[0] == ' ') value.erase(0, 1);
        return value;
    }
    static std::string ToLower(std::string s) {
        for (char& c : s) if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        return s;
    }
};

class LoopbackHttpServer {
public:
    LoopbackHttpServer(int status, std::string body) : m_status(status), m_body(std::move(body)) {
#ifdef _WIN32
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
#endif
        m_listen = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        socklen_t len = sizeof(addr);
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        listen(m_listen, 8);
        m_thread = std::thread([this] { Serve(); });
    }
    ~LoopbackHttpServer() {
        m_stop = true;
        m_thread.join();
        CloseSocket(m_listen);
    }

    int Port() const { return m_port; }
    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }

    // Waits up to `seconds` for at least `count` requests.
    bool WaitForRequests(size_t count, int seconds = 30) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(seconds),
                             [&] { return m_requests.size() >= count; });
    }
    std::vector<RecordedRequest> Requests() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

    // A port on which nothing listens (bound, then closed again).
    static int ClosedPort() {
        LoopbackHttpServer probe(200, "");
        return probe.Port();
    }

private:
    static void CloseSocket(SocketHandle s) {
#ifdef _WIN32
        closesocket(s);
#else
        close(s);
#endif
    }
    bool Readable(SocketHandle s, int ms) {
#ifdef _WIN32
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval tv = {0, ms * 1000};
        return select(0, &set, nullptr, nullptr, &tv) > 0;
#else
        pollfd p = {s, POLLIN, 0};
        return poll(&p, 1, ms) > 0;
#endif
    }
    void SendAll(SocketHandle s, const std::string& data) {
        size_t sent = 0;
        while (sent < data.size()) {
            int n = send(s, data.data() + sent, static_cast<int>(data.size() - sent), 0);
            if (n <= 0) return;
            sent += static_cast<size_t>(n);
        }
    }
    void Serve() {
        while (!m_stop) {
            if (!Readable(m_listen, 50)) continue;
            SocketHandle c = accept(m_listen, nullptr, nullptr);
            if (c == static_cast<SocketHandle>(-1)) continue;
            Handle(c);
            CloseSocket(c);
        }
    }
    void Handle(SocketHandle c) {
        std::string data;
        char buffer[8192];
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        size_t headerEnd = std::string::npos;
        bool continued = false;
        RecordedRequest request;
        size_t contentLength = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            if (headerEnd != std::string::npos && data.size() >= headerEnd + 4 + contentLength) break;
            if (!Readable(c, 50)) continue;
            int n = recv(c, buffer, sizeof(buffer), 0);
            if (n <= 0) break;
            data.append(buffer, static_cast<size_t>(n));
            if (headerEnd == std::string::npos && (headerEnd = data.find("\r\n\r\n")) != std::string::npos) {
                size_t lineEnd = data.find("\r\n");
                std::string line = data.substr(0, lineEnd);
                size_t sp1 = line.find(' '), sp2 = line.rfind(' ');
                request.method = line.substr(0, sp1);
                request.target = line.substr(sp1 + 1, sp2 - sp1 - 1);
                request.headers = data.substr(lineEnd + 2, headerEnd - lineEnd - 2);
                contentLength = std::strtoul(request.Header("Content-Length").c_str(), nullptr, 10);
                if (!continued && RecordedRequest::ToLower(request.Header("Expect")) == "100-continue") {
                    SendAll(c, "HTTP/1.1 100 Continue\r\n\r\n");
                    continued = true;
                }
            }
        }
        if (headerEnd == std::string::npos) return;
        request.body = data.substr(headerEnd + 4);
        std::string reply = "HTTP/1.1 " + std::to_string(m_status) + " Status\r\nContent-Length: " +
                            std::to_string(m_body.size()) + "\r\nConnection: close\r\n\r\n" + m_body;
        SendAll(c, reply);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(request);
        }
        m_cv.notify_all();
    }

    int m_status;
    std::string m_body;
    SocketHandle m_listen;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<RecordedRequest> m_requests;
};
