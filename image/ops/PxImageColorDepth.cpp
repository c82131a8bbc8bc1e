// How colour is stored: grey, inversion, black and white by level or by
// dithering, and changes of bits per pixel.
#include <cstring>
#include <vector>

#include "image/PxImage.h"
#include "image/ops/PxOpsSupport.h"

namespace {
uint8_t Grey(uint8_t r, uint8_t g, uint8_t b) { return static_cast<uint8_t>((r * 306 + g * 601 + b * 117) >> 10); }

void SetBlackWhite(PxImage& image) {
    image.SetPaletteColor(0, 0, 0, 0, 0);
    image.SetPaletteColor(1, 255, 255, 255, 0);
}

struct Spread {
    int dx, dy, weight;
};
struct DiffusionMethod {
    int divisor;
    std::vector<Spread> spread;  // in the order the updates are made
};

// The error-diffusion methods of Dither (method numbers 2..6; anything else that
// is not ordered uses the 7/3/5/1 pattern).
DiffusionMethod DiffusionFor(long method) {
    switch (method) {
        case 2:
            return {32, {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}}};
        case 3:
            return {42,
                    {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2},
                     {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4}, {1, 2, 2}, {2, 2, 1}}};
        case 4:
            return {48,
                    {{1, 0, 7}, {2, 0, 5}, {-2, 1, 3}, {-1, 1, 5}, {0, 1, 7}, {1, 1, 5}, {2, 1, 3},
                     {-2, 2, 1}, {-1, 2, 3}, {0, 2, 5}, {1, 2, 3}, {2, 2, 1}}};
        case 5:
            return {32,
                    {{1, 0, 5}, {2, 0, 3}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 5}, {1, 1, 4}, {2, 1, 2},
                     {-1, 2, 2}, {0, 2, 3}, {1, 2, 2}}};
        case 6:
            return {200,
                    {{2, 0, 32}, {-3, 1, 12}, {-1, 1, 26}, {1, 1, 30}, {3, 1, 16}, {-2, 2, 12}, {0, 2, 26},
                     {2, 2, 12}, {-3, 3, 5}, {-1, 3, 12}, {1, 3, 12}, {3, 3, 5}}};
        default:
            return {16, {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}};
    }
}
}  // namespace

bool PxImage::GrayScale() {
    if (!m_dib) return false;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    if (GetBpp() > 8) {
        PxImage work;
        work.CopyInfo(*this);
        if (!work.Create(GetWidth(), GetHeight(), 8, m_info.formatCode)) return false;
        work.SetGrayPalette();
        work.SelectionCopy(*this);
        work.AlphaCopy(*this);
        for (long y = 0; y < h; ++y) {
            const uint8_t* src = m_info.pixels + static_cast<size_t>(y) * m_info.rowSize;
            uint8_t* dst = work.GetBits(static_cast<uint32_t>(y));
            for (long x = 0; x < w; ++x) dst[x] = Grey(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
        }
        return Transfer(work);
    }
    RGBQUAD* pal = GetPalette();
    uint32_t n = GetNumColors();
    for (uint32_t i = 0; i < n; ++i) pal[i].rgbBlue = Grey(pal[i].rgbRed, pal[i].rgbGreen, pal[i].rgbBlue);
    if (m_info.transIndex >= 0 && static_cast<uint32_t>(m_info.transIndex) < n)
        m_info.transIndex = pal[m_info.transIndex].rgbBlue;
    m_info.nearestValid = false;
    if (GetBpp() == 8) {
        uint8_t* p = m_info.pixels;
        for (uint32_t i = 0; i < m_header.biSizeImage; ++i) p[i] = pal[p[i]].rgbBlue;
        SetGrayPalette();
        return true;
    }
    PxImage work;
    work.CopyInfo(*this);
    if (!work.Create(GetWidth(), GetHeight(), 8, m_info.formatCode)) return false;
    work.SetGrayPalette();
    work.SelectionCopy(*this);
    work.AlphaCopy(*this);
    for (long y = 0; y < h; ++y) {
        uint8_t* dst = work.GetBits(static_cast<uint32_t>(y));
        for (long x = 0; x < w; ++x) dst[x] = pal[BlindGetPixelIndex(x, y)].rgbBlue;
    }
    return Transfer(work);
}

bool PxImage::Negative() {
    if (!m_dib) return false;
    if (GetBpp() > 8) {
        if (m_selection) {
            pxops::WorkArea a = pxops::GetWorkArea(*this);
            for (long y = a.bottom; y < a.top; ++y)
                for (long x = a.left; x < a.right; ++x) {
                    if (!SelectionIsInside(x, y)) continue;
                    RGBQUAD c = GetPixelColor(x, y, true);
                    c.rgbBlue = static_cast<uint8_t>(255 - c.rgbBlue);
                    c.rgbGreen = static_cast<uint8_t>(255 - c.rgbGreen);
                    c.rgbRed = static_cast<uint8_t>(255 - c.rgbRed);
                    SetPixelColor(x, y, c, false);
                }
        } else {
            for (uint32_t i = 0; i < m_header.biSizeImage; ++i) m_info.pixels[i] = static_cast<uint8_t>(~m_info.pixels[i]);
        }
        m_info.transColor.rgbBlue = static_cast<uint8_t>(255 - m_info.transColor.rgbBlue);
        m_info.transColor.rgbGreen = static_cast<uint8_t>(255 - m_info.transColor.rgbGreen);
        m_info.transColor.rgbRed = static_cast<uint8_t>(255 - m_info.transColor.rgbRed);
        return true;
    }
    if (!IsGrayScale()) {
        RGBQUAD* pal = GetPalette();
        for (uint32_t i = 0; i < GetNumColors(); ++i) {
            pal[i].rgbBlue = static_cast<uint8_t>(255 - pal[i].rgbBlue);
            pal[i].rgbGreen = static_cast<uint8_t>(255 - pal[i].rgbGreen);
            pal[i].rgbRed = static_cast<uint8_t>(255 - pal[i].rgbRed);
        }
        m_info.nearestValid = false;
        return true;
    }
    pxops::WorkArea a = pxops::GetWorkArea(*this);
    for (long y = a.bottom; y < a.top; ++y)
        for (long x = a.left; x < a.right; ++x)
            if (SelectionIsInside(x, y)) SetPixelIndex(x, y, static_cast<uint8_t>(255 - GetPixelIndex(x, y)));
    return true;
}

bool PxImage::Threshold(uint8_t level) {
    if (!m_dib) return false;
    if (GetBpp() == 1) return true;
    // The grey levels come from a working copy: when the 1-bit image cannot be
    // made, this image must still be as it was.
    PxImage grey(*this, true, false, false);
    if (!grey.IsValid() || !grey.GrayScale()) return false;
    PxImage work(GetWidth(), GetHeight(), 1, PxFormatUnknown);
    if (!work.IsValid()) return false;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    for (long y = 0; y < h; ++y) {
        if (m_info.escape) break;
        m_info.progress = pxops::Percent(y, h);
        for (long x = 0; x < w; ++x) work.BlindSetPixelIndex(x, y, grey.BlindGetPixelIndex(x, y) > level ? 1 : 0);
    }
    SetBlackWhite(work);
    return Transfer(work);
}

bool PxImage::DecreaseBpp(uint32_t bits, bool errorDiffusion, const RGBQUAD* palette, uint32_t important) {
    if (!m_dib) return false;
    uint32_t sourceBpp = GetBpp();
    if (sourceBpp < bits) return false;
    if (sourceBpp == bits) {
        if (important == 0) return true;
        if (m_header.biClrImportant != 0 && m_header.biClrImportant < important) return true;
    }
    PxImage work;
    work.CopyInfo(*this);
    if (!work.Create(GetWidth(), GetHeight(), bits, m_info.formatCode)) return false;
    if (important) work.SetClrImportant(important);
    work.SelectionCopy(*this);
    work.AlphaCopy(*this);
    switch (work.GetBpp()) {
        case 1:
            if (palette) work.SetPalette(palette, 2);
            else SetBlackWhite(work);
            break;
        case 4:
            if (palette) work.SetPalette(palette, 16);
            else work.SetStdPalette();
            break;
        case 8:
            if (palette) work.SetPalette(palette, 256);
            else work.SetStdPalette();
            break;
        default:
            return false;
    }
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    for (long y = 0; y < h; ++y) {
        if (m_info.escape) break;
        m_info.progress = pxops::Percent(y, h);
        for (long x = 0; x < w; ++x) {
            RGBQUAD c = GetPixelColor(x, y, true);
            if (!errorDiffusion) {
                work.SetPixelColor(x, y, c, false);
                continue;
            }
            work.SetPixelColor(x, y, c, false);
            RGBQUAD stored = work.GetPixelColor(x, y, false);
            long er = static_cast<long>(c.rgbRed) - stored.rgbRed;
            long eg = static_cast<long>(c.rgbGreen) - stored.rgbGreen;
            long eb = static_cast<long>(c.rgbBlue) - stored.rgbBlue;
            // The weights 7, 2, 4, 1 add up to 14/16: the error is not fully carried.
            const Spread kSpread[] = {{1, 0, 7}, {-1, 1, 2}, {0, 1, 4}, {1, 1, 1}};
            for (const Spread& s : kSpread) {
                RGBQUAD n = GetPixelColor(x + s.dx, y + s.dy, false);
                n.rgbRed = pxops::ClampByte(n.rgbRed + er * s.weight / 16);
                n.rgbGreen = pxops::ClampByte(n.rgbGreen + eg * s.weight / 16);
                n.rgbBlue = pxops::ClampByte(n.rgbBlue + eb * s.weight / 16);
                SetPixelColor(x + s.dx, y + s.dy, n, false);
            }
        }
    }
    if (sourceBpp == 1) SetBlackWhite(work);
    return Transfer(work);
}

bool PxImage::IncreaseBpp(uint32_t bits) {
    if (!m_dib) return false;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    if (bits == 4 || bits == 8) {
        if (GetBpp() == bits) return true;
        if (GetBpp() > bits) return false;
        PxImage work;
        work.CopyInfo(*this);
        if (!work.Create(GetWidth(), GetHeight(), bits, m_info.formatCode)) return false;
        work.SetPalette(GetPalette(), GetNumColors());
        work.SelectionCopy(*this);
        work.AlphaCopy(*this);
        for (long y = 0; y < h; ++y)
            for (long x = 0; x < w; ++x) work.BlindSetPixelIndex(x, y, BlindGetPixelIndex(x, y));
        return Transfer(work);
    }
    if (bits == 24) {
        if (GetBpp() == 24) return true;
        PxImage work;
        work.CopyInfo(*this);
        if (!work.Create(GetWidth(), GetHeight(), 24, m_info.formatCode)) return false;
        if (m_info.transIndex >= 0) work.SetTransColor(GetTransColor());
        work.SelectionCopy(*this);
        work.AlphaCopy(*this);
        if (AlphaPaletteIsValid() && !m_alpha) work.AlphaCreate();
        for (long y = 0; y < h; ++y) {
            if (m_info.escape) break;
            for (long x = 0; x < w; ++x) work.SetPixelColor(x, y, GetPixelColor(x, y, true), true);
        }
        return Transfer(work);
    }
    return false;
}

bool PxImage::Dither(long method) {
    if (!m_dib) return false;
    if (GetBpp() == 1) return true;
    // Work on a grey copy, so that a failure leaves this image as it was.
    PxImage grey(*this, true, true, true);
    if (!grey.IsValid() || !grey.GrayScale()) return false;
    PxImage work;
    work.CopyInfo(grey);
    if (!work.Create(GetWidth(), GetHeight(), 1, grey.m_info.formatCode)) return false;
    work.SelectionCopy(grey);
    work.AlphaCopy(grey);

    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    if (method == 1) {
        static const int kMatrix[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
        const uint8_t kLevels[3] = {0, 1, 1};
        for (long y = 0; y < h; ++y) {
            if (m_info.escape) break;
            m_info.progress = pxops::Percent(y, h);
            for (long x = 0; x < w; ++x) {
                int v = grey.BlindGetPixelIndex(x, y);
                int d = v * 16 / 255, m = d % 16, o = d / 16;
                work.BlindSetPixelIndex(x, y, kMatrix[y & 3][x & 3] < m ? kLevels[o + 1] : kLevels[o]);
            }
        }
    } else if (method == 7) {
        std::vector<uint8_t> table(256);
        for (int i = 0; i < 256; ++i) {
            int a = i / 4, b = i % 4, t = 0;
            for (int round = 0; round < 4; ++round) {
                t = (t << 2) | (((a ^ b) & 1) << 1) | (b & 1);
                a >>= 1;
                b >>= 1;
            }
            table[i] = static_cast<uint8_t>(t);
        }
        for (long y = 0; y < h; ++y) {
            if (m_info.escape) break;
            m_info.progress = pxops::Percent(y, h);
            for (long x = 0; x < w; ++x) {
                int v = grey.BlindGetPixelIndex(x, y);
                work.BlindSetPixelIndex(x, y, table[(x & 3) + 4 * (y & 3)] < v ? 1 : 0);
            }
        }
    } else {
        DiffusionMethod dm = DiffusionFor(method);
        for (long y = 0; y < h; ++y) {
            if (m_info.escape) break;
            m_info.progress = pxops::Percent(y, h);
            for (long x = 0; x < w; ++x) {
                long v = grey.BlindGetPixelIndex(x, y);
                long e;
                if (v > 128) {
                    work.BlindSetPixelIndex(x, y, 1);
                    e = v - 255;
                } else {
                    work.BlindSetPixelIndex(x, y, 0);
                    e = v;
                }
                for (const Spread& s : dm.spread) {
                    long px = x + s.dx, py = y + s.dy;
                    if (!grey.IsInside(px, py)) continue;
                    long n = grey.BlindGetPixelIndex(px, py) + e * s.weight / dm.divisor;
                    grey.BlindSetPixelIndex(px, py, pxops::ClampByte(n));
                }
            }
        }
    }
    SetBlackWhite(work);
    return Transfer(work);
}
