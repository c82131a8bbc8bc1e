#include <gtest/gtest.h>

#include "image/PxImage.h"

TEST(PxImagePalette, FourBitIndexesUseNibbles) {
    PxImage im(4, 1, 4, 0);
    im.SetPixelIndex(0, 0, 0x1F);
    im.SetPixelIndex(1, 0, 3);
    EXPECT_EQ(im.GetBits(0)[0], 0xF3);
    EXPECT_EQ(im.GetPixelIndex(0, 0), 15);
}

TEST(PxImagePalette, OutsideIndexIsTransparentOrFirstByte) {
    PxImage im(4, 1, 8, 0);
    im.SetPixelIndex(0, 0, 42);
    EXPECT_EQ(im.GetPixelIndex(-1, 0), 42);
    im.SetTransIndex(7);
    EXPECT_EQ(im.GetPixelIndex(-1, 0), 7);
}

TEST(PxImagePalette, NearestIndexOnStandardPalette) {
    PxImage im(2, 2, 4, 0);
    im.SetStdPalette();
    EXPECT_EQ(im.GetNearestIndex(RGBQUAD{250, 5, 5, 0}), 12);
    EXPECT_EQ(im.GetNearestIndex(RGBQUAD{0, 64, 128, 0}), 1);  // tie between 1 and 3: lowest wins
}

TEST(PxImagePalette, PaletteChangeInvalidatesNearestCache) {
    PxImage im(2, 2, 8, 0);
    im.SetStdPalette();
    RGBQUAD grey = {100, 100, 100, 0};
    uint8_t before = im.GetNearestIndex(grey);
    im.SetGrayPalette();
    EXPECT_NE(before, 100);
    EXPECT_EQ(im.GetNearestIndex(grey), 100);
}

TEST(PxImagePalette, StandardPaletteSamples) {
    PxImage im(1, 1, 8, 0);
    im.SetStdPalette();
    struct Case { int index; uint8_t b, g, r; };
    const Case kCases[] = {{28, 0, 85, 255}, {29, 0, 73, 220}, {33, 0, 25, 80}, {94, 255, 212, 227},
                           {99, 255, 37, 87}, {40, 0, 0, 254}, {226, 242, 242, 242}, {245, 14, 14, 14},
                           {246, 240, 251, 255}, {255, 255, 255, 255}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.index);
        RGBQUAD q = im.GetPaletteColor(static_cast<uint8_t>(c.index));
        EXPECT_EQ(q.rgbBlue, c.b);
        EXPECT_EQ(q.rgbGreen, c.g);
        EXPECT_EQ(q.rgbRed, c.r);
    }
}

TEST(PxImagePalette, LineIncludesBothEnds) {
    PxImage im(4, 2, 24, 0);
    im.DrawLine(0, 3, 0, 1, RGB(255, 255, 255));
    const long expected[4][2] = {{0, 0}, {1, 0}, {2, 1}, {3, 1}};
    int lit = 0;
    for (long y = 0; y < 2; ++y)
        for (long x = 0; x < 4; ++x) lit += im.GetPixelColor(x, y).rgbRed == 255;
    EXPECT_EQ(lit, 4);
    for (const auto& p : expected) EXPECT_EQ(im.GetPixelColor(p[0], p[1]).rgbRed, 255);
}

TEST(PxImagePalette, BlendIsClampedToZeroAndOne) {
    PxImage im(3, 1, 24, 0);
    RGBQUAD white = {255, 255, 255, 0};
    im.BlendPixelColor(0, 0, white, 0.5f);
    EXPECT_EQ(im.GetPixelColor(0, 0).rgbRed, 127);
    im.BlendPixelColor(1, 0, white, 1.0f);
    EXPECT_EQ(im.GetPixelColor(1, 0).rgbRed, 255);
    // Out of range weights used to wrap the channel bytes.
    im.SetPixelColor(2, 0, RGB(100, 100, 100));
    im.BlendPixelColor(2, 0, white, 2.0f);
    EXPECT_EQ(im.GetPixelColor(2, 0).rgbRed, 255);
    im.SetPixelColor(2, 0, RGB(100, 100, 100));
    im.BlendPixelColor(2, 0, white, -1.0f);
    EXPECT_EQ(im.GetPixelColor(2, 0).rgbRed, 100);
}

TEST(PxImagePalette, ClrImportantLimits) {
    PxImage im(1, 1, 4, 0);
    im.SetClrImportant(300);
    EXPECT_EQ(im.GetClrImportant(), 0u);
    im.SetClrImportant(20);
    EXPECT_EQ(im.GetClrImportant(), 16u);
}

// Only the 256-level identity palette is grey: packed 1- and 4-bit rows are not
// one byte per pixel.
TEST(PxImagePalette, GrayScaleNeedsTheFull256Identity) {
    PxImage bw(8, 1, 1, 0);
    bw.SetGrayPalette();
    EXPECT_FALSE(bw.IsGrayScale());
    PxImage twoLevel(8, 1, 1, 0);
    twoLevel.SetPaletteColor(1, 1, 1, 1);
    EXPECT_TRUE(twoLevel.IsGrayScale());  // identity, yet 1-bit
    PxImage grey(8, 1, 8, 0);
    grey.SetGrayPalette();
    EXPECT_TRUE(grey.IsGrayScale());
    std::vector<uint8_t> raw;
    PxImage target(8, 1, 24, 0);
    EXPECT_FALSE(target.AlphaSet(twoLevel));  // a packed row would be read past its end
    EXPECT_TRUE(target.AlphaSet(grey));
}

TEST(PxImagePalette, SwapIndexSwapsEntriesAndPixels) {
    PxImage im(2, 1, 8, 0);
    im.SetGrayPalette();
    im.SetPixelIndex(0, 0, 0);
    im.SetPixelIndex(1, 0, 5);
    im.SwapIndex(0, 5);
    EXPECT_EQ(im.GetPixelIndex(0, 0), 5);
    EXPECT_EQ(im.GetPixelIndex(1, 0), 0);
    EXPECT_EQ(im.GetPaletteColor(0).rgbRed, 5);
}

TEST(PxImagePalette, SwapIndexIgnoresIndexesPastThePalette) {
    PxImage im(2, 1, 1, 0);
    im.SetPaletteColor(0, 1, 2, 3);
    im.SetPaletteColor(1, 4, 5, 6);
    im.SwapIndex(0, 200);
    EXPECT_EQ(im.GetPaletteColor(0).rgbRed, 1);
    EXPECT_EQ(im.GetPaletteColor(1).rgbRed, 4);
}
