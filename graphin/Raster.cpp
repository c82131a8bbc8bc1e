#include "graphin/Raster.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace graphin {

namespace {

// 16384 x 16384 at most: well beyond any screen, small enough for every size sum.
constexpr int kMaxSide = 16384;

bool Finite(double v) { return std::isfinite(v); }

double Clamp01(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }

// Distance from (px, py) to the segment (x1, y1)-(x2, y2).
double SegmentDistance(double px, double py, double x1, double y1, double x2, double y2) {
    double dx = x2 - x1, dy = y2 - y1;
    double lengthSq = dx * dx + dy * dy;
    double t = 0.0;
    if (lengthSq > 0.0) t = Clamp01(((px - x1) * dx + (py - y1) * dy) / lengthSq);
    double cx = x1 + t * dx - px, cy = y1 + t * dy - py;
    return std::sqrt(cx * cx + cy * cy);
}

// The pixel range [lo, hi) that a span [a, b] of coordinates touches, clipped to [0, size).
void PixelRange(double a, double b, int size, int& lo, int& hi) {
    double from = std::floor(a), to = std::ceil(b);
    lo = from < 0.0 ? 0 : (from > size ? size : static_cast<int>(from));
    hi = to < 0.0 ? 0 : (to > size ? size : static_cast<int>(to));
}

}  // namespace

Image* CreateImage(int width, int height) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return nullptr;
    Image* image = new (std::nothrow) Image;
    if (!image) return nullptr;
    image->pixels.reset(static_cast<uint32_t*>(std::calloc(static_cast<size_t>(width) * height, sizeof(uint32_t))));
    try {
        image->spanBegin.assign(static_cast<size_t>(height), width);
        image->spanEnd.assign(static_cast<size_t>(height), 0);
    } catch (const std::bad_alloc&) {
        image->pixels.reset();
    }
    if (!image->pixels) {
        delete image;
        return nullptr;
    }
    image->width = width;
    image->height = height;
    return image;
}

void Blend(Image& image, int x, int y, uint32_t colour, double coverage) {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) return;
    double sa = ((colour >> 24) & 0xff) / 255.0 * Clamp01(coverage);
    if (sa <= 0.0) return;
    uint32_t& d = image.Ref(x, y);
    if (x < image.spanBegin[y]) image.spanBegin[y] = x;
    if (x >= image.spanEnd[y]) image.spanEnd[y] = x + 1;
    double da = ((d >> 24) & 0xff) / 255.0;
    double oa = sa + da * (1.0 - sa);
    uint32_t out = static_cast<uint32_t>(std::lround(oa * 255.0)) << 24;
    for (int shift = 0; shift <= 16; shift += 8) {
        double sc = (colour >> shift) & 0xff, dc = (d >> shift) & 0xff;
        double c = (sc * sa + dc * da * (1.0 - sa)) / oa;
        out |= static_cast<uint32_t>(std::lround(std::min(255.0, c))) << shift;
    }
    d = out;
}

void DrawLine(Graphics& g, double x1, double y1, double x2, double y2) {
    if (!g.image || !Finite(x1) || !Finite(y1) || !Finite(x2) || !Finite(y2) || !Finite(g.lineWidth)) return;
    if (g.lineWidth <= 0.0 || ((g.lineColor >> 24) & 0xff) == 0) return;
    Image& image = *g.image;
    double r = g.lineWidth / 2.0;
    int x0, xe, y0, ye;
    PixelRange(std::min(x1, x2) - r - 1.0, std::max(x1, x2) + r + 1.0, image.width, x0, xe);
    PixelRange(std::min(y1, y2) - r - 1.0, std::max(y1, y2) + r + 1.0, image.height, y0, ye);
    // Per row only the pixels near the line's own x are candidates: a point within r of
    // the line lies within r / sin(angle) of it horizontally. Long diagonal strokes then
    // cost their length times their width, not their bounding box.
    const double dx = x2 - x1, dy = y2 - y1;
    const double length = std::sqrt(dx * dx + dy * dy);
    const bool steep = std::fabs(dy) > 1e-9;
    for (int y = y0; y < ye; ++y) {
        int xs = x0, xt = xe;
        if (steep) {
            double cx = x1 + (y + 0.5 - y1) * dx / dy;
            double reach = (r + 1.0) * length / std::fabs(dy);
            int from, to;
            PixelRange(cx - reach - 1.0, cx + reach + 1.0, image.width, from, to);
            xs = std::max(xs, from);
            xt = std::min(xt, to);
        }
        for (int x = xs; x < xt; ++x) {
            double d = SegmentDistance(x + 0.5, y + 0.5, x1, y1, x2, y2);
            double coverage = Clamp01(r + 0.5 - d);
            if (coverage > 0.0) Blend(image, x, y, g.lineColor, coverage);
        }
    }
}

void DrawTriangle(Graphics& g, double x1, double y1, double x2, double y2, double x3, double y3) {
    const double xs[3] = {x1, x2, x3}, ys[3] = {y1, y2, y3};
    for (int i = 0; i < 3; ++i) {
        if (!Finite(xs[i]) || !Finite(ys[i])) return;
    }
    if (!g.image) return;
    Image& image = *g.image;
    double area = (x2 - x1) * (y3 - y1) - (y2 - y1) * (x3 - x1);
    if (area != 0.0 && ((g.fillColor >> 24) & 0xff) != 0) {
        // Coverage from the signed distance to the nearest edge (positive inside).
        double sign = area > 0.0 ? 1.0 : -1.0;
        double nx[3], ny[3], c[3];
        bool degenerate = false;
        for (int i = 0; i < 3; ++i) {
            int j = (i + 1) % 3;
            double ex = xs[j] - xs[i], ey = ys[j] - ys[i];
            double length = std::sqrt(ex * ex + ey * ey);
            if (length == 0.0) degenerate = true;
            nx[i] = length > 0.0 ? -ey / length * sign : 0.0;
            ny[i] = length > 0.0 ? ex / length * sign : 0.0;
            c[i] = -(nx[i] * xs[i] + ny[i] * ys[i]);
        }
        if (!degenerate) {
            int x0, xe, y0, ye;
            PixelRange(*std::min_element(xs, xs + 3) - 1.0, *std::max_element(xs, xs + 3) + 1.0, image.width, x0,
                       xe);
            PixelRange(*std::min_element(ys, ys + 3) - 1.0, *std::max_element(ys, ys + 3) + 1.0, image.height, y0,
                       ye);
            for (int y = y0; y < ye; ++y) {
                for (int x = x0; x < xe; ++x) {
                    double px = x + 0.5, py = y + 0.5;
                    double inside = 1e300;
                    for (int i = 0; i < 3; ++i) inside = std::min(inside, nx[i] * px + ny[i] * py + c[i]);
                    double coverage = Clamp01(inside + 0.5);
                    if (coverage > 0.0) Blend(image, x, y, g.fillColor, coverage);
                }
            }
        }
    }
    DrawLine(g, x1, y1, x2, y2);
    DrawLine(g, x2, y2, x3, y3);
    DrawLine(g, x3, y3, x1, y1);
}

void CompositeOnto(const Image& image, int srcX, int srcY, int width, int height, uint8_t* dest, int destWidth,
                   int destHeight, int stride, bool bottomUp, int x, int y) {
    if (!dest || width <= 0 || height <= 0) return;
    for (int row = 0; row < height; ++row) {
        int sy = srcY + row, dy = y + row;
        if (sy < 0 || sy >= image.height || dy < 0 || dy >= destHeight) continue;
        uint8_t* line = dest + static_cast<size_t>(bottomUp ? destHeight - 1 - dy : dy) * stride;
        // Only the span drawn on in this row.
        int first = std::max(0, image.spanBegin[sy] - srcX), last = std::min(width, image.spanEnd[sy] - srcX);
        for (int col = first; col < last; ++col) {
            int sx = srcX + col, dx = x + col;
            if (sx < 0 || sx >= image.width || dx < 0 || dx >= destWidth) continue;
            uint32_t s = image.At(sx, sy);
            uint32_t a = s >> 24;
            if (a == 0) continue;
            uint8_t* p = line + static_cast<size_t>(dx) * 4;
            uint32_t sb = s & 0xff, sg = (s >> 8) & 0xff, sr = (s >> 16) & 0xff;
            p[0] = static_cast<uint8_t>((sb * a + p[0] * (255 - a) + 127) / 255);
            p[1] = static_cast<uint8_t>((sg * a + p[1] * (255 - a) + 127) / 255);
            p[2] = static_cast<uint8_t>((sr * a + p[2] * (255 - a) + 127) / 255);
        }
    }
}

}  // namespace graphin
