#include "foundation/ZipFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/PosixHandles.h"
#include "foundation/Utf.h"

namespace {

class FdInput : public IZipInput {
public:
    explicit FdInput(UniqueFd fd) : m_fd(std::move(fd)) {}
    long Read(uint8_t* buffer, size_t size) override {
        const ssize_t n = ::read(m_fd.get(), buffer, size);
        return n < 0 ? -1 : static_cast<long>(n);
    }
    bool Seek(uint64_t position) override {
        return ::lseek(m_fd.get(), static_cast<off_t>(position), SEEK_SET) == static_cast<off_t>(position);
    }

private:
    UniqueFd m_fd;
};

class FdOutput : public IZipOutput {
public:
    explicit FdOutput(UniqueFd fd) : m_fd(std::move(fd)) {}
    bool Write(const uint8_t* data, size_t size) override {
        while (size > 0) {
            const ssize_t n = ::write(m_fd.get(), data, size);
            if (n <= 0) return false;
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }
    bool Seek(uint64_t position) override {
        return ::lseek(m_fd.get(), static_cast<off_t>(position), SEEK_SET) == static_cast<off_t>(position);
    }
    void Close() override { m_fd.reset(); }

private:
    UniqueFd m_fd;
};

class PosixZipFiles : public IZipFiles {
public:
    std::unique_ptr<IZipOutput> Create(const std::wstring& path) override {
        UniqueFd fd(::open(WideToUtf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!fd) return nullptr;
        return std::make_unique<FdOutput>(std::move(fd));
    }
    std::unique_ptr<IZipInput> Open(const std::wstring& path, ZipSourceInfo& info) override {
        UniqueFd fd(::open(WideToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd) return nullptr;
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0) return nullptr;
        info.attributes = S_ISDIR(st.st_mode) ? 0x10 : 0x20;
        if ((st.st_mode & S_IWUSR) == 0) info.attributes |= 0x01;
        info.size = static_cast<uint64_t>(st.st_size);
        info.accessTime = st.st_atime;
        info.modifyTime = st.st_mtime;
        info.createTime = st.st_ctime;
        return std::make_unique<FdInput>(std::move(fd));
    }
};

}  // namespace

IZipFiles& SystemZipFiles() {
    static PosixZipFiles files;
    return files;
}
