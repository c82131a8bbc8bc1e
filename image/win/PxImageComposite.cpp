// The arithmetic of drawing an image onto a device: which source pixel lands on
// each device pixel, and how it is blended by alpha and the transparent colour.
// Kept apart from the GDI calls so that it is tested natively.
#include "image/PxImage.h"

bool PxImage::NeedsCompositing() const {
    return m_info.transIndex >= 0 || m_alpha != nullptr || (m_info.alphaPaletteEnabled && IsIndexed());
}

void PxImage::CompositeInto(uint8_t* bits, long rowBytes, long areaLeft, long areaTop, long areaWidth, long areaHeight,
                            long x, long y, long cx, long cy, bool smooth, bool blend) const {
    if (!m_dib || !bits || cx <= 0 || cy <= 0 || areaWidth <= 0 || areaHeight <= 0) return;
    const long imgW = static_cast<long>(GetWidth()), imgH = static_cast<long>(GetHeight());
    const bool natural = cx == imgW && cy == imgH;
    const float xs = static_cast<float>(imgW) / static_cast<float>(cx);
    const float ys = static_cast<float>(imgH) / static_cast<float>(cy);
    const bool indexed = IsIndexed();
    const bool paletteAlpha = m_info.alphaPaletteEnabled && indexed;
    const bool transparent = m_info.transIndex >= 0;
    const long alphaScale = static_cast<long>(m_info.alphaMax) + 1;

    for (long j = 0; j < areaHeight; ++j) {
        // The buffer is bottom-up: its row j is device row areaTop + areaHeight - 1 - j.
        long ry = areaTop + areaHeight - 1 - j - y;
        if (ry < 0 || ry >= cy) continue;
        uint8_t* row = bits + static_cast<size_t>(j) * rowBytes;
        for (long i = 0; i < areaWidth; ++i) {
            long rx = areaLeft + i - x;
            if (rx < 0 || rx >= cx) continue;
            long sx, sy;
            RGBQUAD c;
            if (natural) {
                sx = rx;
                sy = imgH - 1 - ry;
                c = BlindGetPixelColor(sx, sy);
            } else {
                float fx = static_cast<float>(rx) * xs, fy = static_cast<float>(ry) * ys;
                sx = static_cast<long>(fx);
                sy = imgH - 1 - static_cast<long>(fy);
                if (sx >= imgW) sx = imgW - 1;
                if (sy < 0) sy = 0;
                if (smooth)
                    c = GetPixelColorInterpolated(fx - 0.5f, static_cast<float>(imgH) - fy - 0.5f, IM_BILINEAR, OM_REPEAT);
                else
                    c = BlindGetPixelColor(sx, sy);
            }
            uint8_t* d = row + 3 * i;
            if (!blend) {
                d[0] = c.rgbBlue;
                d[1] = c.rgbGreen;
                d[2] = c.rgbRed;
                continue;
            }
            long a = m_alpha ? ((smooth && !natural) ? c.rgbReserved : BlindAlphaGet(sx, sy)) : 255;
            a = (a * alphaScale) >> 8;
            uint8_t index = indexed ? BlindGetPixelIndex(sx, sy) : 0;
            if (paletteAlpha) a = (a * (static_cast<long>(GetPaletteColor(index).rgbReserved) + 1)) >> 8;
            // The transparent colour counts only when one is set: an image whose
            // transparency comes from its alpha channel keeps its opaque black.
            if (transparent) {
                if (indexed) {
                    if (index == m_info.transIndex) continue;
                } else {
                    RGBQUAD own = BlindGetPixelColor(sx, sy);
                    const RGBQUAD& t = m_info.transColor;
                    if (own.rgbBlue == t.rgbBlue && own.rgbGreen == t.rgbGreen && own.rgbRed == t.rgbRed) continue;
                }
            }
            if (a <= 0) continue;
            if (a >= 255) {
                d[0] = c.rgbBlue;
                d[1] = c.rgbGreen;
                d[2] = c.rgbRed;
            } else {
                // >> 8 with weights that add up to 255: may darken by one level.
                d[0] = static_cast<uint8_t>((c.rgbBlue * a + d[0] * (255 - a)) >> 8);
                d[1] = static_cast<uint8_t>((c.rgbGreen * a + d[1] * (255 - a)) >> 8);
                d[2] = static_cast<uint8_t>((c.rgbRed * a + d[2] * (255 - a)) >> 8);
            }
        }
    }
}
