#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/ZipFiles.h"

class DeflateEncoder;

// Result codes of the zip writer.
enum : uint32_t {
    kZipOk = 0,
    kZipOpenFailed = 0x200,          // opening or creating a file failed
    kZipWriteFailed = 0x400,
    kZipBadArgument = 0x10000,       // empty entry name
    kZipNoSpace = 0x30000,           // output space exhausted
    kZipUnusable = 0x40000,          // an earlier write or seek failure
    kZipClosed = 0x50000,            // the archive is already closed
    kZipSizeChanged = 0x60000,       // the source's size changed while it was read
    kZipNotWriting = 0x80000,        // the handle is not in writing mode
    kZipNotInitialised = 0x1000000,
    kZipSeekFailed = 0x2000000,
    kZipHeaderIncomplete = 0x4000000,
    kZipDeflateFailed = 0x5000000,
};

// The last result of CreateZipFile, Add and Close, process-wide.
uint32_t GetLastZipResult();

// One archive being written to a seekable file. Each local header is rewritten with
// the final sizes once its data is written, so the archive has no data descriptors.
// Belongs to one thread.
class ZipWriter {
public:
    ZipWriter(std::unique_ptr<IZipOutput> out);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Adds the file at `sourcePath` under `entryName` ("\" becomes "/"; cut to 259
    // UTF-8 bytes on a character boundary). Archives (".zip", ".gz" ...) are stored,
    // everything else deflated.
    uint32_t Add(const std::wstring& entryName, const std::wstring& sourcePath, IZipFiles& files);
    uint32_t Add(const std::wstring& entryName, const std::wstring& sourcePath) {
        return Add(entryName, sourcePath, SystemZipFiles());
    }
    // Writes the central directory and the end record, then closes the file. A second
    // call writes nothing and returns 0.
    uint32_t Close();
    // Frees the writer (after Close). The handle that held it is the caller's to free.
    void Destroy();

    struct Entry;

private:
    uint32_t Fail(uint32_t code);
    bool WriteBytes(const uint8_t* data, size_t size);
    uint32_t AddEntry(const std::wstring& entryName, const std::wstring& sourcePath, IZipFiles& files);

    std::unique_ptr<IZipOutput> m_out;
    uint64_t m_position = 0;
    uint32_t m_failure = 0;
    bool m_closed = false;
    std::vector<Entry> m_entries;
    std::unique_ptr<DeflateEncoder> m_deflate;
};

// Mode 2 is writing, the only mode there is.
struct ZipHandle {
    int mode = 2;
    ZipWriter* writer = nullptr;
};

// Creates the archive file and a writer on it; null (and last result 0x200) when the
// file cannot be created. The caller closes and destroys the writer, then deletes the
// handle.
ZipHandle* CreateZipFile(const std::wstring& path, IZipFiles& files);
inline ZipHandle* CreateZipFile(const std::wstring& path) { return CreateZipFile(path, SystemZipFiles()); }

// Add and Close through a handle: 0x1000000 without a writer, 0x80000 when the handle
// is not writing.
uint32_t ZipAdd(ZipHandle* handle, const std::wstring& entryName, const std::wstring& sourcePath);
uint32_t ZipClose(ZipHandle* handle);

// The pieces of an entry record that come from the source file; exposed for tests.
uint32_t ZipDosDateTime(int64_t unixSeconds);  // date in the high half, time in the low
std::string ZipEntryName(const std::wstring& name);  // "\" to "/", UTF-8, at most 259 bytes
bool ZipStoresName(const std::string& utf8Name);     // stored rather than deflated
