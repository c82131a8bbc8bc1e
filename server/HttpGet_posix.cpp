// The socket part of the raw GET on POSIX systems, so that the request loop is tested
// natively against a loopback server.
#include "server/HttpGet.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

bool HttpGetRequest::Exchange(const std::string& request, std::string& reply) const {
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list) return false;
    // Of the addresses listed, the last one is used.
    sockaddr_in address = {};
    for (addrinfo* a = list; a; a = a->ai_next) {
        if (a->ai_family == AF_INET) std::memcpy(&address, a->ai_addr, sizeof(address));
    }
    freeaddrinfo(list);
    if (address.sin_family != AF_INET) return false;
    address.sin_port = htons(static_cast<uint16_t>(port));

    int s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s < 0) return false;
    timeval timeout = {kSocketTimeoutMs / 1000, (kSocketTimeoutMs % 1000) * 1000};
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    auto closeSocket = [s] {
        if (close(s) != 0) {
            std::printf("closesocket function failed with error: %ld\n", static_cast<long>(errno));
            return false;
        }
        return true;
    };
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        closeSocket();
        return false;
    }
    if (send(s, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
        closeSocket();
        return false;
    }
    char buffer[kMaxReplyBytes + 1];
    size_t received = 0;
    while (received < kMaxReplyBytes) {
        ssize_t n = recv(s, buffer + received, kMaxReplyBytes - received, 0);
        if (n <= 0) break;
        received += static_cast<size_t>(n);
    }
    reply.assign(buffer, received);
    return closeSocket();
}
