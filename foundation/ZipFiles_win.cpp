#include "foundation/ZipFiles.h"

#include <windows.h>

#include "foundation/WinHandles.h"

namespace {

int64_t UnixSeconds(const FILETIME& ft) {
    const uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<int64_t>(ticks / 10000000ULL) - 11644473600LL;
}

bool SeekHandle(HANDLE h, uint64_t position) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(h, to, nullptr, FILE_BEGIN) != FALSE;
}

class HandleInput : public IZipInput {
public:
    explicit HandleInput(UniqueHandle h) : m_handle(std::move(h)) {}
    long Read(uint8_t* buffer, size_t size) override {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(size > 0x10000000 ? 0x10000000 : size);
        if (!ReadFile(m_handle.get(), buffer, want, &got, nullptr)) return -1;
        return static_cast<long>(got);
    }
    bool Seek(uint64_t position) override { return SeekHandle(m_handle.get(), position); }

private:
    UniqueHandle m_handle;
};

class HandleOutput : public IZipOutput {
public:
    explicit HandleOutput(UniqueHandle h) : m_handle(std::move(h)) {}
    bool Write(const uint8_t* data, size_t size) override {
        while (size > 0) {
            DWORD done = 0;
            const DWORD want = static_cast<DWORD>(size > 0x10000000 ? 0x10000000 : size);
            if (!WriteFile(m_handle.get(), data, want, &done, nullptr) || done == 0) return false;
            data += done;
            size -= done;
        }
        return true;
    }
    bool Seek(uint64_t position) override { return SeekHandle(m_handle.get(), position); }
    void Close() override { m_handle.reset(); }

private:
    UniqueHandle m_handle;
};

class WinZipFiles : public IZipFiles {
public:
    std::unique_ptr<IZipOutput> Create(const std::wstring& path) override {
        UniqueHandle h(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h) return nullptr;
        return std::make_unique<HandleOutput>(std::move(h));
    }
    std::unique_ptr<IZipInput> Open(const std::wstring& path, ZipSourceInfo& info) override {
        UniqueHandle h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h) return nullptr;
        BY_HANDLE_FILE_INFORMATION fi;
        if (!GetFileInformationByHandle(h.get(), &fi)) return nullptr;
        info.attributes = fi.dwFileAttributes & 0xFFFF;
        info.size = (static_cast<uint64_t>(fi.nFileSizeHigh) << 32) | fi.nFileSizeLow;
        info.accessTime = UnixSeconds(fi.ftLastAccessTime);
        info.modifyTime = UnixSeconds(fi.ftLastWriteTime);
        info.createTime = UnixSeconds(fi.ftCreationTime);
        return std::make_unique<HandleInput>(std::move(h));
    }
};

}  // namespace

IZipFiles& SystemZipFiles() {
    static WinZipFiles files;
    return files;
}
