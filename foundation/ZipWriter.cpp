#include "foundation/ZipWriter.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>

#include "foundation/Crc32.h"
#include "foundation/Deflate.h"
#include "foundation/Utf.h"

namespace {

std::atomic<uint32_t> g_lastZipResult{0};

uint32_t SetLast(uint32_t code) {
    g_lastZipResult.store(code);
    return code;
}

constexpr uint16_t kVersionMadeBy = 0x0B17;  // NTFS host, version 2.3
constexpr uint16_t kVersionNeeded = 20;
constexpr uint16_t kFlagDataDescriptor = 8;
constexpr uint16_t kFlagMaximumCompression = 2;
constexpr int kDeflateLevel = 8;
constexpr size_t kMaxNameBytes = 259;
constexpr size_t kCopyPiece = 16384;
constexpr size_t kLocalExtraSize = 17;
constexpr size_t kCentralExtraSize = 9;

class ByteWriter {
public:
    void U16(uint32_t v) {
        m_bytes.push_back(static_cast<uint8_t>(v));
        m_bytes.push_back(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void Bytes(const void* data, size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), p, p + size);
    }
    const std::vector<uint8_t>& Data() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t days, int& year, int& month, int& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

bool HasExeSignature(IZipInput& in, uint64_t size) {
    if (size <= 40) return false;
    uint8_t mz[2];
    if (!in.Seek(0) || in.Read(mz, 2) != 2 || mz[0] != 'M' || mz[1] != 'Z') return false;
    uint8_t off[4];
    if (!in.Seek(0x3C) || in.Read(off, 4) != 4) return false;
    const uint64_t header = static_cast<uint64_t>(off[0]) | (static_cast<uint64_t>(off[1]) << 8) |
                            (static_cast<uint64_t>(off[2]) << 16) | (static_cast<uint64_t>(off[3]) << 24);
    if (header + 52 >= size) return false;
    uint8_t sig[4];
    if (!in.Seek(header) || in.Read(sig, 4) != 4) return false;
    if (sig[2] != 0 || sig[3] != 0) return false;
    return (sig[0] == 'P' && sig[1] == 'E') || (sig[0] == 'N' && sig[1] == 'E') ||
           (sig[0] == 'L' && sig[1] == 'E') || (sig[0] == 'M' && sig[1] == 'Z');
}

// Reads the whole source, keeping its CRC and byte count; fills each request as far
// as the file allows.
class CountingSource : public IDeflateSource {
public:
    explicit CountingSource(IZipInput& in) : m_in(in) {}
    long Read(uint8_t* buffer, size_t size) override {
        size_t got = 0;
        while (got < size) {
            const long n = m_in.Read(buffer + got, size - got);
            if (n < 0) {
                failed = true;
                break;
            }
            if (n == 0) break;
            crc = Crc32Update(crc, buffer + got, static_cast<size_t>(n));
            got += static_cast<size_t>(n);
        }
        count += got;
        if (got == 0 && failed) return -1;
        return static_cast<long>(got);
    }
    uint32_t crc = 0;
    uint64_t count = 0;
    bool failed = false;

private:
    IZipInput& m_in;
};

}  // namespace

struct ZipWriter::Entry {
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t dosDateTime = 0;
    uint32_t crc = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    uint32_t localHeaderOffset = 0;
    std::string name;
    std::vector<uint8_t> centralExtra;
};

namespace {

class WriterSink : public IDeflateSink {
public:
    explicit WriterSink(std::function<bool(const uint8_t*, size_t)> write) : m_write(std::move(write)) {}
    bool Write(const uint8_t* data, size_t size) override { return m_write(data, size); }

private:
    std::function<bool(const uint8_t*, size_t)> m_write;
};

std::vector<uint8_t> LocalHeader(const ZipWriter::Entry& e) {
    ByteWriter w;
    w.U32(0x04034B50);
    w.U16(kVersionNeeded);
    w.U16(e.flags);
    w.U16(e.method);
    w.U32(e.dosDateTime);
    w.U32(e.crc);
    w.U32(e.compressedSize);
    w.U32(e.uncompressedSize);
    w.U16(static_cast<uint32_t>(e.name.size()));
    w.U16(kLocalExtraSize);
    return w.Data();
}

}  // namespace

uint32_t GetLastZipResult() { return g_lastZipResult.load(); }

uint32_t ZipDosDateTime(int64_t unixSeconds) {
    int64_t days = unixSeconds / 86400;
    int64_t rest = unixSeconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    int year, month, day;
    CivilFromDays(days, year, month, day);
    const uint32_t date = (static_cast<uint32_t>(year - 1980) & 0x7F) << 9 | static_cast<uint32_t>(month) << 5 |
                          static_cast<uint32_t>(day);
    const uint32_t hour = static_cast<uint32_t>(rest / 3600);
    const uint32_t minute = static_cast<uint32_t>(rest / 60 % 60);
    const uint32_t second = static_cast<uint32_t>(rest % 60);
    const uint32_t time = hour << 11 | minute << 5 | second / 2;
    return date << 16 | time;
}

std::string ZipEntryName(const std::wstring& name) {
    std::wstring cut = name.substr(0, std::min<size_t>(name.size(), kMaxNameBytes));
    // Never split a surrogate pair at the cut.
    if (cut.size() < name.size() && !cut.empty() && cut.back() >= 0xD800 && cut.back() <= 0xDBFF) cut.pop_back();
    std::replace(cut.begin(), cut.end(), L'\\', L'/');
    std::string utf8 = WideToUtf8(cut);
    if (utf8.size() > kMaxNameBytes) {
        size_t end = kMaxNameBytes;
        while (end > 0 && (static_cast<uint8_t>(utf8[end]) & 0xC0) == 0x80) --end;
        utf8.resize(end);
    }
    return utf8;
}

bool ZipStoresName(const std::string& utf8Name) {
    const size_t dot = utf8Name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = utf8Name.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
    static const char* const kStored[] = {".z", ".zip", ".zoo", ".arc", ".lzh", ".arj", ".gz", ".tgz"};
    for (const char* s : kStored) {
        if (ext == s) return true;
    }
    return false;
}

ZipWriter::ZipWriter(std::unique_ptr<IZipOutput> out) : m_out(std::move(out)) {}
ZipWriter::~ZipWriter() = default;

uint32_t ZipWriter::Fail(uint32_t code) {
    m_failure = code;
    return code;
}

bool ZipWriter::WriteBytes(const uint8_t* data, size_t size) {
    if (size == 0) return true;
    if (!m_out->Write(data, size)) return false;
    m_position += size;
    return true;
}

uint32_t ZipWriter::Add(const std::wstring& entryName, const std::wstring& sourcePath, IZipFiles& files) {
    return SetLast(AddEntry(entryName, sourcePath, files));
}

uint32_t ZipWriter::AddEntry(const std::wstring& entryName, const std::wstring& sourcePath, IZipFiles& files) {
    if (m_failure != 0) return kZipUnusable;
    if (m_closed) return kZipClosed;

    Entry e;
    e.name = ZipEntryName(entryName);
    if (e.name.empty()) return kZipBadArgument;
    const bool stored = ZipStoresName(e.name);

    ZipSourceInfo info;
    std::unique_ptr<IZipInput> in = files.Open(sourcePath, info);
    if (!in) return kZipOpenFailed;
    // Sizes and offsets are 32-bit in this archive format.
    if (info.size > 0xFFFFFFFFu || m_position > 0xFFFFFFFFu) return kZipNoSpace;

    const bool directory = (info.attributes & 0x10) != 0;
    const bool readOnly = (info.attributes & 0x01) != 0;
    uint32_t mode = (directory ? 0x4000u : 0x8000u) | 0x0100u;
    if (!readOnly) mode |= 0x0080u;
    if (!directory && HasExeSignature(*in, info.size)) mode |= 0x0040u;
    if (!in->Seek(0)) return kZipOpenFailed;
    e.externalAttributes = (mode << 16) | (info.attributes & 0xFFFFu);
    e.dosDateTime = ZipDosDateTime(info.modifyTime);

    e.method = stored ? 0 : 8;
    e.flags = kFlagDataDescriptor | (stored ? 0 : kFlagMaximumCompression);
    e.compressedSize = stored ? static_cast<uint32_t>(info.size) : 0;
    e.uncompressedSize = static_cast<uint32_t>(info.size);
    e.localHeaderOffset = static_cast<uint32_t>(m_position);

    ByteWriter localExtra;
    localExtra.Bytes("UT", 2);
    localExtra.U16(13);
    localExtra.Bytes("\x07", 1);
    localExtra.U32(static_cast<uint32_t>(info.modifyTime));
    localExtra.U32(static_cast<uint32_t>(info.accessTime));
    localExtra.U32(static_cast<uint32_t>(info.createTime));
    ByteWriter centralExtra;
    centralExtra.Bytes("UT", 2);
    centralExtra.U16(5);
    centralExtra.Bytes("\x07", 1);
    centralExtra.U32(static_cast<uint32_t>(info.modifyTime));
    e.centralExtra = centralExtra.Data();

    const std::vector<uint8_t> header = LocalHeader(e);
    if (!WriteBytes(header.data(), header.size()) ||
        !WriteBytes(reinterpret_cast<const uint8_t*>(e.name.data()), e.name.size()) ||
        !WriteBytes(localExtra.Data().data(), localExtra.Data().size())) {
        return Fail(kZipWriteFailed);
    }

    CountingSource source(*in);
    uint64_t dataBytes = 0;
    if (stored) {
        std::vector<uint8_t> piece(kCopyPiece);
        for (;;) {
            const long n = source.Read(piece.data(), piece.size());
            if (n <= 0) break;
            if (!WriteBytes(piece.data(), static_cast<size_t>(n))) return Fail(kZipWriteFailed);
            dataBytes += static_cast<uint64_t>(n);
        }
    } else {
        if (!m_deflate) m_deflate = std::make_unique<DeflateEncoder>(kDeflateLevel);
        WriterSink sink([this](const uint8_t* data, size_t size) { return WriteBytes(data, size); });
        const DeflateResult r = m_deflate->Compress(source, sink, dataBytes);
        if (r == DeflateResult::WriteFailed) return Fail(kZipWriteFailed);
        if (r == DeflateResult::BadLevel) return kZipDeflateFailed;
    }
    in.reset();
    if (source.failed || source.count != info.size) return kZipSizeChanged;
    if (dataBytes > 0xFFFFFFFFu || m_position > 0xFFFFFFFFu) return Fail(kZipNoSpace);

    e.crc = source.crc;
    e.compressedSize = static_cast<uint32_t>(dataBytes);
    e.uncompressedSize = static_cast<uint32_t>(source.count);
    e.flags &= static_cast<uint16_t>(~kFlagDataDescriptor);
    const std::vector<uint8_t> finalHeader = LocalHeader(e);
    const uint64_t end = m_position;
    if (!m_out->Seek(e.localHeaderOffset)) return Fail(kZipSeekFailed);
    if (!m_out->Write(finalHeader.data(), finalHeader.size())) return Fail(kZipWriteFailed);
    if (!m_out->Seek(end)) return Fail(kZipSeekFailed);

    m_entries.push_back(std::move(e));
    return kZipOk;
}

uint32_t ZipWriter::Close() {
    if (m_closed) return SetLast(kZipOk);
    m_closed = true;
    uint32_t result = kZipOk;
    const uint64_t directoryOffset = m_position;
    for (const Entry& e : m_entries) {
        ByteWriter w;
        w.U32(0x02014B50);
        w.U16(kVersionMadeBy);
        w.U16(kVersionNeeded);
        w.U16(e.flags);
        w.U16(e.method);
        w.U32(e.dosDateTime);
        w.U32(e.crc);
        w.U32(e.compressedSize);
        w.U32(e.uncompressedSize);
        w.U16(static_cast<uint32_t>(e.name.size()));
        w.U16(static_cast<uint32_t>(e.centralExtra.size()));
        w.U16(0);  // comment
        w.U16(0);  // disk
        w.U16(e.internalAttributes);
        w.U32(e.externalAttributes);
        w.U32(e.localHeaderOffset);
        w.Bytes(e.name.data(), e.name.size());
        w.Bytes(e.centralExtra.data(), e.centralExtra.size());
        if (!WriteBytes(w.Data().data(), w.Data().size())) {
            result = Fail(kZipWriteFailed);
            break;
        }
    }
    if (result == kZipOk) {
        ByteWriter w;
        w.U32(0x06054B50);
        w.U16(0);
        w.U16(0);
        w.U16(static_cast<uint32_t>(m_entries.size()));
        w.U16(static_cast<uint32_t>(m_entries.size()));
        w.U32(static_cast<uint32_t>(m_position - directoryOffset));
        w.U32(static_cast<uint32_t>(directoryOffset));
        w.U16(0);
        if (!WriteBytes(w.Data().data(), w.Data().size())) result = Fail(kZipWriteFailed);
    }
    m_out->Close();
    return SetLast(result);
}

void ZipWriter::Destroy() {
    delete this;
}

ZipHandle* CreateZipFile(const std::wstring& path, IZipFiles& files) {
    std::unique_ptr<IZipOutput> out = files.Create(path);
    if (!out) {
        SetLast(kZipOpenFailed);
        return nullptr;
    }
    auto* handle = new ZipHandle;
    handle->writer = new ZipWriter(std::move(out));
    SetLast(kZipOk);
    return handle;
}

uint32_t ZipAdd(ZipHandle* handle, const std::wstring& entryName, const std::wstring& sourcePath) {
    if (handle == nullptr || handle->writer == nullptr) return SetLast(kZipNotInitialised);
    if (handle->mode != 2) return SetLast(kZipNotWriting);
    return handle->writer->Add(entryName, sourcePath);
}

uint32_t ZipClose(ZipHandle* handle) {
    if (handle == nullptr || handle->writer == nullptr) return SetLast(kZipNotInitialised);
    if (handle->mode != 2) return SetLast(kZipNotWriting);
    return handle->writer->Close();
}
