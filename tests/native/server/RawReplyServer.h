#pragma once
// A listener on 127.0.0.1 that answers every connection with fixed bytes, whatever was
// asked: for clients that must cope with servers that keep the connection open, send
// too much or send nothing. Records what each connection sent up to its blank line.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class RawReplyServer {
public:
    // reply: the bytes sent once the request's blank line arrived; holdOpenMs: how long
    // the connection then stays open before the server closes it.
    RawReplyServer(std::string reply, int holdOpenMs) : m_reply(std::move(reply)), m_holdOpenMs(holdOpenMs) {
#ifdef _WIN32
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
#endif
        m_listen = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        socklen_t len = sizeof(addr);
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        listen(m_listen, 8);
        m_thread = std::thread([this] { Serve(); });
    }
    ~RawReplyServer() {
        m_stop = true;
        m_thread.join();
        Close(m_listen);
    }
    int Port() const { return m_port; }
    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

private:
#ifdef _WIN32
    using Socket = SOCKET;
    static void Close(Socket s) { closesocket(s); }
    static bool Readable(Socket s, int ms) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval tv = {0, ms * 1000};
        return select(0, &set, nullptr, nullptr, &tv) > 0;
    }
#else
    using Socket = int;
    static void Close(Socket s) { close(s); }
    static bool Readable(Socket s, int ms) {
        pollfd p = {s, POLLIN, 0};
        return poll(&p, 1, ms) > 0;
    }
#endif
    void Serve() {
        while (!m_stop) {
            if (!Readable(m_listen, 20)) continue;
            Socket c = accept(m_listen, nullptr, nullptr);
            if (c == static_cast<Socket>(-1)) continue;
            std::string data;
            char buffer[4096];
            auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (data.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
                if (!Readable(c, 20)) continue;
                int n = static_cast<int>(recv(c, buffer, sizeof(buffer), 0));
                if (n <= 0) break;
                data.append(buffer, static_cast<size_t>(n));
            }
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests.push_back(data);
            }
            size_t sent = 0;
            while (sent < m_reply.size()) {
                int n = static_cast<int>(send(c, m_reply.data() + sent, static_cast<int>(m_reply.size() - sent), 0));
                if (n <= 0) break;
                sent += static_cast<size_t>(n);
            }
            auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_holdOpenMs);
            while (!m_stop && std::chrono::steady_clock::now() < until) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            Close(c);
        }
    }

    std::string m_reply;
    int m_holdOpenMs;
    Socket m_listen;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
};
