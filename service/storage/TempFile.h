#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace service {

// A file being received, under a fresh name in the temporary folder. Nothing reads it
// there; MoveTo puts it in place with one rename once it is complete and on disk. A
// temporary file that was not moved is deleted with its object. One thread at a time.
class TempFile {
public:
    static std::unique_ptr<TempFile> Create(const std::string& folder, std::string* error);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // False (and the error kept) when the bytes could not be written, e.g. a full disk.
    bool Write(const char* data, size_t size);
    // Flushes the data to disk and closes the file.
    bool Finish();
    // Renames the finished file to path (same file system) and makes the rename durable.
    bool MoveTo(const std::string& path);

    uint64_t Size() const { return m_size; }
    const std::string& Path() const { return m_path; }
    const std::string& Error() const { return m_error; }

private:
    TempFile(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    int m_fd;
    std::string m_path;
    std::string m_error;
    uint64_t m_size = 0;
    bool m_moved = false;
};

// fsync of a folder, so that a rename or a new entry in it survives a crash.
bool SyncFolder(const std::string& folder);

}  // namespace service
