#include "service/http/RequestLog.h"

#include "service/http/RequestContext.h"

#include <cstdio>
#include <ctime>
#include <mutex>

namespace service {
namespace {

std::mutex g_logMutex;
std::function<void(const std::string&)> g_sink;  // guarded by g_logMutex

}  // namespace

std::string UtcTimestamp() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

std::string LogSafe(const std::string& text, size_t maxBytes, bool keepBlanks) {
    std::string out;
    for (char ch : text) {
        if (out.size() >= maxBytes) {
            out += "...";
            break;
        }
        unsigned char c = static_cast<unsigned char>(ch);
        if ((c >= 0x21 && c < 0x7F && c != '%' && c != '"' && c != '\\') || (keepBlanks && c == ' ')) {
            out += ch;
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        }
    }
    return out;
}

std::string FormatRequestLine(const httplib::Request& req, const httplib::Response& res) {
    const RequestContext& ctx = CurrentRequest();
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - ctx.start).count();
    std::string length = res.get_header_value("Content-Length");
    char timing[32];
    std::snprintf(timing, sizeof timing, "%.1fms", ms);
    std::string line = UtcTimestamp() + " " + (req.remote_addr.empty() ? "-" : LogSafe(req.remote_addr, 64)) + " \"" +
                       (req.method.empty() ? "-" : LogSafe(req.method, 16)) + " " +
                       (req.target.empty() ? "-" : LogSafe(req.target, 300)) + "\" " + std::to_string(res.status) +
                       " " + (length.empty() ? "-" : LogSafe(length, 20)) + " " + timing;
    if (!ctx.note.empty()) line += " " + LogSafe(ctx.note, 300, true);
    return line;
}

void WriteLogLine(const std::string& line) {
    std::lock_guard<std::mutex> lock(g_logMutex);
    if (g_sink) {
        g_sink(line);
        return;
    }
    std::string out = line + "\n";
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

void SetLogSink(std::function<void(const std::string&)> sink) {
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_sink = std::move(sink);
}

}  // namespace service
