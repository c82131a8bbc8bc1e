#include "server/HttpGet.h"

#include <exception>
#include <memory>
#include <thread>

#include "foundation/Log.h"

std::string StandardHttpGetHeaderLines(const std::string& host) {
    return "HTTP/1.1\r\nUser-Agent: curl/7.33.0\r\nHost: " + host + "\r\nAccept: */*";
}

std::string HttpGetRequest::RequestText() const {
    std::string text = "GET " + path + " " + headerLines + "\r\n\r\n";
    if (text.size() > kMaxRequestBytes) return "";
    return text;
}

void HttpGetRequest::Run() {
    std::string reply;
    try {
        std::string request = RequestText();
        if (request.empty()) {
            Log("HttpGetRequest: request too long\n");
        } else if (!Exchange(request, reply)) {
            reply.clear();
        } else {
            size_t nul = reply.find('\0');
            if (nul != std::string::npos) reply.resize(nul);
        }
    } catch (...) {
        reply.clear();
    }
    try {
        if (callback) callback(reply);
    } catch (...) {
        Log("HttpGetRequest: callback failed\n");
    }
}

void HttpGetAsync(std::string host, int port, std::string path, std::string headerLines,
                  HttpGetRequest::Callback callback) {
    auto request = std::make_shared<HttpGetRequest>();
    request->host = std::move(host);
    request->port = port;
    request->path = std::move(path);
    request->headerLines = std::move(headerLines);
    request->callback = std::move(callback);
    try {
        std::thread([request] { request->Run(); }).detach();
    } catch (const std::exception&) {
        Log("HttpGetAsync: no thread\n");
        try {
            if (request->callback) request->callback("");
        } catch (...) {
        }
    }
}
