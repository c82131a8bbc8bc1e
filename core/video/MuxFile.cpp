#include <cstdio>
#include <memory>

#include "core/video/Mp4Muxer.h"
#include "foundation/Utf.h"

namespace {

class MuxFile : public IMuxOutput {
public:
    explicit MuxFile(FILE* file) : m_file(file) {}
    ~MuxFile() override { Close(); }

    bool Write(const void* data, size_t size) override {
        return m_file && (size == 0 || std::fwrite(data, 1, size, m_file) == size);
    }
    bool WriteAt(uint64_t offset, const void* data, size_t size) override {
        if (!m_file) return false;
        const int64_t here = Tell();
        return here >= 0 && Seek(offset) && Write(data, size) && Seek(uint64_t(here));
    }
    bool SeekTo(uint64_t offset) override { return m_file && Seek(offset); }
    bool Close() override {
        if (!m_file) return true;
        const bool ok = std::fclose(m_file) == 0;
        m_file = nullptr;
        return ok;
    }

private:
#ifdef _WIN32
    bool Seek(uint64_t offset) { return _fseeki64(m_file, int64_t(offset), SEEK_SET) == 0; }
    int64_t Tell() { return _ftelli64(m_file); }
#else
    bool Seek(uint64_t offset) { return fseeko(m_file, off_t(offset), SEEK_SET) == 0; }
    int64_t Tell() { return int64_t(ftello(m_file)); }
#endif
    FILE* m_file;
};

}  // namespace

std::unique_ptr<IMuxOutput> OpenMuxFile(const std::string& utf8Path) {
#ifdef _WIN32
    FILE* file = _wfopen(Utf8ToWide(utf8Path).c_str(), L"wb");
#else
    FILE* file = std::fopen(utf8Path.c_str(), "wb");
#endif
    if (!file) return nullptr;
    std::setvbuf(file, nullptr, _IOFBF, 1 << 20);
    return std::make_unique<MuxFile>(file);
}
