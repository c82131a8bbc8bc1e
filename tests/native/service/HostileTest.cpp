// Hostile input: oversized and truncated uploads, identifiers with separators, other
// installations' identifiers, path tricks, huge headers and a thousand clients at
// once. Nothing may crash, leave a file outside the data folder, or lose an upload.
#include "ServiceTestSupport.h"

#include "service/storage/Storage.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <thread>

using namespace servicetest;

namespace {

class Hostile : public ServiceFixture {
protected:
    // Everything below the data folder except the database files and the folders.
    std::vector<std::string> StoredFiles() {
        std::vector<std::string> files;
        for (const std::string& f : FilesBelow(m_data.Path() + "/data")) {
            if (f.rfind("brivane.db", 0) != 0) files.push_back(f);
        }
        return files;
    }
    // Only "data" may exist in the test's folder: nothing was written beside it.
    void ExpectNothingOutsideData() {
        for (const auto& e : std::filesystem::directory_iterator(m_data.Path()))
            EXPECT_EQ(e.path().filename(), "data") << "written outside the data folder: " << e.path();
    }
    Reply Get(const std::string& target) {
        return Exchange(m_port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    }
};

// Sends head and part of the body, then ends the sending side: a client that died.
Reply SendTruncated(int port, const std::string& head, const std::string& partialBody) {
    Reply r;
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return r;
    }
    std::string data = head + partialBody;
    ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    ::shutdown(fd, SHUT_WR);
    char buf[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) break;
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            r.closedByServer = true;
            break;
        }
        r.raw.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    if (r.raw.size() > 12) r.status = std::atoi(r.raw.c_str() + 9);
    size_t end = r.raw.find("\r\n\r\n");
    if (end != std::string::npos) r.body = r.raw.substr(end + 4);
    return r;
}

}  // namespace

TEST_F(Hostile, OversizedUploadsAreRefusedWith413AndNothingStored) {
    Restart({"--max-upload-size", "1000"});
    UploadForm fits;
    fits.screenshotId = "121021/FitsExac1";
    fits.file.assign(1000, 'a');
    EXPECT_EQ(Upload(m_port, fits).body, "{\"status\":0}");

    UploadForm over = fits;
    over.screenshotId = "121021/OneByteOv";
    over.file.assign(1001, 'b');
    Reply r = Upload(m_port, over);
    EXPECT_EQ(r.status, 413);
    EXPECT_NE(r.body.find("413"), std::string::npos);
    EXPECT_EQ(r.body.find("\"status\":0"), std::string::npos);

    // Far too large by its length: refused before the body, with or without 100-continue.
    UploadForm huge = fits;
    huge.screenshotId = "121021/HugeFile1";
    huge.file.assign(3 * 1024 * 1024, 'c');
    Reply early = Upload(m_port, huge, true);
    EXPECT_EQ(early.status, 413);
    EXPECT_EQ(early.raw.find("100 Continue"), std::string::npos) << "the client was asked for the body";
    EXPECT_NE(early.body.find("413"), std::string::npos);
    Reply late = Upload(m_port, huge, false);
    EXPECT_EQ(late.status, 413);
    EXPECT_NE(late.body.find("413"), std::string::npos);

    // Chunked, so no length to judge by: counted while it streams.
    std::string body = CurlMultipartBody(over);
    char size[32];
    std::snprintf(size, sizeof size, "%zx", body.size());
    std::string chunked = std::string(size) + "\r\n" + body + "\r\n0\r\n\r\n";
    std::string head = "POST /post_file2 HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: chunked\r\n"
                       "Content-Type: multipart/form-data; boundary=" + std::string(kBoundary) + "\r\n\r\n";
    Reply streamed = Exchange(m_port, head, chunked);
    EXPECT_EQ(streamed.status, 413);
    EXPECT_NE(streamed.body.find("413"), std::string::npos);

    ASSERT_EQ(StoredFiles().size(), 1u);
    EXPECT_EQ(Get("/sAUOneByteOv?a").status, 404);
    EXPECT_EQ(Get("/sAUHugeFile1?a").status, 404);
    EXPECT_EQ(Get("/sAUFitsExac1.png").body, fits.file);
    ExpectNothingOutsideData();
}

TEST_F(Hostile, TruncatedAndMalformedMultipartBodies) {
    UploadForm form;
    form.file.assign(50000, 'x');
    std::string body = CurlMultipartBody(form);
    std::string head = CurlPostHead(m_port, "/post_file2", body.size(), false);
    Reply cut = SendTruncated(m_port, head, body.substr(0, body.size() / 2));
    EXPECT_EQ(cut.status, 400);
    EXPECT_NE(cut.body.find("\"status\":1"), std::string::npos);

    // Complete by its length but without the closing boundary.
    std::string open = body.substr(0, body.size() - std::string(kBoundary).size() - 6);
    Reply unterminated = Exchange(m_port, CurlPostHead(m_port, "/post_file2", open.size(), false), open);
    EXPECT_EQ(unterminated.status, 400);

    Reply notMultipart = Exchange(m_port, "POST /post_file2 HTTP/1.1\r\nHost: h\r\nContent-Length: 5\r\n"
                                          "Content-Type: application/octet-stream\r\n\r\n", "hello");
    EXPECT_EQ(notMultipart.status, 400);
    Reply noBoundary = Exchange(m_port, "POST /post_file2 HTTP/1.1\r\nHost: h\r\nContent-Length: 5\r\n"
                                        "Content-Type: multipart/form-data\r\n\r\n", "hello");
    EXPECT_EQ(noBoundary.status, 400);
    Reply garbage = Exchange(m_port, CurlPostHead(m_port, "/post_file2", 64, false), std::string(64, '\xff'));
    EXPECT_EQ(garbage.status, 400);

    EXPECT_TRUE(StoredFiles().empty());
    EXPECT_EQ(Get("/sAUAbCdEf12?a").status, 404);
    EXPECT_EQ(Get("/collect/events").status, 200) << "the service stopped answering";
}

TEST_F(Hostile, FieldsWithSeparatorsOrOfTheWrongFormAreRefused) {
    struct Case { const char* field; std::string value; };
    const Case kCases[] = {
        {"fileExt", "../x"}, {"fileExt", ".p/ng"}, {"fileExt", ".."}, {"fileExt", ".a\\b"},
        {"fileExt", "./../../../../tmp/x"}, {"screenshotId", "121021/../../etc"},
        {"screenshotId", "../121021/AbCdEf12"}, {"screenshotId", "121021/AbCd Ef12"},
        {"screenshotId", "/etc/passwd"}, {"screenshotId", "121021/..%2F..%2Fx"},
        {"appId", "nope"}, {"appId", "{../../../../../../../../etc/passwd}"}, {"appId", ""},
        {"uploadType", "3"}, {"uploadType", ""}, {"fileName", "%%%"}, {"fileName", "YQ"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.field) + "=" + c.value);
        UploadForm form;
        if (std::string(c.field) == "fileExt") form.fileExt = c.value;
        if (std::string(c.field) == "screenshotId") form.screenshotId = c.value;
        if (std::string(c.field) == "appId") form.appId = c.value;
        if (std::string(c.field) == "uploadType") form.uploadType = c.value;
        if (std::string(c.field) == "fileName") form.fileName = c.value;
        Reply r = Upload(m_port, form);
        EXPECT_EQ(r.status, 400);
        EXPECT_NE(r.body.find("{\"status\":1,"), std::string::npos) << r.body;
    }
    EXPECT_TRUE(StoredFiles().empty());
    ExpectNothingOutsideData();
    EXPECT_EQ(m_log.WaitForCount("upload refused: bad ", std::size(kCases)), std::size(kCases));
}

TEST_F(Hostile, AnotherInstallationCannotOverwrite) {
    UploadForm mine;
    mine.file = "mine";
    ASSERT_EQ(Upload(m_port, mine).body, "{\"status\":0}");
    UploadForm theirs = mine;
    theirs.appId = kAppB;
    theirs.file = "theirs";
    Reply r = Upload(m_port, theirs);
    EXPECT_EQ(r.status, 403);
    EXPECT_NE(r.body.find("{\"status\":2,"), std::string::npos);
    EXPECT_EQ(Get("/sAUAbCdEf12.png").body, "mine");

    // An identifier issued to one installation cannot be used by another.
    Reply uids = Exchange(m_port, "GET /api/app/v1/uids HTTP/1.1\r\nHost: h\r\nUser-Agent: Brivane/1 (" +
                                      std::string(kAppA) + ")\r\n\r\n");
    std::string uid = uids.body.substr(uids.body.find("[\"") + 2, 10);
    theirs.screenshotId = "121021/" + uid;
    EXPECT_EQ(Upload(m_port, theirs).status, 403);
    mine.screenshotId = theirs.screenshotId;
    EXPECT_EQ(Upload(m_port, mine).status, 200);
}

TEST_F(Hostile, PathTricksNeverReachFiles) {
    UploadForm form;
    ASSERT_EQ(Upload(m_port, form).status, 200);
    const char* kTargets[] = {
        "/../../etc/passwd", "/%2e%2e/%2e%2e/etc/passwd", "/brivane.db", "/files/", "/tmp/",
        "/sAU..%2Fbrivane.db", "/sAUAbCdEf12.png%00.html", "/sAUAbCdEf12%2F..%2F..%2Fbrivane.db",
        "/sAUAbCdEf12.png/../../brivane.db", "/download/..%2Fbrivane.db", "/download/latest/../../brivane.db",
        "/sAUAbCdEf12.PNG.html", "//etc/passwd", "/sAU%00AbCdEf12",
    };
    for (const char* target : kTargets) {
        SCOPED_TRACE(target);
        Reply r = Get(target);
        EXPECT_TRUE(r.status == 404 || r.status == 400) << r.status;
        EXPECT_EQ(r.body.find("SQLite format"), std::string::npos);
        EXPECT_EQ(r.body.find("root:"), std::string::npos);
    }
}

TEST_F(Hostile, HugeHeadersAndGarbageDoNotTakeTheServiceDown) {
    UploadForm form;
    form.localName = std::string(8000, 'n') + ".png";  // a part header near httplib's limit
    Reply longPart = Upload(m_port, form);
    EXPECT_TRUE(longPart.status == 200 || longPart.status == 400) << longPart.status;
    form.localName = std::string(20000, 'n') + ".png";
    form.screenshotId = "121021/LongName2";
    EXPECT_EQ(Upload(m_port, form).status, 400);

    EXPECT_EQ(Get("/" + std::string(9000, 'a')).status, 414);
    // Endless headers or a request line without end: refused after 64 KB, at once.
    std::string manyHeaders = "GET /actver.php?1 HTTP/1.1\r\nHost: h\r\n";
    for (int i = 0; i < 2000; ++i) manyHeaders += "X-" + std::to_string(i) + ": " + std::string(50, 'v') + "\r\n";
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Exchange(m_port, manyHeaders + "\r\n").status, 400);
    Reply binary = Exchange(m_port, std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11) +
                                        std::string(100000, '\0'));
    EXPECT_EQ(binary.status, 400);
    EXPECT_TRUE(binary.closedByServer);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(m_log.WaitForCount("request line unreadable after 65536 bytes", 1), 1u);
    Reply alive = Exchange(m_port, ProgramGet("/actver.php?1"));
    EXPECT_EQ(alive.body, "\"3.10.0.60\"");
}

TEST_F(Hostile, AThousandConcurrentClients) {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur < 2600) GTEST_SKIP() << "descriptor limit " << limit.rlim_cur << " is below 2600";

    constexpr int kClients = 1000;
    constexpr int kUploads = 100;
    struct Client {
        int fd = -1;
        std::string out, in;
        size_t sent = 0;
        int expect = 200;
        std::string expectBody;
        bool done = false;
    };
    std::vector<Client> clients(kClients);
    for (int i = 0; i < kClients; ++i) {
        Client& c = clients[i];
        if (i < kUploads) {
            UploadForm form;
            char id[16];
            std::snprintf(id, sizeof id, "Conc%04d", i);
            form.screenshotId = std::string("121021/") + id;
            form.file.assign(2000 + i, static_cast<char>('a' + i % 26));
            std::string body = CurlMultipartBody(form);
            c.out = CurlPostHead(m_port, "/post_file2", body.size(), false) + body;
            c.expectBody = "{\"status\":0}";
        } else if (i % 3 == 0) {
            c.out = ProgramGet("/sync.php?appid={12345678-9ABC-DEF0-1234-56789ABCDEF0}&ts=1");
        } else if (i % 3 == 1) {
            c.out = ProgramGet("/actver.php?1");
            c.expectBody = "\"3.10.0.60\"";
        } else {
            c.out = "GET /nowhere HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n";
            c.expect = 404;
        }
        c.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ASSERT_GE(c.fd, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(m_port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(c.fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    }
    size_t linesBefore = m_log.Lines().size();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    int remaining = kClients;
    std::vector<pollfd> fds(kClients);
    size_t maxThreads = 0;
    auto threadCount = [] {
        size_t n = 0;
        for (const auto& e : std::filesystem::directory_iterator("/proc/self/task")) n += e.is_directory() ? 1 : 0;
        return n;
    };
    while (remaining > 0 && std::chrono::steady_clock::now() < deadline) {
        maxThreads = std::max(maxThreads, threadCount());
        for (int i = 0; i < kClients; ++i) {
            Client& c = clients[i];
            fds[i] = {c.done ? -1 : c.fd, static_cast<short>(c.sent < c.out.size() ? POLLOUT : POLLIN), 0};
        }
        if (::poll(fds.data(), fds.size(), 1000) <= 0) continue;
        for (int i = 0; i < kClients; ++i) {
            Client& c = clients[i];
            if (c.done || fds[i].revents == 0) continue;
            if (c.sent < c.out.size()) {
                ssize_t n = ::send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL);
                if (n > 0) c.sent += static_cast<size_t>(n);
                else if (n < 0 && errno != EAGAIN) { c.done = true; --remaining; }
                continue;
            }
            char buf[8192];
            ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
            if (n > 0) c.in.append(buf, static_cast<size_t>(n));
            size_t end = c.in.find("\r\n\r\n");
            bool complete = false;
            if (end != std::string::npos) {
                size_t cl = c.in.find("Content-Length: ");
                if (cl != std::string::npos && cl < end) {
                    size_t len = std::stoul(c.in.substr(cl + 16));
                    complete = c.in.size() >= end + 4 + len;
                }
            }
            if (complete || n == 0 || (n < 0 && errno != EAGAIN)) {
                c.done = true;
                --remaining;
            }
        }
    }
    int wrong = 0;
    for (int i = 0; i < kClients; ++i) {
        Client& c = clients[i];
        ::close(c.fd);
        int status = c.in.size() > 12 ? std::atoi(c.in.c_str() + 9) : 0;
        size_t end = c.in.find("\r\n\r\n");
        std::string body = end == std::string::npos ? "" : c.in.substr(end + 4);
        bool ok = status == c.expect && (c.expectBody.empty() || body == c.expectBody);
        if (!ok && ++wrong <= 5) ADD_FAILURE() << "client " << i << ": " << c.in.substr(0, 200);
    }
    EXPECT_EQ(remaining, 0) << "clients still waiting at the deadline";
    // The test and its service share this process: the request threads stay a fixed pool.
    EXPECT_GE(maxThreads, 64u) << "the measurement did not see the pool";
    EXPECT_LE(maxThreads, 64u + 8u) << "threads grew with the clients";
    EXPECT_EQ(wrong, 0);
    // No upload lost, one file each; one log line per request.
    EXPECT_EQ(m_app->GetStorage().ListUploads(kAppA, 1000).size(), static_cast<size_t>(kUploads));
    EXPECT_EQ(StoredFiles().size(), static_cast<size_t>(kUploads));
    EXPECT_EQ(m_log.WaitForLines(linesBefore + kClients).size() - linesBefore, static_cast<size_t>(kClients));
    EXPECT_EQ(Get("/sAUConc0042.png").body, std::string(2042, 'a' + 42 % 26));
}

namespace {

// Sends head, then piece every stepMs until the server closes or totalMs pass.
// Returns the reply and how long the server took to close.
Reply Trickle(int port, const std::string& head, const std::string& piece, int stepMs, int totalMs) {
    Reply r;
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return r;
    }
    auto start = std::chrono::steady_clock::now();
    ::send(fd, head.data(), head.size(), MSG_NOSIGNAL);
    char buf[4096];
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(totalMs)) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, stepMs) > 0) {
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) {
                r.closedByServer = true;
                break;
            }
            r.raw.append(buf, static_cast<size_t>(n));
            continue;
        }
        ::send(fd, piece.data(), piece.size(), MSG_NOSIGNAL);
    }
    r.closeMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    ::close(fd);
    if (r.raw.size() > 12) r.status = std::atoi(r.raw.c_str() + 9);
    return r;
}

}  // namespace

TEST_F(Hostile, TricklingClientsDoNotHoldAWorker) {
    m_limits.headerTimeoutMs = 300;
    m_limits.bodyGraceMs = 300;
    m_limits.minBodyBytesPerSecond = 100000;
    Restart();
    Reply headers = Trickle(m_port, "GET /actver.php?1 HTTP/1.1\r\n", "X", 50, 5000);
    EXPECT_TRUE(headers.closedByServer);
    EXPECT_EQ(headers.status, 400);
    EXPECT_LT(headers.closeMs, 2000.0);

    UploadForm form;
    std::string body = CurlMultipartBody(form);
    Reply slowBody = Trickle(m_port, CurlPostHead(m_port, "/post_file2", body.size(), false) + body.substr(0, 200),
                             "x", 50, 5000);
    EXPECT_TRUE(slowBody.closedByServer);
    EXPECT_EQ(slowBody.status, 400);
    EXPECT_LT(slowBody.closeMs, 2000.0);
    EXPECT_TRUE(StoredFiles().empty());

    // A normal client is still served at full speed afterwards.
    EXPECT_EQ(Upload(m_port, form).body, "{\"status\":0}");
}

TEST_F(Hostile, StoringFailuresAreReportedNotAcknowledged) {
    // The day folder is taken by a plain file, so the finished upload cannot be renamed
    // into place (root ignores permissions, so a read-only folder would not do).
    std::string files = m_data.Path() + "/data/files";
    { std::ofstream(files + "/AU") << "in the way"; }
    UploadForm form;
    Reply r = Upload(m_port, form);
    EXPECT_EQ(r.status, 500);
    EXPECT_NE(r.body.find("{\"status\":3,"), std::string::npos) << r.body;
    EXPECT_EQ(Get("/sAUAbCdEf12?a").status, 404);
    EXPECT_TRUE(FilesBelow(m_data.Path() + "/data/tmp").empty());
    EXPECT_EQ(m_log.WaitForCount("storing failed: rename", 1), 1u);

    // The temporary folder is gone: nothing can be received.
    std::filesystem::remove(files + "/AU");
    std::filesystem::remove_all(m_data.Path() + "/data/tmp");
    { std::ofstream(m_data.Path() + "/data/tmp") << "in the way"; }
    Reply noTmp = Upload(m_port, form);
    EXPECT_EQ(noTmp.status, 500);
    EXPECT_NE(noTmp.body.find("{\"status\":3,"), std::string::npos) << noTmp.body;
    EXPECT_EQ(Get("/sAUAbCdEf12?a").status, 404);
}

TEST_F(Hostile, TheSameUploadPostedConcurrentlyStoresOneFile) {
    // The program leaves a judged attempt's curl running and tries again, so the same
    // identifier can arrive on several connections at once.
    UploadForm form;
    form.file.assign(200000, 'q');
    std::vector<std::thread> posts;
    std::vector<std::string> bodies(8);
    for (size_t i = 0; i < bodies.size(); ++i)
        posts.emplace_back([&, i] { bodies[i] = Upload(m_port, form).body; });
    for (std::thread& t : posts) t.join();
    for (const std::string& body : bodies) EXPECT_EQ(body, "{\"status\":0}");
    EXPECT_EQ(StoredFiles().size(), 1u);
    EXPECT_EQ(m_app->GetStorage().ListUploads(kAppA, 10).size(), 1u);
    EXPECT_EQ(Get("/sAUAbCdEf12.png").body, form.file);
}
