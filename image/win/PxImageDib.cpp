// Reading a packed DIB (CF_DIB clipboard data) from a block that another process
// wrote. Nothing in it is trusted: the header size, every dimension, the palette,
// the masks and the pixel rows are checked against the block before they are read.
// Layouts as documented for BITMAPCOREHEADER, BITMAPINFOHEADER (and its V4/V5
// extensions, whose colour masks sit at the same offset 40) and biCompression.
#include <cstring>

#include "image/PxImage.h"
#include "image/PxMemFile.h"
#include "image/codecs/PxRleDecoder.h"

namespace {
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// One colour channel of a 16- or 32-bit pixel, scaled to 8 bits.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    explicit Channel(uint32_t m) : mask(m) {
        if (!m) return;
        while (!((m >> shift) & 1)) ++shift;
        while (shift + bits < 32 && ((m >> (shift + bits)) & 1)) ++bits;
    }
    uint8_t Get(uint32_t v) const {
        if (!bits) return 0;
        uint32_t c = (v & mask) >> shift;
        if (bits >= 8) return static_cast<uint8_t>(c >> (bits - 8));
        return static_cast<uint8_t>(c * 255 / ((1u << bits) - 1));
    }
};

int32_t PelsToDpi(int32_t ppm) {
    if (ppm <= 0) return 96;
    return static_cast<int32_t>((static_cast<int64_t>(ppm) * 254 + 5000) / 10000);
}
}  // namespace

bool PxImage::CreateFromPackedDib(const uint8_t* block, size_t size) {
    if (!Destroy()) return false;
    auto fail = [this](const char* text) {
        SetError(text);
        Destroy();
        return false;
    };
    if (!block || size < 12) return fail("DIB block too short");

    uint32_t headerSize = Le32(block);
    int64_t width, height;
    uint32_t bits, compression = 0, clrUsed = 0;
    int32_t xPels = 0, yPels = 0;
    size_t entrySize = 4;
    if (headerSize == 12) {
        // Core header: 16-bit sizes, 3-byte palette entries, never compressed.
        width = Le16(block + 4);
        height = static_cast<int16_t>(Le16(block + 6));
        bits = Le16(block + 10);
        entrySize = 3;
    } else if (headerSize >= 40 && headerSize <= size) {
        width = static_cast<int32_t>(Le32(block + 4));
        height = static_cast<int32_t>(Le32(block + 8));
        bits = Le16(block + 14);
        compression = Le32(block + 16);
        xPels = static_cast<int32_t>(Le32(block + 24));
        yPels = static_cast<int32_t>(Le32(block + 28));
        clrUsed = Le32(block + 32);
    } else {
        return fail("DIB header size not supported");
    }
    if (headerSize > size) return fail("DIB block too short");
    // A negative height is a legal top-down DIB (never a compressed one).
    bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0) return fail("DIB width and height must be greater than zero");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return fail("DIB bit count not supported");

    bool rle = false;
    if (bits <= 8) {
        if (compression == BI_RLE8 && bits == 8) rle = true;
        else if (compression == BI_RLE4 && bits == 4) rle = true;
        else if (compression != BI_RGB) return fail("compression type not supported");
    } else if (bits == 24) {
        if (compression != BI_RGB) return fail("compression type not supported");
    } else if (compression != BI_RGB && compression != BI_BITFIELDS) {
        return fail("unknown compression");
    }
    if (rle && topDown) return fail("a top-down DIB cannot be compressed");

    // Colour masks: after a 40-byte header, inside a longer one, at offset 40 either way.
    uint64_t masksBytes = 0;
    uint32_t redMask = 0, greenMask = 0, blueMask = 0;
    if (bits == 16) {
        redMask = 0x7C00;
        greenMask = 0x03E0;
        blueMask = 0x001F;
    } else if (bits == 32) {
        redMask = 0x00FF0000;
        greenMask = 0x0000FF00;
        blueMask = 0x000000FF;
    }
    if (compression == BI_BITFIELDS) {
        if (headerSize == 40) masksBytes = 12;
        if (size < 52) return fail("DIB block too short");
        redMask = Le32(block + 40);
        greenMask = Le32(block + 44);
        blueMask = Le32(block + 48);
    }

    // The colour table holds biClrUsed entries (all 2^bits of them when 0);
    // images above 8 bits may carry one too, which only has to be skipped.
    uint64_t tableEntries = clrUsed;
    if (bits <= 8 && tableEntries == 0) tableEntries = 1u << bits;
    if (headerSize == 12) tableEntries = bits <= 8 ? (1u << bits) : 0;
    uint64_t paletteOffset = static_cast<uint64_t>(headerSize) + masksBytes;
    uint64_t pixelOffset = paletteOffset + tableEntries * entrySize;
    if (pixelOffset > size) return fail("DIB palette runs past the block");

    if (!Create(static_cast<uint32_t>(width), static_cast<uint32_t>(height), bits, PxFormatUnknown)) {
        Destroy();
        return false;
    }
    SetXDPI(PelsToDpi(xPels));
    SetYDPI(PelsToDpi(yPels));
    std::memcpy(m_dib, &m_header, sizeof(m_header));

    if (bits <= 8) {
        uint64_t n = tableEntries < GetNumColors() ? tableEntries : GetNumColors();
        for (uint64_t i = 0; i < n; ++i) {
            const uint8_t* e = block + paletteOffset + i * entrySize;
            SetPaletteColor(static_cast<uint8_t>(i), e[2], e[1], e[0], 0);
        }
    }

    const uint8_t* data = block + pixelOffset;
    uint64_t available = size - pixelOffset;
    uint64_t h = static_cast<uint64_t>(height), w = static_cast<uint64_t>(width);
    if (rle) {
        PxMemFile stream(const_cast<uint8_t*>(data),
                         static_cast<uint32_t>(available > 0xFFFFFFFFu ? 0xFFFFFFFFu : available));
        if (bits == 8) PxRleDecoder::DecodeRle8(&stream, m_info.pixels, m_info.rowSize, GetHeight());
        else PxRleDecoder::DecodeRle4(&stream, m_info.pixels, m_info.rowSize, GetHeight());
        return true;
    }
    uint64_t sourceRow = ((w * bits + 31) >> 5) * 4;
    if (sourceRow * h > available) return fail("DIB pixel data runs past the block");
    const Channel r(redMask), g(greenMask), b(blueMask);
    for (uint64_t y = 0; y < h; ++y) {
        const uint8_t* src = data + sourceRow * y;
        uint8_t* dst = m_info.pixels + static_cast<size_t>(m_info.rowSize) * (topDown ? h - 1 - y : y);
        if (bits <= 8 || bits == 24) {
            std::memcpy(dst, src, m_info.rowSize);
            continue;
        }
        for (uint64_t x = 0; x < w; ++x) {
            uint32_t v = bits == 16 ? Le16(src + 2 * x) : Le32(src + 4 * x);
            dst[3 * x] = b.Get(v);
            dst[3 * x + 1] = g.Get(v);
            dst[3 * x + 2] = r.Get(v);
        }
    }
    return true;
}
