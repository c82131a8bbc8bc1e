#pragma once
#include "service/logic/ShortLink.h"

#include <httplib.h>

#include <cstdint>
#include <string>

namespace service {

class Storage;
struct UploadInfo;

struct ServiceConfig {
    uint64_t maxUploadSize = 2147483648ULL;
    std::string latestVersion = "0.0.0.0";
    std::string publicUrl;  // "" = "http://" + the request's Host
};

// Multipart overhead allowed above the file size limit before a request is refused
// by its Content-Length alone (boundaries, part headers, the five text fields).
constexpr uint64_t kUploadFormSlack = 128 * 1024;
// Identifiers handed out per request.
constexpr size_t kUidBatch = 10;
// "My captures" lists at most this many uploads.
constexpr size_t kMyCapturesLimit = 500;

// The HTTP handlers: they read the request, call the logic and the storage, and turn
// the outcome into a status code, a body and a note for the log line. They hold no
// state of their own.
class Handlers {
public:
    Handlers(Storage& storage, ServiceConfig config);
    void Register(httplib::Server& server);

private:
    httplib::Server::HandlerResponse Route(const httplib::Request& req, httplib::Response& res);
    int Expect(const httplib::Request& req, httplib::Response& res);

    void Uids(const httplib::Request& req, httplib::Response& res);
    void Sync(const httplib::Request& req, httplib::Response& res);
    void History(const httplib::Request& req, httplib::Response& res);
    void LatestVersion(const httplib::Request& req, httplib::Response& res);
    void MyCaptures(const httplib::Request& req, httplib::Response& res);
    void NewVersion(const httplib::Request& req, httplib::Response& res);
    void Download(const httplib::Request& req, httplib::Response& res);
    void Events(const httplib::Request& req, httplib::Response& res);
    void Upload(const httplib::Request& req, httplib::Response& res, const ShortLink& link);
    void PostFile(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader);
    void Collect(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader);

    // Streams a stored file (ranges honoured); false when it cannot be opened.
    bool ServeFile(const httplib::Request& req, httplib::Response& res, const std::string& path,
                   const std::string& contentType, const std::string& disposition);
    std::string PublicUrl(const httplib::Request& req) const;

    Storage& m_storage;  // not owned; outlives the server
    ServiceConfig m_config;
};

}  // namespace service
