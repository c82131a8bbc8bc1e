#include "service/http/RequestLog.h"

#include "service/http/RequestContext.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <climits>
#include <ctime>
#include <mutex>
#include <unistd.h>

namespace service {
namespace {

std::mutex g_logMutex;
std::function<void(const std::string&)> g_sink;  // guarded by g_logMutex
std::atomic<bool> g_hasSink{false};

// Lines a request thread has not written yet (see DeferLogLines).
thread_local bool t_defer = false;
thread_local std::string t_pending;

// Writes whole lines to standard error in one write: at most PIPE_BUF bytes, so that
// lines that several threads write at once stay whole in a pipe or a file.
void WriteOut(const std::string& out) {
    const char* p = out.data();
    size_t left = out.size();
    while (left > 0) {
        ssize_t n = ::write(STDERR_FILENO, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        p += n;
        left -= static_cast<size_t>(n);
    }
}

}  // namespace

std::string UtcTimestamp() {
    std::time_t t = std::time(nullptr);
    // gmtime_r takes the C library's time-zone lock: each thread formats a second once.
    thread_local std::time_t lastTime = 0;
    thread_local std::string lastText;
    if (t == lastTime && !lastText.empty()) return lastText;
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    lastTime = t;
    lastText = buf;
    return lastText;
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
    if (g_hasSink.load(std::memory_order_acquire)) {
        std::lock_guard<std::mutex> lock(g_logMutex);
        if (g_sink) {
            g_sink(line);
            return;
        }
    }
    // No lock: a line is far shorter than PIPE_BUF.
    if (!t_defer) {
        WriteOut(line + "\n");
        return;
    }
    if (!t_pending.empty() && t_pending.size() + line.size() + 1 > PIPE_BUF) FlushLogLines();
    t_pending += line;
    t_pending += '\n';
    if (t_pending.size() >= PIPE_BUF) FlushLogLines();
}

void DeferLogLines(bool defer) {
    if (!defer) FlushLogLines();
    t_defer = defer;
}

void FlushLogLines() {
    if (t_pending.empty()) return;
    WriteOut(t_pending);
    t_pending.clear();
}

void SetLogSink(std::function<void(const std::string&)> sink) {
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_sink = std::move(sink);
    g_hasSink.store(static_cast<bool>(g_sink), std::memory_order_release);
}

}  // namespace service
