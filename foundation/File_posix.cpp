#ifndef _WIN32
// The native build's File, for portable callers and their tests. Paths are the UTF-8
// form of the wide path; error codes are errno values (ENOENT is 2, as
// ERROR_FILE_NOT_FOUND is on Windows).
#include "foundation/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "foundation/Format.h"
#include "foundation/Log.h"
#include "foundation/PosixHandles.h"
#include "foundation/Utf.h"

namespace {

std::string Narrow(const std::wstring& path) { return WideToUtf8(path); }

constexpr off_t kMaxReadBytes = 256L * 1024 * 1024;

}  // namespace

bool File::Exists() const {
    struct stat st;
    return stat(Narrow(m_path).c_str(), &st) == 0;
}

bool File::Copy(const std::wstring& target) {
    UniqueFd in(open(Narrow(m_path).c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) return false;
    // Copying a file onto itself would truncate it; Windows refuses instead.
    struct stat from, to;
    if (fstat(in.get(), &from) == 0 && stat(Narrow(target).c_str(), &to) == 0 &&
        from.st_dev == to.st_dev && from.st_ino == to.st_ino) {
        return false;
    }
    UniqueFd out(open(Narrow(target).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (out.get() < 0) return false;
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(in.get(), buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = write(out.get(), buffer + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return false;
            done += put;
        }
    }
}

bool File::Move(const std::wstring& target) {
    m_lastError.clear();
    // rename() would replace an existing target; the Windows rename refuses to.
    struct stat st;
    int rc = -1;
    if (lstat(Narrow(target).c_str(), &st) != 0) rc = rename(Narrow(m_path).c_str(), Narrow(target).c_str());
    if (rc != 0) {
        m_lastError = FormatA("File::Move: Failed: {}").ArgInt(-1).Str();
        return false;
    }
    return true;
}

bool File::Delete() {
    if (m_path.empty()) return true;
    if (unlink(Narrow(m_path).c_str()) == 0) return true;
    m_lastError = FormatA("File::Delete: Failed: {}").ArgInt(errno).Str();
    Log("%s\n", m_lastError.c_str());
    return false;
}

bool File::WriteString(const std::wstring& text) {
    m_lastError.clear();
    if (Exists()) {
        // Windows refuses to delete a read-only file; keep that behaviour so callers
        // see the same failure on both builds.
        struct stat st;
        if (stat(Narrow(m_path).c_str(), &st) == 0 && !(st.st_mode & S_IWUSR)) {
            m_lastError = FormatA("File::Delete: Failed: {}").ArgInt(EACCES).Str();
            Log("%s\n", m_lastError.c_str());
            Log("File::WriteString: Failed to delete file\n");
            return false;
        }
        if (!Delete()) {
            Log("File::WriteString: Failed to delete file\n");
            return false;
        }
    }
    UniqueFd fd(open(Narrow(m_path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd.get() < 0) {
        const int code = errno;
        Log("Failed File::WriteString: CreateFile: %d\n", code);
        m_lastError = FormatA("Failed File::WriteString: CreateFile: {}").ArgInt(code).Str();
        return false;
    }
    const std::string bytes = WideToUtf8(text);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) {
            Log("Failed File::WriteString: Unable to write to file.\n");
            m_lastError = "Failed File::WriteString: Unable to write to file";
            return false;
        }
        if (put == 0) break;
        done += static_cast<size_t>(put);
    }
    if (done != bytes.size()) {
        Log("Failed File::WriteString: dwBytesWritten != dwBytesToWrite\n");
        m_lastError = "Failed File::WriteString: dwBytesWritten != dwBytesToWrite";
        return false;
    }
    return true;
}

bool File::ReadAllText(std::wstring& text) {
    m_lastError.clear();
    UniqueFd fd(open(Narrow(m_path).c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        const int code = errno;
        Log("Failed File::ReadAllText: CreateFile: %d\n", code);
        m_lastError = FormatA("Failed File::ReadAllText: CreateFile: {}").ArgInt(code).Str();
        return false;
    }
    struct stat st;
    if (fstat(fd.get(), &st) != 0 || st.st_size > kMaxReadBytes) {
        Log("Failed File::ReadAllText: file too large\n");
        m_lastError = "Failed File::ReadAllText: file too large";
        return false;
    }
    std::string bytes(static_cast<size_t>(st.st_size), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = read(fd.get(), &bytes[done], bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            Log("Failed File::ReadAllText: Unable to read from file.\n");
            m_lastError = "Failed File::ReadAllText: Unable to read from file.";
            return false;
        }
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    if (done != bytes.size()) {
        Log("Failed File::ReadAllText: dwBytesRead != dwBytesToRead\n");
        m_lastError = "Failed File::ReadAllText: dwBytesRead != dwBytesToRead";
        return false;
    }
    std::wstring converted;
    if (!TryUtf8ToWide(bytes, converted)) {
        Log("Failed File::ReadAllText: invalid UTF-8\n");
        m_lastError = "Failed File::ReadAllText: invalid UTF-8";
        return false;
    }
    text.swap(converted);
    return true;
}
#endif
