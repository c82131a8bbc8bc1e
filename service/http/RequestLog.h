#pragma once
#include <httplib.h>

#include <functional>
#include <string>

namespace service {

// One line per request outcome:
//   2026-12-10T13:47:09Z 127.0.0.1 "GET /sync.php?appid=..." 200 61 0.4ms note
// The request target is cut and every byte outside printable ASCII is written as %XX,
// so a hostile request cannot forge or break log lines.
std::string FormatRequestLine(const httplib::Request& req, const httplib::Response& res);

// "2026-12-10T13:47:09Z": the time stamp that begins every line.
std::string UtcTimestamp();

// Writes a line to the log (standard error unless a sink is set).
void WriteLogLine(const std::string& line);

// On the calling thread, keeps the lines of WriteLogLine until FlushLogLines (or until
// they fill PIPE_BUF), so that a thread serving several requests in a row writes their
// lines at once. The thread must flush before it waits for anything.
void DeferLogLines(bool defer);
void FlushLogLines();

// Tests capture the log here; nullptr restores standard error.
void SetLogSink(std::function<void(const std::string&)> sink);

// Escapes outside text for a log line (printable ASCII kept, the rest as %XX;
// keepBlanks keeps ' ' too).
std::string LogSafe(const std::string& text, size_t maxBytes, bool keepBlanks = false);

}  // namespace service
