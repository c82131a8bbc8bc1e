#include "image/codecs/PxImageICO.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/PxFile.h"
#include "image/codecs/PxByteOrder.h"
#include "image/codecs/PxImagePNG.h"

namespace {
// ICONDIR (reserved, type, count) and its 16-byte ICONDIRENTRY records.
struct IconDirEntry {
    uint32_t width;
    uint32_t height;
    uint8_t colorCount;
    uint16_t bitCount;
    uint32_t bytes;
    uint32_t offset;
};

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
}  // namespace

bool PxImageICO::Decode(PxFile* stream) {
    if (!stream) return false;
    long start = stream->Tell();
    uint8_t header[6];
    if (stream->Read(header, 6, 1) != 1) return false;
    uint16_t type = PxLE16(header + 2);
    if (PxLE16(header) != 0 || (type != 1 && type != 2)) return false;
    uint16_t count = PxLE16(header + 4);
    m_info.numFrames = count;

    std::vector<IconDirEntry> entries(count);
    for (uint16_t i = 0; i < count; ++i) {
        uint8_t raw[16];
        if (stream->Read(raw, 16, 1) != 1) return false;
        // A width or height byte of 0 stands for 256 pixels.
        entries[i].width = raw[0] ? raw[0] : 256;
        entries[i].height = raw[1] ? raw[1] : 256;
        entries[i].colorCount = raw[2];
        entries[i].bitCount = PxLE16(raw + 6);
        entries[i].bytes = PxLE32(raw + 8);
        entries[i].offset = PxLE32(raw + 12);
    }
    if (m_info.frame < 0 || m_info.frame >= count) return false;
    const IconDirEntry& entry = entries[static_cast<size_t>(m_info.frame)];

    uint64_t target = static_cast<uint64_t>(start) + entry.offset;
    if (target > 0x7FFFFFFF || !stream->Seek(static_cast<long>(target), SEEK_SET)) return false;

    uint8_t raw[40];
    if (stream->Read(raw, 8, 1) != 1) return false;
    if (std::memcmp(raw, kPngSignature, 8) == 0) {
        // A PNG-compressed entry: decode it with the PNG codec.
        if (!stream->Seek(static_cast<long>(target), SEEK_SET)) return false;
        PxImagePNG png;
        CopyInfoInto(png, *this);
        if (!png.Decode(stream)) {
            SetError(png.GetLastError()[0] ? png.GetLastError() : "Invalid PNG icon entry");
            return false;
        }
        int32_t frames = m_info.numFrames, frame = m_info.frame;
        Transfer(png);
        m_info.formatCode = PxFormatICO;
        m_info.numFrames = frames;
        m_info.frame = frame;
        return true;
    }
    if (stream->Read(raw + 8, 32, 1) != 1) return false;
    uint32_t headerSize = PxLE32(raw);
    uint16_t bitCount = PxLE16(raw + 14);
    uint32_t clrUsed = PxLE32(raw + 32);
    if (headerSize < 40) return false;
    if (headerSize > 40 && (headerSize - 40 > 0x7FFFFFFF || !stream->Seek(static_cast<long>(headerSize - 40), SEEK_CUR)))
        return false;

    if (!Create(entry.width, entry.height, bitCount, PxFormatICO)) return false;
    uint32_t width = GetWidth(), height = GetHeight();

    // Palette: biClrUsed entries, 2^bits when 0; at most 256 are kept, the rest skipped.
    uint64_t paletteEntries = clrUsed ? clrUsed : (bitCount <= 8 ? (1u << bitCount) : 0);
    if (paletteEntries) {
        uint32_t stored = static_cast<uint32_t>(paletteEntries < 256 ? paletteEntries : 256);
        std::vector<RGBQUAD> pal(stored);
        if (stream->Read(pal.data(), 4, stored) != stored) return false;
        if (IsIndexed()) SetPalette(pal.data(), stored);
        uint64_t skip = (paletteEntries - stored) * 4;
        if (skip && (skip > 0x7FFFFFFF || !stream->Seek(static_cast<long>(skip), SEEK_CUR))) return false;
    }

    if (bitCount > 24) {
        size_t rowBytes = static_cast<size_t>(width) * 4;
        std::vector<uint8_t> row(rowBytes);
        AlphaCreate();
        if (!AlphaIsValid()) return false;
        for (uint32_t y = 0; y < height; ++y) {
            if (stream->Read(row.data(), rowBytes, 1) != 1) break;
            uint8_t* dst = GetBits(y);
            uint8_t* alpha = AlphaGetPointer(0, static_cast<long>(y));
            for (uint32_t x = 0; x < width; ++x) {
                dst[3 * x] = row[4 * x];
                dst[3 * x + 1] = row[4 * x + 1];
                dst[3 * x + 2] = row[4 * x + 2];
                alpha[x] = row[4 * x + 3];
            }
        }
    } else {
        stream->Read(GetBits(0), 1, m_header.biSizeImage);  // our own area, not the file's figure
    }

    // The AND mask: one bit per pixel, rows padded to 4 bytes, set = transparent.
    size_t maskRow = ((static_cast<size_t>(width) + 31) / 32) * 4;
    std::vector<uint8_t> mask(maskRow * height, 0);
    stream->Read(mask.data(), 1, mask.size());
    bool allSet = true;
    for (uint8_t b : mask)
        if (b != 0xFF) {
            allSet = false;
            break;
        }
    auto masked = [&](uint32_t x, uint32_t y) { return (mask[maskRow * y + x / 8] >> (7 - (x & 7))) & 1; };

    if (allSet) {
        SetTransIndex(0);
        // Inverted icon: the colours are inverted.
        Negative();
        return true;
    }

    bool hadAlpha = AlphaIsValid();
    AlphaCreate();
    bool anyMasked = false;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            if (masked(x, y)) {
                AlphaSet(static_cast<long>(x), static_cast<long>(y), 0);
                anyMasked = true;
            }
    if (!anyMasked && !hadAlpha) {
        AlphaDelete();
        return true;
    }
    if (bitCount == 24 && anyMasked) {
        bool same = true, first = true;
        RGBQUAD colour = {0, 0, 0, 0};
        for (uint32_t y = 0; y < height && same; ++y)
            for (uint32_t x = 0; x < width; ++x) {
                if (!masked(x, y)) continue;
                RGBQUAD c = GetPixelColor(static_cast<long>(x), static_cast<long>(y), false);
                c.rgbReserved = 0;
                if (first) {
                    colour = c;
                    first = false;
                } else if (std::memcmp(&c, &colour, sizeof(c)) != 0) {
                    same = false;
                    break;
                }
            }
        if (same) {
            SetTransColor(colour);
            SetTransIndex(0);
            AlphaDelete();
        }
    } else if (GetBpp() <= 8 && anyMasked) {
        std::vector<bool> used(GetNumColors(), false);
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x) used[BlindGetPixelIndex(x, y)] = true;
        for (uint32_t i = 0; i < GetNumColors(); ++i) {
            if (used[i]) continue;
            for (uint32_t y = 0; y < height; ++y)
                for (uint32_t x = 0; x < width; ++x)
                    if (masked(x, y)) BlindSetPixelIndex(x, y, static_cast<uint8_t>(i));
            SetTransIndex(static_cast<int32_t>(i));
            AlphaDelete();
            break;
        }
    }
    return true;
}

bool PxImageICO::Encode(PxFile* stream) {
    if (EncodeSafeCheck(stream)) return false;
    uint32_t width = GetWidth(), height = GetHeight();
    if (width >= 256 || height >= 256) {
        SetError("Can't save this image as icon");
        return false;
    }
    if (GetBpp() <= 8 && !GetPalette()) return false;

    bool rgba = AlphaIsValid() && !IsIndexed();
    uint16_t bitCount = rgba ? 32 : GetBpp();
    uint32_t colorBytes = rgba ? width * height * 4 : m_header.biSizeImage;
    size_t maskRow = ((static_cast<size_t>(width) + 31) / 32) * 4;
    uint32_t maskBytes = static_cast<uint32_t>(maskRow * height);
    uint32_t paletteBytes = GetPaletteSize();

    uint8_t head[6 + 16 + 40] = {0};
    PxPutLE16(head + 2, 1);
    PxPutLE16(head + 4, 1);
    uint8_t* e = head + 6;
    e[0] = static_cast<uint8_t>(width);
    e[1] = static_cast<uint8_t>(height);
    e[2] = static_cast<uint8_t>(GetNumColors());
    PxPutLE16(e + 6, bitCount);
    PxPutLE32(e + 8, colorBytes + paletteBytes + maskBytes + 40);
    PxPutLE32(e + 12, 22);
    uint8_t* h = head + 22;
    PxPutLE32(h, 40);
    PxPutLE32(h + 4, width);
    PxPutLE32(h + 8, height * 2);
    PxPutLE16(h + 12, 1);
    PxPutLE16(h + 14, bitCount);
    PxPutLE32(h + 20, colorBytes);

    std::vector<uint8_t> mask(maskBytes, 0);
    bool paletteAlpha = AlphaPaletteIsValid();
    RGBQUAD trans = GetTransColor();
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            RGBQUAD c = GetPixelColor(static_cast<long>(x), static_cast<long>(y), false);
            bool transparent = (AlphaIsValid() && BlindAlphaGet(x, y) == 0) ||
                               (paletteAlpha && c.rgbReserved == 0) ||
                               (IsTransparent() && c.rgbRed == trans.rgbRed && c.rgbGreen == trans.rgbGreen &&
                                c.rgbBlue == trans.rgbBlue);
            if (transparent) mask[maskRow * y + x / 8] |= static_cast<uint8_t>(0x80 >> (x & 7));
        }

    bool ok = stream->Write(head, sizeof(head), 1) == 1;
    if (ok && paletteBytes) ok = stream->Write(GetPalette(), paletteBytes, 1) == 1;
    if (ok) {
        if (rgba) {
            std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
            for (uint32_t y = 0; y < height && ok; ++y) {
                const uint8_t* src = GetBits(y);
                for (uint32_t x = 0; x < width; ++x) {
                    row[4 * x] = src[3 * x];
                    row[4 * x + 1] = src[3 * x + 1];
                    row[4 * x + 2] = src[3 * x + 2];
                    row[4 * x + 3] = BlindAlphaGet(x, y);
                }
                ok = stream->Write(row.data(), row.size(), 1) == 1;
            }
        } else {
            ok = stream->Write(GetBits(0), colorBytes, 1) == 1;
        }
    }
    if (ok && maskBytes) ok = stream->Write(mask.data(), maskBytes, 1) == 1;
    if (!ok) {
        SetError("Write Error");
        return false;
    }
    return true;
}
