#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#define MP4BOXES_SEEK(f, o) _fseeki64(f, int64_t(o), SEEK_SET)
#define MP4BOXES_TELL(f) _ftelli64(f)
#else
#define MP4BOXES_SEEK(f, o) fseeko(f, off_t(o), SEEK_SET)
#define MP4BOXES_TELL(f) ftello(f)
#endif

// A small ISO BMFF reader for tests: the box tree of a file, with each box's position.
struct Mp4Box {
    std::string type;
    uint64_t offset = 0, size = 0, header = 8;
    std::vector<Mp4Box> children;
    std::vector<uint8_t> payload;   // for leaf boxes below 1 MiB

    const Mp4Box* Find(const std::string& path) const {   // "moov/trak/mdia"
        const size_t slash = path.find('/');
        const std::string first = path.substr(0, slash);
        for (const Mp4Box& c : children) {
            if (c.type != first) continue;
            if (slash == std::string::npos) return &c;
            if (const Mp4Box* found = c.Find(path.substr(slash + 1))) return found;
        }
        return nullptr;
    }
    std::vector<const Mp4Box*> All(const std::string& type) const {
        std::vector<const Mp4Box*> out;
        for (const Mp4Box& c : children)
            if (c.type == type) out.push_back(&c);
        return out;
    }
    uint32_t U32At(size_t at) const {
        return uint32_t(payload[at]) << 24 | uint32_t(payload[at + 1]) << 16 | uint32_t(payload[at + 2]) << 8 |
               payload[at + 3];
    }
};

inline bool ReadMp4Boxes(FILE* f, uint64_t begin, uint64_t end, std::vector<Mp4Box>& out, int depth = 0) {
    static const char* kContainers[] = {"moov", "trak", "mdia", "minf", "stbl", "dinf", "edts"};
    uint64_t at = begin;
    while (at + 8 <= end) {
        uint8_t h[16];
        if (MP4BOXES_SEEK(f, at) != 0 || fread(h, 1, 8, f) != 8) return false;
        Mp4Box box;
        box.offset = at;
        box.size = uint64_t(h[0]) << 24 | uint64_t(h[1]) << 16 | uint64_t(h[2]) << 8 | h[3];
        box.type.assign(reinterpret_cast<char*>(h + 4), 4);
        if (box.size == 1) {
            if (fread(h + 8, 1, 8, f) != 8) return false;
            box.size = 0;
            for (int i = 8; i < 16; ++i) box.size = box.size << 8 | h[i];
            box.header = 16;
        }
        if (box.size < box.header || at + box.size > end) return false;
        bool container = false;
        for (const char* c : kContainers) container |= box.type == c;
        if (container) {
            if (!ReadMp4Boxes(f, at + box.header, at + box.size, box.children, depth + 1)) return false;
        } else if (box.type != "mdat" && box.size - box.header < (1u << 20)) {
            box.payload.resize(size_t(box.size - box.header));
            if (!box.payload.empty() && fread(box.payload.data(), 1, box.payload.size(), f) != box.payload.size())
                return false;
        }
        out.push_back(std::move(box));
        at += box.size ? out.back().size : 0;
        if (out.back().size == 0) return false;
    }
    return at == end;
}

inline bool ReadMp4File(const std::string& path, Mp4Box& root) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    fseek(f, 0, SEEK_END);
    const uint64_t size = uint64_t(MP4BOXES_TELL(f));
    root = Mp4Box();
    root.size = size;
    const bool ok = ReadMp4Boxes(f, 0, size, root.children);
    fclose(f);
    return ok;
}
