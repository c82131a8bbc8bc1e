// Lookup tables, brightness and contrast, gamma, channel shifts, mean and mixing.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "OpsTestSupport.h"
#include "image/PxImage.h"

using opstest::Rgb;

namespace {
// The table Light builds, read back through a 256-entry grey image.
std::vector<int> LightTable(long brightness, long contrast) {
    PxImage im;
    im.Create(256, 1, 8);
    im.SetGrayPalette();
    for (long x = 0; x < 256; ++x) im.SetPixelIndex(x, 0, static_cast<uint8_t>(x));
    EXPECT_TRUE(im.Light(brightness, contrast));
    std::vector<int> out;
    for (long x = 0; x < 256; ++x) out.push_back(im.GetPixelColor(x, 0).rgbRed);
    return out;
}
}  // namespace

TEST(PxAdjust, LightTables) {
    std::vector<int> identity = LightTable(0, 0);
    for (int v = 0; v < 256; ++v) ASSERT_EQ(identity[v], v);
    std::vector<int> dim = LightTable(-46, 0);
    for (int v = 0; v <= 46; ++v) EXPECT_EQ(dim[v], 0);
    EXPECT_EQ(dim[47], 1);
    EXPECT_EQ(dim[255], 209);
    std::vector<int> steep = LightTable(0, 100);
    EXPECT_EQ(steep[64], 0);
    EXPECT_EQ(steep[192], 255);
    EXPECT_EQ(steep[130], 132);
}

TEST(PxAdjust, LightOnAGreyImageChangesThePaletteOrTheSelectedIndexes) {
    PxImage im;
    opstest::Solid(im, 4, 1, Rgb(100, 100, 100));
    im.GrayScale();
    PxImage masked(im);
    ASSERT_TRUE(im.Light(-46, 0));
    EXPECT_EQ(im.GetPixelIndex(0, 0), 100);  // indexes stay
    EXPECT_EQ(im.GetPaletteColor(100).rgbRed, 54);
    RECT r = {0, 1, 2, 0};
    masked.SelectionAddRect(r);
    ASSERT_TRUE(masked.Light(-46, 0));
    EXPECT_EQ(masked.GetPixelIndex(0, 0), 54);
    EXPECT_EQ(masked.GetPixelIndex(3, 0), 100);
    EXPECT_TRUE(masked.IsGrayScale());  // the palette stays
}

TEST(PxAdjust, LutWithoutMaskAlsoMapsRowPadding) {
    PxImage im;
    opstest::Solid(im, 1, 2, Rgb(0, 0, 0));  // 3 bytes of pixel, 1 of padding per row
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(255 - i);
    ASSERT_TRUE(im.Lut(table));
    EXPECT_EQ(im.GetBits(0)[3], 255);
    EXPECT_TRUE(opstest::Same(im.GetPixelColor(0, 1), Rgb(255, 255, 255)));
    EXPECT_FALSE(im.Lut(nullptr));
    EXPECT_FALSE(im.Lut(table, table, nullptr));
}

TEST(PxAdjust, GammaTablesAndRefusedValues) {
    PxImage im;
    im.Create(256, 1, 8);
    im.SetGrayPalette();
    for (long x = 0; x < 256; ++x) im.SetPixelIndex(x, 0, static_cast<uint8_t>(x));
    PxImage one(im), two(im), tiny(im);
    ASSERT_TRUE(one.Gamma(1.0f));
    for (long x = 0; x < 256; ++x) ASSERT_EQ(one.GetPixelColor(x, 0).rgbRed, x);
    ASSERT_TRUE(two.Gamma(2.0f));
    EXPECT_EQ(two.GetPixelColor(64, 0).rgbRed, 127);
    EXPECT_EQ(two.GetPixelColor(255, 0).rgbRed, 255);
    // A gamma of zero, below zero or not a number has no table: refused, unchanged.
    for (float g : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        SCOPED_TRACE(g);
        PxImage t(im);
        EXPECT_FALSE(t.Gamma(g));
        EXPECT_EQ(opstest::Hash(t), opstest::Hash(im));
    }
    // A tiny gamma overflows the powers; the table still ends at 255 and starts at 0.
    ASSERT_TRUE(tiny.Gamma(1e-6f));
    EXPECT_EQ(tiny.GetPixelColor(0, 0).rgbRed, 0);
    EXPECT_EQ(tiny.GetPixelColor(255, 0).rgbRed, 255);
}

TEST(PxAdjust, ShiftRgbClampsAndRedEyeTakesTheSmallerChannel) {
    PxImage im;
    opstest::Numbered(im, 3, 3);
    ASSERT_TRUE(im.ShiftRGB(300, 0, -300));
    for (long y = 0; y < 3; ++y)
        for (long x = 0; x < 3; ++x) {
            EXPECT_EQ(im.GetPixelColor(x, y).rgbRed, 255);
            EXPECT_EQ(im.GetPixelColor(x, y).rgbBlue, 0);
        }
    PxImage eye;
    opstest::Solid(eye, 2, 2, Rgb(250, 40, 90));
    ASSERT_TRUE(eye.RedEyeRemove());
    EXPECT_TRUE(opstest::AllPixels(eye, Rgb(40, 40, 90)));
}

TEST(PxAdjust, MeanIsExactOnLargeImages) {
    // Summed in single precision a 4K uniform 100 came out as 106.9 and white
    // as 256; 1920 x 1080 uniform 100 as 97.3.
    struct Case {
        uint32_t w, h;
        uint8_t v;
    };
    for (const Case& c : {Case{3840, 2160, 100}, Case{3840, 2160, 255}, Case{1920, 1080, 100}}) {
        SCOPED_TRACE(c.w);
        PxImage im;
        opstest::Solid(im, c.w, c.h, Rgb(c.v, c.v, c.v));
        EXPECT_FLOAT_EQ(im.Mean(), c.v);
    }
    PxImage two;
    opstest::Solid(two, 2, 1, Rgb(0, 0, 0));
    two.SetPixelColor(1, 0, Rgb(255, 255, 255));
    EXPECT_FLOAT_EQ(two.Mean(), 127.5f);
    PxImage empty;
    EXPECT_EQ(empty.Mean(), 0.0f);
}

TEST(PxAdjust, MeanWithAMaskCountsTheWholeBox) {
    PxImage im;
    opstest::Solid(im, 4, 4, Rgb(0, 0, 0));
    im.SetPixelColor(1, 1, Rgb(200, 200, 200));
    // A mask whose box starts at the bottom row (box top... bottom 0): progress
    // must not divide by the box's bottom or top.
    RECT r = {0, 2, 2, 0};
    im.SelectionAddRect(r);
    im.SelectionAddPixel(3, 3);  // outside the box: not counted
    EXPECT_FLOAT_EQ(im.Mean(), 200.0f / 4.0f);
    // A mask created but empty has an empty box.
    PxImage none;
    opstest::Solid(none, 2, 2, Rgb(9, 9, 9));
    none.SelectionCreate();
    EXPECT_EQ(none.Mean(), 0.0f);
}

TEST(PxAdjust, MixOperations) {
    PxImage a, b;
    opstest::Solid(a, 4, 2, Rgb(150, 150, 150));
    opstest::Solid(b, 4, 2, Rgb(150, 20, 150));
    PxImage add(a);
    add.Mix(b, PxImage::OpAdd);
    EXPECT_TRUE(opstest::AllPixels(add, Rgb(255, 170, 255)));
    PxImage shifted(a);
    shifted.Mix(b, PxImage::OpAdd, 4, 0);  // dx = the other's width: nothing overlaps
    EXPECT_TRUE(opstest::AllPixels(shifted, Rgb(150, 150, 150)));
    PxImage sub(a);
    sub.Mix(b, PxImage::OpSub);
    EXPECT_TRUE(opstest::AllPixels(sub, Rgb(0, 130, 0)));
    PxImage distant(a);
    distant.Mix(b, PxImage::OpAdd, LONG_MIN, LONG_MAX);  // no overlap, no overflow
    distant.MixFrom(b, LONG_MAX, LONG_MIN);
    EXPECT_TRUE(opstest::AllPixels(distant, Rgb(150, 150, 150)));
    PxImage unknown(a);
    unknown.Mix(b, static_cast<PxImage::ImageOpType>(12));
    EXPECT_TRUE(opstest::AllPixels(unknown, Rgb(150, 150, 150)));
}

TEST(PxAdjust, MixBlendUsesEachChannelOfTheOtherImage) {
    // Op 8 blends pixels near the background toward the other image channel by
    // channel; taking the other image's blue for all three would turn
    // (200, 100, 50) into (50, 50, 50).
    PxImage a, b;
    opstest::Solid(a, 2, 1, Rgb(3, 3, 3));  // background (0, 0, 0): s = 3
    opstest::Solid(b, 2, 1, Rgb(200, 100, 50));
    a.Mix(b, PxImage::OpSrcBlend);
    // (16 - 3) / 16 x other + 3 / 16 x own, truncated.
    RGBQUAD c = a.GetPixelColor(0, 0);
    EXPECT_EQ(c.rgbRed, static_cast<int>(13 * 0.0625f * 200 + 3 * 0.0625f * 3));
    EXPECT_EQ(c.rgbGreen, static_cast<int>(13 * 0.0625f * 100 + 3 * 0.0625f * 3));
    EXPECT_EQ(c.rgbBlue, static_cast<int>(13 * 0.0625f * 50 + 3 * 0.0625f * 3));
}

TEST(PxAdjust, MixPasteByAlpha) {
    PxImage dst, src;
    opstest::Solid(dst, 3, 1, Rgb(0, 0, 0));
    opstest::Solid(src, 3, 1, Rgb(255, 255, 255));
    src.AlphaCreate();
    src.AlphaSet(0, 0, 0);
    src.AlphaSet(1, 0, 128);
    dst.Mix(src, PxImage::OpScreen);
    EXPECT_TRUE(opstest::Same(dst.GetPixelColor(0, 0), Rgb(0, 0, 0)));
    int a = (128 * 256) >> 8;
    EXPECT_EQ(dst.GetPixelColor(1, 0).rgbRed, (255 * a) >> 8);  // >> 8 on weights of 255
    EXPECT_TRUE(opstest::Same(dst.GetPixelColor(2, 0), Rgb(255, 255, 255)));
}

TEST(PxAdjust, MixFromSkipsTheOthersBackground) {
    PxImage dst, src;
    opstest::Solid(dst, 3, 3, Rgb(1, 1, 1));
    opstest::Solid(src, 2, 2, Rgb(0, 0, 0));  // transparent colour (0, 0, 0, 0)
    PxImage unchanged(dst);
    unchanged.MixFrom(src, 0, 0);
    EXPECT_TRUE(opstest::AllPixels(unchanged, Rgb(1, 1, 1)));
    src.SetPixelColor(1, 1, Rgb(9, 8, 7));
    dst.MixFrom(src, 1, 1);
    EXPECT_TRUE(opstest::Same(dst.GetPixelColor(2, 2), Rgb(9, 8, 7)));
    EXPECT_TRUE(opstest::Same(dst.GetPixelColor(1, 1), Rgb(1, 1, 1)));
}
