// Geometry without interpolation: crop, flips, quarter and half turns, canvas
// margins and framed thumbnails.
#include <algorithm>
#include <cstring>

#include "image/PxImage.h"
#include "image/ops/PxOpsSupport.h"

using pxops::Clamp;
using pxops::Deliver;

bool PxImage::Crop(const RECT& rect, PxImage* dest) { return Crop(rect.left, rect.top, rect.right, rect.bottom, dest); }

bool PxImage::Crop(long left, long top, long right, long bottom, PxImage* dest) {
    if (!m_dib) return false;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    // Screen rectangles are top-down; rows here are bottom-up.
    long startx = Clamp(left, 0, w), endx = Clamp(right, 0, w);
    long starty = h - Clamp(top, 0, h), endy = h - Clamp(bottom, 0, h);
    if (startx == endx || starty == endy) return false;
    if (startx > endx) std::swap(startx, endx);
    if (starty > endy) std::swap(starty, endy);

    long nw = endx - startx, nh = endy - starty;
    // A fresh information block (96 DPI, JPEG quality 90): callers set what they need.
    PxImage work(static_cast<uint32_t>(nw), static_cast<uint32_t>(nh), GetBpp(), m_info.formatCode);
    if (!work.IsValid()) return false;
    work.SetPalette(GetPalette(), GetNumColors());
    work.m_info.transIndex = m_info.transIndex;
    work.m_info.transColor = m_info.transColor;

    uint32_t bpp = GetBpp();
    for (long y = starty; y < endy; ++y) {
        m_info.progress = pxops::Percent(y, endy);
        if (bpp < 8) {
            for (long x = startx; x < endx; ++x)
                work.BlindSetPixelIndex(x - startx, y - starty, BlindGetPixelIndex(x, y));
        } else {
            size_t bytes = static_cast<size_t>(nw) * (bpp / 8);
            std::memcpy(work.GetBits(static_cast<uint32_t>(y - starty)),
                        m_info.pixels + static_cast<size_t>(y) * m_info.rowSize + static_cast<size_t>(startx) * (bpp / 8),
                        bytes);
        }
    }
    if (m_alpha) {
        work.AlphaCreate();
        if (!work.m_alpha) return false;
        for (long y = starty; y < endy; ++y)
            std::memcpy(work.m_alpha + static_cast<size_t>(y - starty) * nw, m_alpha + static_cast<size_t>(y) * w + startx,
                        static_cast<size_t>(nw));
    }
    return Deliver(*this, work, dest);
}

bool PxImage::Flip() {
    if (!m_dib) return false;
    PxImage work(*this, false, false, true);
    if (!work.IsValid()) return false;
    uint32_t h = GetHeight();
    for (uint32_t i = 0; i < h; ++i)
        std::memcpy(work.GetBits(i), m_info.pixels + static_cast<size_t>(h - 1 - i) * m_info.rowSize, m_info.rowSize);
    work.AlphaFlip();
    return Transfer(work);
}

bool PxImage::Mirror() {
    if (!m_dib) return false;
    PxImage work(*this, false, false, true);
    if (!work.IsValid()) return false;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    uint32_t bpp = GetBpp();
    for (long y = 0; y < h; ++y) {
        const uint8_t* src = m_info.pixels + static_cast<size_t>(y) * m_info.rowSize;
        uint8_t* dst = work.GetBits(static_cast<uint32_t>(y));
        if (bpp == 8) {
            for (long x = 0; x < w; ++x) dst[x] = src[w - 1 - x];
        } else if (bpp == 24) {
            for (long x = 0; x < w; ++x) std::memcpy(dst + 3 * x, src + 3 * (w - 1 - x), 3);
        } else {
            for (long x = 0; x < w; ++x) work.BlindSetPixelIndex(x, y, BlindGetPixelIndex(w - 1 - x, y));
        }
    }
    work.AlphaMirror();
    return Transfer(work);
}

bool PxImage::CreateResultImage(PxImage& work, uint32_t width, uint32_t height) const {
    work.CopyInfo(*this);
    if (!work.Create(width, height, GetBpp(), m_info.formatCode)) return false;
    work.SetPalette(GetPalette(), GetNumColors());
    if (m_alpha) {
        work.AlphaCreate();
        if (!work.m_alpha) return false;
    }
    return true;
}

void PxImage::CopyPixelTo(PxImage& work, long x, long y, long sx, long sy) const {
    if (GetBpp() == 24) {
        std::memcpy(work.m_info.pixels + static_cast<size_t>(y) * work.m_info.rowSize + 3 * x,
                    m_info.pixels + static_cast<size_t>(sy) * m_info.rowSize + 3 * sx, 3);
    } else {
        work.BlindSetPixelIndex(x, y, BlindGetPixelIndex(sx, sy));
    }
    if (m_alpha) work.m_alpha[x + y * static_cast<long>(work.GetWidth())] = BlindAlphaGet(sx, sy);
}

bool PxImage::RotateQuarter(bool clockwise, PxImage* dest) {
    if (!m_dib) return false;
    long sw = static_cast<long>(GetWidth()), sh = static_cast<long>(GetHeight());
    PxImage work;
    if (!CreateResultImage(work, static_cast<uint32_t>(sh), static_cast<uint32_t>(sw))) return false;
    long W = sh, H = sw;
    const long kBlock = 64;
    // Walked in blocks so that source and result both stay in cache.
    for (long by = 0; by < H; by += kBlock) {
        m_info.progress = pxops::Percent(by, H);
        for (long bx = 0; bx < W; bx += kBlock) {
            long ex = std::min(W, bx + kBlock), ey = std::min(H, by + kBlock);
            for (long y = by; y < ey; ++y)
                for (long x = bx; x < ex; ++x) {
                    if (clockwise) {
                        CopyPixelTo(work, x, y, H - 1 - y, x);  // (x, y) <- source (H - 1 - y, x)
                    } else {
                        CopyPixelTo(work, x, y, y, W - 1 - x);  // (x, y) <- source (y, W - 1 - x)
                    }
                }
        }
    }
    return Deliver(*this, work, dest);
}

bool PxImage::RotateLeft(PxImage* dest) { return RotateQuarter(false, dest); }

bool PxImage::RotateRight(PxImage* dest) { return RotateQuarter(true, dest); }

bool PxImage::Rotate180(PxImage* dest) {
    if (!m_dib) return false;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    PxImage work;
    if (!CreateResultImage(work, static_cast<uint32_t>(w), static_cast<uint32_t>(h))) return false;
    for (long y = 0; y < h; ++y) {
        m_info.progress = pxops::Percent(y, h);
        for (long x = 0; x < w; ++x) {
            CopyPixelTo(work, w - 1 - x, h - 1 - y, x, y);
        }
    }
    return Deliver(*this, work, dest);
}

bool PxImage::Expand(long left, long top, long right, long bottom, RGBQUAD canvas, PxImage* dest) {
    if (!m_dib) return false;
    if (left < 0 || top < 0 || right < 0 || bottom < 0) return false;
    long long w = GetWidth(), h = GetHeight();
    long long nw = static_cast<long long>(left) + w + right, nh = static_cast<long long>(top) + h + bottom;
    if (!pxops::SizeOk(nw, nh)) return false;
    PxImage work(static_cast<uint32_t>(nw), static_cast<uint32_t>(nh), GetBpp(), m_info.formatCode);
    if (!work.IsValid()) return false;
    work.SetPalette(GetPalette(), GetNumColors());
    work.m_info.transIndex = m_info.transIndex;
    work.m_info.transColor = m_info.transColor;

    uint32_t bpp = GetBpp();
    if (bpp < 8) {
        uint8_t c = work.GetNearestIndex(canvas);
        for (long long y = 0; y < nh; ++y) {
            m_info.progress = pxops::Percent(y, nh);
            for (long long x = 0; x < nw; ++x) {
                bool margin = y < bottom || y > bottom + h - 1 || x < left || x > left + w - 1;
                work.BlindSetPixelIndex(static_cast<long>(x), static_cast<long>(y),
                                        margin ? c : BlindGetPixelIndex(static_cast<long>(x - left),
                                                                        static_cast<long>(y - bottom)));
            }
        }
    } else {
        if (bpp == 8) {
            std::memset(work.m_info.pixels, work.GetNearestIndex(canvas), work.m_header.biSizeImage);
        } else {
            for (long long y = 0; y < nh; ++y) {
                uint8_t* row = work.GetBits(static_cast<uint32_t>(y));
                for (long long x = 0; x < nw; ++x) {
                    row[3 * x] = canvas.rgbBlue;
                    row[3 * x + 1] = canvas.rgbGreen;
                    row[3 * x + 2] = canvas.rgbRed;
                }
            }
        }
        size_t bytes = static_cast<size_t>(w) * (bpp / 8);
        for (long long r = 0; r < h; ++r) {
            m_info.progress = pxops::Percent(r, h);
            std::memcpy(work.GetBits(static_cast<uint32_t>(bottom + r)) + static_cast<size_t>(left) * (bpp / 8),
                        m_info.pixels + static_cast<size_t>(r) * m_info.rowSize, bytes);
        }
    }
    return Deliver(*this, work, dest);
}

bool PxImage::Expand(long newWidth, long newHeight, RGBQUAD canvas, PxImage* dest) {
    if (!m_dib) return false;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    if (newWidth < w || newHeight < h) return false;
    long dx = newWidth - w, dy = newHeight - h;
    long left = dx / 2, top = dy / 2;
    return Expand(left, top, dx - left, dy - top, canvas, dest);
}

bool PxImage::Thumbnail(long newWidth, long newHeight, RGBQUAD canvas, PxImage* dest) {
    if (!m_dib || newWidth <= 0 || newHeight <= 0) return false;
    PxImage work(*this, true, true, true);
    if (!work.IsValid()) return false;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    if (w > newWidth || h > newHeight) {
        float aspect = static_cast<float>(newWidth) / static_cast<float>(newHeight);
        float scale = static_cast<float>(w) < static_cast<float>(h) * aspect
                          ? static_cast<float>(newHeight) / static_cast<float>(h)
                          : static_cast<float>(newWidth) / static_cast<float>(w);
        // An extreme aspect ratio would truncate one side to nothing: keep a pixel,
        // and never let the scaled size pass the frame through float rounding.
        long sw = Clamp(static_cast<long>(static_cast<float>(w) * scale), 1, newWidth);
        long sh = Clamp(static_cast<long>(static_cast<float>(h) * scale), 1, newHeight);
        if (!work.Resample(sw, sh, 0)) return false;
    }
    if (!work.Expand(newWidth, newHeight, canvas)) return false;
    return Deliver(*this, work, dest);
}
