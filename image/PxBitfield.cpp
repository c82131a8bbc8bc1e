// 16- and 32-bit pixel conversion shared by the BMP decoder and the clipboard reader.
#include "image/PxImage.h"

namespace {
int CountBits(uint32_t v) {
    int n = 0;
    for (; v; v >>= 1) n += static_cast<int>(v & 1);
    return n;
}

// v shifted right by `shift` (left when negative), cut to 8 bits.
uint8_t ShiftTo8(uint32_t v, int shift) {
    if (shift >= 32 || shift <= -32) return 0;
    return static_cast<uint8_t>(shift >= 0 ? (v >> shift) : (v << -shift));
}
}  // namespace

void PxImage::Bitfield2RGB(const uint8_t* source, uint32_t redMask, uint32_t greenMask, uint32_t blueMask,
                           uint8_t bpp) {
    if (!source || !m_dib || m_header.biBitCount != 24) return;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    if (bpp == 16) {
        int r = CountBits(redMask), g = CountBits(greenMask), b = CountBits(blueMask);
        size_t sourceRow = static_cast<size_t>((w + 1) / 2) * 4;
        // Backwards from the last pixel of the top row: every destination byte lies
        // at or after its source, so the source may be the pixel area itself.
        for (long y = h - 1; y >= 0; --y) {
            const uint8_t* src = source + sourceRow * y;
            uint8_t* dst = m_info.pixels + static_cast<size_t>(m_info.rowSize) * y;
            for (long x = w - 1; x >= 0; --x) {
                uint32_t v = src[2 * x] | (static_cast<uint32_t>(src[2 * x + 1]) << 8);
                uint8_t blue = ShiftTo8(v & blueMask, -(8 - r));
                uint8_t green = ShiftTo8(v & greenMask, r + g - 8);
                uint8_t red = ShiftTo8(v & redMask, r + g + b - 8);
                dst[3 * x] = blue;
                dst[3 * x + 1] = green;
                dst[3 * x + 2] = red;
            }
        }
    } else if (bpp == 32) {
        size_t sourceRow = static_cast<size_t>(w) * 4;
        // Forwards: a 32-bit source row is at least as long as a 24-bit one, so each
        // destination byte lies at or before its source.
        for (long y = 0; y < h; ++y) {
            const uint8_t* src = source + sourceRow * y;
            uint8_t* dst = m_info.pixels + static_cast<size_t>(m_info.rowSize) * y;
            for (long x = 0; x < w; ++x) {
                dst[3 * x] = src[4 * x];
                dst[3 * x + 1] = src[4 * x + 1];
                dst[3 * x + 2] = src[4 * x + 2];
            }
        }
    }
}
