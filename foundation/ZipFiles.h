#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The file layer under the zip writer: the archive being written and the files read
// into it. The system's files in the program (ZipFiles_win.cpp, ZipFiles_posix.cpp);
// tests pass a layer of their own.

// What the writer needs to know of a source file.
struct ZipSourceInfo {
    uint32_t attributes = 0;  // DOS attributes: read-only 0x01, hidden 0x02, system 0x04, directory 0x10, archive 0x20
    uint64_t size = 0;
    int64_t accessTime = 0;   // seconds since 1970, UTC
    int64_t modifyTime = 0;
    int64_t createTime = 0;
};

class IZipInput {
public:
    virtual ~IZipInput() = default;
    // Up to `size` bytes from the current position; 0 at the end, -1 on failure.
    virtual long Read(uint8_t* buffer, size_t size) = 0;
    virtual bool Seek(uint64_t position) = 0;
};

class IZipOutput {
public:
    virtual ~IZipOutput() = default;
    // All bytes or false.
    virtual bool Write(const uint8_t* data, size_t size) = 0;
    virtual bool Seek(uint64_t position) = 0;
    virtual void Close() = 0;
};

class IZipFiles {
public:
    virtual ~IZipFiles() = default;
    // Creates or truncates the archive (no sharing); null on failure.
    virtual std::unique_ptr<IZipOutput> Create(const std::wstring& path) = 0;
    // Opens an existing file for reading (shared read) and describes it; null on failure.
    virtual std::unique_ptr<IZipInput> Open(const std::wstring& path, ZipSourceInfo& info) = 0;
};

// The system's files; lives for the whole process.
IZipFiles& SystemZipFiles();
