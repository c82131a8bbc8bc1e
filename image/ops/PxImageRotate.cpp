// Free rotation (nearest pixel, or any interpolation and overflow method),
// cutting out a rotated rectangle, shearing and radial distortions. Positive
// angles turn the picture clockwise as seen on screen.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "image/PxImage.h"
#include "image/PxPoint2.h"
#include "image/ops/PxOpsSupport.h"

namespace {
// A float position as a pixel coordinate, truncated toward zero; positions far
// outside any image stay far outside instead of overflowing the conversion.
long TruncCoord(float v) {
    if (!(v > -1e9f)) return -1000000000L;  // also NaN
    if (v > 1e9f) return 1000000000L;
    return static_cast<long>(v);
}

// Copies source pixel (sx, sy) to (x, y) of work the way Skew and
// CircleTransform do: the index or the colour, and the alpha value.
void CopyWithOutside(const PxImage& src, PxImage& work, long x, long y, long sx, long sy) {
    if (src.IsIndexed())
        work.SetPixelIndex(x, y, src.GetPixelIndex(sx, sy));
    else
        work.SetPixelColor(x, y, src.GetPixelColor(sx, sy, false), false);
    if (src.AlphaIsValid()) work.AlphaSet(x, y, src.AlphaGet(sx, sy));
}
}  // namespace

bool PxImage::Rotate(float angle, PxImage* dest) {
    if (!m_dib || !std::isfinite(angle)) return false;
    const double a = -static_cast<double>(angle) * std::acos(0.0) / 90.0;
    const double c = std::cos(a), s = std::sin(a);
    const long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    const double px[4] = {0.0, static_cast<double>(w), 0.0, static_cast<double>(w - 1)};
    const double py[4] = {0.0, 0.0, static_cast<double>(h), static_cast<double>(h)};
    long minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (int i = 1; i < 4; ++i) {
        long tx = static_cast<long>(std::floor(px[i] * c - py[i] * s));
        long ty = static_cast<long>(std::floor(px[i] * s + py[i] * c));
        minX = std::min(minX, tx);
        maxX = std::max(maxX, tx);
        minY = std::min(minY, ty);
        maxY = std::max(maxY, ty);
    }
    const long long nw = static_cast<long long>(maxX) - minX + 2, nh = static_cast<long long>(maxY) - minY + 2;
    if (!pxops::SizeOk(nw, nh)) return false;
    PxImage work;
    if (!CreateResultImage(work, static_cast<uint32_t>(nw), static_cast<uint32_t>(nh))) return false;
    if (work.m_alpha) work.AlphaClear();
    // The loop runs two past the turned corners; the last row and column fall
    // outside the new image, where writes are ignored.
    for (long y = minY; y <= maxY + 2; ++y) {
        m_info.progress = pxops::Percent(y - minY, nh);
        if (m_info.escape) break;
        for (long x = minX; x <= maxX + 2; ++x) {
            const long ox = static_cast<long>(x * c + y * s - 0.5);
            const long oy = static_cast<long>(y * c - x * s - 0.5);
            const long dx = x - minX, dy = y - minY;
            if (IsIndexed())
                work.SetPixelIndex(dx, dy, GetPixelIndex(ox, oy));
            else
                work.SetPixelColor(dx, dy, GetPixelColor(ox, oy, true), false);
            if (m_alpha) work.AlphaSet(dx, dy, AlphaGet(ox, oy));
        }
    }
    return pxops::Deliver(*this, work, dest);
}

bool PxImage::Rotate2(float angle, PxImage* dest, InterpolationMethod method, OverflowMethod overflow,
                      RGBQUAD* replacement, bool optimise, bool keepSize) {
    if (!m_dib || !std::isfinite(angle)) return false;
    const float a = static_cast<float>(-static_cast<double>(angle) * std::acos(0.0) / 90.0);
    const float c = std::cos(a), s = std::sin(a);
    const long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    PxPoint2 p[4] = {{-0.5f, -0.5f}, {fw - 0.5f, -0.5f}, {-0.5f, fh - 0.5f}, {fw - 0.5f, fh - 0.5f}};
    if (!keepSize) {
        for (PxPoint2& q : p) q = PxPoint2(q.x * c - q.y * s, q.x * s + q.y * c);
        if (optimise) {
            const PxPoint2& last = p[3];
            if (last.Distance(fh - 0.5f, 0.5f - fw) < 0.25f) return RotateRight(dest);
            if (last.Distance(0.5f - fh, fw - 0.5f) < 0.25f) return RotateLeft(dest);
            if (last.Distance(0.5f - fw, 0.5f - fh) < 0.25f) return Rotate180(dest);
            if (last.Distance(fw - 0.5f, fh - 0.5f) < 0.25f) {
                if (dest) dest->Copy(*this, true, true, true);  // a copy into itself does nothing
                return true;
            }
        }
    }
    float minX = p[0].x, maxX = p[0].x, minY = p[0].y, maxY = p[0].y;
    for (const PxPoint2& q : p) {
        minX = std::min(minX, q.x);
        maxX = std::max(maxX, q.x);
        minY = std::min(minY, q.y);
        maxY = std::max(maxY, q.y);
    }
    const double nwf = std::floor(static_cast<double>(maxX - minX) + 0.5);
    const double nhf = std::floor(static_cast<double>(maxY - minY) + 0.5);
    if (!(nwf >= 1.0 && nhf >= 1.0 && nwf <= pxops::kMaxSide && nhf <= pxops::kMaxSide)) return false;
    const long nw = static_cast<long>(nwf), nh = static_cast<long>(nhf);
    float sx = ((maxX + minX) - static_cast<float>(nw - 1)) / 2.0f;
    float sy = ((maxY + minY) - static_cast<float>(nh - 1)) / 2.0f;
    float cx = 0.0f, cy = 0.0f;
    if (keepSize) {
        // Turn about the centre of the pixel grid, so 180 degrees maps pixel
        // (0, 0) onto (width - 1, height - 1) exactly.
        sx -= 0.5f * static_cast<float>(w - 1);
        sy -= 0.5f * static_cast<float>(h - 1);
        cx = 0.5f * static_cast<float>(nw - 1);
        cy = 0.5f * static_cast<float>(nh - 1);
    }
    PxImage work;
    if (!CreateResultImage(work, static_cast<uint32_t>(nw), static_cast<uint32_t>(nh))) return false;
    RGBQUAD white;
    white.rgbRed = white.rgbGreen = white.rgbBlue = 255;
    white.rgbReserved = 0;
    const RGBQUAD repl = replacement ? *replacement : white;
    const bool indexed = IsIndexed();
    for (long j = 0; j < nh; ++j) {
        m_info.progress = pxops::Percent(j, nh);
        if (m_info.escape) break;
        uint8_t* row = work.GetBits(static_cast<uint32_t>(j));
        const float y = sy + static_cast<float>(j);
        for (long i = 0; i < nw; ++i) {
            const float x = sx + static_cast<float>(i);
            float ox = c * x + s * y, oy = c * y - s * x;
            if (keepSize) {
                ox += cx;
                oy += cy;
            }
            RGBQUAD col = GetPixelColorInterpolated(ox, oy, method, overflow, &repl);
            if (indexed) {
                work.SetPixelColor(i, j, col, m_alpha != nullptr);
            } else {
                row[3 * i] = col.rgbBlue;
                row[3 * i + 1] = col.rgbGreen;
                row[3 * i + 2] = col.rgbRed;
                if (work.m_alpha) work.m_alpha[i + j * nw] = col.rgbReserved;
            }
        }
    }
    return pxops::Deliver(*this, work, dest);
}

bool PxImage::CropRotatedRectangle(long topx, long topy, long width, long height, float angle, PxImage* dest) {
    if (!m_dib || !std::isfinite(angle)) return false;
    if (std::fabs(angle) < 0.0002f) return Crop(topx, topy, topx + width, topy + height, dest);
    const float c = static_cast<float>(std::cos(static_cast<double>(angle)));
    const float s = static_cast<float>(std::sin(static_cast<double>(angle)));
    const float fw = static_cast<float>(width), fh = static_cast<float>(height);
    // The box around all four corners of the turned rectangle, whatever the sign
    // or size of the angle; every corner must lie in the image.
    const float xs[4] = {0.0f, fw * c, -fh * s, fw * c - fh * s};
    const float ys[4] = {0.0f, fw * s, fh * c, fw * s + fh * c};
    const long startx = topx + TruncCoord(*std::min_element(xs, xs + 4));
    const long endx = topx + TruncCoord(*std::max_element(xs, xs + 4));
    const long starty = topy + TruncCoord(*std::min_element(ys, ys + 4));
    const long endy = topy + TruncCoord(*std::max_element(ys, ys + 4));
    if (!IsInside(startx, starty) || !IsInside(endx, endy)) return false;

    PxImage work(*this, true, false, true);
    if (!work.IsValid() || !work.Crop(startx, starty, endx, endy)) return false;
    if (!work.Rotate(static_cast<float>(-angle * 57.29577951308232))) return false;
    const long W = static_cast<long>(work.GetWidth()), H = static_cast<long>(work.GetHeight());
    if (!work.Crop((W - width) / 2, (H + height) / 2, (W + width) / 2, (H - height) / 2)) return false;
    return pxops::Deliver(*this, work, dest);
}

bool PxImage::Skew(float xgain, float ygain, long xpivot, long ypivot, bool interpolate) {
    if (!m_dib) return false;
    PxImage work(*this, true, true, true);
    if (!work.IsValid()) return false;
    const pxops::WorkArea area = pxops::GetWorkArea(*this);
    for (long y = area.bottom; y < area.top; ++y) {
        m_info.progress = pxops::Percent(y - area.bottom, area.top - area.bottom);
        if (m_info.escape) break;
        for (long x = area.left; x < area.right; ++x) {
            if (!SelectionIsInside(x, y)) continue;
            const float nx = static_cast<float>(x) + xgain * static_cast<float>(y - ypivot);
            const float ny = static_cast<float>(y) + ygain * static_cast<float>(x - xpivot);
            if (interpolate)
                work.SetPixelColor(x, y, GetPixelColorInterpolated(nx, ny, IM_BILINEAR, OM_BACKGROUND), true);
            else
                CopyWithOutside(*this, work, x, y, TruncCoord(nx), TruncCoord(ny));
        }
    }
    return Transfer(work);
}

bool PxImage::CircleTransform(int type, long rmax, float coefficient) {
    if (!m_dib) return false;
    PxImage work(*this, true, true, true);
    if (!work.IsValid()) return false;
    const pxops::WorkArea area = pxops::GetWorkArea(*this);
    const long xmid = static_cast<long>(work.GetWidth() / 2), ymid = static_cast<long>(work.GetHeight() / 2);
    if (rmax == 0) {
        const float ddx = static_cast<float>(xmid - area.left), ddy = static_cast<float>(ymid - area.bottom);
        rmax = static_cast<long>(std::sqrt(ddx * ddx + ddy * ddy));
    }
    const float frmax = static_cast<float>(rmax);
    const float k = coefficient == 0.0f ? 1.0f : coefficient;
    for (long y = area.bottom; y < area.top; ++y) {
        m_info.progress = pxops::Percent(y - area.bottom, area.top - area.bottom);
        if (m_info.escape) break;
        for (long x = area.left; x < area.right; ++x) {
            if (!SelectionIsInside(x, y)) continue;
            const float dx = static_cast<float>(xmid - x), dy = static_cast<float>(ymid - y);
            const float r = std::sqrt(dx * dx + dy * dy);
            long sx = -1, sy = -1;
            if (r < frmax) {
                float theta = std::atan2(dy, dx);
                float rnew = r;
                if (type >= 0 && type <= 2) {
                    if (type == 0)
                        rnew = r * r / frmax;
                    else if (type == 1)
                        rnew = std::sqrt(r * frmax);
                    else
                        theta += r / k;
                    sx = xmid + TruncCoord(rnew * std::cos(theta));
                    sy = ymid - TruncCoord(rnew * std::sin(theta));
                } else if (type == 3) {
                    sx = TruncCoord(std::fabs(theta * static_cast<float>(area.right) / 6.2831852f));
                    sy = TruncCoord(std::fabs(r * static_cast<float>(area.top) / frmax));
                } else {
                    sx = x + (x % 32) - 16;
                    sy = y;
                }
            }
            CopyWithOutside(*this, work, x, y, sx, sy);
        }
    }
    return Transfer(work);
}
