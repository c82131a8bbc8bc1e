#include "image/codecs/PxImageBMP.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "image/PxFile.h"
#include "image/codecs/PxByteOrder.h"
#include "image/codecs/PxRleDecoder.h"

namespace {
// BITMAPFILEHEADER: "BM", file size, two reserved words, offset of the pixels.
constexpr size_t kFileHeaderSize = 14;
constexpr uint16_t kBitmapType = 0x4D42;

int32_t DpiFromPelsPerMeter(int32_t ppm) {
    return static_cast<int32_t>(std::floor(ppm * 254.0 / 10000.0 + 0.5));
}

// Keeps the pixel rows of a bottom-up image upside down (top-down files).
void FlipRows(uint8_t* pixels, uint32_t rowSize, uint32_t height) {
    std::vector<uint8_t> tmp(rowSize);
    for (uint32_t y = 0; y < height / 2; ++y) {
        uint8_t* a = pixels + static_cast<size_t>(rowSize) * y;
        uint8_t* b = pixels + static_cast<size_t>(rowSize) * (height - 1 - y);
        std::memcpy(tmp.data(), a, rowSize);
        std::memcpy(a, b, rowSize);
        std::memcpy(b, tmp.data(), rowSize);
    }
}
}  // namespace

bool PxImageBMP::DibReadBitmapInfo(PxFile* stream, BITMAPINFOHEADER* header, bool* os2Core) {
    *os2Core = false;
    uint8_t raw[40];
    if (stream->Read(raw, 4, 1) != 1) return false;
    uint32_t size = PxLE32(raw);
    std::memset(header, 0, sizeof(*header));
    if (size == 12) {
        // OS/2 1.x BITMAPCOREHEADER: 16-bit width, height, planes and bit count.
        if (stream->Read(raw + 4, 8, 1) != 1) return false;
        header->biSize = 40;
        header->biWidth = PxLE16(raw + 4);
        header->biHeight = PxLE16(raw + 6);
        header->biPlanes = PxLE16(raw + 8);
        header->biBitCount = PxLE16(raw + 10);
        *os2Core = true;
    } else {
        if (size < 40) return false;
        if (stream->Read(raw + 4, 36, 1) != 1) return false;
        header->biSize = size;
        header->biWidth = static_cast<int32_t>(PxLE32(raw + 4));
        header->biHeight = static_cast<int32_t>(PxLE32(raw + 8));
        header->biPlanes = PxLE16(raw + 12);
        header->biBitCount = PxLE16(raw + 14);
        header->biCompression = PxLE32(raw + 16);
        header->biSizeImage = PxLE32(raw + 20);
        header->biXPelsPerMeter = static_cast<int32_t>(PxLE32(raw + 24));
        header->biYPelsPerMeter = static_cast<int32_t>(PxLE32(raw + 28));
        header->biClrUsed = PxLE32(raw + 32);
        header->biClrImportant = PxLE32(raw + 36);
        if (size == 64) {
            // OS/2 2.x: 24 bytes of its own after the common part.
            if (!stream->Seek(24, SEEK_CUR)) return false;
        } else if (size > 40) {
            uint64_t rowBytes = (static_cast<uint64_t>(header->biBitCount) * static_cast<uint32_t>(header->biWidth) + 31) / 32;
            uint64_t expected = rowBytes * static_cast<uint32_t>(header->biHeight) * 4;
            if (header->biSizeImage != expected || header->biPlanes != 1 || header->biCompression != 0 ||
                header->biClrUsed != 0)
                return false;
            if (size - 40 > 0x7FFFFFFF || !stream->Seek(static_cast<long>(size - 40), SEEK_CUR)) return false;
        }
    }
    if (header->biSizeImage == 0) {
        uint64_t rowBytes = ((static_cast<uint64_t>(header->biBitCount) * static_cast<uint32_t>(header->biWidth) + 31) >> 5) * 4;
        uint64_t rows = header->biHeight < 0 ? -static_cast<int64_t>(header->biHeight) : header->biHeight;
        uint64_t bytes = rowBytes * rows;
        header->biSizeImage = bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
    }
    if (header->biClrUsed == 0 && header->biBitCount <= 8) header->biClrUsed = 1u << header->biBitCount;
    return true;
}

bool PxImageBMP::Decode(PxFile* stream) {
    if (!stream) return false;
    long start = stream->Tell();
    bool topDown = false;
    const char* error = nullptr;
    do {
        uint8_t fileHeader[kFileHeaderSize];
        if (stream->Read(fileHeader, kFileHeaderSize, 1) != 1) {
            error = "Not a BMP";
            break;
        }
        uint32_t pixelOffset = 0;
        if (PxLE16(fileHeader) == kBitmapType) {
            pixelOffset = PxLE32(fileHeader + 10);
        } else {
            // A packed DIB without file header (clipboard and icon data).
            if (!stream->Seek(start, SEEK_SET)) {
                error = "Not a BMP";
                break;
            }
        }

        BITMAPINFOHEADER bih;
        bool os2Core = false;
        if (!DibReadBitmapInfo(stream, &bih, &os2Core)) {
            error = "Error reading BMP info";
            break;
        }
        // Width and height are signed in the file: reject what no image can have.
        if (bih.biWidth <= 0 || bih.biHeight == 0 || bih.biHeight == INT32_MIN) {
            error = "Error reading BMP info";
            break;
        }
        if (bih.biHeight < 0) {
            topDown = true;
            bih.biHeight = -bih.biHeight;
        }

        if (m_info.escape == -1) {
            m_header.biWidth = bih.biWidth;
            m_header.biHeight = bih.biHeight;
            SetError("output dimensions returned");
            return true;
        }

        if (!Create(static_cast<uint32_t>(bih.biWidth), static_cast<uint32_t>(bih.biHeight), bih.biBitCount,
                    PxFormatBMP)) {
            error = "Can't allocate memory";
            break;
        }
        // A file without a resolution keeps 96 dpi.
        SetXDPI(DpiFromPelsPerMeter(bih.biXPelsPerMeter));
        SetYDPI(DpiFromPelsPerMeter(bih.biYPelsPerMeter));
        if (m_info.escape) {
            error = "Cancelled";
            break;
        }

        RGBQUAD* palette = GetPalette();
        if (palette) {
            uint32_t entrySize = os2Core ? 3 : 4;
            uint64_t n = bih.biClrUsed ? bih.biClrUsed : (1u << (bih.biBitCount > 8 ? 8 : bih.biBitCount));
            uint32_t stored = static_cast<uint32_t>(n < 256 ? n : 256);
            std::vector<uint8_t> raw(static_cast<size_t>(stored) * entrySize, 0);
            size_t got = stream->Read(raw.data(), entrySize, stored);
            uint32_t slots = GetNumColors();
            for (uint32_t i = 0; i < stored && i < slots && i < got; ++i) {
                palette[i].rgbBlue = raw[i * entrySize];
                palette[i].rgbGreen = raw[i * entrySize + 1];
                palette[i].rgbRed = raw[i * entrySize + 2];
                palette[i].rgbReserved = 0;
            }
            // Entries past 256 are skipped, never stored.
            uint64_t skip = (n - stored) * entrySize;
            if (skip && pixelOffset == 0) {
                if (skip > 0x7FFFFFFF || !stream->Seek(static_cast<long>(skip), SEEK_CUR)) {
                    error = "Error reading BMP info";
                    break;
                }
            }
            if (m_info.escape) {
                error = "Cancelled";
                break;
            }
        }

        uint32_t bits = bih.biBitCount;
        uint32_t redMask = 0x7C00, greenMask = 0x3E0, blueMask = 0x1F;
        if ((bits == 16 || bits == 32) && bih.biCompression == BI_BITFIELDS) {
            uint8_t masks[12];
            if (stream->Read(masks, 12, 1) != 1) {
                error = "Error reading BMP info";
                break;
            }
            redMask = PxLE32(masks);
            greenMask = PxLE32(masks + 4);
            blueMask = PxLE32(masks + 8);
        }
        if (pixelOffset != 0) {
            uint64_t target = static_cast<uint64_t>(start) + pixelOffset;
            if (target > 0x7FFFFFFF || !stream->Seek(static_cast<long>(target), SEEK_SET)) {
                error = "Error reading BMP info";
                break;
            }
        }

        uint8_t* pixels = m_info.pixels;
        uint32_t imageBytes = m_header.biSizeImage;  // our own area, never the file's figure
        switch (bits) {
            case 1:
            case 4:
            case 8:
                switch (bih.biCompression) {
                    case BI_RGB: stream->Read(pixels, 1, imageBytes); break;
                    case BI_RLE8: PxRleDecoder::DecodeRle8(stream, pixels, m_info.rowSize, GetHeight()); break;
                    case BI_RLE4: PxRleDecoder::DecodeRle4(stream, pixels, m_info.rowSize, GetHeight()); break;
                    default: error = "compression type not supported"; break;
                }
                break;
            case 16: {
                if (bih.biCompression != BI_RGB && bih.biCompression != BI_BITFIELDS) {
                    error = "unknown compression";
                    break;
                }
                // 16-bit rows are shorter than the 24-bit rows they become: read them
                // into the pixel area and widen in place.
                uint64_t sourceBytes = static_cast<uint64_t>((GetWidth() + 1) / 2) * 4 * GetHeight();
                if (sourceBytes > imageBytes) sourceBytes = imageBytes;
                stream->Read(pixels, 1, static_cast<size_t>(sourceBytes));
                Bitfield2RGB(pixels, redMask, greenMask, blueMask, 16);
                break;
            }
            case 24:
                if (bih.biCompression != BI_RGB) {
                    error = "unknown compression";
                    break;
                }
                stream->Read(pixels, 1, imageBytes);
                break;
            case 32: {
                if (bih.biCompression != BI_RGB && bih.biCompression != BI_BITFIELDS) {
                    error = "unknown compression";
                    break;
                }
                // Row by row: bytes 0, 1, 2 of each pixel are blue, green, red.
                std::vector<uint8_t> row(static_cast<size_t>(GetWidth()) * 4);
                for (uint32_t y = 0; y < GetHeight(); ++y) {
                    if (stream->Read(row.data(), row.size(), 1) != 1) break;
                    uint8_t* dst = pixels + static_cast<size_t>(m_info.rowSize) * y;
                    for (uint32_t x = 0; x < GetWidth(); ++x) {
                        dst[3 * x] = row[4 * x];
                        dst[3 * x + 1] = row[4 * x + 1];
                        dst[3 * x + 2] = row[4 * x + 2];
                    }
                }
                break;
            }
            default:
                break;  // other bit counts keep the created pixels
        }
        if (error) break;
        if (topDown) FlipRows(m_info.pixels, m_info.rowSize, GetHeight());
        return true;
    } while (false);

    SetError(error);
    Destroy();
    return false;
}

bool PxImageBMP::Encode(PxFile* stream) {
    if (EncodeSafeCheck(stream)) return false;
    std::memcpy(m_dib, &m_header, sizeof(m_header));
    uint32_t dibSize = GetSize();
    uint8_t fileHeader[kFileHeaderSize];
    PxPutLE16(fileHeader, kBitmapType);
    PxPutLE32(fileHeader + 2, dibSize + static_cast<uint32_t>(kFileHeaderSize));
    PxPutLE16(fileHeader + 6, 0);
    PxPutLE16(fileHeader + 8, 0);
    PxPutLE32(fileHeader + 10, static_cast<uint32_t>(kFileHeaderSize) + 40 + GetPaletteSize());
    if (stream->Write(fileHeader, kFileHeaderSize, 1) != 1 || stream->Write(m_dib, dibSize, 1) != 1) {
        SetError("Write Error");
        return false;
    }
    return true;
}
