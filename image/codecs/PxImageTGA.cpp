#include "image/codecs/PxImageTGA.h"

#include <cstring>
#include <vector>

#include "image/PxFile.h"
#include "image/codecs/PxByteOrder.h"

namespace {
constexpr size_t kHeaderSize = 18;

// One 15/16-bit pixel (x-5-5-5) as blue, green, red.
void From555(uint16_t c, uint8_t* bgr) {
    bgr[0] = static_cast<uint8_t>(c << 3);
    bgr[1] = static_cast<uint8_t>((c >> 2) & 0xF8);
    bgr[2] = static_cast<uint8_t>((c >> 7) & 0xF8);
}

// Stores one file pixel (pixelBytes bytes) at column x of an image row.
void PutPixel(const uint8_t* px, int depth, uint8_t* row, uint8_t* alphaRow, long x) {
    switch (depth) {
        case 8:
            row[x] = px[0];
            break;
        case 15:
        case 16:
            From555(PxLE16(px), row + 3 * x);
            break;
        case 24:
            std::memcpy(row + 3 * x, px, 3);
            break;
        default:
            std::memcpy(row + 3 * x, px, 3);
            if (alphaRow) alphaRow[x] = px[3];
            break;
    }
}
}  // namespace

bool PxImageTGA::Decode(PxFile* stream) {
    if (!stream) return false;
    try {
        uint8_t h[kHeaderSize];
        if (stream->Read(h, kHeaderSize, 1) != 1) throw "Not a TGA";
        int idLength = h[0], mapType = h[1], type = h[2];
        int mapFirst = PxLE16(h + 3), mapLength = PxLE16(h + 5), mapEntrySize = h[7];
        uint32_t width = PxLE16(h + 12), height = PxLE16(h + 14);
        int depth = h[16], descriptor = h[17];
        bool compressed;
        if (type >= 1 && type <= 3)
            compressed = false;
        else if (type >= 9 && type <= 11)
            compressed = true;
        else
            throw "Unknown TGA image type";
        if (width == 0 || height == 0 || depth == 0 || mapLength > 256 || mapType > 1 ||
            (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32))
            throw "bad TGA header";
        // A colour map must have entries of a known size that fit in 256 slots.
        if (mapType != 0 && (mapFirst + mapLength > 256 ||
                             (mapEntrySize != 15 && mapEntrySize != 16 && mapEntrySize != 24 && mapEntrySize != 32)))
            throw "bad TGA header";
        bool rightToLeft = (descriptor & 0x10) != 0;
        bool topDown = (descriptor & 0x20) != 0;

        if (idLength && !stream->Seek(idLength, SEEK_CUR)) throw "corrupted TGA";
        if (!Create(width, height, static_cast<uint32_t>(depth), PxFormatTGA)) throw "TGA Create failed";
        if (depth == 32) AlphaCreate();
        if (m_info.escape) throw "Cancelled";

        if (mapType != 0) {
            int entryBytes = (mapEntrySize + 7) / 8;
            std::vector<uint8_t> map(static_cast<size_t>(mapLength) * entryBytes);
            if (!map.empty() && stream->Read(map.data(), 1, map.size()) != map.size()) throw "corrupted TGA";
            if (GetPalette()) {
                for (int i = 0; i < mapLength; ++i) {
                    const uint8_t* e = map.data() + static_cast<size_t>(i) * entryBytes;
                    uint8_t bgr[3];
                    if (entryBytes == 2)
                        From555(PxLE16(e), bgr);
                    else
                        std::memcpy(bgr, e, 3);  // a 32-bit entry's alpha is not used
                    SetPaletteColor(static_cast<uint8_t>(mapFirst + i), bgr[2], bgr[1], bgr[0]);
                }
            }
        }
        if (type == 3 || type == 11) SetGrayPalette();

        int pixelBytes = (depth + 7) / 8;
        uint8_t runPixel[4] = {0, 0, 0, 0};
        int packetLeft = 0;
        bool packetIsRun = false;
        std::vector<uint8_t> raw(static_cast<size_t>(width) * pixelBytes);
        for (uint32_t i = 0; i < height; ++i) {
            if (m_info.escape) throw "Cancelled";
            if (stream->Eof()) throw "corrupted TGA";
            uint32_t y = topDown ? height - 1 - i : i;
            uint8_t* row = GetBits(y);
            uint8_t* alphaRow = m_alpha ? m_alpha + static_cast<size_t>(width) * y : nullptr;
            auto column = [&](long x) { return rightToLeft ? static_cast<long>(width) - 1 - x : x; };
            if (!compressed) {
                // A short read ends the row quietly.
                size_t got = stream->Read(raw.data(), static_cast<size_t>(pixelBytes), width);
                for (size_t x = 0; x < got; ++x)
                    PutPixel(raw.data() + x * pixelBytes, depth, row, alphaRow, column(static_cast<long>(x)));
                continue;
            }
            // Run-length: a packet may go on into the next row.
            long x = 0;
            bool failed = false;
            while (x < static_cast<long>(width) && !failed) {
                if (packetLeft == 0) {
                    long header = stream->GetC();
                    if (header < 0) break;
                    packetIsRun = (header & 0x80) != 0;
                    packetLeft = static_cast<int>(header & 0x7F) + 1;
                    if (packetIsRun && stream->Read(runPixel, static_cast<size_t>(pixelBytes), 1) != 1) {
                        packetLeft = 0;
                        break;
                    }
                }
                for (; packetLeft > 0 && x < static_cast<long>(width); --packetLeft, ++x) {
                    uint8_t px[4];
                    const uint8_t* value = runPixel;
                    if (!packetIsRun) {
                        if (stream->Read(px, static_cast<size_t>(pixelBytes), 1) != 1) {
                            failed = true;
                            packetLeft = 0;
                            break;
                        }
                        value = px;
                    }
                    PutPixel(value, depth, row, alphaRow, column(x));
                }
            }
        }
        m_info.formatCode = PxFormatTGA;
        return true;
    } catch (const char* text) {
        SetError(text);
        return false;
    }
}

bool PxImageTGA::Encode(PxFile* stream) {
    if (EncodeSafeCheck(stream)) return false;
    uint32_t bpp = GetBpp();
    if (bpp < 8) {
        SetError("Bit depth must be 8 or 24");
        return false;
    }
    bool alpha = bpp == 24 && AlphaIsValid();
    uint32_t width = GetWidth(), height = GetHeight();
    uint8_t h[kHeaderSize] = {};
    h[1] = GetPalette() ? 1 : 0;
    h[2] = bpp == 8 ? 1 : 2;
    if (bpp == 8) {
        PxPutLE16(h + 5, 256);
        h[7] = 24;
    }
    PxPutLE16(h + 12, static_cast<uint16_t>(width));
    PxPutLE16(h + 14, static_cast<uint16_t>(height));
    h[16] = static_cast<uint8_t>(alpha ? 32 : bpp);
    bool ok = stream->Write(h, kHeaderSize, 1) == 1;
    if (ok && bpp == 8) {
        uint8_t map[256 * 3];
        RGBQUAD* pal = GetPalette();
        for (int i = 0; i < 256; ++i) {
            map[3 * i] = pal[i].rgbBlue;
            map[3 * i + 1] = pal[i].rgbGreen;
            map[3 * i + 2] = pal[i].rgbRed;
        }
        ok = stream->Write(map, sizeof(map), 1) == 1;
    }
    std::vector<uint8_t> line(static_cast<size_t>(width) * 4);
    for (uint32_t y = 0; y < height && ok; ++y) {
        const uint8_t* row = GetBits(y);
        if (!alpha) {
            ok = stream->Write(row, static_cast<size_t>(width) * bpp / 8, 1) == 1;
            continue;
        }
        for (uint32_t x = 0; x < width; ++x) {
            std::memcpy(&line[4 * x], row + 3 * x, 3);
            line[4 * x + 3] = static_cast<uint8_t>(AlphaGet(static_cast<long>(x), static_cast<long>(y)) * AlphaGetMax() / 255);
        }
        ok = stream->Write(line.data(), line.size(), 1) == 1;
    }
    if (!ok) {
        SetError("Write Error");
        return false;
    }
    return true;
}
