// Colours between pixels and outside the image: overflow rules, the sixteen
// interpolation methods and area averaging.
#include <cmath>

#include "image/PxImage.h"
#include "image/PxRect2.h"
#include "image/ops/PxOpsSupport.h"

using pxops::TruncByte;

namespace {
const RGBQUAD kWhite = {255, 255, 255, 0};

// Integer part, one less for negative coordinates (so -1.0 gives -2).
long Floorish(float v) {
    long i = static_cast<long>(v);
    return v < 0.0f ? i - 1 : i;
}

// Positions beyond +-1e9 (and NaN) read as far outside any image, so the
// conversions to integers stay defined.
float ClampCoord(float v) {
    if (!(v > -1e9f)) return -1e9f;
    return v > 1e9f ? 1e9f : v;
}

typedef float (*Kernel)(float);

Kernel KernelFor(int method) {
    switch (method) {
        case PxImage::IM_BSPLINE: return PxImage::KernelBSpline;
        case PxImage::IM_BICUBIC: return PxImage::KernelCubic;
        case PxImage::IM_BOX: return PxImage::KernelBox;
        case PxImage::IM_HERMITE: return PxImage::KernelHermite;
        case PxImage::IM_HAMMING: return PxImage::KernelHamming;
        case PxImage::IM_SINC: return PxImage::KernelSinc;
        case PxImage::IM_BLACKMAN: return PxImage::KernelBlackman;
        case PxImage::IM_BESSEL: return PxImage::KernelBessel;
        case PxImage::IM_GAUSSIAN: return PxImage::KernelGaussian;
        case PxImage::IM_QUADRATIC: return PxImage::KernelQuadratic;
        case PxImage::IM_MITCHELL: return PxImage::KernelMitchell;
        case PxImage::IM_CATROM: return PxImage::KernelCatrom;
        default: return nullptr;
    }
}

float GeneralizedCubicHalf(float x) { return PxImage::KernelGeneralizedCubic(x, -0.5f); }
}  // namespace

void PxImage::OverflowCoordinates(long& x, long& y, OverflowMethod method) const {
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    if (w <= 0 || h <= 0 || IsInside(x, y)) return;
    switch (method) {
        case OM_WRAP:
            x %= w;
            y %= h;
            if (x < 0) x += w;
            if (y < 0) y += h;
            break;
        case OM_REPEAT:
            x = pxops::Clamp(x, 0, w - 1);
            y = pxops::Clamp(y, 0, h - 1);
            break;
        case OM_MIRROR:
            if (x < 0) x = (-x) % w;
            else if (x >= w) x = w - (x % w) - 1;
            if (y < 0) y = (-y) % h;
            else if (y >= h) y = h - (y % h) - 1;
            break;
        default:
            break;
    }
}

void PxImage::OverflowCoordinates(float& x, float& y, OverflowMethod method) const {
    float w = static_cast<float>(GetWidth()), h = static_cast<float>(GetHeight());
    if (w <= 0.0f || h <= 0.0f) return;
    if (x >= 0.0f && x < w && y >= 0.0f && y < h) return;
    switch (method) {
        case OM_WRAP:
            x = std::fmod(x, w);
            y = std::fmod(y, h);
            if (x < 0.0f) x += w;
            if (y < 0.0f) y += h;
            break;
        case OM_REPEAT:
            x = x < 0.0f ? 0.0f : (x > w - 1.0f ? w - 1.0f : x);
            y = y < 0.0f ? 0.0f : (y > h - 1.0f ? h - 1.0f : y);
            break;
        case OM_MIRROR:
            if (x < 0.0f) x = std::fmod(-x, w);
            else if (x >= w) x = w - (std::fmod(x, w) + 1.0f);
            if (y < 0.0f) y = std::fmod(-y, h);
            else if (y >= h) y = h - (std::fmod(y, h) + 1.0f);
            break;
        default:
            break;
    }
}

RGBQUAD PxImage::GetPixelColorWithOverflow(long x, long y, OverflowMethod method, const RGBQUAD* replacement) const {
    if (m_dib && IsInside(x, y)) return BlindGetPixelColor(x, y);
    RGBQUAD c = replacement ? *replacement : kWhite;
    if (!m_dib) return c;
    switch (method) {
        case OM_BACKGROUND:
            if (m_info.transIndex >= 0) {
                if (GetBpp() < 24) c = GetPaletteColor(static_cast<uint8_t>(m_info.transIndex));
                else c = m_info.transColor;
            }
            break;
        case OM_TRANSPARENT:
            if (m_alpha) c.rgbReserved = 0;
            else if (m_info.transIndex >= 0) c = GetTransColor();
            break;
        case OM_WRAP:
        case OM_REPEAT:
        case OM_MIRROR:
            OverflowCoordinates(x, y, method);
            if (IsInside(x, y)) return BlindGetPixelColor(x, y);
            break;
        default:
            break;
    }
    return c;
}

RGBQUAD PxImage::GetPixelColorInterpolated(float x, float y, InterpolationMethod method, OverflowMethod overflow,
                                           const RGBQUAD* replacement) const {
    x = ClampCoord(x);
    y = ClampCoord(y);
    if (method == IM_NEAREST_NEIGHBOUR)
        return GetPixelColorWithOverflow(static_cast<long>(x + 0.5f), static_cast<long>(y + 0.5f), overflow,
                                         replacement);
    if (method < 1 || method > 16) method = IM_BILINEAR;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    long xi = Floorish(x), yi = Floorish(y);

    // Whole window outside the image: a single replacement colour, or the
    // coordinates are folded back in.
    bool outside;
    if (method == IM_BILINEAR) outside = xi < -1 || xi >= w || yi < -1 || yi >= h;
    else if (method == IM_LANCZOS) outside = xi + 6 < 0 || xi - 5 >= w || yi + 6 < 0 || yi - 5 >= h;
    else outside = xi + 2 < 0 || xi - 1 >= w || yi + 2 < 0 || yi - 1 >= h;
    if (outside) {
        if (overflow == OM_COLOR || overflow == OM_BACKGROUND || overflow == OM_TRANSPARENT)
            return GetPixelColorWithOverflow(-999, -999, overflow, replacement);
        OverflowCoordinates(x, y, overflow);
        xi = Floorish(x);
        yi = Floorish(y);
    }

    RGBQUAD result = {0, 0, 0, 0};
    if (method == IM_BILINEAR) {
        if (xi >= 0 && xi + 1 < w && yi >= 0 && yi + 1 < h && !IsIndexed()) {
            long t1 = static_cast<long>((x - static_cast<float>(xi)) * 256.0f);
            long t2 = static_cast<long>((y - static_cast<float>(yi)) * 256.0f);
            long d = (t1 * t2) >> 8, b = t1 - d, c = t2 - d, a = 256 - c - t1;
            const uint8_t* p0 = m_info.pixels + static_cast<size_t>(yi) * m_info.rowSize + 3 * static_cast<size_t>(xi);
            const uint8_t* p1 = p0 + m_info.rowSize;
            uint8_t* out = &result.rgbBlue;
            for (int k = 0; k < 3; ++k)
                out[k] = static_cast<uint8_t>((p0[k] * a + p0[k + 3] * b + p1[k] * c + p1[k + 3] * d) >> 8);
            if (m_alpha) {
                const uint8_t* a0 = m_alpha + static_cast<size_t>(yi) * w + xi;
                const uint8_t* a1 = a0 + w;
                result.rgbReserved = static_cast<uint8_t>((a0[0] * a + a0[1] * b + a1[0] * c + a1[1] * d) >> 8);
            }
            return result;
        }
        float t1 = x - static_cast<float>(xi), t2 = y - static_cast<float>(yi);
        float d = t1 * t2, b = t1 - d, c = t2 - d, a = 1.0f - t1 - c;
        RGBQUAD c11 = GetPixelColorWithOverflow(xi, yi, overflow, replacement);
        RGBQUAD c21 = GetPixelColorWithOverflow(xi + 1, yi, overflow, replacement);
        RGBQUAD c12 = GetPixelColorWithOverflow(xi, yi + 1, overflow, replacement);
        RGBQUAD c22 = GetPixelColorWithOverflow(xi + 1, yi + 1, overflow, replacement);
        result.rgbBlue = TruncByte(a * c11.rgbBlue + b * c21.rgbBlue + c * c12.rgbBlue + d * c22.rgbBlue);
        result.rgbGreen = TruncByte(a * c11.rgbGreen + b * c21.rgbGreen + c * c12.rgbGreen + d * c22.rgbGreen);
        result.rgbRed = TruncByte(a * c11.rgbRed + b * c21.rgbRed + c * c12.rgbRed + d * c22.rgbRed);
        if (m_alpha)
            result.rgbReserved =
                TruncByte(a * c11.rgbReserved + b * c21.rgbReserved + c * c12.rgbReserved + d * c22.rgbReserved);
        return result;
    }

    // Kernel methods: a 4 x 4 window, or 12 x 12 for Lanczos. The weights are
    // divided by their total, so that kernels whose samples do not add up to 1
    // (Sinc, Hamming, Blackman, Bessel, Gaussian) keep the brightness.
    const int n = method == IM_LANCZOS ? 12 : 4;
    const long first = method == IM_LANCZOS ? 5 : 1;
    float kx[12], ky[12];
    if (method == IM_LANCZOS) {
        for (int i = 0; i < n; ++i) {
            kx[i] = KernelLanczosSinc(static_cast<float>(xi - first + i) - x, 6.0f);
            ky[i] = KernelLanczosSinc(static_cast<float>(yi - first + i) - y, 6.0f);
        }
    } else {
        Kernel k = method == IM_BICUBIC2 ? GeneralizedCubicHalf : KernelFor(method);
        for (int i = 0; i < n; ++i) {
            kx[i] = k(static_cast<float>(xi - first + i) - x);
            ky[i] = k(static_cast<float>(yi - first + i) - y);
        }
    }
    bool fast = xi - first >= 0 && xi - first + n - 1 < w && yi - first >= 0 && yi - first + n - 1 < h && !IsIndexed();
    float sr = 0.0f, sg = 0.0f, sb = 0.0f, sa = 0.0f, total = 0.0f;
    for (int j = 0; j < n; ++j) {
        long py = yi - first + j;
        if (fast) {
            const uint8_t* p = m_info.pixels + static_cast<size_t>(py) * m_info.rowSize + 3 * static_cast<size_t>(xi - first);
            const uint8_t* pa = m_alpha ? m_alpha + static_cast<size_t>(py) * w + (xi - first) : nullptr;
            for (int i = 0; i < n; ++i) {
                float wt = ky[j] * kx[i];
                sb += wt * p[3 * i];
                sg += wt * p[3 * i + 1];
                sr += wt * p[3 * i + 2];
                if (pa) sa += wt * pa[i];
                total += wt;
            }
        } else {
            for (int i = 0; i < n; ++i) {
                float wt = ky[j] * kx[i];
                RGBQUAD c = GetPixelColorWithOverflow(xi - first + i, py, overflow, replacement);
                sb += wt * c.rgbBlue;
                sg += wt * c.rgbGreen;
                sr += wt * c.rgbRed;
                sa += wt * c.rgbReserved;
                total += wt;
            }
        }
    }
    if (std::fabs(total) > 1e-6f) {
        sb /= total;
        sg /= total;
        sr /= total;
        sa /= total;
    }
    result.rgbBlue = TruncByte(sb);
    result.rgbGreen = TruncByte(sg);
    result.rgbRed = TruncByte(sr);
    result.rgbReserved = m_alpha ? TruncByte(sa) : 0;
    return result;
}

void PxImage::AddAveragingCont(const RGBQUAD& color, float weight, float& red, float& green, float& blue,
                               float& alpha) {
    red += weight * color.rgbRed;
    green += weight * color.rgbGreen;
    blue += weight * color.rgbBlue;
    alpha += weight * color.rgbReserved;
}

RGBQUAD PxImage::GetAreaColorInterpolated(float xc, float yc, float w, float h, InterpolationMethod method,
                                          OverflowMethod overflow, const RGBQUAD* replacement) const {
    if (w <= 1.0f && h <= 1.0f) return GetPixelColorInterpolated(xc, yc, method, overflow, replacement);
    PxRect2 area(xc - w / 2.0f, yc - h / 2.0f, xc + w / 2.0f, yc + h / 2.0f);
    // The pixels holding the corners. Rounded down, not toward zero: for an area
    // reaching left of or below the image, truncation would pick the pixel next
    // to the corner and leave part of the area unweighted (a darker edge).
    long x1 = static_cast<long>(std::floor(area.botLeft.x + 0.5f)), y1 = static_cast<long>(std::floor(area.botLeft.y + 0.5f));
    long x2 = static_cast<long>(std::floor(area.topRight.x + 0.5f)), y2 = static_cast<long>(std::floor(area.topRight.y + 0.5f));
    // Summed in double: a large shrink adds tens of thousands of weights, which
    // a float sum would round away.
    double sr = 0.0, sg = 0.0, sb = 0.0, sa = 0.0;
    auto accumulate = [&](const RGBQUAD& c, float weight) {
        sr += static_cast<double>(weight) * c.rgbRed;
        sg += static_cast<double>(weight) * c.rgbGreen;
        sb += static_cast<double>(weight) * c.rgbBlue;
        sa += static_cast<double>(weight) * c.rgbReserved;
    };
    auto square = [](long px, long py) {
        return PxRect2(static_cast<float>(px) - 0.5f, static_cast<float>(py) - 0.5f, static_cast<float>(px) + 0.5f,
                       static_cast<float>(py) + 0.5f);
    };
    if (w > 1.0f && h > 1.0f) {
        PxRect2 bl = area.CrossSection(square(x1, y1));
        PxRect2 tr = area.CrossSection(square(x2, y2));
        float wBL = bl.Width(), hBL = bl.Height(), wTR = tr.Width(), hTR = tr.Height();
        auto add = [&](long px, long py, float weight) {
            accumulate(GetPixelColorWithOverflow(px, py, overflow, replacement), weight);
        };
        add(x1, y1, wBL * hBL);
        add(x2, y1, wTR * hBL);
        add(x1, y2, wBL * hTR);
        add(x2, y2, wTR * hTR);
        for (long x = x1 + 1; x < x2; ++x) {
            add(x, y1, hBL);
            add(x, y2, hTR);
        }
        for (long y = y1 + 1; y < y2; ++y) {
            add(x1, y, wBL);
            add(x2, y, wTR);
        }
        for (long y = y1 + 1; y < y2; ++y)
            for (long x = x1 + 1; x < x2; ++x) add(x, y, 1.0f);
    } else {
        for (long y = y1; y <= y2; ++y)
            for (long x = x1; x <= x2; ++x) {
                PxRect2 part = area.CrossSection(square(x, y));
                float s = part.Surface();
                if (s <= 0.0f) continue;
                PxPoint2 c = part.Center();
                accumulate(GetPixelColorInterpolated(c.x, c.y, method, overflow, replacement), s);
            }
    }
    double surface = area.Surface();
    RGBQUAD result = {0, 0, 0, 0};
    if (surface > 0.0) {
        result.rgbBlue = TruncByte(static_cast<float>(sb / surface));
        result.rgbGreen = TruncByte(static_cast<float>(sg / surface));
        result.rgbRed = TruncByte(static_cast<float>(sr / surface));
        result.rgbReserved = TruncByte(static_cast<float>(sa / surface));
    }
    return result;
}
