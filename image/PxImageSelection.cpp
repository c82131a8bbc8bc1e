// The selection mask (one byte per pixel, non-zero = selected) and its box.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/PxImage.h"

namespace {
long Clamp(long v, long limit) { return v < 0 ? 0 : (v > limit ? limit : v); }

void ResetBox(RECT& box, long width, long height) {
    box.left = width;
    box.top = 0;
    box.right = 0;
    box.bottom = height;
}
}  // namespace

bool PxImage::SelectionCreate() {
    SelectionDelete();
    if (!m_dib) return false;
    m_selection = static_cast<uint8_t*>(std::calloc(1, static_cast<size_t>(GetWidth()) * GetHeight()));
    return m_selection != nullptr;
}

bool PxImage::SelectionDelete() {
    std::free(m_selection);
    m_selection = nullptr;
    ResetBox(m_info.selectionBox, GetWidth(), GetHeight());
    return true;
}

bool PxImage::SelectionClear() {
    if (!m_selection) return false;
    std::memset(m_selection, 0, static_cast<size_t>(GetWidth()) * GetHeight());
    ResetBox(m_info.selectionBox, GetWidth(), GetHeight());
    return true;
}

bool PxImage::SelectionIsInside(long x, long y) const {
    if (!IsInside(x, y)) return false;
    if (!m_selection) return true;
    return m_selection[x + y * static_cast<long>(GetWidth())] != 0;
}

bool PxImage::SelectionInvert() {
    if (!m_selection) return false;
    size_t n = static_cast<size_t>(GetWidth()) * GetHeight();
    for (size_t i = 0; i < n; ++i) m_selection[i] = static_cast<uint8_t>(255 - m_selection[i]);
    return true;
}

bool PxImage::SelectionCopy(const PxImage& source) {
    if (!source.m_selection || source.GetWidth() != GetWidth() || source.GetHeight() != GetHeight()) return false;
    size_t n = static_cast<size_t>(GetWidth()) * GetHeight();
    if (!m_selection) {
        m_selection = static_cast<uint8_t*>(std::malloc(n));
        if (!m_selection) return false;
    }
    std::memcpy(m_selection, source.m_selection, n);
    m_info.selectionBox = source.m_info.selectionBox;
    return true;
}

bool PxImage::SelectionSplit(PxImage* dest) const {
    if (!m_selection || !dest) return false;
    PxImage plane(GetWidth(), GetHeight(), 8, PxFormatUnknown);
    if (!plane.IsValid()) return false;
    plane.SetGrayPalette();
    size_t w = GetWidth();
    for (uint32_t y = 0; y < GetHeight(); ++y) std::memcpy(plane.GetBits(y), m_selection + w * y, w);
    return dest->Transfer(plane);
}

bool PxImage::SelectionAddRect(RECT r) {
    if (!m_selection && !SelectionCreate()) return false;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    long x0 = Clamp(r.left < r.right ? r.left : r.right, w);
    long x1 = Clamp(r.left < r.right ? r.right : r.left, w);
    long y0 = Clamp(r.top < r.bottom ? r.top : r.bottom, h);
    long y1 = Clamp(r.top < r.bottom ? r.bottom : r.top, h);
    RECT& box = m_info.selectionBox;
    if (box.top < y1) box.top = y1;
    if (x0 < box.left) box.left = x0;
    if (box.right < x1) box.right = x1;
    if (y0 < box.bottom) box.bottom = y0;
    for (long y = y0; y < y1; ++y) std::memset(m_selection + y * w + x0, 255, static_cast<size_t>(x1 - x0 > 0 ? x1 - x0 : 0));
    return true;
}

bool PxImage::SelectionAddEllipse(RECT r) {
    if (!m_selection && !SelectionCreate()) return false;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    long rx = std::labs(static_cast<long>(r.right) - r.left) / 2;
    long ry = std::labs(static_cast<long>(r.top) - r.bottom) / 2;
    if (rx == 0 || ry == 0) return false;
    long cx = (static_cast<long>(r.left) + r.right) / 2;
    long cy = (static_cast<long>(r.top) + r.bottom) / 2;
    RECT& box = m_info.selectionBox;
    long l = Clamp(cx - rx, w), rt = Clamp(cx + rx, w), b = Clamp(cy - ry, h), t = Clamp(cy + ry, h);
    if (l < box.left) box.left = l;
    if (box.right < rt) box.right = rt;
    if (b < box.bottom) box.bottom = b;
    if (box.top < t) box.top = t;
    // Both ends of both row ranges are clamped to the mask, also when the centre
    // lies outside the image.
    long lowStart = cy - ry < 0 ? 0 : cy - ry, lowEnd = cy - 1 > h - 1 ? h - 1 : cy - 1;
    long highStart = cy < 0 ? 0 : cy, highEnd = cy + ry - 1 > h - 1 ? h - 1 : cy + ry - 1;
    for (long x = Clamp(cx - rx, w); x < Clamp(cx + rx, w); ++x) {
        float fx = static_cast<float>(x - cx) / static_cast<float>(rx);
        float d = std::sqrt(std::fmax(0.0f, 1.0f - fx * fx));
        long low = static_cast<long>(cy - ry * d);
        long high = static_cast<long>(cy + ry * d);
        for (long y = lowStart; y <= lowEnd; ++y)
            if (low < y) m_selection[x + y * w] = 255;
        for (long y = highStart; y <= highEnd; ++y)
            if (y < high) m_selection[x + y * w] = 255;
    }
    return true;
}

bool PxImage::SelectionAddPolygon(const POINT* points, long count) {
    if (!points || count < 3) return false;
    if (!m_selection && !SelectionCreate()) return false;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    std::vector<uint8_t> plane(static_cast<size_t>(w) * h, 0);
    auto plot = [&](double fx, double fy) {
        if (!(fx > -1.0 && fy > -1.0 && fx < w && fy < h)) return;  // also keeps the casts defined
        long x = static_cast<long>(fx), y = static_cast<long>(fy);
        if (x >= 0 && y >= 0 && x < w && y < h) plane[static_cast<size_t>(y) * w + x] = 255;
    };
    auto edge = [&](POINT a, POINT b) {
        double x0 = a.x, y0 = a.y, x1 = b.x, y1 = b.y;
        long long ax = a.x, bx = b.x, ay = a.y, by = b.y;
        // Vertical and horizontal edges skip the pass that would divide by zero.
        if (a.x != b.x) {
            double slope = (y1 - y0) / (x1 - x0);
            long long s = ax < bx ? ax : bx, e = ax < bx ? bx : ax;
            if (s < 0) s = 0;
            if (e > w - 1) e = w - 1;  // columns outside the image draw nothing
            for (long long x = s; x <= e; ++x) plot(static_cast<double>(x), y0 + slope * (static_cast<double>(x) - x0));
        }
        if (a.y != b.y) {
            double inv = (x1 - x0) / (y1 - y0);
            long long s = ay < by ? ay : by, e = ay < by ? by : ay;
            if (s < 0) s = 0;
            if (e > h - 1) e = h - 1;
            for (long long y = s; y <= e; ++y) plot(x0 + inv * (static_cast<double>(y) - y0), static_cast<double>(y));
        }
    };
    long long minX = points[0].x, maxX = points[0].x, minY = points[0].y, maxY = points[0].y;
    long ringStart = 0;
    for (long i = 0; i < count; ++i) {
        const POINT& p = points[i];
        if (p.x == -1) {
            if (i > ringStart) edge(points[i - 1], points[ringStart]);
            ringStart = i + 1;
            continue;
        }
        if (p.x < minX) minX = p.x;
        if (p.x > maxX) maxX = p.x;
        if (p.y < minY) minY = p.y;
        if (p.y > maxY) maxY = p.y;
        if (i > ringStart) edge(points[i - 1], p);
    }
    if (ringStart < count) edge(points[count - 1], points[ringStart]);

    auto clampTo = [](long long v, long limit) { return static_cast<long>(v < 0 ? 0 : (v > limit ? limit : v)); };
    long left = clampTo(minX - 1, w - 1), right = clampTo(maxX + 1, w - 1);
    long bottom = clampTo(minY - 1, h - 1), top = clampTo(maxY + 1, h - 1);
    long ww = right - left + 1, wh = top - bottom + 1;

    // Flood the outside from the work area's border. A seed is marked when it is
    // pushed, so each pixel enters the ring buffer at most once.
    std::vector<long> ring(static_cast<size_t>(ww) * wh);
    size_t head = 0, tail = 0, queued = 0;
    auto push = [&](long x, long y) {
        if (x < left || x > right || y < bottom || y > top) return;
        uint8_t& v = plane[static_cast<size_t>(y) * w + x];
        if (v != 0) return;
        v = 1;
        ring[tail] = (y - bottom) * ww + (x - left);
        tail = (tail + 1) % ring.size();
        ++queued;
    };
    for (long x = left; x <= right; ++x) push(x, bottom);
    for (long y = bottom; y <= top; ++y) push(right, y);
    for (long x = left; x <= right; ++x) push(x, top);
    for (long y = bottom; y <= top; ++y) push(left, y);
    while (queued) {
        long id = ring[head];
        head = (head + 1) % ring.size();
        --queued;
        long x = left + id % ww, y = bottom + id / ww;
        push(x - 1, y);
        push(x + 1, y);
        push(x, y - 1);
        push(x, y + 1);
    }
    for (long y = bottom; y <= top; ++y)
        for (long x = left; x <= right; ++x)
            if (plane[static_cast<size_t>(y) * w + x] != 1) m_selection[y * w + x] = 255;

    RECT& box = m_info.selectionBox;
    if (box.top < top + 1) box.top = top + 1;
    if (left < box.left) box.left = left;
    if (box.right < right + 1) box.right = right + 1;
    if (bottom < box.bottom) box.bottom = bottom;
    return true;
}

bool PxImage::SelectionAddColor(RGBQUAD color) {
    if (!m_selection && !SelectionCreate()) return false;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    long minX = w, maxX = -1, minY = h, maxY = -1;
    for (long y = 0; y < h; ++y) {
        for (long x = 0; x < w; ++x) {
            RGBQUAD c = GetPixelColor(x, y);
            if (c.rgbRed == color.rgbRed && c.rgbGreen == color.rgbGreen && c.rgbBlue == color.rgbBlue) {
                m_selection[x + y * w] = 255;
                if (x < minX) minX = x;
                if (x > maxX) maxX = x;
                if (y < minY) minY = y;
                if (y > maxY) maxY = y;
            }
        }
    }
    if (maxX >= 0) {
        RECT& box = m_info.selectionBox;
        if (minX < box.left) box.left = minX;
        if (box.right < maxX) box.right = maxX;
        if (minY < box.bottom) box.bottom = minY;
        if (box.top < maxY) box.top = maxY;
    }
    return true;
}

bool PxImage::SelectionAddPixel(long x, long y) {
    if (!m_selection && !SelectionCreate()) return false;
    if (!IsInside(x, y)) return false;
    m_selection[x + y * static_cast<long>(GetWidth())] = 255;
    return true;
}
