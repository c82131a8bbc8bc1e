#pragma once
// Helpers for the service tests: a temporary data folder, the service running
// in-process on a free loopback port, a raw socket client that sends exactly the bytes
// given, and the multipart body curl 7.88 builds for the program's upload command.
#include "service/http/RequestLog.h"
#include "service/http/ServiceApp.h"
#include "service/logic/Options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace servicetest {

constexpr char kAppA[] = "{12345678-9ABC-DEF0-1234-56789ABCDEF0}";
constexpr char kAppB[] = "{0FEDCBA9-8765-4321-0FED-CBA987654321}";
// curl names its boundaries like this (24 dashes and 16 hexadecimal digits).
constexpr char kBoundary[] = "------------------------d0580b92d197991c";

// A fresh folder below the test temporary folder, removed on destruction.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

struct Reply {
    std::string raw;            // every byte received
    int status = 0;             // of the final reply (after any 100 Continue)
    std::string head;           // status line and headers of the final reply
    std::string body;           // by Content-Length
    bool closedByServer = false;
    double closeMs = -1;        // from the last byte sent or received to the server's close
    std::string Header(const std::string& name) const;  // first value, case-insensitive name
};

// Connects to 127.0.0.1:port, sends request (for "Expect: 100-continue" requests only
// the head first, then body after the interim reply), and reads until the server
// closes or timeoutMs passes without data. When the reply has a Content-Length and
// the server keeps the connection, reading stops once the body is complete.
Reply Exchange(int port, const std::string& head, const std::string& body = "", int timeoutMs = 3000);

// The raw GET the program's socket client sends.
std::string ProgramGet(const std::string& path, const std::string& host = "127.0.0.1");

struct UploadForm {
    std::string appId = kAppA;
    std::string screenshotId = "121021/AbCdEf12";
    std::string fileExt = ".png";
    std::string uploadType = "0";
    std::string fileName = "U2NyZWVuc2hvdA==";  // "Screenshot"
    std::string localName = "AbCdEfGh12345678.png";
    std::string contentType = "image/png";
    std::string file = "\x89PNG\r\n\x1a\nfake";
};

// The multipart body curl builds for the program's upload command.
std::string CurlMultipartBody(const UploadForm& form);
// The request head curl sends with it (Expect: 100-continue when asked).
std::string CurlPostHead(int port, const std::string& path, size_t bodySize, bool expect100);
// Uploads like the program does and returns the reply.
Reply Upload(int port, const UploadForm& form, bool expect100 = false);

std::string Base64(const std::string& bytes);
std::string ReadFile(const std::string& path);
// Regular files below folder, as paths relative to it.
std::vector<std::string> FilesBelow(const std::string& folder);

// Captures the service's log lines while alive.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    std::vector<std::string> Lines() const;
    size_t CountContaining(const std::string& text) const;
    // The server writes a request's line after the reply has gone out, so a client can
    // be done before the line is: these wait (up to 5 s) for the count to be reached.
    std::vector<std::string> WaitForLines(size_t count) const;
    size_t WaitForCount(const std::string& text, size_t count) const;

private:
    struct State {
        mutable std::mutex mutex;
        std::vector<std::string> lines;
    };
    std::shared_ptr<State> m_state;
};

// The service on a free loopback port with its own data folder.
class ServiceFixture : public ::testing::Test {
protected:
    void SetUp() override { Start(); }
    void TearDown() override { Stop(); }
    void Start(const std::vector<std::string>& extraArgs = {});
    void Stop();
    void Restart(const std::vector<std::string>& extraArgs = {}) { Stop(); Start(extraArgs); }

    service::ServerLimits m_limits;  // set before Start/Restart to shorten time-outs
    TempFolder m_data;
    LogCapture m_log;
    std::unique_ptr<service::ServiceApp> m_app;
    int m_port = 0;
};

}  // namespace servicetest
