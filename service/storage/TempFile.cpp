#include "service/storage/TempFile.h"

#include "service/logic/UidGenerator.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace service {
namespace {

std::string Folder(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

bool SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

std::unique_ptr<TempFile> TempFile::Create(const std::string& folder, std::string* error) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::string path = folder + "/upload-" + NewUid() + ".part";
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0640);
        if (fd >= 0) return std::unique_ptr<TempFile>(new TempFile(fd, path));
        if (errno != EEXIST) {
            if (error) *error = "cannot create " + path + ": " + std::strerror(errno);
            return nullptr;
        }
    }
    if (error) *error = "cannot find a free temporary name in " + folder;
    return nullptr;
}

TempFile::~TempFile() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_moved) ::unlink(m_path.c_str());
}

bool TempFile::Write(const char* data, size_t size) {
    if (m_fd < 0) return false;
    while (size > 0) {
        ssize_t n = ::write(m_fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            m_error = std::string("write failed: ") + std::strerror(errno);
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        m_size += static_cast<uint64_t>(n);
    }
    return true;
}

bool TempFile::Finish() {
    if (m_fd < 0) return m_error.empty();
    bool ok = ::fsync(m_fd) == 0;
    if (!ok) m_error = std::string("fsync failed: ") + std::strerror(errno);
    if (::close(m_fd) != 0 && ok) {
        ok = false;
        m_error = std::string("close failed: ") + std::strerror(errno);
    }
    m_fd = -1;
    return ok;
}

bool TempFile::MoveTo(const std::string& path) {
    if (m_fd >= 0 && !Finish()) return false;
    if (::rename(m_path.c_str(), path.c_str()) != 0) {
        m_error = "rename to " + path + " failed: " + std::strerror(errno);
        return false;
    }
    m_moved = true;
    SyncFolder(Folder(path));
    return true;
}

}  // namespace service
