#include "service/http/Handlers.h"

#include "service/http/RequestContext.h"
#include "service/http/RequestLog.h"
#include "service/logic/AnalyticsEvent.h"
#include "service/logic/Identifiers.h"
#include "service/logic/Json.h"
#include "service/logic/MediaType.h"
#include "service/logic/Pages.h"
#include "service/logic/UploadInfo.h"
#include "service/storage/Storage.h"
#include "service/storage/UploadSession.h"

#include <cctype>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace service {
namespace {

using httplib::Request;
using httplib::Response;
using HandlerResponse = httplib::Server::HandlerResponse;

const char kPageSecurityPolicy[] =
    "default-src 'none'; img-src 'self'; media-src 'self'; style-src 'unsafe-inline'; base-uri 'none'; "
    "form-action 'none'; frame-ancestors 'none'";
const char kFileSecurityPolicy[] = "default-src 'none'; img-src 'self'; media-src 'self'; sandbox";

void Note(const std::string& text) { CurrentRequest().note = text; }

void SendJson(Response& res, int status, const std::string& body) {
    res.status = status;
    res.set_header("Cache-Control", "no-store");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_content(body, "application/json");
}

// Replies to the program's raw GETs: as few headers as possible, none with a quoted
// value (the program takes the first quoted text of the whole reply), a length, and
// the connection closed so the reader sees the end at once.
void SendRaw(Response& res, int status, const std::string& body) {
    res.status = status;
    res.set_content(body, "application/json");
    CloseAfterResponse(false);
}

void SendHtml(Response& res, int status, const std::string& html) {
    res.status = status;
    res.set_header("Content-Security-Policy", kPageSecurityPolicy);
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header("Cache-Control", "no-cache");
    res.set_content(html, "text/html; charset=utf-8");
}

std::string ErrorJson(int status, const std::string& text) {
    return "{\"status\":" + std::to_string(status) + ",\"error\":" + JsonString(text) + "}";
}

const char* Reason(int status) {
    switch (status) {
        case 400: return "Bad Request";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 408: return "Request Timeout";
        case 413: return "Request Entity Too Large";
        case 414: return "URI Too Long";
        case 415: return "Unsupported Media Type";
        case 416: return "Range Not Satisfiable";
        case 417: return "Expectation Failed";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        default: return "Error";
    }
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool ParseCount(const std::string& text, size_t max, size_t& out) {
    if (text.empty() || text.size() > 6) return false;
    size_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<size_t>(c - '0');
    }
    if (value == 0 || value > max) return false;
    out = value;
    return true;
}

uint64_t ContentLength(const Request& req) {
    if (!req.has_header("Content-Length")) return 0;
    return req.get_header_value<uint64_t>("Content-Length");
}

void RefuseTooLarge(Response& res, const std::string& what) {
    SendJson(res, 413, ErrorJson(413, "413 Request Entity Too Large: " + what));
}

// The installation id in the program's user agent "<product>/<version> (<id>)".
std::string AppIdFromUserAgent(const std::string& agent) {
    size_t open = agent.rfind('(');
    size_t close = agent.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return std::string();
    auto id = NormalizeAppId(std::string_view(agent).substr(open + 1, close - open - 1));
    return id ? *id : std::string();
}

struct FileHandle {
    explicit FileHandle(int f) : fd(f) {}
    ~FileHandle() {
        if (fd >= 0) ::close(fd);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int fd;
};

}  // namespace

Handlers::Handlers(Storage& storage, ServiceConfig config) : m_storage(storage), m_config(std::move(config)) {}

void Handlers::Register(httplib::Server& server) {
    server.set_payload_max_length(static_cast<size_t>(m_config.maxUploadSize + kUploadFormSlack));
    server.set_pre_routing_handler([this](const Request& req, Response& res) { return Route(req, res); });
    server.set_expect_100_continue_handler([this](const Request& req, Response& res) { return Expect(req, res); });
    server.Post("/post_file2", [this](const Request& req, Response& res, const httplib::ContentReader& reader) {
        PostFile(req, res, reader);
    });
    server.Post("/collect", [this](const Request& req, Response& res, const httplib::ContentReader& reader) {
        Collect(req, res, reader);
    });
    server.set_error_handler(httplib::Server::HandlerWithResponse([](const Request&, Response& res) {
        if (!res.body.empty() || res.content_provider_) return HandlerResponse::Unhandled;
        if (res.status == 416 && res.has_header("Content-Range")) return HandlerResponse::Unhandled;
        res.set_content(ErrorJson(res.status, std::to_string(res.status) + " " + Reason(res.status)),
                        "application/json");
        return HandlerResponse::Handled;
    }));
    server.set_exception_handler([](const Request&, Response& res, std::exception_ptr ep) {
        std::string what = "unknown exception";
        try {
            if (ep) std::rethrow_exception(ep);
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
        }
        Note("exception: " + what);
        SendJson(res, 500, ErrorJson(500, "internal error"));
        CloseAfterResponse(true);
    });
    server.set_post_routing_handler([](const Request&, Response& res) {
        RequestContext& ctx = CurrentRequest();
        // A request that never reached routing (unparsable, refused expectation) leaves
        // the connection in an unknown state: end it.
        if (!ctx.routed) CloseAfterResponse(true);
        if (ctx.closeAfter) {
            res.headers.erase("Keep-Alive");
            res.headers.erase("Connection");
            res.set_header("Connection", "close");
        }
    });
    server.set_logger([](const Request& req, const Response& res) {
        CurrentRequest().logged = true;
        WriteLogLine(FormatRequestLine(req, res));
    });
}

HandlerResponse Handlers::Route(const Request& req, Response& res) {
    MarkRouted();
    const std::string& method = req.method;
    const std::string& path = req.path;
    if (method == "POST") {
        if (path == "/post_file2" || path == "/collect") return HandlerResponse::Unhandled;
        Note("no such POST target");
        SendJson(res, 404, ErrorJson(404, "404 Not Found"));
        CloseAfterResponse(true);
        return HandlerResponse::Handled;
    }
    if (method != "GET" && method != "HEAD") {
        Note("method not allowed");
        res.set_header("Allow", "GET, HEAD, POST");
        SendJson(res, 405, ErrorJson(405, "405 Method Not Allowed"));
        CloseAfterResponse(true);
        return HandlerResponse::Handled;
    }
    if (path == "/api/app/v1/uids") {
        Uids(req, res);
    } else if (path == "/sync.php") {
        Sync(req, res);
    } else if (path == "/history_add_to_cache.php") {
        History(req, res);
    } else if (path == "/actver.php") {
        LatestVersion(req, res);
    } else if (path == "/my") {
        MyCaptures(req, res);
    } else if (path == "/new-version") {
        NewVersion(req, res);
    } else if (path == "/download/latest") {
        Download(req, res);
    } else if (path == "/collect/events") {
        Events(req, res);
    } else if (path == "/") {
        SendHtml(res, 200, RenderMessagePage("Brivane", "This server keeps the screenshots, videos and files sent "
                                                        "with Brivane. Open the link of a capture to see it."));
    } else if (auto link = ParseShortLinkPath(path)) {
        Upload(req, res, *link);
    } else {
        Note("no such page");
        SendHtml(res, 404, RenderMessagePage("Not found", "There is nothing at this address."));
    }
    return HandlerResponse::Handled;
}

int Handlers::Expect(const Request& req, Response& res) {
    uint64_t length = ContentLength(req);
    if (req.method == "POST" && req.path == "/post_file2") {
        if (length > m_config.maxUploadSize + kUploadFormSlack) {
            Note("upload refused before its body: Content-Length " + std::to_string(length));
            RefuseTooLarge(res, "the file is larger than this service accepts");
            return 413;
        }
        return 100;
    }
    if (req.method == "POST" && req.path == "/collect") {
        if (length > kMaxEventBodyBytes) {
            Note("event refused before its body");
            RefuseTooLarge(res, "the event is too long");
            return 413;
        }
        return 100;
    }
    Note("expectation refused: no such target");
    SendJson(res, 404, ErrorJson(404, "404 Not Found"));
    return 404;
}

void Handlers::Uids(const Request& req, Response& res) {
    BeforeWaiting();  // a database write
    std::string appId = AppIdFromUserAgent(req.get_header_value("User-Agent"));
    std::vector<std::string> uids = m_storage.IssueUids(kUidBatch, appId);
    if (uids.empty()) {
        Note("issuing identifiers failed");
        SendJson(res, 500, "{\"status\":\"error\",\"uids\":[]}");
        return;
    }
    std::string body = "{\"status\":\"ok\",\"uids\":[";
    for (size_t i = 0; i < uids.size(); ++i) body += (i ? "," : "") + JsonString(uids[i]);
    body += "]}";
    Note("issued " + std::to_string(uids.size()) + (appId.empty() ? " identifiers" : " identifiers to " + appId));
    SendJson(res, 200, body);
}

void Handlers::Sync(const Request& req, Response& res) {
    if (!NormalizeAppId(req.get_param_value("appid"))) {
        Note("bad appid");
        SendRaw(res, 400, ErrorJson(1, "bad appid"));
        return;
    }
    uint64_t limit = m_config.maxUploadSize > 0xFFFFFFFFULL ? 0xFFFFFFFFULL : m_config.maxUploadSize;
    // Flat, and the first brace followed by a quote: the program reads the first
    // "{\"" ... "}" of the reply.
    std::string body = "{\"max_upload_file_size\":" + std::to_string(limit) +
                       ",\"upload_host\":" + JsonString(PublicUrl(req)) + "}";
    SendRaw(res, 200, body);
}

void Handlers::History(const Request& req, Response& res) {
    if (!NormalizeAppId(req.get_param_value("appid"))) {
        Note("bad appid");
        SendRaw(res, 400, ErrorJson(1, "bad appid"));
        return;
    }
    SendRaw(res, 200, "{\"status\":\"ok\"}");
}

void Handlers::LatestVersion(const Request&, Response& res) {
    SendRaw(res, 200, JsonString(m_config.latestVersion));
}

void Handlers::MyCaptures(const Request& req, Response& res) {
    std::string raw = req.has_param("appId") ? req.get_param_value("appId") : req.get_param_value("appid");
    auto appId = NormalizeAppId(raw);
    if (!appId) {
        Note("bad appId");
        SendHtml(res, 400, RenderMessagePage("My captures", "This address needs the installation id that Brivane "
                                                             "opens it with."));
        return;
    }
    std::vector<UploadInfo> uploads = m_storage.ListUploads(*appId, kMyCapturesLimit);
    Note(std::to_string(uploads.size()) + " uploads of " + *appId);
    SendHtml(res, 200, RenderMyCapturesPage(*appId, uploads, PublicUrl(req), kMyCapturesLimit));
}

void Handlers::NewVersion(const Request&, Response& res) {
    SendHtml(res, 200, RenderNewVersionPage(m_config.latestVersion, m_storage.LatestDownload()));
}

void Handlers::Download(const Request& req, Response& res) {
    std::string name = m_storage.LatestDownload();
    std::string path = name.empty() ? std::string() : m_storage.DownloadPath(name);
    if (path.empty() || !ServeFile(req, res, path, "application/octet-stream", ContentDisposition(name, true))) {
        Note("no installer published");
        SendHtml(res, 404, RenderMessagePage("Not found", "No installer is published on this server."));
    }
}

void Handlers::Events(const Request& req, Response& res) {
    size_t limit = 100;
    if (req.has_param("limit") && !ParseCount(req.get_param_value("limit"), 1000, limit)) {
        SendJson(res, 400, ErrorJson(1, "limit must be 1..1000"));
        return;
    }
    std::string cid = req.get_param_value("cid");
    if (cid.size() > kMaxEventFieldBytes) {
        SendJson(res, 400, ErrorJson(1, "cid too long"));
        return;
    }
    std::string body = "{\"events\":[";
    bool first = true;
    for (const StoredEvent& s : m_storage.ListEvents(limit, cid)) {
        const AnalyticsEvent& e = s.event;
        body += first ? "{" : ",{";
        first = false;
        body += "\"id\":" + std::to_string(s.id) + ",\"received_at\":" + std::to_string(s.receivedAt);
        const std::pair<const char*, const std::string*> fields[] = {
            {"v", &e.v}, {"t", &e.t}, {"tid", &e.tid}, {"cid", &e.cid}, {"ec", &e.ec},
            {"ea", &e.ea}, {"el", &e.el}, {"ev", &e.ev}, {"an", &e.an}, {"av", &e.av}};
        for (const auto& f : fields) body += std::string(",\"") + f.first + "\":" + JsonString(*f.second);
        body += "}";
    }
    body += "]}";
    SendJson(res, 200, body);
}

void Handlers::Upload(const Request& req, Response& res, const ShortLink& link) {
    auto info = m_storage.FindUpload(link.dayNumber, link.uid);
    if (!info || (link.direct && !EqualsIgnoreCase(link.ext, info->ext))) {
        Note("no such upload");
        SendHtml(res, 404, RenderMessagePage("Not found", "This capture does not exist or was removed."));
        return;
    }
    bool wantsFile = link.direct || req.has_param("raw");
    if (!wantsFile) {
        Note("page");
        SendHtml(res, 200, RenderUploadPage(*info, PublicUrl(req)));
        return;
    }
    MediaType media = MediaTypeFor(info->ext, info->type);
    bool attachment = media.kind == MediaKind::Other || req.has_param("dl");
    std::string disposition = ContentDisposition(DownloadFileName(info->displayName, info->ext, info->uid), attachment);
    if (!ServeFile(req, res, m_storage.FilePath(*info), media.contentType, disposition)) {
        Note("stored file missing");
        SendHtml(res, 500, RenderMessagePage("Unavailable", "This capture cannot be read right now."));
        return;
    }
    Note(attachment ? "file (download)" : "file");
}

bool Handlers::ServeFile(const Request& req, Response& res, const std::string& path, const std::string& contentType,
                         const std::string& disposition) {
    if (path.empty()) return false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    auto handle = std::make_shared<FileHandle>(fd);
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    uint64_t size = static_cast<uint64_t>(st.st_size);
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Content-Security-Policy", kFileSecurityPolicy);
    res.set_header("Content-Disposition", disposition);
    res.set_header("Cache-Control", "private, max-age=60");
    res.set_header("Accept-Ranges", "bytes");
    // Only one range, inside the file; httplib would otherwise compute lengths from
    // ranges it has not checked against the size.
    bool badRange = req.ranges.size() > 1;
    if (req.ranges.size() == 1) {
        auto r = req.ranges[0];
        if (size == 0) badRange = true;
        else if (r.first == -1) badRange = r.second <= 0;
        else badRange = static_cast<uint64_t>(r.first) >= size || (r.second != -1 && r.second < r.first);
    }
    if (badRange) {
        res.status = 416;
        res.set_header("Content-Range", "bytes */" + std::to_string(size));
        return true;
    }
    if (size == 0) {
        res.set_content("", contentType);
        return true;
    }
    res.set_content_provider(static_cast<size_t>(size), contentType,
                             [handle](size_t offset, size_t length, httplib::DataSink& sink) {
                                 thread_local char buffer[64 * 1024];
                                 size_t want = length < sizeof buffer ? length : sizeof buffer;
                                 ssize_t n = ::pread(handle->fd, buffer, want, static_cast<off_t>(offset));
                                 if (n <= 0) return false;
                                 return sink.write(buffer, static_cast<size_t>(n));
                             });
    return true;
}

void Handlers::PostFile(const Request& req, Response& res, const httplib::ContentReader& reader) {
    BeforeWaiting();  // the body, then the disk
    if (!req.is_multipart_form_data()) {
        Note("upload is not multipart/form-data");
        SendJson(res, 400, ErrorJson(1, "expected multipart/form-data"));
        CloseAfterResponse(true);
        return;
    }
    if (ContentLength(req) > m_config.maxUploadSize + kUploadFormSlack) {
        Note("upload refused by its Content-Length " + std::to_string(ContentLength(req)));
        RefuseTooLarge(res, "the file is larger than this service accepts");
        CloseAfterResponse(true);
        return;
    }
    UploadSession session(m_storage, m_config.maxUploadSize);
    bool readOk = reader([&](const httplib::MultipartFormData& part) { return session.OnPart(part.name); },
                         [&](const char* data, size_t size) { return session.OnData(data, size); });
    UploadSession::Result result = session.Finish(readOk);
    if (!readOk) CloseAfterResponse(true);
    const UploadMeta& m = result.meta;
    switch (result.outcome) {
        case UploadSession::Outcome::Stored:
            Note("stored " + ShortLinkPath(m.type, m.dayNumber, m.uid) + " " + std::to_string(result.size) +
                 " bytes for " + m.appId);
            SendJson(res, 200, "{\"status\":0}");
            return;
        case UploadSession::Outcome::TooLarge:
            Note("upload refused: " + result.detail);
            RefuseTooLarge(res, "the file is larger than this service accepts");
            CloseAfterResponse(true);
            return;
        case UploadSession::Outcome::Malformed:
            Note("upload refused: " + result.detail);
            SendJson(res, 400, ErrorJson(1, "malformed upload: " + result.detail));
            return;
        case UploadSession::Outcome::Incomplete:
            Note("upload refused: " + result.detail);
            SendJson(res, 400, ErrorJson(1, "incomplete upload"));
            CloseAfterResponse(true);
            return;
        case UploadSession::Outcome::OtherOwner:
            Note("upload refused: " + result.detail);
            SendJson(res, 403, ErrorJson(2, "this identifier belongs to another installation"));
            return;
        case UploadSession::Outcome::StoreFailed:
            Note("storing failed: " + result.detail);
            SendJson(res, 500, ErrorJson(3, "storing the file failed"));
            return;
    }
}

void Handlers::Collect(const Request& req, Response& res, const httplib::ContentReader& reader) {
    BeforeWaiting();  // a database write
    if (req.is_multipart_form_data()) {
        Note("event is multipart");
        SendJson(res, 415, ErrorJson(415, "send the event as a form"));
        CloseAfterResponse(true);
        return;
    }
    if (ContentLength(req) > kMaxEventBodyBytes) {
        Note("event too long");
        RefuseTooLarge(res, "the event is too long");
        CloseAfterResponse(true);
        return;
    }
    std::string body;
    bool tooLong = false;
    bool readOk = reader([&](const char* data, size_t size) {
        if (body.size() + size > kMaxEventBodyBytes) {
            tooLong = true;
            return false;
        }
        body.append(data, size);
        return true;
    });
    if (tooLong) {
        Note("event too long");
        RefuseTooLarge(res, "the event is too long");
        CloseAfterResponse(true);
        return;
    }
    if (!readOk) {
        Note("event body incomplete");
        SendJson(res, 400, ErrorJson(400, "incomplete event"));
        CloseAfterResponse(true);
        return;
    }
    std::string error;
    auto event = ParseAnalyticsEvent(body, &error);
    if (!event) {
        Note("event refused: " + error);
        SendJson(res, 400, ErrorJson(400, "bad event: " + error));
        return;
    }
    if (!m_storage.AddEvent(*event, static_cast<int64_t>(std::time(nullptr)))) {
        Note("storing the event failed");
        SendJson(res, 500, ErrorJson(500, "storing the event failed"));
        return;
    }
    Note("event " + event->ec + " / " + event->ea);
    SendJson(res, 200, "{\"status\":\"ok\"}");
}

std::string Handlers::PublicUrl(const Request& req) const {
    if (!m_config.publicUrl.empty()) return m_config.publicUrl;
    std::string host = req.get_header_value("Host");
    if (host.empty() || host.size() > 255) return std::string();
    for (char c : host) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != ':' && c != '[' && c != ']')
            return std::string();
    }
    return "http://" + host;
}

}  // namespace service
