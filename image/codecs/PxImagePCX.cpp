#include "image/codecs/PxImagePCX.h"

#include <cstring>
#include <vector>

#include "image/PxFile.h"
#include "image/PxMemFile.h"
#include "image/codecs/PxByteOrder.h"

namespace {
constexpr size_t kHeaderSize = 128;

// Run-length codes count values of a line: runs of up to 63, a single value
// below 192 bare.
void PackRun(std::vector<uint8_t>& out, uint8_t value, int count) {
    if (count == 1 && value < 0xC0) {
        out.push_back(value);
    } else {
        out.push_back(static_cast<uint8_t>(0xC0 | count));
        out.push_back(value);
    }
}

void PackLine(std::vector<uint8_t>& out, const uint8_t* line, size_t count) {
    size_t i = 0;
    while (i < count) {
        uint8_t v = line[i];
        int n = 1;
        while (i + n < count && line[i + n] == v && n < 63) ++n;
        PackRun(out, v, n);
        i += static_cast<size_t>(n);
    }
}
}  // namespace

bool PxImagePCX::Decode(PxFile* stream) {
    if (!stream) return false;
    try {
        uint8_t h[kHeaderSize];
        if (stream->Read(h, kHeaderSize, 1) != 1) throw "Can't read PCX image";
        if (h[0] != 10) throw "Error: Not a PCX file";
        if (h[2] != 1) throw "PCX file has unknown encoding scheme";
        int bits = h[3];
        int xMin = PxLE16(h + 4), yMin = PxLE16(h + 6), xMax = PxLE16(h + 8), yMax = PxLE16(h + 10);
        int xDpi = PxLE16(h + 12), yDpi = PxLE16(h + 14);
        int planes = h[65];
        uint32_t bytesPerLine = PxLE16(h + 66);
        if (xMax < xMin || yMax < yMin) throw "Can't read PCX image";
        uint32_t width = static_cast<uint32_t>(xMax - xMin + 1), height = static_cast<uint32_t>(yMax - yMin + 1);
        // A file without a resolution keeps 96 dpi.
        if (xDpi) SetXDPI(xDpi);
        if (yDpi) SetYDPI(yDpi);
        if (planes > 4) throw "Can't handle image with more than 4 planes";
        if (planes == 0 || (bits != 1 && bits != 2 && bits != 4 && bits != 8)) throw "corrupted PCX";
        bool rgb = planes > 2 && bits == 8;
        if (!rgb && planes > 1 && bits > 1) throw "Can't handle packed pixels with more than 1 plane.";
        // Each plane line must hold the whole width.
        uint64_t needed = (static_cast<uint64_t>(width) * bits + 7) / 8;
        if (bytesPerLine < needed) throw "corrupted PCX";

        uint32_t imageBits = rgb ? 24 : planes > 1 ? 4 : static_cast<uint32_t>(bits);
        if (!Create(width, height, imageBits, PxFormatPCX)) throw "Can't allocate memory";
        if (rgb && planes == 4) AlphaCreate();
        if (m_info.escape) throw "Cancelled";

        uint64_t lineBytes = static_cast<uint64_t>(bytesPerLine) * planes;
        uint64_t total = lineBytes * height;
        if (total > GetMaxImageBytes()) throw "corrupted PCX";
        std::vector<uint8_t> data(static_cast<size_t>(total));
        size_t filled = 0;
        uint8_t chunk[4096];
        size_t chunkPos = 0, chunkHeld = 0;
        auto next = [&]() -> int {
            if (chunkPos == chunkHeld) {
                chunkHeld = stream->Read(chunk, 1, sizeof(chunk));
                chunkPos = 0;
                if (chunkHeld == 0) return -1;
            }
            return chunk[chunkPos++];
        };
        while (filled < data.size()) {
            int c = next();
            if (c < 0) throw "corrupted PCX";
            if (c >= 0xC0) {
                size_t n = static_cast<size_t>(c & 0x3F);
                int v = next();
                if (v < 0) throw "corrupted PCX";
                if (n > data.size() - filled) throw "repeat count spans end of image";
                std::memset(data.data() + filled, v, n);
                filled += n;
            } else {
                data[filled++] = static_cast<uint8_t>(c);
            }
        }
        // Give back what was read past the data (the 8-bit palette follows).
        if (chunkHeld > chunkPos) stream->Seek(-static_cast<long>(chunkHeld - chunkPos), SEEK_CUR);

        RGBQUAD table[256];
        std::memset(table, 0, sizeof(table));
        for (int i = 0; i < 16; ++i) {
            table[i].rgbRed = h[16 + 3 * i];
            table[i].rgbGreen = h[17 + 3 * i];
            table[i].rgbBlue = h[18 + 3 * i];
        }
        if (planes == 1 && bits == 8) {
            long signature = stream->GetC();
            if (signature != 12) throw "bad color map signature";
            uint8_t raw[768];
            if (stream->Read(raw, sizeof(raw), 1) != 1) throw "bad color map signature";
            for (int i = 0; i < 256; ++i) {
                table[i].rgbRed = raw[3 * i];
                table[i].rgbGreen = raw[3 * i + 1];
                table[i].rgbBlue = raw[3 * i + 2];
            }
        } else if (planes == 1 && bits == 1) {
            table[0] = RGBQUAD{0, 0, 0, 0};
            table[1] = RGBQUAD{255, 255, 255, 0};
        }
        if (GetPalette()) SetPalette(table, GetNumColors());

        for (uint32_t t = 0; t < height; ++t) {
            if (m_info.escape) throw "Cancelled";
            uint32_t y = height - 1 - t;
            const uint8_t* line = data.data() + lineBytes * t;
            uint8_t* row = GetBits(y);
            if (rgb) {
                for (uint32_t x = 0; x < width; ++x) {
                    row[3 * x + 2] = line[x];
                    row[3 * x + 1] = line[bytesPerLine + x];
                    row[3 * x] = line[2 * bytesPerLine + x];
                }
                if (planes == 4)
                    for (uint32_t x = 0; x < width; ++x)
                        AlphaSet(static_cast<long>(x), static_cast<long>(y), line[3 * bytesPerLine + x]);
            } else if (planes == 1) {
                int mask = (1 << bits) - 1;
                for (uint32_t x = 0; x < width; ++x) {
                    uint64_t bit = static_cast<uint64_t>(x) * bits;
                    int shift = 8 - bits - static_cast<int>(bit & 7);
                    SetPixelIndex(static_cast<long>(x), static_cast<long>(y),
                                  static_cast<uint8_t>((line[bit >> 3] >> shift) & mask));
                }
            } else {
                for (uint32_t x = 0; x < width; ++x) {
                    uint8_t index = 0;
                    for (int p = 0; p < planes; ++p)
                        if (line[p * bytesPerLine + (x >> 3)] & (0x80 >> (x & 7))) index |= static_cast<uint8_t>(1 << p);
                    SetPixelIndex(static_cast<long>(x), static_cast<long>(y), index);
                }
            }
        }
        m_info.formatCode = PxFormatPCX;
        return true;
    } catch (const char* text) {
        SetError(text);
        return false;
    }
}

bool PxImagePCX::Encode(PxFile* stream) {
    if (EncodeSafeCheck(stream)) return false;
    uint32_t width = GetWidth(), height = GetHeight(), bpp = GetBpp();
    uint8_t h[kHeaderSize] = {};
    h[0] = 10;
    h[1] = 5;
    h[2] = 1;
    PxPutLE16(h + 8, static_cast<uint16_t>(width - 1));
    PxPutLE16(h + 10, static_cast<uint16_t>(height - 1));
    PxPutLE16(h + 12, static_cast<uint16_t>(GetXDPI()));
    PxPutLE16(h + 14, static_cast<uint16_t>(GetYDPI()));
    int planes;
    uint32_t bytesPerLine;
    RGBQUAD* pal = GetPalette();
    if (bpp >= 8) {
        h[3] = 8;
        planes = bpp == 8 ? 1 : AlphaIsValid() ? 4 : 3;
        bytesPerLine = width;
    } else {
        h[3] = 1;
        planes = bpp == 4 ? 4 : 1;
        bytesPerLine = (width + 7) / 8;
        if (planes == 1) {
            std::memset(h + 19, 255, 3);  // black, white
        } else {
            for (int i = 0; i < 16; ++i) {
                h[16 + 3 * i] = pal[i].rgbRed;
                h[17 + 3 * i] = pal[i].rgbGreen;
                h[18 + 3 * i] = pal[i].rgbBlue;
            }
        }
    }
    if (bytesPerLine & 1) ++bytesPerLine;
    h[65] = static_cast<uint8_t>(planes);
    PxPutLE16(h + 66, static_cast<uint16_t>(bytesPerLine));
    PxPutLE16(h + 68, pal ? 0 : 1);
    if (stream->Write(h, kHeaderSize, 1) != 1) {
        SetError("cannot write PCX header");
        return false;
    }

    std::vector<uint8_t> out;
    std::vector<uint8_t> line(static_cast<size_t>(bytesPerLine) * planes);
    if (bpp == 8 || bpp == 24) {
        for (uint32_t t = 0; t < height; ++t) {
            const uint8_t* row = GetBits(height - 1 - t);
            for (int p = 0; p < planes; ++p) {
                for (uint32_t x = 0; x < width; ++x) {
                    uint8_t v;
                    if (bpp == 8) v = row[x];
                    else if (p < 3) v = row[3 * x + 2 - p];
                    else v = AlphaGet(static_cast<long>(x), static_cast<long>(height - 1 - t));
                    line[x] = v;
                }
                PackLine(out, line.data(), width);
                if (bytesPerLine > width) out.push_back(0);
            }
        }
        if (bpp == 8) {
            out.push_back(12);
            for (int i = 0; i < 256; ++i) {
                out.push_back(pal[i].rgbRed);
                out.push_back(pal[i].rgbGreen);
                out.push_back(pal[i].rgbBlue);
            }
        }
    } else {
        // A 1-bit image whose first colour is the brighter one is written inverted,
        // in the line buffer only.
        bool invert = false;
        if (bpp == 1) invert = CompareColors(&pal[0], &pal[1]) > 0;
        for (uint32_t t = 0; t < height; ++t) {
            std::fill(line.begin(), line.end(), 0);
            long y = static_cast<long>(height - 1 - t);
            for (uint32_t x = 0; x < width; ++x) {
                uint8_t index = GetPixelIndex(static_cast<long>(x), y);
                if (invert) index ^= 1;
                for (int p = 0; p < planes; ++p)
                    if (index & (1 << p)) line[p * bytesPerLine + (x >> 3)] |= static_cast<uint8_t>(0x80 >> (x & 7));
            }
            for (int p = 0; p < planes; ++p) PackLine(out, line.data() + p * bytesPerLine, bytesPerLine);
        }
    }
    if (!out.empty() && stream->Write(out.data(), out.size(), 1) != 1) {
        SetError("Write Error");
        return false;
    }
    return true;
}
