// The alpha plane (one byte per pixel, 255 = opaque) and palette alpha.
#include <cstdlib>
#include <cstring>

#include "image/PxImage.h"

namespace {
size_t PlaneBytes(const PxImage& image) { return static_cast<size_t>(image.GetWidth()) * image.GetHeight(); }
}  // namespace

void PxImage::AlphaCreate() {
    if (m_alpha || !m_dib) return;
    size_t n = PlaneBytes(*this);
    m_alpha = static_cast<uint8_t*>(std::malloc(n));
    if (m_alpha) std::memset(m_alpha, 255, n);
}

void PxImage::AlphaDelete() {
    std::free(m_alpha);
    m_alpha = nullptr;
}

void PxImage::AlphaClear() {
    if (m_alpha) std::memset(m_alpha, 0, PlaneBytes(*this));
}

void PxImage::AlphaSet(uint8_t level) {
    if (m_alpha) std::memset(m_alpha, level, PlaneBytes(*this));
}

void PxImage::AlphaInvert() {
    if (!m_alpha) return;
    size_t n = PlaneBytes(*this);
    for (size_t i = 0; i < n; ++i) m_alpha[i] = static_cast<uint8_t>(255 - m_alpha[i]);
}

void PxImage::AlphaSet(long x, long y, uint8_t level) {
    if (m_alpha && IsInside(x, y)) m_alpha[x + y * static_cast<long>(GetWidth())] = level;
}

uint8_t PxImage::AlphaGet(long x, long y) const {
    if (m_alpha && IsInside(x, y)) return BlindAlphaGet(x, y);
    return 0;
}

uint8_t* PxImage::AlphaGetPointer(long x, long y) const {
    if (m_alpha && IsInside(x, y)) return m_alpha + x + y * static_cast<long>(GetWidth());
    return nullptr;
}

bool PxImage::AlphaPaletteIsValid() const {
    RGBQUAD* pal = GetPalette();
    if (!pal) return false;
    for (uint32_t i = 0; i < m_header.biClrUsed; ++i)
        if (pal[i].rgbReserved) return true;
    return false;
}

void PxImage::AlphaPaletteClear() {
    RGBQUAD* pal = GetPalette();
    if (!pal) return;
    for (uint32_t i = 0; i < m_header.biClrUsed; ++i) pal[i].rgbReserved = 0;
}

bool PxImage::AlphaCopy(const PxImage& source) {
    if (!source.m_alpha || source.GetWidth() != GetWidth() || source.GetHeight() != GetHeight()) return false;
    if (!m_alpha) {
        m_alpha = static_cast<uint8_t*>(std::malloc(PlaneBytes(*this)));
        if (!m_alpha) return false;
    }
    std::memcpy(m_alpha, source.m_alpha, PlaneBytes(*this));
    m_info.alphaMax = source.m_info.alphaMax;
    return true;
}

bool PxImage::AlphaSet(const PxImage& source) {
    // Only an 8-bit grey image has one byte per pixel to copy; packed rows would
    // be read past their end.
    if (!source.IsGrayScale() || source.GetBpp() != 8) return false;
    if (source.GetWidth() != GetWidth() || source.GetHeight() != GetHeight()) return false;
    if (!source.m_dib || !m_dib) return false;
    if (!m_alpha) {
        m_alpha = static_cast<uint8_t*>(std::malloc(PlaneBytes(*this)));
        if (!m_alpha) return false;
    }
    size_t w = GetWidth();
    for (uint32_t y = 0; y < GetHeight(); ++y)
        std::memcpy(m_alpha + w * y, source.m_info.pixels + static_cast<size_t>(source.m_info.rowSize) * y, w);
    return true;
}

bool PxImage::AlphaFlip() {
    if (!m_alpha) return false;
    size_t w = GetWidth(), h = GetHeight();
    uint8_t* plane = static_cast<uint8_t*>(std::malloc(w * h));
    if (!plane) return false;
    for (size_t y = 0; y < h; ++y) std::memcpy(plane + w * (h - 1 - y), m_alpha + w * y, w);
    std::free(m_alpha);
    m_alpha = plane;
    return true;
}

bool PxImage::AlphaMirror() {
    if (!m_alpha) return false;
    size_t w = GetWidth(), h = GetHeight();
    uint8_t* plane = static_cast<uint8_t*>(std::malloc(w * h));
    if (!plane) return false;
    for (size_t y = 0; y < h; ++y)
        for (size_t x = 0; x < w; ++x) plane[w * y + (w - 1 - x)] = m_alpha[w * y + x];
    std::free(m_alpha);
    m_alpha = plane;
    return true;
}

bool PxImage::AlphaSplit(PxImage* dest) const {
    if (!m_alpha || !dest) return false;
    PxImage plane(GetWidth(), GetHeight(), 8, PxFormatUnknown);
    if (!plane.IsValid()) return false;
    plane.SetGrayPalette();
    size_t w = GetWidth();
    for (uint32_t y = 0; y < GetHeight(); ++y) std::memcpy(plane.GetBits(y), m_alpha + w * y, w);
    return dest->Transfer(plane);
}

bool PxImage::AlphaPaletteSplit(PxImage* dest) const {
    if (!AlphaPaletteIsValid() || !dest) return false;
    PxImage plane(GetWidth(), GetHeight(), 8, PxFormatUnknown);
    if (!plane.IsValid()) return false;
    plane.SetGrayPalette();
    for (uint32_t y = 0; y < GetHeight(); ++y)
        for (uint32_t x = 0; x < GetWidth(); ++x)
            plane.BlindSetPixelIndex(x, y, GetPixelColor(x, y, true).rgbReserved);
    return dest->Transfer(plane);
}

void PxImage::AlphaStrip() {
    bool paletteAlpha = AlphaPaletteIsValid();
    if (!m_dib || (!m_alpha && !paletteAlpha)) return;
    RGBQUAD bg = m_info.transColor;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    auto blend = [&](long x, long y) {
        RGBQUAD c = GetPixelColor(x, y, true);
        long a = m_alpha ? BlindAlphaGet(x, y) * m_info.alphaMax / 255 : m_info.alphaMax;
        if (m_header.biClrUsed && paletteAlpha) a = a * c.rgbReserved / 255;
        RGBQUAD r;
        r.rgbBlue = static_cast<uint8_t>((c.rgbBlue * a + bg.rgbBlue * (255 - a)) / 255);
        r.rgbGreen = static_cast<uint8_t>((c.rgbGreen * a + bg.rgbGreen * (255 - a)) / 255);
        r.rgbRed = static_cast<uint8_t>((c.rgbRed * a + bg.rgbRed * (255 - a)) / 255);
        r.rgbReserved = 0;
        return r;
    };
    if (m_header.biBitCount == 24) {
        for (long y = 0; y < h; ++y)
            for (long x = 0; x < w; ++x) SetPixelColor(x, y, blend(x, y), false);
        AlphaDelete();
        return;
    }
    PxImage flat(GetWidth(), GetHeight(), 24, m_info.formatCode);
    if (!flat.IsValid()) return;
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < w; ++x) flat.SetPixelColor(x, y, blend(x, y), false);
    flat.m_info.xDpi = m_info.xDpi;
    flat.m_info.yDpi = m_info.yDpi;
    Transfer(flat);
}
