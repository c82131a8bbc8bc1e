// Point operations: lookup tables, brightness and contrast, gamma, channel
// offsets, red-eye removal, the mean grey level, and mixing two images.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "image/PxImage.h"
#include "image/ops/PxOpsSupport.h"

using pxops::ClampByte;

namespace {
// Calls f(x, y) for every pixel of the work area (selected pixels of the
// selection box with a mask, else the whole image), reporting progress per row.
template <typename F>
void ForEachWorkPixel(PxImage& image, F f) {
    pxops::WorkArea a = pxops::GetWorkArea(image);
    for (long y = a.bottom; y < a.top; ++y) {
        image.SetProgress(pxops::Percent(y - a.bottom, a.top - a.bottom));
        for (long x = a.left; x < a.right; ++x)
            if (image.SelectionIsInside(x, y)) f(x, y);
    }
}

bool SameColor(const RGBQUAD& a, const RGBQUAD& b) {
    return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed && a.rgbReserved == b.rgbReserved;
}
}  // namespace

bool PxImage::Lut(const uint8_t* table) {
    if (!m_dib || !table) return false;
    if (IsIndexed()) {
        if (m_selection && GetBpp() == 8 && IsGrayScale()) {
            ForEachWorkPixel(*this, [&](long x, long y) { BlindSetPixelIndex(x, y, table[BlindGetPixelIndex(x, y)]); });
        } else {
            RGBQUAD* pal = GetPalette();
            for (uint32_t i = 0; i < GetNumColors(); ++i) {
                pal[i].rgbBlue = table[pal[i].rgbBlue];
                pal[i].rgbGreen = table[pal[i].rgbGreen];
                pal[i].rgbRed = table[pal[i].rgbRed];
            }
            m_info.nearestValid = false;
        }
        return true;
    }
    if (m_selection) {
        ForEachWorkPixel(*this, [&](long x, long y) {
            uint8_t* p = BlindGetPixelPointer(x, y);
            p[0] = table[p[0]];
            p[1] = table[p[1]];
            p[2] = table[p[2]];
        });
    } else {
        for (uint32_t i = 0; i < m_header.biSizeImage; ++i) m_info.pixels[i] = table[m_info.pixels[i]];
    }
    return true;
}

bool PxImage::Lut(const uint8_t* red, const uint8_t* green, const uint8_t* blue, const uint8_t* alpha) {
    if (!m_dib || !red || !green || !blue) return false;
    if (IsIndexed()) {
        RGBQUAD* pal = GetPalette();
        for (uint32_t i = 0; i < GetNumColors(); ++i) {
            pal[i].rgbBlue = blue[pal[i].rgbBlue];
            pal[i].rgbGreen = green[pal[i].rgbGreen];
            pal[i].rgbRed = red[pal[i].rgbRed];
        }
        m_info.nearestValid = false;
        return true;
    }
    ForEachWorkPixel(*this, [&](long x, long y) {
        RGBQUAD c = GetPixelColor(x, y, true);
        c.rgbRed = red[c.rgbRed];
        c.rgbGreen = green[c.rgbGreen];
        c.rgbBlue = blue[c.rgbBlue];
        if (alpha) c.rgbReserved = alpha[c.rgbReserved];
        SetPixelColor(x, y, c, true);
    });
    return true;
}

bool PxImage::Light(long brightness, long contrast) {
    if (!m_dib) return false;
    float c = static_cast<float>(contrast + 100) / 100.0f;
    float d = static_cast<float>(brightness + 128);
    uint8_t table[256];
    for (long i = -128; i <= 127; ++i) {
        float v = d + c * static_cast<float>(i);
        long t = v >= 1e6f ? 1000000L : (v <= -1e6f ? -1000000L : static_cast<long>(v));
        table[i + 128] = ClampByte(t);
    }
    return Lut(table);
}

bool PxImage::Gamma(float gamma) {
    if (!m_dib) return false;
    // A zero, negative or non-finite gamma has no table.
    if (!(gamma > 0.0f) || !std::isfinite(gamma)) return false;
    double g = 1.0 / gamma;
    double m = std::pow(255.0, g) / 255.0;
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) {
        double v = std::pow(static_cast<double>(i), g) / m;
        // A very small gamma overflows both powers; the same curve computed the
        // stable way then stands in.
        if (!std::isfinite(v) || !std::isfinite(m) || m == 0.0) v = 255.0 * std::pow(i / 255.0, g);
        if (!(v > 0.0)) v = 0.0;
        if (v > 255.0) v = 255.0;
        table[i] = static_cast<uint8_t>(static_cast<long>(v));
    }
    return Lut(table);
}

bool PxImage::ShiftRGB(long red, long green, long blue) {
    if (!m_dib) return false;
    auto shift = [](uint8_t v, long d) { return ClampByte(static_cast<long>(v) + pxops::Clamp(d, -256, 256)); };
    if (IsIndexed()) {
        RGBQUAD* pal = GetPalette();
        for (uint32_t i = 0; i < GetNumColors(); ++i) {
            pal[i].rgbRed = shift(pal[i].rgbRed, red);
            pal[i].rgbGreen = shift(pal[i].rgbGreen, green);
            pal[i].rgbBlue = shift(pal[i].rgbBlue, blue);
        }
        m_info.nearestValid = false;
        return true;
    }
    ForEachWorkPixel(*this, [&](long x, long y) {
        uint8_t* p = BlindGetPixelPointer(x, y);
        p[0] = shift(p[0], blue);
        p[1] = shift(p[1], green);
        p[2] = shift(p[2], red);
    });
    return true;
}

bool PxImage::RedEyeRemove() {
    if (!m_dib) return false;
    ForEachWorkPixel(*this, [&](long x, long y) {
        RGBQUAD c = GetPixelColor(x, y, true);
        c.rgbRed = c.rgbGreen < c.rgbBlue ? c.rgbGreen : c.rgbBlue;
        SetPixelColor(x, y, c, false);
    });
    return true;
}

float PxImage::Mean() {
    if (!m_dib) return 0.0f;
    PxImage grey(*this, true, true, true);
    if (!grey.IsValid() || !grey.GrayScale()) return 0.0f;
    // With a mask every pixel of the selection box counts, selected or not.
    pxops::WorkArea a = pxops::GetWorkArea(*this);
    long w = a.right - a.left, h = a.top - a.bottom;
    if (w <= 0 || h <= 0) return 0.0f;
    // Summed in double: a float sum of a 4K screen drifts by several levels.
    double sum = 0.0;
    for (long y = a.bottom; y < a.top; ++y) {
        m_info.progress = pxops::Percent(y - a.bottom, h);
        const uint8_t* row = grey.GetBits(static_cast<uint32_t>(y));
        uint64_t rowSum = 0;
        for (long x = a.left; x < a.right; ++x) rowSum += row[x];
        sum += static_cast<double>(rowSum);
    }
    return static_cast<float>(sum / w / h);
}

namespace {
// Offsets beyond any image size cannot overlap; refusing them keeps x + dx in range.
bool OffsetOk(long dx, long dy) {
    const long kLimit = 0x3FFFFFFF;
    return dx >= -kLimit && dx <= kLimit && dy >= -kLimit && dy <= kLimit;
}
}  // namespace

void PxImage::Mix(PxImage& other, ImageOpType op, long dx, long dy, bool mixAlpha) {
    if (!m_dib || !other.IsValid() || !OffsetOk(dx, dy)) return;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    long ow = static_cast<long>(other.GetWidth()) - dx, oh = static_cast<long>(other.GetHeight()) - dy;
    if (ow < w) w = ow;
    if (oh < h) h = oh;
    bool editAlpha = other.AlphaIsValid() && mixAlpha;
    if (editAlpha && !m_alpha) AlphaCreate();
    RGBQUAD bg = GetTransColor();

    for (long y = 0; y < h; ++y) {
        if (m_info.escape) break;
        m_info.progress = pxops::Percent(y, GetHeight());
        for (long x = 0; x < w; ++x) {
            if (!SelectionIsInside(x, y) || !other.SelectionIsInside(x + dx, y + dy)) continue;
            RGBQUAD c1 = GetPixelColor(x, y, true);
            RGBQUAD c2 = other.GetPixelColor(x + dx, y + dy, true);
            RGBQUAD r = c1;
            switch (op) {
                case OpAdd:
                    r.rgbBlue = static_cast<uint8_t>(std::min(255, c1.rgbBlue + c2.rgbBlue));
                    r.rgbGreen = static_cast<uint8_t>(std::min(255, c1.rgbGreen + c2.rgbGreen));
                    r.rgbRed = static_cast<uint8_t>(std::min(255, c1.rgbRed + c2.rgbRed));
                    r.rgbReserved = static_cast<uint8_t>(std::min(255, c1.rgbReserved + c2.rgbReserved));
                    break;
                case OpAnd:
                    r.rgbBlue = c1.rgbBlue & c2.rgbBlue;
                    r.rgbGreen = c1.rgbGreen & c2.rgbGreen;
                    r.rgbRed = c1.rgbRed & c2.rgbRed;
                    r.rgbReserved = c1.rgbReserved & c2.rgbReserved;
                    break;
                case OpXor:
                    r.rgbBlue = c1.rgbBlue ^ c2.rgbBlue;
                    r.rgbGreen = c1.rgbGreen ^ c2.rgbGreen;
                    r.rgbRed = c1.rgbRed ^ c2.rgbRed;
                    r.rgbReserved = c1.rgbReserved ^ c2.rgbReserved;
                    break;
                case OpOr:
                    r.rgbBlue = c1.rgbBlue | c2.rgbBlue;
                    r.rgbGreen = c1.rgbGreen | c2.rgbGreen;
                    r.rgbRed = c1.rgbRed | c2.rgbRed;
                    r.rgbReserved = c1.rgbReserved | c2.rgbReserved;
                    break;
                case OpMask:
                    r = (c2.rgbBlue == 0 && c2.rgbGreen == 0 && c2.rgbRed == 0) ? bg : c1;
                    break;
                case OpSrcCopy:
                    r = SameColor(c1, bg) ? c2 : c1;
                    break;
                case OpDstCopy:
                    r = SameColor(c2, bg) ? c1 : c2;
                    break;
                case OpSub:
                    r.rgbBlue = static_cast<uint8_t>(std::max(0, c1.rgbBlue - c2.rgbBlue));
                    r.rgbGreen = static_cast<uint8_t>(std::max(0, c1.rgbGreen - c2.rgbGreen));
                    r.rgbRed = static_cast<uint8_t>(std::max(0, c1.rgbRed - c2.rgbRed));
                    r.rgbReserved = static_cast<uint8_t>(std::max(0, c1.rgbReserved - c2.rgbReserved));
                    break;
                case OpSrcBlend: {
                    if (SameColor(c1, bg)) {
                        r = c2;
                        break;
                    }
                    long s = (std::abs(c1.rgbRed - bg.rgbRed) + std::abs(c1.rgbGreen - bg.rgbGreen) +
                              std::abs(c1.rgbBlue - bg.rgbBlue)) / 3;
                    if (s >= 17) break;  // far from the background: keep this pixel
                    // Each channel blends toward the same channel of the other image;
                    // this image keeps its own alpha value.
                    auto blend = [s](uint8_t own, uint8_t theirs) {
                        float v = static_cast<float>(16 - s) * 0.0625f * theirs + static_cast<float>(s) * 0.0625f * own;
                        return ClampByte(static_cast<long>(v));
                    };
                    r.rgbBlue = blend(c1.rgbBlue, c2.rgbBlue);
                    r.rgbGreen = blend(c1.rgbGreen, c2.rgbGreen);
                    r.rgbRed = blend(c1.rgbRed, c2.rgbRed);
                    break;
                }
                case OpScreen: {
                    long a;
                    if (other.IsTransparent(x + dx, y + dy)) a = 0;
                    else if (other.AlphaIsValid()) a = (other.AlphaGet(x + dx, y + dy) * (other.AlphaGetMax() + 1)) >> 8;
                    else a = 255;
                    if (a == 0) {
                        r = c1;
                    } else if (a == 255) {
                        r = c2;
                    } else {
                        r.rgbBlue = static_cast<uint8_t>((c1.rgbBlue * (255 - a) + c2.rgbBlue * a) >> 8);
                        r.rgbGreen = static_cast<uint8_t>((c1.rgbGreen * (255 - a) + c2.rgbGreen * a) >> 8);
                        r.rgbRed = static_cast<uint8_t>((c1.rgbRed * (255 - a) + c2.rgbRed * a) >> 8);
                    }
                    r.rgbReserved = static_cast<uint8_t>((a * (c1.rgbReserved + 1)) >> 8);
                    break;
                }
                default:
                    return;  // an unknown operation changes nothing
            }
            SetPixelColor(x, y, r, editAlpha);
        }
    }
}

void PxImage::MixFrom(PxImage& other, long dx, long dy) {
    if (!m_dib || !other.IsValid() || !OffsetOk(dx, dy)) return;
    RGBQUAD bg = other.GetTransColor();
    long ow = static_cast<long>(other.GetWidth()), oh = static_cast<long>(other.GetHeight());
    for (long x = 0; x < ow; ++x)
        for (long y = 0; y < oh; ++y) {
            RGBQUAD c = other.GetPixelColor(x, y, true);
            if (!SameColor(c, bg)) SetPixelColor(x + dx, y + dy, c, false);
        }
}
