#include "foundation/ZipFiles.h"

#include <windows.h>

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
    explicit HandleInput(HANDLE h) : m_handle(h) {}
    ~HandleInput() override { CloseHandle(m_handle); }
    long Read(uint8_t* buffer, size_t size) override {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(size > 0x10000000 ? 0x10000000 : size);
        if (!ReadFile(m_handle, buffer, want, &got, nullptr)) return -1;
        return static_cast<long>(got);
    }
    bool Seek(uint64_t position) override { return SeekHandle(m_handle, position); }

private:
    HANDLE m_handle;
};

class HandleOutput : public IZipOutput {
public:
    explicit HandleOutput(HANDLE h) : m_handle(h) {}
    ~HandleOutput() override { Close(); }
    bool Write(const uint8_t* data, size_t size) override {
        while (size > 0) {
            DWORD done = 0;
            const DWORD want = static_cast<DWORD>(size > 0x10000000 ? 0x10000000 : size);
            if (!WriteFile(m_handle, data, want, &done, nullptr) || done == 0) return false;
            data += done;
            size -= done;
        }
        return true;
    }
    bool Seek(uint64_t position) override { return SeekHandle(m_handle, position); }
    void Close() override {
        if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_handle;
};

class WinZipFiles : public IZipFiles {
public:
    std::unique_ptr<IZipOutput> Create(const std::wstring& path) override {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return nullptr;
        return std::make_unique<HandleOutput>(h);
    }
    std::unique_ptr<IZipInput> Open(const std::wstring& path, ZipSourceInfo& info) override {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return nullptr;
        BY_HANDLE_FILE_INFORMATION fi;
        if (!GetFileInformationByHandle(h, &fi)) {
            CloseHandle(h);
            return nullptr;
        }
        info.attributes = fi.dwFileAttributes & 0xFFFF;
        info.size = (static_cast<uint64_t>(fi.nFileSizeHigh) << 32) | fi.nFileSizeLow;
        info.accessTime = UnixSeconds(fi.ftLastAccessTime);
        info.modifyTime = UnixSeconds(fi.ftLastWriteTime);
        info.createTime = UnixSeconds(fi.ftCreationTime);
        return std::make_unique<HandleInput>(h);
    }
};

}  // namespace

IZipFiles& SystemZipFiles() {
    static WinZipFiles files;
    return files;
}
