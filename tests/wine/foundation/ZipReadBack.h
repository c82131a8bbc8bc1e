#pragma once
// Reads back an archive in the Wine tests: the central directory, each entry's local
// header and its data through zlib's inflate.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <map>
#include <string>

struct ZipReadEntry {
    uint32_t flags = 0, method = 0, dosDateTime = 0, externalAttributes = 0, centralMtime = 0;
    std::string content;
};

inline uint32_t ZipRead16(const std::string& b, size_t at) {
    return static_cast<uint8_t>(b.at(at)) | (static_cast<uint8_t>(b.at(at + 1)) << 8);
}
inline uint32_t ZipRead32(const std::string& b, size_t at) { return ZipRead16(b, at) | (ZipRead16(b, at + 2) << 16); }

inline std::map<std::string, ZipReadEntry> ZipReadBack(const std::string& b) {
    std::map<std::string, ZipReadEntry> out;
    if (b.size() < 22 || ZipRead32(b, b.size() - 22) != 0x06054B50u) {
        ADD_FAILURE() << "no end record";
        return out;
    }
    const size_t end = b.size() - 22;
    const uint32_t count = ZipRead16(b, end + 10);
    size_t p = ZipRead32(b, end + 16);
    for (uint32_t i = 0; i < count; ++i) {
        ZipReadEntry e;
        e.flags = ZipRead16(b, p + 8);
        e.method = ZipRead16(b, p + 10);
        e.dosDateTime = ZipRead32(b, p + 12);
        const uint32_t csize = ZipRead32(b, p + 20), usize = ZipRead32(b, p + 24);
        const uint32_t nameLen = ZipRead16(b, p + 28), extra = ZipRead16(b, p + 30);
        e.externalAttributes = ZipRead32(b, p + 38);
        const uint32_t offset = ZipRead32(b, p + 42);
        const std::string name = b.substr(p + 46, nameLen);
        if (extra == 9) e.centralMtime = ZipRead32(b, p + 46 + nameLen + 5);
        p += 46 + nameLen + extra + ZipRead16(b, p + 32);
        const size_t data = offset + 30 + ZipRead16(b, offset + 26) + ZipRead16(b, offset + 28);
        std::string content = b.substr(data, csize);
        if (e.method == 8) {
            std::string inflated(usize + 1, '\0');
            z_stream z{};
            inflateInit2(&z, -15);
            z.next_in = reinterpret_cast<Bytef*>(&content[0]);
            z.avail_in = csize;
            z.next_out = reinterpret_cast<Bytef*>(&inflated[0]);
            z.avail_out = usize + 1;
            EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END) << name;
            inflated.resize(z.total_out);
            inflateEnd(&z);
            content = inflated;
        }
        e.content = content;
        out[name] = e;
    }
    return out;
}
