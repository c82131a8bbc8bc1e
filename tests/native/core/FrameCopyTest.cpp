#include <gtest/gtest.h>

#include "core/video/FrameCopy.h"
#include "Surface.h"

namespace {

TEST(FrameCopy, CopiesAreaClippedToTheSurfaceBottomUp) {
    struct Case {
        const char* name;
        CvxRect area;
    };
    const Case kCases[] = {
        {"inside", {2, 1, 6, 4}},
        {"whole surface", {0, 0, 10, 6}},
        {"larger than the surface", {-3, -2, 14, 9}},
        {"negative coordinates", {-4, -3, 2, 2}},
        {"past the right and bottom", {7, 4, 13, 9}},
        {"entirely outside", {20, 20, 24, 23}},
        {"one pixel", {9, 5, 10, 6}},
    };
    TestSurface surface(10, 6, /*padPixels=*/2);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        int w = c.area.Width(), h = c.area.Height();
        std::vector<uint8_t> dest(size_t(w) * h * 4, 0x77);
        CopyAreaBottomUp(surface.bytes.data(), surface.width, surface.height, surface.pitch, c.area,
                         dest.data());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                int sx = c.area.left + x, sy = c.area.top + y;
                bool inside = sx >= 0 && sy >= 0 && sx < surface.width && sy < surface.height;
                const uint8_t* got = BottomUpPixel(dest, w, h, x, y);
                uint8_t expected[4] = {0, 0, 0, 0};
                if (inside) {
                    const uint8_t* s = surface.Pixel(sx, sy);
                    std::copy(s, s + 4, expected);
                }
                ASSERT_EQ(std::vector<uint8_t>(got, got + 4), std::vector<uint8_t>(expected, expected + 4))
                    << "at " << x << "," << y;
            }
    }
}

TEST(FrameCopy, NarrowPitchLimitsTheReadableWidth) {
    // A pitch of 3 pixels on a surface said to be 5 wide: columns 3 and 4 are not there.
    std::vector<uint8_t> bits(3 * 4 * 2, 0x11);
    std::vector<uint8_t> dest(5 * 2 * 4, 0x77);
    CopyAreaBottomUp(bits.data(), 5, 2, 3 * 4, CvxRect{0, 0, 5, 2}, dest.data());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(BottomUpPixel(dest, 5, 2, x, y)[0], x < 3 ? 0x11 : 0) << x << "," << y;
}

}  // namespace
