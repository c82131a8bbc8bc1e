// The Winsock part of the raw GET.
#include "server/HttpGet.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstring>

namespace {

// WSAStartup and WSACleanup around one request.
struct WinsockSession {
    bool ok;
    WinsockSession() {
        WSADATA data;
        ok = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession() {
        if (ok) WSACleanup();
    }
};

bool CloseSocket(SOCKET s) {
    if (closesocket(s) == SOCKET_ERROR) {
        std::printf("closesocket function failed with error: %ld\n", static_cast<long>(WSAGetLastError()));
        return false;
    }
    return true;
}

}  // namespace

bool HttpGetRequest::Exchange(const std::string& request, std::string& reply) const {
    WinsockSession session;
    if (!session.ok || host.empty()) return false;
    hostent* entry = gethostbyname(host.c_str());
    if (!entry || entry->h_addrtype != AF_INET || entry->h_length != 4 || !entry->h_addr_list) return false;
    // Of the addresses listed, the last one is used.
    in_addr address = {};
    bool found = false;
    for (char** a = entry->h_addr_list; *a; ++a) {
        std::memcpy(&address, *a, sizeof(address));
        found = true;
    }
    if (!found) return false;

    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return false;
    DWORD timeout = kSocketTimeoutMs;
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
    sockaddr_in target = {};
    target.sin_family = AF_INET;
    target.sin_addr = address;
    target.sin_port = htons(static_cast<u_short>(port));
    if (connect(s, reinterpret_cast<sockaddr*>(&target), sizeof(target)) == SOCKET_ERROR) {
        CloseSocket(s);
        return false;
    }
    if (send(s, request.data(), static_cast<int>(request.size()), 0) != static_cast<int>(request.size())) {
        CloseSocket(s);
        return false;
    }
    char buffer[kMaxReplyBytes + 1];
    size_t received = 0;
    while (received < kMaxReplyBytes) {
        int n = recv(s, buffer + received, static_cast<int>(kMaxReplyBytes - received), 0);
        if (n <= 0) break;
        received += static_cast<size_t>(n);
    }
    reply.assign(buffer, received);
    return CloseSocket(s);
}
