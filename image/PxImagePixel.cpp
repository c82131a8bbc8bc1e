// Single-pixel access at 1, 4, 8 and 24 bits, blending and lines.
#include <cstdlib>

#include "image/PxImage.h"

uint8_t PxImage::BlindGetPixelIndex(long x, long y) const {
    const uint8_t* row = m_info.pixels + static_cast<size_t>(y) * m_info.rowSize;
    switch (m_header.biBitCount) {
        case 8: return row[x];
        case 4: {
            uint8_t v = row[x >> 1];
            return (x & 1) ? (v & 0x0F) : (v >> 4);
        }
        case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
        default: return 0;
    }
}

void PxImage::BlindSetPixelIndex(long x, long y, uint8_t index) {
    uint8_t* row = m_info.pixels + static_cast<size_t>(y) * m_info.rowSize;
    switch (m_header.biBitCount) {
        case 8: row[x] = index; break;
        case 4: {
            uint8_t& v = row[x >> 1];
            if (x & 1) v = static_cast<uint8_t>((v & 0xF0) | (index & 0x0F));
            else v = static_cast<uint8_t>((v & 0x0F) | ((index & 0x0F) << 4));
            break;
        }
        case 1: {
            uint8_t& v = row[x >> 3];
            uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
            if (index & 1) v |= bit;
            else v &= static_cast<uint8_t>(~bit);
            break;
        }
        default: break;
    }
}

uint8_t PxImage::GetPixelIndex(long x, long y) const {
    if (!m_dib || m_header.biClrUsed == 0) return 0;
    if (!IsInside(x, y)) {
        if (m_info.transIndex >= 0) return static_cast<uint8_t>(m_info.transIndex);
        return m_info.pixels[0];
    }
    return BlindGetPixelIndex(x, y);
}

void PxImage::SetPixelIndex(long x, long y, uint8_t index) {
    if (!m_dib || m_header.biClrUsed == 0 || !IsInside(x, y)) return;
    BlindSetPixelIndex(x, y, index);
}

RGBQUAD PxImage::BlindGetPixelColor(long x, long y) const {
    RGBQUAD c;
    if (m_header.biClrUsed) {
        c = GetPaletteColor(BlindGetPixelIndex(x, y));
    } else {
        const uint8_t* p = m_info.pixels + static_cast<size_t>(y) * m_info.rowSize + 3 * static_cast<size_t>(x);
        c.rgbBlue = p[0];
        c.rgbGreen = p[1];
        c.rgbRed = p[2];
        c.rgbReserved = m_alpha ? BlindAlphaGet(x, y) : 0;
    }
    return c;
}

RGBQUAD PxImage::GetPixelColor(long x, long y, bool withAlpha) const {
    RGBQUAD c = m_info.transColor;
    if (!m_dib) return c;
    if (!IsInside(x, y)) {
        if (m_info.transIndex >= 0) {
            if (m_header.biBitCount >= 24) return m_info.transColor;
            return GetPaletteColor(static_cast<uint8_t>(m_info.transIndex));
        }
        return GetPixelColor(0, 0, true);
    }
    if (m_header.biClrUsed) {
        c = GetPaletteColor(BlindGetPixelIndex(x, y));
    } else {
        const uint8_t* p = m_info.pixels + static_cast<size_t>(y) * m_info.rowSize + 3 * static_cast<size_t>(x);
        c.rgbBlue = p[0];
        c.rgbGreen = p[1];
        c.rgbRed = p[2];
    }
    if (m_alpha && withAlpha) c.rgbReserved = BlindAlphaGet(x, y);
    return c;
}

uint8_t PxImage::GetPixelGray(long x, long y) const {
    RGBQUAD c = GetPixelColor(x, y);
    return static_cast<uint8_t>((c.rgbRed * 306 + c.rgbGreen * 601 + c.rgbBlue * 117) >> 10);
}

uint8_t* PxImage::BlindGetPixelPointer(long x, long y) {
    if (m_header.biClrUsed || !m_dib) return nullptr;
    return m_info.pixels + static_cast<size_t>(y) * m_info.rowSize + 3 * static_cast<size_t>(x);
}

void PxImage::SetPixelColor(long x, long y, RGBQUAD c, bool setAlpha) {
    if (!m_dib || !IsInside(x, y)) return;
    if (m_header.biClrUsed) {
        BlindSetPixelIndex(x, y, GetNearestIndex(c));
        return;
    }
    uint8_t* p = BlindGetPixelPointer(x, y);
    p[0] = c.rgbBlue;
    p[1] = c.rgbGreen;
    p[2] = c.rgbRed;
    if (setAlpha) AlphaSet(x, y, c.rgbReserved);
}

void PxImage::SetPixelColor(long x, long y, COLORREF c) { SetPixelColor(x, y, RGBtoRGBQUAD(c), false); }

void PxImage::BlendPixelColor(long x, long y, RGBQUAD c, float blend, bool setAlpha) {
    if (!m_dib || !IsInside(x, y)) return;
    // Outside 0..1 the weights would wrap the channel bytes.
    if (!(blend >= 0.0f)) blend = 0.0f;
    if (blend > 1.0f) blend = 1.0f;
    int a = static_cast<int>(blend * 256);
    RGBQUAD old = BlindGetPixelColor(x, y);
    RGBQUAD n = old;
    n.rgbBlue = static_cast<uint8_t>((c.rgbBlue * a + old.rgbBlue * (256 - a)) >> 8);
    n.rgbGreen = static_cast<uint8_t>((c.rgbGreen * a + old.rgbGreen * (256 - a)) >> 8);
    n.rgbRed = static_cast<uint8_t>((c.rgbRed * a + old.rgbRed * (256 - a)) >> 8);
    if (m_header.biClrUsed) {
        BlindSetPixelIndex(x, y, GetNearestIndex(n));
        return;
    }
    uint8_t* p = BlindGetPixelPointer(x, y);
    p[0] = n.rgbBlue;
    p[1] = n.rgbGreen;
    p[2] = n.rgbRed;
    if (setAlpha) AlphaSet(x, y, c.rgbReserved);
}

void PxImage::DrawLine(int startX, int endX, int startY, int endY, RGBQUAD color, bool setAlpha) {
    if (!m_dib) return;
    long x1 = startX, x2 = endX, y1 = startY, y2 = endY;
    long dx = std::labs(x2 - x1), dy = std::labs(y2 - y1);
    long sx = x2 >= x1 ? 1 : -1, sy = y2 >= y1 ? 1 : -1;
    long x = x1, y = y1;
    if (dx >= dy) {
        long acc = dx / 2;
        for (long i = 0; i <= dx; ++i) {
            SetPixelColor(x, y, color, setAlpha);
            acc += dy;
            if (acc >= dx) {
                acc -= dx;
                y += sy;
            }
            x += sx;
        }
    } else {
        long acc = dy / 2;
        for (long i = 0; i <= dy; ++i) {
            SetPixelColor(x, y, color, setAlpha);
            acc += dx;
            if (acc >= dy) {
                acc -= dy;
                x += sx;
            }
            y += sy;
        }
    }
}

void PxImage::DrawLine(int startX, int endX, int startY, int endY, COLORREF color) {
    DrawLine(startX, endX, startY, endY, RGBtoRGBQUAD(color), false);
}

bool PxImage::IsTransparent(long x, long y) const {
    if (!m_dib) return false;
    if (m_info.transIndex >= 0) {
        if (m_header.biClrUsed) {
            if (GetPixelIndex(x, y) == m_info.transIndex) return true;
        } else {
            RGBQUAD c = GetPixelColor(x, y, false);
            RGBQUAD t = m_info.transColor;
            if (c.rgbBlue == t.rgbBlue && c.rgbGreen == t.rgbGreen && c.rgbRed == t.rgbRed) return true;
        }
    }
    if (m_alpha) return AlphaGet(x, y) == 0;
    return false;
}

RGBQUAD PxImage::RGBtoRGBQUAD(COLORREF c) {
    RGBQUAD q = {GetBValue(c), GetGValue(c), GetRValue(c), 0};
    return q;
}

COLORREF PxImage::RGBQUADtoRGB(RGBQUAD c) {
    return static_cast<COLORREF>(c.rgbRed) | (static_cast<COLORREF>(c.rgbGreen) << 8) |
           (static_cast<COLORREF>(c.rgbBlue) << 16);
}

void PxImage::RGBtoBGR(uint8_t* buffer, long length) {
    if (!buffer || !m_dib || m_header.biClrUsed) return;
    long n = length < static_cast<long>(m_info.rowSize) ? length : static_cast<long>(m_info.rowSize);
    for (long i = 0; i + 2 < n; i += 3) {
        uint8_t t = buffer[i];
        buffer[i] = buffer[i + 2];
        buffer[i + 2] = t;
    }
}
