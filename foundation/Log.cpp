#include "foundation/Log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "foundation/Format.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#include <shlobj.h>

#include "foundation/WinHandles.h"
#else
#include <sys/stat.h>
#include <cerrno>
#endif

std::wstring g_logFolder;

namespace {

std::mutex& LogLock() {
    static std::mutex lock;
    return lock;
}

#ifdef _WIN32
// Never destroyed: other threads may still log while the process exits.
UniqueHandle& LogFile() {
    static UniqueHandle* file = new UniqueHandle();
    return *file;
}



// The console text of one call in a single write. The C runtime's stream would hand a
// console the line in many small pieces, each a round trip to the console host (tens of
// milliseconds per line under Wine, on whichever thread logs). The bytes are those the
// runtime's text mode writes: each "\n" as "\r\n". Other targets (a pipe, a file) keep
// the runtime's stream.
void ConsoleWrite(const std::string& prefix, const std::string& message) {
    // Asked on every call: the start-up reopens stdout on the console it allocates, and
    // the new handle may have the value of the old one. (A character device: the console
    // handle is opened for writing only, which GetConsoleMode refuses.)
    HANDLE out = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdout)));
    const bool console = out != INVALID_HANDLE_VALUE && out && GetFileType(out) == FILE_TYPE_CHAR;
    if (!console) {
        std::fwrite(prefix.data(), 1, prefix.size(), stdout);
        std::fwrite(message.data(), 1, message.size(), stdout);
        std::fflush(stdout);
        return;
    }
    std::fflush(stdout);   // anything written through the stream by others comes first
    const std::string text = LogConsoleText(prefix, message);
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

bool LocalNow(int& year, int& month, int& day, int& hour, int& minute, int& second) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    year = t.wYear; month = t.wMonth; day = t.wDay;
    hour = t.wHour; minute = t.wMinute; second = t.wSecond;
    return true;
}

bool FileOpen() { return static_cast<bool>(LogFile()); }

void FileWrite(const char* data, size_t size) {
    DWORD written = 0;
    WriteFile(LogFile().get(), data, static_cast<DWORD>(size), &written, nullptr);
    FlushFileBuffers(LogFile().get());
}

void FileClose() { LogFile().reset(); }

bool EnsureFolder(const std::wstring& folder) {
    DWORD attrs = GetFileAttributesW(folder.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)) return true;
    int rc = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return rc == ERROR_SUCCESS || rc == ERROR_ALREADY_EXISTS;
}

void FileCreate(const std::wstring& path) {
    LogFile().reset(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}
#else
// Native builds (tests of portable components) log to a plain file.
FILE* g_logFile = nullptr;

void ConsoleWrite(const std::string& prefix, const std::string& message) {
    std::fwrite(prefix.data(), 1, prefix.size(), stdout);
    std::fwrite(message.data(), 1, message.size(), stdout);
    std::fflush(stdout);
}

std::string Narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += static_cast<char>(c);
    return s;
}

bool LocalNow(int& year, int& month, int& day, int& hour, int& minute, int& second) {
    std::time_t now = std::time(nullptr);
    std::tm t{};
    if (!localtime_r(&now, &t)) return false;
    year = t.tm_year + 1900; month = t.tm_mon + 1; day = t.tm_mday;
    hour = t.tm_hour; minute = t.tm_min; second = t.tm_sec;
    return true;
}

bool FileOpen() { return g_logFile != nullptr; }

void FileWrite(const char* data, size_t size) {
    std::fwrite(data, 1, size, g_logFile);
    std::fflush(g_logFile);
}

void FileClose() {
    if (g_logFile) std::fclose(g_logFile);
    g_logFile = nullptr;
}

bool EnsureFolder(const std::wstring& folder) {
    std::string path = Narrow(folder);
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            std::string part = path.substr(0, i);
            if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
        }
    }
    return true;
}

void FileCreate(const std::wstring& path) {
    std::string p = Narrow(path);
    for (char& c : p) if (c == '\\') c = '/';
    g_logFile = std::fopen(p.c_str(), "wb");
}
#endif

}  // namespace

std::string LogConsoleText(const std::string& prefix, const std::string& message) {
    std::string text;
    text.reserve(prefix.size() + message.size() + 8);
    for (const std::string* part : {&prefix, &message}) {
        for (char c : *part) {
            if (c == '\n') text += '\r';
            text += c;
        }
    }
    return text;
}

std::string LogPrefix(int hour, int minute, int second) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%02d:%02d:%02d: ", hour, minute, second);
    return prefix;
}

std::wstring LogFileName(int year, int month, int day, int hour, int minute, int second) {
    return Format(L"cvxlog_{}{}{}_{}{}{}.log")
        .ArgInt(year - 2000).ArgTwoDigits(month).ArgTwoDigits(day)
        .ArgTwoDigits(hour).ArgTwoDigits(minute).ArgTwoDigits(second).Str();
}

void Log(const char* format, ...) {
    int year, month, day, hour = 0, minute = 0, second = 0;
    LocalNow(year, month, day, hour, minute, second);
    std::string prefix = LogPrefix(hour, minute, second);

    va_list args;
    va_start(args, format);
    const std::string message = StringVPrintf(format, args);
    va_end(args);

    std::lock_guard<std::mutex> guard(LogLock());
    ConsoleWrite(prefix, message);
    if (FileOpen()) {
        std::string line = prefix;
        line.append(message, 0, kLogMessageMax);
        FileWrite(line.data(), line.size());
    }
}

void OpenLogFile() {
    int year, month, day, hour, minute, second;
    if (!LocalNow(year, month, day, hour, minute, second)) return;
    std::wstring folder;
    {
        std::lock_guard<std::mutex> guard(LogLock());
        folder = g_logFolder;
    }
    if (!EnsureFolder(folder)) return;
    std::wstring path = folder + L"\\" + LogFileName(year, month, day, hour, minute, second);
#ifndef _WIN32
    for (wchar_t& c : path) if (c == L'\\') c = L'/';
#endif
    std::lock_guard<std::mutex> guard(LogLock());
    FileClose();
    FileCreate(path);
}

void CloseLogFile() {
    std::lock_guard<std::mutex> guard(LogLock());
    FileClose();
}

bool IsLogFileOpen() {
    std::lock_guard<std::mutex> guard(LogLock());
    return FileOpen();
}
