// Free rotation, the rotated-rectangle crop, shearing and radial distortions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>

#include "OpsTestSupport.h"
#include "image/PxImage.h"

using opstest::Rgb;

namespace {
// Numbered, with an alpha ramp.
void Card(PxImage& im, uint32_t w, uint32_t h) {
    opstest::Numbered(im, w, h);
    im.AlphaCreate();
    for (long y = 0; y < static_cast<long>(h); ++y)
        for (long x = 0; x < static_cast<long>(w); ++x) im.AlphaSet(x, y, static_cast<uint8_t>(x * 30 + y * 7));
}

bool SameColour(const PxImage& a, long ax, long ay, const PxImage& b, long bx, long by) {
    return opstest::Same(a.GetPixelColor(ax, ay), b.GetPixelColor(bx, by));
}
}  // namespace

TEST(PxRotate, RightAnglesAgreeWithTheQuarterTurns) {
    using Turn = bool (PxImage::*)(PxImage*);
    struct Case {
        float angle;
        Turn turn;
    } cases[] = {{90.0f, &PxImage::RotateRight}, {180.0f, &PxImage::Rotate180}, {-90.0f, &PxImage::RotateLeft},
                 {270.0f, &PxImage::RotateLeft}};
    for (const Case& t : cases)
        for (uint32_t w : {4u, 5u}) {
            PxImage src, want;
            Card(src, w, 3);
            ASSERT_TRUE((src.*t.turn)(&want));
            // Computed pixel by pixel with the nearest pixel...
            PxImage direct;
            ASSERT_TRUE(src.Rotate2(t.angle, &direct, PxImage::IM_NEAREST_NEIGHBOUR, PxImage::OM_BACKGROUND, nullptr,
                                    false, false));
            EXPECT_EQ(opstest::Hash(direct), opstest::Hash(want)) << t.angle << " " << w;
            // ...and handed to the quarter turn with optimise: even a blurring method
            // is then exact.
            PxImage fast;
            ASSERT_TRUE(src.Rotate2(t.angle, &fast, PxImage::IM_GAUSSIAN, PxImage::OM_BACKGROUND, nullptr, true, false));
            EXPECT_EQ(opstest::Hash(fast), opstest::Hash(want)) << t.angle << " " << w;
        }

    // Keeping the size, 180 degrees turns about the centre of the pixel grid.
    PxImage src, want, kept, kept90;
    Card(src, 4, 3);
    ASSERT_TRUE(src.Rotate180(&want));
    ASSERT_TRUE(src.Rotate2(180.0f, &kept, PxImage::IM_NEAREST_NEIGHBOUR, PxImage::OM_BACKGROUND, nullptr, true, true));
    EXPECT_EQ(opstest::Hash(kept), opstest::Hash(want));
    ASSERT_TRUE(src.Rotate2(90.0f, &kept90, PxImage::IM_NEAREST_NEIGHBOUR, PxImage::OM_COLOR, nullptr, true, true));
    EXPECT_EQ(kept90.GetWidth(), 4u);
    EXPECT_EQ(kept90.GetHeight(), 3u);
}

TEST(PxRotate, ZeroAngles) {
    PxImage src;
    Card(src, 5, 4);
    const uint64_t before = opstest::Hash(src);

    // Rotate2 by 0 with optimise copies: into a destination, into nothing, into itself.
    PxImage copy;
    ASSERT_TRUE(src.Rotate2(0.0f, &copy));
    EXPECT_EQ(opstest::Hash(copy), before);
    ASSERT_TRUE(src.Rotate2(0.0f));
    ASSERT_TRUE(src.Rotate2(0.0f, &src));
    EXPECT_EQ(opstest::Hash(src), before);
    // Without optimise the nearest pixel reads every pixel at its own place.
    PxImage direct;
    ASSERT_TRUE(src.Rotate2(0.0f, &direct, PxImage::IM_NEAREST_NEIGHBOUR, PxImage::OM_BACKGROUND, nullptr, false));
    EXPECT_EQ(opstest::Hash(direct), before);

    // Rotate by 0 grows by two: column and row 0 repeat the source's first, the
    // last column and row read outside (pixel (0, 0), alpha 0).
    PxImage grown;
    ASSERT_TRUE(src.Rotate(0.0f, &grown));
    ASSERT_EQ(grown.GetWidth(), 7u);
    ASSERT_EQ(grown.GetHeight(), 6u);
    for (long y = 0; y < 6; ++y)
        for (long x = 0; x < 7; ++x) {
            long sx = x == 0 ? 0 : x - 1, sy = y == 0 ? 0 : y - 1;
            bool outside = sx >= 5 || sy >= 4;
            RGBQUAD want = outside ? src.GetPixelColor(0, 0) : src.GetPixelColor(sx, sy);
            EXPECT_TRUE(opstest::Same(grown.GetPixelColor(x, y), want)) << x << "," << y;
            EXPECT_EQ(grown.AlphaGet(x, y), outside ? 0 : src.AlphaGet(sx, sy)) << x << "," << y;
        }
    EXPECT_EQ(opstest::Hash(src), before) << "a destination leaves the source alone";
}

TEST(PxRotate, FreeAngles) {
    // A uniform picture stays uniform inside, whatever the method, when the
    // outside repeats the edge.
    for (int m = 1; m <= 16; ++m) {
        PxImage flat, out;
        opstest::Solid(flat, 12, 9, Rgb(100, 150, 200));
        ASSERT_TRUE(flat.Rotate2(17.0f, &out, static_cast<PxImage::InterpolationMethod>(m), PxImage::OM_REPEAT,
                                 nullptr, true, true));
        for (long y = 0; y < 9; ++y)
            for (long x = 0; x < 12; ++x) {
                RGBQUAD c = out.GetPixelColor(x, y);
                ASSERT_LE(std::abs(c.rgbRed - 100) + std::abs(c.rgbGreen - 150) + std::abs(c.rgbBlue - 200), 3)
                    << "method " << m << " at " << x << "," << y << " " << opstest::Str(c);
            }
    }

    // A free angle with the nearest pixel reads the source pixel that the inverse
    // turn lands on, computed here in double precision; ties are skipped.
    PxImage src, out;
    opstest::Numbered(src, 9, 7);
    RGBQUAD red = Rgb(255, 0, 0);
    ASSERT_TRUE(src.Rotate2(30.0f, &out, PxImage::IM_NEAREST_NEIGHBOUR, PxImage::OM_COLOR, &red, true));
    const double a = -30.0 * std::acos(-1.0) / 180.0, c = std::cos(a), s = std::sin(a);
    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
    for (double px : {-0.5, 8.5})
        for (double py : {-0.5, 6.5}) {
            minX = std::min(minX, px * c - py * s);
            maxX = std::max(maxX, px * c - py * s);
            minY = std::min(minY, px * s + py * c);
            maxY = std::max(maxY, px * s + py * c);
        }
    const long nw = static_cast<long>(std::floor(maxX - minX + 0.5)), nh = static_cast<long>(std::floor(maxY - minY + 0.5));
    ASSERT_EQ(static_cast<long>(out.GetWidth()), nw);
    ASSERT_EQ(static_cast<long>(out.GetHeight()), nh);
    int compared = 0;
    for (long j = 0; j < nh; ++j)
        for (long i = 0; i < nw; ++i) {
            double x = (maxX + minX - (nw - 1)) / 2 + i, y = (maxY + minY - (nh - 1)) / 2 + j;
            double ox = c * x + s * y, oy = c * y - s * x;
            double fx = ox - std::floor(ox), fy = oy - std::floor(oy);
            if (std::fabs(fx - 0.5) < 0.01 || std::fabs(fy - 0.5) < 0.01) continue;
            // The nearest pixel truncates toward zero, so -1.4 still reads column 0.
            long sx = static_cast<long>(ox + 0.5), sy = static_cast<long>(oy + 0.5);
            RGBQUAD want = src.IsInside(sx, sy) ? src.GetPixelColor(sx, sy) : red;
            EXPECT_TRUE(opstest::Same(out.GetPixelColor(i, j), want)) << i << "," << j;
            ++compared;
        }
    EXPECT_GT(compared, nw * nh / 2);
}

TEST(PxRotate, CropRotatedRectangle) {
    PxImage src;
    Card(src, 40, 30);
    const uint64_t before = opstest::Hash(src);
    PxImage plain, tiny;
    ASSERT_TRUE(src.Crop(5, 4, 25, 14, &plain));
    ASSERT_TRUE(src.CropRotatedRectangle(5, 4, 20, 10, 0.0001f, &tiny));
    EXPECT_EQ(opstest::Hash(tiny), opstest::Hash(plain));

    // Turned either way, the rectangle comes out about its own size.
    for (float angle : {0.3f, -0.3f}) {
        PxImage cut;
        ASSERT_TRUE(src.CropRotatedRectangle(12, 8, 14, 8, angle, &cut)) << angle;
        EXPECT_NEAR(static_cast<double>(cut.GetWidth()), 14.0, 1.0) << angle;
        EXPECT_NEAR(static_cast<double>(cut.GetHeight()), 8.0, 1.0) << angle;
    }
    EXPECT_EQ(opstest::Hash(src), before);

    // A corner outside the image is refused, also the one a negative angle
    // lifts above the top edge.
    struct {
        long x, y, w, h;
        float angle;
    } outside[] = {{5, 2, 20, 10, -0.5f}, {30, 5, 20, 5, 0.2f}, {5, 25, 10, 10, 0.3f}, {2, 5, 10, 10, 0.5f}};
    for (auto& o : outside) {
        PxImage cut;
        EXPECT_FALSE(src.CropRotatedRectangle(o.x, o.y, o.w, o.h, o.angle, &cut)) << o.x << " " << o.angle;
    }
    EXPECT_EQ(opstest::Hash(src), before);
}

TEST(PxRotate, SkewAndCircleTransform) {
    PxImage src;
    Card(src, 12, 10);
    const uint64_t before = opstest::Hash(src);
    for (bool interpolate : {false, true}) {
        PxImage same(src);
        ASSERT_TRUE(same.Skew(0.0f, 0.0f, 0, 0, interpolate));
        EXPECT_EQ(opstest::Hash(same), before) << interpolate;
    }
    // A gain of 1 in x about row 2: row y reads from x + (y - 2); beyond the
    // image, pixel (0, 0).
    PxImage sheared(src);
    ASSERT_TRUE(sheared.Skew(1.0f, 0.0f, 0, 2, false));
    for (long y = 0; y < 10; ++y)
        for (long x = 0; x < 12; ++x) {
            long sx = x + (y - 2);
            bool inside = sx >= 0 && sx < 12;
            EXPECT_TRUE(SameColour(sheared, x, y, src, inside ? sx : 0, inside ? y : 0)) << x << "," << y;
            EXPECT_EQ(sheared.AlphaGet(x, y), inside ? src.AlphaGet(sx, y) : 0) << x << "," << y;
        }

    // Type 4 moves each column by (x mod 32) - 16 inside the circle.
    PxImage wavy;
    Card(wavy, 40, 40);
    PxImage wsrc(wavy);
    ASSERT_TRUE(wavy.CircleTransform(4, 15, 1.0f));
    for (long y = 0; y < 40; ++y)
        for (long x = 0; x < 40; ++x) {
            float r = std::sqrt(static_cast<float>((20 - x) * (20 - x) + (20 - y) * (20 - y)));
            long sx = r < 15.0f ? x + (x % 32) - 16 : -1, sy = r < 15.0f ? y : -1;
            bool in = wsrc.IsInside(sx, sy);
            EXPECT_TRUE(SameColour(wavy, x, y, wsrc, in ? sx : 0, in ? sy : 0)) << x << "," << y;
        }

    // rmax 0 on 100 x 100 is 70: (0, 1) at radius 70.007 reads outside, (1, 1)
    // at 69.3 does not.
    PxImage big;
    opstest::Numbered(big, 100, 100);
    PxImage bsrc(big);
    for (int type : {0, 1, 2, 3}) {
        PxImage t(bsrc);
        ASSERT_TRUE(t.CircleTransform(type, 0, 0.0f)) << type;
        EXPECT_TRUE(SameColour(t, 0, 1, bsrc, 0, 0)) << type;
        EXPECT_TRUE(SameColour(t, 50, 50, bsrc, 50, 50) || type == 3) << type;
    }
    PxImage t0(bsrc);
    ASSERT_TRUE(t0.CircleTransform(0, 0, 1.0f));
    EXPECT_FALSE(SameColour(t0, 1, 1, bsrc, 0, 0));

    // A selection limits both to the chosen pixels.
    PxImage masked(src);
    RECT r{0, 0, 6, 10};
    ASSERT_TRUE(masked.SelectionAddRect(r));
    ASSERT_TRUE(masked.Skew(1.0f, 0.0f, 0, 0, false));
    for (long y = 0; y < 10; ++y)
        for (long x = 6; x < 12; ++x) EXPECT_TRUE(SameColour(masked, x, y, src, x, y)) << x << "," << y;
}

TEST(PxRotate, BadInputFails) {
    PxImage empty;
    EXPECT_FALSE(empty.Rotate(10.0f));
    EXPECT_FALSE(empty.Rotate2(10.0f));
    EXPECT_FALSE(empty.CropRotatedRectangle(0, 0, 1, 1, 0.5f));
    EXPECT_FALSE(empty.Skew(1.0f, 0.0f));
    EXPECT_FALSE(empty.CircleTransform(0));
    PxImage src;
    Card(src, 6, 5);
    const uint64_t before = opstest::Hash(src);
    EXPECT_FALSE(src.Rotate(std::nanf("")));
    EXPECT_FALSE(src.Rotate2(std::nanf("")));
    EXPECT_FALSE(src.Rotate2(INFINITY));
    EXPECT_FALSE(src.CropRotatedRectangle(0, 0, 3, 3, std::nanf("")));
    EXPECT_EQ(opstest::Hash(src), before);
    // Huge gains and odd types stay inside the image.
    EXPECT_TRUE(src.Skew(1e30f, -1e30f, 3, 3, false));
    EXPECT_TRUE(src.Skew(1e30f, std::nanf(""), 3, 3, true));
    EXPECT_TRUE(src.CircleTransform(-7, -5, 0.0f));
    EXPECT_TRUE(src.CircleTransform(2, 1000000, 1e-30f));
}
