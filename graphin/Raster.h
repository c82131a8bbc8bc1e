#pragma once
// The portable core of graphin.dll: an RGBA image with premultiplied-free straight
// alpha, anti-aliased round-capped strokes and filled triangles composited
// source-over. Deterministic; non-finite input draws nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace graphin {

// Straight (not premultiplied) RGBA, 0xAARRGGBB per pixel, top row first. The pixels
// come zeroed from calloc, so the pages of a large image that nothing is drawn on are
// never touched; each row remembers the span drawn on, and only that is composited.
struct Image {
    struct Free {
        void operator()(uint32_t* p) const { std::free(p); }
    };
    int width = 0;
    int height = 0;
    std::unique_ptr<uint32_t, Free> pixels;   // width * height, all transparent at creation
    std::vector<int> spanBegin;               // per row: first drawn x (width when none)
    std::vector<int> spanEnd;                 // per row: one past the last drawn x (0 when none)

    uint32_t At(int x, int y) const { return pixels.get()[static_cast<size_t>(y) * width + x]; }
    uint32_t& Ref(int x, int y) { return pixels.get()[static_cast<size_t>(y) * width + x]; }
};

struct Graphics {
    Image* image = nullptr;
    double lineWidth = 1.0;
    uint32_t lineColor = 0xff000000u;
    uint32_t fillColor = 0xff000000u;
};

// Null when the size is not positive or too large.
Image* CreateImage(int width, int height);

// A stroke of the graphics' width and line colour with round caps.
void DrawLine(Graphics& g, double x1, double y1, double x2, double y2);
// The triangle filled with the fill colour, then outlined with the line colour.
void DrawTriangle(Graphics& g, double x1, double y1, double x2, double y2, double x3, double y3);

// Composites `colour` with coverage 0..1 over the pixel (x, y) (clipped).
void Blend(Image& image, int x, int y, uint32_t colour, double coverage);

// Composites the source rectangle (srcX, srcY, width, height) of the image onto a
// 32-bit BGRX destination buffer (`stride` bytes a row, `bottomUp` as a DIB), with its
// top-left at (x, y): straight source-over, alpha 0 leaves the destination. Clipped on
// both sides.
void CompositeOnto(const Image& image, int srcX, int srcY, int width, int height, uint8_t* dest, int destWidth,
                   int destHeight, int stride, bool bottomUp, int x, int y);

}  // namespace graphin
