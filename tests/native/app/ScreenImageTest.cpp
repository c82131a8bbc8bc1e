#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/ScreenImage.h"

namespace {

// A capture buffer (bottom-up BGRX rows, fourth byte 0 as GDI leaves it) becomes an
// opaque 24-bit image with the same pixels as the library's 32-bit import without its
// alpha channel, in one pass.
TEST(ScreenImage, CaptureBecomesAnOpaque24BitImageWithTheSamePixels) {
    const uint32_t width = 5, height = 3;   // 15-byte rows: the image pads them to 16
    std::vector<uint8_t> buffer(width * height * 4);
    for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = (i % 4 == 3) ? 0 : static_cast<uint8_t>(i * 7 + 1);

    PxImage image;
    ASSERT_TRUE(ScreenImageFromCapture(buffer.data(), width, height, image));
    EXPECT_EQ(image.GetWidth(), width);
    EXPECT_EQ(image.GetHeight(), height);
    EXPECT_EQ(image.GetBpp(), 24u);
    EXPECT_FALSE(image.AlphaIsValid()) << "a saved picture must not be transparent";

    PxImage reference;
    ASSERT_TRUE(reference.CreateFromArray(buffer.data(), width, height, 32, width * 4, false));
    reference.AlphaDelete();
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            RGBQUAD a = image.GetPixelColor(static_cast<long>(x), static_cast<long>(y), false);
            RGBQUAD b = reference.GetPixelColor(static_cast<long>(x), static_cast<long>(y), false);
            ASSERT_EQ(a.rgbBlue, b.rgbBlue) << x << "," << y;
            ASSERT_EQ(a.rgbGreen, b.rgbGreen) << x << "," << y;
            ASSERT_EQ(a.rgbRed, b.rgbRed) << x << "," << y;
        }
    // Row 0 is the buffer's first (bottom) row.
    const uint8_t* bottom = image.GetBits(0);
    EXPECT_EQ(bottom[0], buffer[0]);
    EXPECT_EQ(bottom[3], buffer[4]);
}

TEST(ScreenImage, NoPixelsOrNoSizeIsNoImage) {
    PxImage image;
    std::vector<uint8_t> pixel(4, 9);
    EXPECT_FALSE(ScreenImageFromCapture(nullptr, 1, 1, image));
    EXPECT_FALSE(ScreenImageFromCapture(pixel.data(), 0, 1, image));
    EXPECT_FALSE(image.IsValid());
}

}  // namespace
