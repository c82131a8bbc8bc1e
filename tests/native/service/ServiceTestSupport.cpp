#include "ServiceTestSupport.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace servicetest {
namespace fs = std::filesystem;

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    m_path = (fs::path(::testing::TempDir()) /
              ("brivane-service-" + std::to_string(::getpid()) + "-" + std::to_string(counter++))).string();
    fs::remove_all(m_path);
    fs::create_directories(m_path);
}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

std::string Reply::Header(const std::string& name) const {
    std::istringstream in(head);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t colon = line.find(':');
        if (colon == std::string::npos || colon != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < colon; ++i) same = same && std::tolower(line[i]) == std::tolower(name[i]);
        if (!same) continue;
        size_t v = colon + 1;
        while (v < line.size() && line[v] == ' ') ++v;
        return line.substr(v);
    }
    return std::string();
}

namespace {

int Connect(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const std::string& data) {
    size_t off = 0;
    while (off < data.size()) {
        ssize_t n = ::send(fd, data.data() + off, data.size() - off, MSG_NOSIGNAL);
        if (n <= 0) return false;
        off += static_cast<size_t>(n);
    }
    return true;
}

// Splits raw into the final reply (skipping 1xx interim replies); true when the head
// is complete and, with a Content-Length, the body too.
bool ParseReply(const std::string& raw, Reply& r) {
    size_t start = 0;
    for (;;) {
        size_t end = raw.find("\r\n\r\n", start);
        if (end == std::string::npos) return false;
        std::string head = raw.substr(start, end + 4 - start);
        int status = 0;
        if (head.size() > 12) status = std::atoi(head.c_str() + 9);
        if (status >= 100 && status < 200) {
            start = end + 4;
            continue;
        }
        r.status = status;
        r.head = head;
        std::string len = r.Header("Content-Length");
        size_t bodyStart = end + 4;
        if (len.empty()) {
            r.body = raw.substr(bodyStart);
            return false;
        }
        size_t n = std::stoul(len);
        r.body = raw.substr(bodyStart, n);
        return raw.size() >= bodyStart + n;
    }
}

}  // namespace

Reply Exchange(int port, const std::string& head, const std::string& body, int timeoutMs) {
    Reply r;
    int fd = Connect(port);
    if (fd < 0) return r;
    bool expect = head.find("Expect: 100-continue") != std::string::npos;
    SendAll(fd, expect ? head : head + body);
    // The close is timed from the last thing that happened on the connection (our last send
    // or the server's last bytes): what a reader waiting for the close sees.
    auto lastActivity = std::chrono::steady_clock::now();
    bool bodySent = !expect;
    char buf[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        int rc = ::poll(&p, 1, timeoutMs);
        if (rc <= 0) break;
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            r.closedByServer = true;
            r.closeMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - lastActivity).count();
            break;
        }
        lastActivity = std::chrono::steady_clock::now();
        r.raw.append(buf, static_cast<size_t>(n));
        if (!bodySent && r.raw.find("HTTP/1.1 100 Continue\r\n\r\n") == 0) {
            SendAll(fd, body);
            lastActivity = std::chrono::steady_clock::now();
            bodySent = true;
        }
        Reply probe;
        if (ParseReply(r.raw, probe) && probe.Header("Connection") != "close") break;
    }
    ParseReply(r.raw, r);
    ::close(fd);
    return r;
}

std::string ProgramGet(const std::string& path, const std::string& host) {
    return "GET " + path + " HTTP/1.1\r\nUser-Agent: curl/7.33.0\r\nHost: " + host + "\r\nAccept: */*\r\n\r\n";
}

std::string CurlMultipartBody(const UploadForm& form) {
    std::string dash = std::string("--") + kBoundary;
    std::string body;
    auto field = [&](const char* name, const std::string& value) {
        body += dash + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
    };
    field("appId", form.appId);
    field("screenshotId", form.screenshotId);
    field("fileExt", form.fileExt);
    field("uploadType", form.uploadType);
    field("fileName", form.fileName);
    body += dash + "\r\nContent-Disposition: form-data; name=\"userfile\"; filename=\"" + form.localName +
            "\"\r\nContent-Type: " + form.contentType + "\r\n\r\n" + form.file + "\r\n";
    body += dash + "--\r\n";
    return body;
}

std::string CurlPostHead(int port, const std::string& path, size_t bodySize, bool expect100) {
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
           "\r\nUser-Agent: curl/7.88.1\r\nAccept: */*\r\nContent-Length: " + std::to_string(bodySize) +
           "\r\nContent-Type: multipart/form-data; boundary=" + kBoundary + "\r\n" +
           (expect100 ? "Expect: 100-continue\r\n" : "") + "\r\n";
}

Reply Upload(int port, const UploadForm& form, bool expect100) {
    std::string body = CurlMultipartBody(form);
    return Exchange(port, CurlPostHead(port, "/post_file2", body.size(), expect100), body);
}

std::string Base64(const std::string& bytes) {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 | (unsigned char)bytes[i + 2];
        out += kChars[v >> 18];
        out += kChars[(v >> 12) & 63];
        out += kChars[(v >> 6) & 63];
        out += kChars[v & 63];
    }
    if (i + 1 == bytes.size()) {
        unsigned v = (unsigned char)bytes[i] << 16;
        out += kChars[v >> 18];
        out += kChars[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8;
        out += kChars[v >> 18];
        out += kChars[(v >> 12) & 63];
        out += kChars[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> FilesBelow(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    if (!fs::exists(folder, ec)) return files;
    for (const auto& e : fs::recursive_directory_iterator(folder, ec)) {
        if (e.is_regular_file()) files.push_back(fs::relative(e.path(), folder).string());
    }
    return files;
}

LogCapture::LogCapture() : m_state(std::make_shared<State>()) {
    auto state = m_state;
    service::SetLogSink([state](const std::string& line) {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->lines.push_back(line);
    });
}

LogCapture::~LogCapture() { service::SetLogSink(nullptr); }

std::vector<std::string> LogCapture::Lines() const {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->lines;
}

size_t LogCapture::CountContaining(const std::string& text) const {
    size_t n = 0;
    for (const std::string& line : Lines()) n += line.find(text) != std::string::npos;
    return n;
}

std::vector<std::string> LogCapture::WaitForLines(size_t count) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (Lines().size() < count && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // so that extra lines would show too
    return Lines();
}

size_t LogCapture::WaitForCount(const std::string& text, size_t count) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (CountContaining(text) < count && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return CountContaining(text);
}

void ServiceFixture::Start(const std::vector<std::string>& extraArgs) {
    std::vector<std::string> args = {"--listen", "127.0.0.1:0", "--data", m_data.Path() + "/data",
                                     "--latest-version", "3.10.0.60"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    service::Options options;
    std::string error;
    ASSERT_TRUE(service::ParseOptions(args, options, &error)) << error;
    m_app = std::make_unique<service::ServiceApp>(options, m_limits);
    ASSERT_TRUE(m_app->Start(&error)) << error;
    m_port = m_app->Ports().at(0);
}

void ServiceFixture::Stop() {
    if (m_app) m_app->Stop();
    m_app.reset();
}

}  // namespace servicetest
