// graphin's rasteriser: which pixels strokes and triangles cover, what stays
// transparent, and how an image is composited onto a pixel buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "graphin/Raster.h"

using graphin::Graphics;
using graphin::Image;

namespace {

constexpr uint32_t kRed = 0xffff0000u;
constexpr uint32_t kInvisible = 0x00ff0000u;

std::unique_ptr<Image> Make(int w, int h) { return std::unique_ptr<Image>(graphin::CreateImage(w, h)); }

int Alpha(uint32_t p) { return static_cast<int>(p >> 24); }

int CountDrawn(const Image& image) {
    int n = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) n += Alpha(image.At(x, y)) != 0;
    }
    return n;
}

}  // namespace

TEST(GraphinRaster, NewImagesAreTransparentAndSizesArePositive) {
    auto image = Make(7, 5);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 7);
    EXPECT_EQ(image->height, 5);
    EXPECT_EQ(CountDrawn(*image), 0);
    for (auto size : {std::pair<int, int>{0, 5}, {5, 0}, {-3, 4}, {100000, 100000}}) {
        EXPECT_EQ(graphin::CreateImage(size.first, size.second), nullptr);
    }
}

TEST(GraphinRaster, LineCoversItsWidthWithRoundCaps) {
    auto image = Make(40, 20);
    Graphics g;
    g.image = image.get();
    g.lineWidth = 3;
    g.lineColor = kRed;
    graphin::DrawLine(g, 10, 10, 30, 10);
    // Inside the stroke: opaque and red.
    EXPECT_EQ(image->At(20, 9), kRed);
    EXPECT_EQ(image->At(20, 10), kRed);
    EXPECT_EQ(image->At(10, 9), kRed);           // the round cap covers the end point
    EXPECT_GT(Alpha(image->At(8, 9)), 0);       // and a little beyond it
    // Outside: untouched.
    EXPECT_EQ(image->At(20, 14), 0u);
    EXPECT_EQ(image->At(20, 5), 0u);
    EXPECT_EQ(image->At(5, 10), 0u);
    EXPECT_EQ(image->At(35, 10), 0u);
    // The edge rows are partly covered (anti-aliased), not cut hard.
    EXPECT_GT(Alpha(image->At(20, 11)), 0);
    EXPECT_LT(Alpha(image->At(20, 11)), 255);
    EXPECT_EQ(image->At(20, 12), 0u);
}

TEST(GraphinRaster, TriangleFillAndOutline) {
    struct Case {
        const char* name;
        uint32_t fill, line;
        bool inside, outsideByTwo;
    } cases[] = {
        {"filled, invisible outline", kRed, kInvisible, true, false},
        {"filled, visible outline", kRed, 0xff0000ffu, true, true},
        {"invisible fill and outline", kInvisible, kInvisible, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto image = Make(60, 60);
        Graphics g;
        g.image = image.get();
        g.lineWidth = 6;
        g.fillColor = c.fill;
        g.lineColor = c.line;
        graphin::DrawTriangle(g, 10, 50, 30, 10, 50, 50);
        EXPECT_EQ(Alpha(image->At(30, 40)) != 0, c.inside);
        if (c.inside && c.line == kInvisible) {
            EXPECT_EQ(image->At(30, 40), kRed);
        }
        EXPECT_EQ(Alpha(image->At(30, 52)) != 0, c.outsideByTwo);   // 2 px below the base
        EXPECT_EQ(image->At(5, 5), 0u);
    }
}

TEST(GraphinRaster, NonFiniteInputDrawsNothing) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    auto image = Make(30, 30);
    Graphics g;
    g.image = image.get();
    g.lineWidth = 3;
    g.lineColor = kRed;
    g.fillColor = kRed;
    graphin::DrawLine(g, nan, 1, 20, 20);
    graphin::DrawLine(g, 1, 1, 20, inf);
    graphin::DrawTriangle(g, 1, 1, nan, 20, 20, 1);
    g.lineWidth = nan;
    graphin::DrawLine(g, 1, 1, 20, 20);
    EXPECT_EQ(CountDrawn(*image), 0);
    Graphics none;   // no image
    graphin::DrawLine(none, 1, 1, 5, 5);
    graphin::DrawTriangle(none, 1, 1, 5, 5, 1, 5);
}

TEST(GraphinRaster, DrawingIsDeterministicAndClipped) {
    auto a = Make(20, 20), b = Make(20, 20);
    for (Image* image : {a.get(), b.get()}) {
        Graphics g;
        g.image = image;
        g.lineWidth = 5;
        g.lineColor = 0xff20c040u;
        graphin::DrawLine(g, -30, -10, 50, 35);   // runs off every side
    }
    EXPECT_EQ(std::memcmp(a->pixels.get(), b->pixels.get(), 20 * 20 * 4), 0);
    EXPECT_GT(CountDrawn(*a), 0);
}

TEST(GraphinRaster, CompositeOntoABuffer) {
    auto image = Make(3, 1);
    // Transparent, opaque blue, half red.
    graphin::Blend(*image, 0, 0, 0x00ffffffu, 1.0);
    graphin::Blend(*image, 1, 0, 0xff0000ffu, 1.0);
    graphin::Blend(*image, 2, 0, 0x80ff0000u, 1.0);
    ASSERT_EQ(image->At(1, 0), 0xff0000ffu);
    ASSERT_EQ(image->At(2, 0), 0x80ff0000u);
    struct Case {
        const char* name;
        int x;
        bool bottomUp;
    } cases[] = {{"top-down at 1", 1, false}, {"bottom-up at 1", 1, true}, {"clipped at -1", -1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int w = 4, h = 2;
        std::vector<uint8_t> dest(w * h * 4, 0);
        for (size_t i = 0; i < dest.size(); i += 4) {
            dest[i] = 10;       // blue
            dest[i + 1] = 20;   // green
            dest[i + 2] = 30;   // red
            dest[i + 3] = 7;
        }
        std::vector<uint8_t> before = dest;
        graphin::CompositeOnto(*image, 0, 0, 3, 1, dest.data(), w, h, w * 4, c.bottomUp, c.x, 0);
        const int row = c.bottomUp ? h - 1 : 0;
        auto px = [&](int x) { return &dest[(row * w + x) * 4]; };
        if (c.x == 1) {
            EXPECT_EQ(std::vector<uint8_t>(px(1), px(1) + 4), std::vector<uint8_t>(px(0), px(0) + 4));  // alpha 0
            EXPECT_EQ(px(2)[0], 255);
            EXPECT_EQ(px(2)[2], 0);
            EXPECT_EQ(px(3)[2], (255 * 128 + 30 * 127 + 127) / 255);
            EXPECT_EQ(px(3)[0], (10 * 127 + 127) / 255);
        } else {
            EXPECT_EQ(px(0)[0], 255);   // the blue pixel lands at 0, the transparent one is cut off
            EXPECT_EQ(px(1)[2], (255 * 128 + 30 * 127 + 127) / 255);
        }
        for (int x = 0; x < w; ++x) EXPECT_EQ(px(x)[3], 7);   // the fourth byte is left alone
        // The other row is untouched.
        const int other = (1 - row) * w * 4;
        EXPECT_TRUE(std::equal(dest.begin() + other, dest.begin() + other + w * 4, before.begin() + other));
    }
}

TEST(GraphinRaster, DiagonalStrokeCoversExactlyThePixelsNearIt) {
    // Every pixel whose centre lies within the half width (+0.5 of anti-aliasing) of the
    // segment is drawn, and no other: checked against the distance itself.
    auto image = Make(200, 150);
    Graphics g;
    g.image = image.get();
    g.lineWidth = 5;
    g.lineColor = kRed;
    const double x1 = 10.3, y1 = 140.6, x2 = 190.2, y2 = 7.9;
    graphin::DrawLine(g, x1, y1, x2, y2);
    for (int y = 0; y < 150; ++y) {
        for (int x = 0; x < 200; ++x) {
            double px = x + 0.5, py = y + 0.5, dx = x2 - x1, dy = y2 - y1;
            double t = std::max(0.0, std::min(1.0, ((px - x1) * dx + (py - y1) * dy) / (dx * dx + dy * dy)));
            double d = std::hypot(x1 + t * dx - px, y1 + t * dy - py);
            bool drawn = Alpha(image->At(x, y)) != 0;
            if (d < 1.99) ASSERT_EQ(image->At(x, y), kRed) << x << "," << y;
            if (d > 3.01) ASSERT_FALSE(drawn) << x << "," << y;
            if (d > 2.05 && d < 2.95) ASSERT_TRUE(drawn) << x << "," << y;
        }
    }
}
