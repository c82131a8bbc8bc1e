// Changing the pixel size: Resample (nearest, B-spline, bilinear or an integer
// area shrink), Resample2 (any interpolation method) and QIShrink (box average).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "image/PxImage.h"
#include "image/ops/PxOpsSupport.h"

using pxops::Deliver;
using pxops::TruncByte;

namespace {
// Floor for the B-spline positions, which may be negative.
long FloorLong(float v) {
    long i = static_cast<long>(v);
    return (v < 0.0f && static_cast<float>(i) != v) ? i - 1 : i;
}
}  // namespace

bool PxImage::Resample(long newWidth, long newHeight, int mode, PxImage* dest) {
    // Negative sizes are refused too: as unsigned numbers they would be huge.
    if (!m_dib || !pxops::SizeOk(newWidth, newHeight)) return false;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    if (newWidth == w && newHeight == h) {
        if (dest && dest != this) dest->Copy(*this);
        return true;
    }
    float xScale = static_cast<float>(w) / static_cast<float>(newWidth);
    float yScale = static_cast<float>(h) / static_cast<float>(newHeight);

    PxImage work;
    work.CopyInfo(*this);
    if (!work.Create(static_cast<uint32_t>(newWidth), static_cast<uint32_t>(newHeight), GetBpp(), m_info.formatCode))
        return false;
    work.SetPalette(GetPalette(), GetNumColors());
    bool indexed = IsIndexed();

    if (mode == 1) {
        for (long y = 0; y < newHeight; ++y) {
            if (m_info.escape) break;
            m_info.progress = pxops::Percent(y, newHeight);
            long sy = static_cast<long>(static_cast<float>(y) * yScale);
            for (long x = 0; x < newWidth; ++x)
                work.SetPixelColor(x, y, GetPixelColor(static_cast<long>(static_cast<float>(x) * xScale), sy, true), false);
        }
    } else if (mode == 2) {
        for (long y = 0; y < newHeight; ++y) {
            if (m_info.escape) break;
            m_info.progress = pxops::Percent(y, newHeight);
            float fy = static_cast<float>(y) * yScale - 0.5f;
            long iy = FloorLong(fy);
            float a = fy - static_cast<float>(iy);
            for (long x = 0; x < newWidth; ++x) {
                float fx = static_cast<float>(x) * xScale - 0.5f;
                long ix = FloorLong(fx);
                float b = fx - static_cast<float>(ix);
                float r = 0.0f, g = 0.0f, bl = 0.0f;
                for (int m = -1; m <= 2; ++m) {
                    float ky = KernelBSpline(static_cast<float>(m) - a);
                    long py = pxops::Clamp(iy + m, 0, h - 1);
                    for (int n = -1; n <= 2; ++n) {
                        float weight = ky * KernelBSpline(b - static_cast<float>(n));
                        long px = pxops::Clamp(ix + n, 0, w - 1);
                        if (indexed) {
                            RGBQUAD c = GetPixelColor(px, py, true);
                            r += weight * c.rgbRed;
                            g += weight * c.rgbGreen;
                            bl += weight * c.rgbBlue;
                        } else {
                            const uint8_t* p = m_info.pixels + static_cast<size_t>(py) * m_info.rowSize + 3 * static_cast<size_t>(px);
                            bl += weight * p[0];
                            g += weight * p[1];
                            r += weight * p[2];
                        }
                    }
                }
                RGBQUAD c = {TruncByte(bl), TruncByte(g), TruncByte(r), 0};
                work.SetPixelColor(x, y, c, false);
            }
        }
    } else if (newWidth >= w || newHeight >= h || GetBpp() != 24) {
        for (long y = 0; y < newHeight; ++y) {
            if (m_info.escape) break;
            m_info.progress = pxops::Percent(y, newHeight);
            float fy = static_cast<float>(y) * yScale;
            long iy = static_cast<long>(fy);
            long iy1 = std::min(h - 1, iy + 1);
            float dy = fy - static_cast<float>(iy);
            for (long x = 0; x < newWidth; ++x) {
                float fx = static_cast<float>(x) * xScale;
                long ix = static_cast<long>(fx);
                long ix1 = std::min(w - 1, ix + 1);
                float dx = fx - static_cast<float>(ix);
                RGBQUAD c1 = BlindGetPixelColor(ix, iy), c2 = BlindGetPixelColor(ix1, iy);
                RGBQUAD c3 = BlindGetPixelColor(ix, iy1), c4 = BlindGetPixelColor(ix1, iy1);
                auto mix = [&](uint8_t v1, uint8_t v2, uint8_t v3, uint8_t v4) {
                    float i1 = (1.0f - dy) * v1 + dy * v3;
                    float i2 = (1.0f - dy) * v2 + dy * v4;
                    return TruncByte((1.0f - dx) * i1 + dx * i2);
                };
                RGBQUAD c = {mix(c1.rgbBlue, c2.rgbBlue, c3.rgbBlue, c4.rgbBlue),
                             mix(c1.rgbGreen, c2.rgbGreen, c3.rgbGreen, c4.rgbGreen),
                             mix(c1.rgbRed, c2.rgbRed, c3.rgbRed, c4.rgbRed), 0};
                work.SetPixelColor(x, y, c, false);
            }
        }
    } else {
        // Area shrink in integers. Every source pixel carries weight 1000 x 1000,
        // split at cell edges by the fractions wx and wy (thousandths); sums and
        // weights are 64-bit, so a whole screenshot in one cell cannot overflow,
        // and each cell is divided by the weight it really received, so a uniform
        // image stays uniform whatever the scale.
        const long nw = newWidth;
        const size_t cells = static_cast<size_t>(nw) + 2;
        std::vector<int64_t> acc(3 * cells, 0), carry(3 * cells, 0);
        std::vector<int64_t> accW(cells, 0), carryW(cells, 0);
        float endY = yScale - 1.0f;
        long v = 0;
        auto emitPixel = [&](long u) {
            if (v >= newHeight || u >= nw || accW[u] <= 0) return;
            uint8_t* p = work.GetBits(static_cast<uint32_t>(v)) + 3 * u;
            for (int j = 0; j < 3; ++j) p[j] = static_cast<uint8_t>(acc[3 * u + j] / accW[u]);
        };
        for (long y = 0; y < h; ++y) {
            if (m_info.escape) break;
            m_info.progress = pxops::Percent(y, h);
            const uint8_t* row = m_info.pixels + static_cast<size_t>(y) * m_info.rowSize;
            float endX = xScale - 1.0f;
            long u = 0;
            bool shared = !(static_cast<float>(y) < endY);
            int64_t wy = shared ? static_cast<int64_t>((static_cast<float>(y) - endY) * 1000.0f) : 0;
            if (wy > 1000) wy = 1000;
            int64_t ownY = 1000 - wy;
            for (long x = 0; x < w; ++x) {
                const uint8_t* px = row + 3 * x;
                // The last cell takes whatever float drift leaves past its edge.
                bool edge = !(static_cast<float>(x) < endX) && u < nw;
                int64_t wx = edge ? static_cast<int64_t>((static_cast<float>(x) - endX) * 1000.0f) : 0;
                if (wx > 1000) wx = 1000;
                int64_t ownX = 1000 - wx;
                size_t cu = static_cast<size_t>(u < nw ? u : nw - 1);
                for (int j = 0; j < 3; ++j) {
                    int64_t b = px[j];
                    acc[3 * cu + j] += ownY * ownX * b;
                    carry[3 * cu + j] += wy * ownX * b;
                    acc[3 * cu + 3 + j] += ownY * wx * b;
                    carry[3 * cu + 3 + j] += wy * wx * b;
                }
                accW[cu] += ownY * ownX;
                carryW[cu] += wy * ownX;
                accW[cu + 1] += ownY * wx;
                carryW[cu + 1] += wy * wx;
                if (edge) {
                    if (shared) emitPixel(u);
                    endX += xScale;
                    ++u;
                }
            }
            if (shared) {
                for (long k = u; k < nw; ++k) emitPixel(k);
                std::swap(acc, carry);
                std::swap(accW, carryW);
                std::fill(carry.begin(), carry.end(), 0);
                std::fill(carryW.begin(), carryW.end(), 0);
                ++v;
                endY += yScale;
            }
        }
        if (v < newHeight)
            for (long k = 0; k < nw; ++k) emitPixel(k);
    }

    if (m_alpha) {
        work.AlphaCreate();
        for (long y = 0; y < newHeight; ++y)
            for (long x = 0; x < newWidth; ++x)
                work.AlphaSet(x, y, AlphaGet(static_cast<long>(static_cast<float>(x) * xScale),
                                             static_cast<long>(static_cast<float>(y) * yScale)));
    }
    return Deliver(*this, work, dest);
}

bool PxImage::Resample2(long newWidth, long newHeight, InterpolationMethod method, OverflowMethod overflow,
                        PxImage* dest, bool disableAveraging) {
    if (!m_dib || !pxops::SizeOk(newWidth, newHeight)) return false;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    if (newWidth == w && newHeight == h) {
        if (dest && dest != this) dest->Copy(*this);
        return true;
    }
    float xScale = static_cast<float>(w) / static_cast<float>(newWidth);
    float yScale = static_cast<float>(h) / static_cast<float>(newHeight);
    PxImage work;
    if (!CreateResultImage(work, static_cast<uint32_t>(newWidth), static_cast<uint32_t>(newHeight))) return false;
    bool enlarge = xScale <= 1.0f && yScale <= 1.0f;
    bool indexed = IsIndexed();
    for (long y = 0; y < newHeight; ++y) {
        if (m_info.escape) break;
        m_info.progress = pxops::Percent(y, newHeight);
        float sy = (static_cast<float>(y) + 0.5f) * yScale - 0.5f;
        uint8_t* row = work.GetBits(static_cast<uint32_t>(y));
        for (long x = 0; x < newWidth; ++x) {
            float sx = (static_cast<float>(x) + 0.5f) * xScale - 0.5f;
            if (enlarge || disableAveraging) {
                RGBQUAD c = GetPixelColorInterpolated(sx, sy, method, overflow, nullptr);
                if (indexed) {
                    work.SetPixelColor(x, y, c, true);
                } else {
                    row[3 * x] = c.rgbBlue;
                    row[3 * x + 1] = c.rgbGreen;
                    row[3 * x + 2] = c.rgbRed;
                    if (work.m_alpha) work.m_alpha[x + y * newWidth] = c.rgbReserved;
                }
            } else {
                work.SetPixelColor(x, y, GetAreaColorInterpolated(sx, sy, xScale, yScale, method, overflow, nullptr),
                                   true);
            }
        }
    }
    return Deliver(*this, work, dest);
}

bool PxImage::QIShrink(long newWidth, long newHeight, PxImage* dest) {
    if (!m_dib) return false;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    if (newWidth > w || newHeight > h) {
        SetError("QIShrink can't enlarge image");
        return false;
    }
    if (newWidth <= 0 || newHeight <= 0) return false;
    if (newWidth == w && newHeight == h) {
        if (dest && dest != this) dest->Copy(*this);
        return true;
    }
    PxImage work;
    if (!CreateResultImage(work, static_cast<uint32_t>(newWidth), static_cast<uint32_t>(newHeight))) return false;
    // Per cell: blue, green, red, alpha sums and a pixel count, 64-bit so that a
    // cell of any number of pixels fits.
    const int kFields = 5;
    std::vector<uint64_t> cells(static_cast<size_t>(newWidth) * kFields, 0);
    bool indexed = IsIndexed();
    long ey = 0, dy = 0;
    for (long y = 0; y < h; ++y) {
        if (m_info.escape) break;
        m_info.progress = pxops::Percent(y, h);
        ey += newHeight;
        long ex = 0, cell = 0;
        const uint8_t* row = m_info.pixels + static_cast<size_t>(y) * m_info.rowSize;
        for (long x = 0; x < w; ++x) {
            uint64_t* c = &cells[static_cast<size_t>(cell) * kFields];
            if (indexed) {
                RGBQUAD q = GetPixelColor(x, y, true);
                c[0] += q.rgbBlue;
                c[1] += q.rgbGreen;
                c[2] += q.rgbRed;
                c[3] += q.rgbReserved;
            } else {
                c[0] += row[3 * x];
                c[1] += row[3 * x + 1];
                c[2] += row[3 * x + 2];
                if (m_alpha) c[3] += BlindAlphaGet(x, y);
            }
            c[4] += 1;
            ex += newWidth;
            // A cell is full once it has covered width / newWidth source pixels
            // ("at least", so 4 -> 2 gives the blocks {0, 1} and {2, 3}).
            if (ex >= w && cell + 1 < newWidth) {
                ex -= w;
                ++cell;
            }
        }
        if (ey >= h) {
            ey -= h;
            if (dy < newHeight) {
                uint8_t* out = work.GetBits(static_cast<uint32_t>(dy));
                for (long k = 0; k < newWidth; ++k) {
                    const uint64_t* c = &cells[static_cast<size_t>(k) * kFields];
                    if (c[4] == 0) continue;
                    RGBQUAD q = {static_cast<uint8_t>(c[0] / c[4]), static_cast<uint8_t>(c[1] / c[4]),
                                 static_cast<uint8_t>(c[2] / c[4]), static_cast<uint8_t>(c[3] / c[4])};
                    if (indexed) {
                        work.SetPixelColor(k, dy, q, m_alpha != nullptr);
                    } else {
                        out[3 * k] = q.rgbBlue;
                        out[3 * k + 1] = q.rgbGreen;
                        out[3 * k + 2] = q.rgbRed;
                        if (work.m_alpha) work.m_alpha[k + dy * newWidth] = q.rgbReserved;
                    }
                }
            }
            ++dy;
            std::fill(cells.begin(), cells.end(), 0);
        }
    }
    return Deliver(*this, work, dest);
}
