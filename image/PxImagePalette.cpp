// Palette access, the standard and grey palettes, nearest-colour search.
#include <cstring>

#include "image/PxImage.h"

RGBQUAD* PxImage::GetPalette() const {
    if (!m_dib || m_header.biClrUsed == 0) return nullptr;
    return reinterpret_cast<RGBQUAD*>(static_cast<uint8_t*>(m_dib) + sizeof(BITMAPINFOHEADER));
}

RGBQUAD PxImage::GetPaletteColor(uint8_t index) const {
    RGBQUAD c = {0, 0, 0, 0};
    RGBQUAD* pal = GetPalette();
    if (pal && index < m_header.biClrUsed) c = pal[index];
    return c;
}

bool PxImage::GetPaletteColor(uint8_t index, uint8_t* r, uint8_t* g, uint8_t* b) const {
    RGBQUAD* pal = GetPalette();
    if (!pal || index >= m_header.biClrUsed) return false;
    if (r) *r = pal[index].rgbRed;
    if (g) *g = pal[index].rgbGreen;
    if (b) *b = pal[index].rgbBlue;
    return true;
}

void PxImage::SetPaletteColor(uint8_t index, uint8_t r, uint8_t g, uint8_t b, uint8_t alpha) {
    RGBQUAD* pal = GetPalette();
    if (!pal || index >= m_header.biClrUsed) return;
    pal[index].rgbBlue = b;
    pal[index].rgbGreen = g;
    pal[index].rgbRed = r;
    pal[index].rgbReserved = alpha;
    m_info.nearestValid = false;
}

void PxImage::SetPaletteColor(uint8_t index, RGBQUAD c) {
    SetPaletteColor(index, c.rgbRed, c.rgbGreen, c.rgbBlue, c.rgbReserved);
}

void PxImage::SetPaletteColor(uint8_t index, COLORREF c) {
    SetPaletteColor(index, GetRValue(c), GetGValue(c), GetBValue(c), 0);
}

void PxImage::SetPalette(const RGBQUAD* colors, uint32_t count) {
    RGBQUAD* pal = GetPalette();
    if (!colors || !pal) return;
    uint64_t bytes = static_cast<uint64_t>(count) * 4;
    if (bytes > GetPaletteSize()) bytes = GetPaletteSize();
    std::memcpy(pal, colors, static_cast<size_t>(bytes));
    m_info.nearestValid = false;
}

void PxImage::SetPalette(const rgb_color* colors, uint32_t count) {
    RGBQUAD* pal = GetPalette();
    if (!colors || !pal) return;
    if (count > m_header.biClrUsed) count = m_header.biClrUsed;
    for (uint32_t i = 0; i < count; ++i) {
        pal[i].rgbRed = colors[i].r;
        pal[i].rgbGreen = colors[i].g;
        pal[i].rgbBlue = colors[i].b;
    }
    m_info.nearestValid = false;
}

void PxImage::SetPalette(uint32_t count, const uint8_t* red, const uint8_t* green, const uint8_t* blue) {
    RGBQUAD* pal = GetPalette();
    if (!red || !pal) return;
    if (!green) green = red;
    if (!blue) blue = green;
    if (count > m_header.biClrUsed) count = m_header.biClrUsed;
    for (uint32_t i = 0; i < count; ++i) {
        pal[i].rgbRed = red[i];
        pal[i].rgbGreen = green[i];
        pal[i].rgbBlue = blue[i];
    }
    m_info.nearestValid = false;
}

void PxImage::SetGrayPalette() {
    RGBQUAD* pal = GetPalette();
    if (!pal || m_header.biClrUsed < 2) return;
    uint32_t step = 255 / (m_header.biClrUsed - 1);
    for (uint32_t i = 0; i < m_header.biClrUsed; ++i) {
        uint8_t v = static_cast<uint8_t>(i * step);
        pal[i].rgbBlue = pal[i].rgbGreen = pal[i].rgbRed = v;
    }
    m_info.nearestValid = false;
}

void PxImage::BlendPalette(COLORREF color, long percent) {
    RGBQUAD* pal = GetPalette();
    if (!pal) return;
    if (percent > 100) percent = 100;
    if (percent < 0) percent = 0;
    long r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    for (uint32_t i = 0; i < m_header.biClrUsed; ++i) {
        pal[i].rgbBlue = static_cast<uint8_t>((b * percent + pal[i].rgbBlue * (100 - percent)) / 100);
        pal[i].rgbGreen = static_cast<uint8_t>((g * percent + pal[i].rgbGreen * (100 - percent)) / 100);
        pal[i].rgbRed = static_cast<uint8_t>((r * percent + pal[i].rgbRed * (100 - percent)) / 100);
    }
    m_info.nearestValid = false;
}

bool PxImage::IsGrayScale() const {
    RGBQUAD* pal = GetPalette();
    if (!pal) return false;
    for (uint32_t i = 0; i < m_header.biClrUsed; ++i) {
        if (pal[i].rgbBlue != i || pal[i].rgbGreen != i || pal[i].rgbRed != i) return false;
    }
    return true;
}

bool PxImage::IsSamePalette(const PxImage& other, bool checkAlpha) const {
    RGBQUAD* a = GetPalette();
    RGBQUAD* b = other.GetPalette();
    if (!a || !b || m_header.biClrUsed != other.m_header.biClrUsed || m_header.biClrUsed == 0) return false;
    for (uint32_t i = 0; i < m_header.biClrUsed; ++i) {
        if (a[i].rgbBlue != b[i].rgbBlue || a[i].rgbGreen != b[i].rgbGreen || a[i].rgbRed != b[i].rgbRed) return false;
        if (checkAlpha && a[i].rgbReserved != b[i].rgbReserved) return false;
    }
    return true;
}

void PxImage::SwapIndex(uint8_t a, uint8_t b) {
    RGBQUAD* pal = GetPalette();
    // Indexes past the palette are ignored: they would write beyond it.
    if (!pal || a >= m_header.biClrUsed || b >= m_header.biClrUsed) return;
    RGBQUAD t = pal[a];
    pal[a] = pal[b];
    pal[b] = t;
    m_info.nearestValid = false;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    for (long y = 0; y < h; ++y) {
        for (long x = 0; x < w; ++x) {
            uint8_t v = BlindGetPixelIndex(x, y);
            if (v == a) BlindSetPixelIndex(x, y, b);
            else if (v == b) BlindSetPixelIndex(x, y, a);
        }
    }
}

void PxImage::SetClrImportant(uint32_t count) {
    if (count == 0 || count > 256) {
        m_header.biClrImportant = 0;
        return;
    }
    switch (m_header.biBitCount) {
        case 1: m_header.biClrImportant = count < 2 ? count : 2; break;
        case 4: m_header.biClrImportant = count < 16 ? count : 16; break;
        case 8: m_header.biClrImportant = count; break;
        default: break;
    }
}

long PxImage::CompareColors(const void* a, const void* b) {
    const RGBQUAD* c1 = static_cast<const RGBQUAD*>(a);
    const RGBQUAD* c2 = static_cast<const RGBQUAD*>(b);
    long g1 = (c1->rgbRed * 306 + c1->rgbGreen * 601 + c1->rgbBlue * 117) >> 10;
    long g2 = (c2->rgbRed * 306 + c2->rgbGreen * 601 + c2->rgbBlue * 117) >> 10;
    return g1 - g2;
}

uint8_t PxImage::GetNearestIndex(RGBQUAD c) {
    RGBQUAD* pal = GetPalette();
    if (!pal) return 0;
    if (m_info.nearestValid && std::memcmp(&m_info.nearestColor, &c, sizeof(c)) == 0) return m_info.nearestIndex;
    m_info.nearestColor = c;
    m_info.nearestValid = true;
    uint32_t n = m_header.biClrImportant ? m_header.biClrImportant : m_header.biClrUsed;
    if (n > m_header.biClrUsed) n = m_header.biClrUsed;
    long best = 200000;
    uint32_t bestIndex = 0;
    for (uint32_t i = 0; i < n; ++i) {
        long db = static_cast<long>(pal[i].rgbBlue) - c.rgbBlue;
        long dg = static_cast<long>(pal[i].rgbGreen) - c.rgbGreen;
        long dr = static_cast<long>(pal[i].rgbRed) - c.rgbRed;
        long d = db * db + dg * dg + dr * dr;
        if (d < best) {
            best = d;
            bestIndex = i;
            if (d == 0) break;
        }
    }
    m_info.nearestIndex = static_cast<uint8_t>(bestIndex);
    return m_info.nearestIndex;
}

void PxImage::SetStdPalette() {
    if (!m_dib) return;
    static const uint8_t kStd16[16][3] = {  // blue, green, red
        {0, 0, 0},       {0, 0, 128},   {0, 128, 0},   {0, 128, 128}, {128, 0, 0},   {128, 0, 128},
        {128, 128, 0},   {192, 192, 192}, {128, 128, 128}, {0, 0, 255}, {0, 255, 0},   {0, 255, 255},
        {255, 0, 0},     {255, 0, 255}, {255, 255, 0}, {255, 255, 255}};
    RGBQUAD* pal = GetPalette();
    if (m_header.biBitCount == 4 && pal) {
        for (int i = 0; i < 16; ++i) pal[i] = RGBQUAD{kStd16[i][0], kStd16[i][1], kStd16[i][2], 0};
        m_info.nearestValid = false;
        return;
    }
    if (m_header.biBitCount != 8 || !pal) return;
    auto set = [&](int i, int b, int g, int r) {
        pal[i] = RGBQUAD{static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r), 0};
    };
    for (int i = 0; i < 8; ++i) set(i, kStd16[i][0], kStd16[i][1], kStd16[i][2]);
    set(8, 192, 220, 192);
    set(9, 240, 202, 166);
    static const uint8_t kHues[18][3] = {  // blue, green, red
        {0, 170, 255}, {0, 85, 255},  {0, 0, 255},   {85, 0, 255},  {170, 0, 255}, {255, 0, 255},
        {255, 0, 170}, {255, 0, 85},  {255, 0, 0},   {255, 85, 0},  {255, 170, 0}, {255, 255, 0},
        {170, 255, 0}, {85, 255, 0},  {0, 255, 0},   {0, 255, 85},  {0, 255, 170}, {0, 255, 255}};
    auto tint = [](int v, int j) {
        switch (v) {
            case 0: return 212 - 35 * j;
            case 85: return 227 - 28 * j;
            case 170: return 240 - 14 * j;
            default: return 255;
        }
    };
    auto shade = [](int v, int j, bool pure) {
        switch (v) {
            case 0: return 0;
            case 85: return 85 - 12 * j;
            case 170: return 170 - 24 * j;
            default: return (pure ? 254 : 255) - 35 * j;
        }
    };
    int index = 10;
    for (const auto& hue : kHues) {
        bool pure = true;
        for (int k = 0; k < 3; ++k)
            if (hue[k] != 0 && hue[k] != 255) pure = false;
        for (int j = 0; j < 6; ++j, ++index) set(index, tint(hue[0], j), tint(hue[1], j), tint(hue[2], j));
        for (int j = 0; j < 6; ++j, ++index)
            set(index, shade(hue[0], j, pure), shade(hue[1], j, pure), shade(hue[2], j, pure));
    }
    for (int k = 0; k < 20; ++k, ++index) set(index, 242 - 12 * k, 242 - 12 * k, 242 - 12 * k);
    set(246, 240, 251, 255);
    set(247, 164, 160, 160);
    set(248, 128, 128, 128);
    for (int i = 0; i < 7; ++i) set(249 + i, kStd16[9 + i][0], kStd16[9 + i][1], kStd16[9 + i][2]);
    m_info.nearestValid = false;
}
