#pragma once
#include <string>

#if defined(__MINGW32__)
#define BRIVANE_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define BRIVANE_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define BRIVANE_PRINTF(fmt, args)
#endif

// The program-wide logger. Every call becomes the local time "hh:mm:ss: " plus the
// formatted message on the console (whole) and, while a log file is open, in the run's
// log file (at most 1022 bytes per line). Callable from any thread; calls are
// serialised by one lock, under which no other lock is taken. Never pass outside text
// as the format: Log("%s", text).
void Log(const char* format, ...) BRIVANE_PRINTF(1, 2);

// The log folder; set once by the start-up before OpenLogFile.
extern std::wstring g_logFolder;

// Creates the log folder when missing and opens "cvxlog_<yymmdd>_<hhmmss>.log" in it,
// replacing a file of the same name. Without a folder or file the run logs to the
// console only.
void OpenLogFile();

// Closes the log file under the logger's lock; later lines reach the console only.
void CloseLogFile();

// True while a log file is open.
bool IsLogFileOpen();

// The pieces of a log line, exposed for tests.
constexpr size_t kLogLineMax = 1022;       // prefix + message, without the null
constexpr size_t kLogMessageMax = 1012;    // message part of a file line
std::string LogPrefix(int hour, int minute, int second);
// What one call writes to a console, in a single write: prefix and message with each
// "\n" as "\r\n" (the bytes the C runtime's text mode would write).
std::string LogConsoleText(const std::string& prefix, const std::string& message);
std::wstring LogFileName(int year, int month, int day, int hour, int minute, int second);
