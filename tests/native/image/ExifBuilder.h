#pragma once
// Builds an APP1 "Exif" segment (TIFF header, IFD0, an EXIF sub-directory) in
// either byte order, and splices segments into a JPEG after its SOI marker.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace pxtest {

class ExifBuilder {
public:
    explicit ExifBuilder(bool bigEndian) : m_big(bigEndian) {}

    struct Entry {
        uint16_t tag, format;
        uint32_t count;
        std::vector<uint8_t> data;  // > 4 bytes goes out of line
    };

    std::vector<Entry> ifd0, sub;
    uint32_t nextLinkOverride = 0;   // non-zero: IFD0's next-directory link
    bool subLinksToItself = false;   // the sub-directory's own EXIF link points at itself

    std::vector<uint8_t> U16(uint16_t v) const {
        return m_big ? std::vector<uint8_t>{uint8_t(v >> 8), uint8_t(v)} : std::vector<uint8_t>{uint8_t(v), uint8_t(v >> 8)};
    }
    std::vector<uint8_t> U32(uint32_t v) const {
        std::vector<uint8_t> a = U16(uint16_t(m_big ? v >> 16 : v)), b = U16(uint16_t(m_big ? v : v >> 16));
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }
    Entry Ascii(uint16_t tag, const std::string& s) const {
        std::vector<uint8_t> d(s.begin(), s.end());
        d.push_back(0);
        return Entry{tag, 2, static_cast<uint32_t>(d.size()), d};
    }
    Entry Short(uint16_t tag, uint16_t v) const {
        std::vector<uint8_t> d = U16(v);
        d.resize(4, 0);
        return Entry{tag, 3, 1, d};
    }
    Entry Rational(uint16_t tag, uint32_t num, uint32_t den) const {
        std::vector<uint8_t> d = U32(num), e = U32(den);
        d.insert(d.end(), e.begin(), e.end());
        return Entry{tag, 5, 1, d};
    }

    // The APP1 segment, marker and length included.
    std::vector<uint8_t> Segment() const {
        std::vector<uint8_t> tiff = m_big ? std::vector<uint8_t>{'M', 'M'} : std::vector<uint8_t>{'I', 'I'};
        Append(tiff, U16(42));
        Append(tiff, U32(8));
        std::vector<Entry> first = ifd0;
        if (!sub.empty()) first.push_back(Entry{0x8769, 4, 1, U32(0)});  // patched below
        uint32_t ifd0Size = 2 + 12 * static_cast<uint32_t>(first.size()) + 4;
        uint32_t subOffset = 8 + ifd0Size + DataSize(first);
        if (!sub.empty()) first.back().data = U32(subOffset);
        WriteIfd(tiff, first, 8, nextLinkOverride);
        std::vector<Entry> second = sub;
        if (subLinksToItself) second.push_back(Entry{0x8769, 4, 1, U32(subOffset)});
        if (!second.empty()) WriteIfd(tiff, second, subOffset, 0);
        std::vector<uint8_t> seg = {0xFF, 0xE1};
        uint32_t len = static_cast<uint32_t>(2 + 6 + tiff.size());
        seg.push_back(uint8_t(len >> 8));
        seg.push_back(uint8_t(len));
        const uint8_t head[6] = {'E', 'x', 'i', 'f', 0, 0};
        seg.insert(seg.end(), head, head + 6);
        Append(seg, tiff);
        return seg;
    }

private:
    static void Append(std::vector<uint8_t>& a, const std::vector<uint8_t>& b) { a.insert(a.end(), b.begin(), b.end()); }
    static uint32_t DataSize(const std::vector<Entry>& entries) {
        uint32_t n = 0;
        for (const Entry& e : entries)
            if (e.data.size() > 4) n += static_cast<uint32_t>(e.data.size());
        return n;
    }
    void WriteIfd(std::vector<uint8_t>& tiff, const std::vector<Entry>& entries, uint32_t at, uint32_t next) const {
        tiff.resize(at, 0);
        Append(tiff, U16(static_cast<uint16_t>(entries.size())));
        uint32_t dataAt = at + 2 + 12 * static_cast<uint32_t>(entries.size()) + 4;
        std::vector<uint8_t> data;
        for (const Entry& e : entries) {
            Append(tiff, U16(e.tag));
            Append(tiff, U16(e.format));
            Append(tiff, U32(e.count));
            if (e.data.size() > 4) {
                Append(tiff, U32(dataAt + static_cast<uint32_t>(data.size())));
                Append(data, e.data);
            } else {
                std::vector<uint8_t> v = e.data;
                v.resize(4, 0);
                Append(tiff, v);
            }
        }
        Append(tiff, U32(next));
        Append(tiff, data);
    }
    bool m_big;
};

inline std::vector<uint8_t> InsertAfterSoi(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& segment) {
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), segment.begin(), segment.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

}  // namespace pxtest
