// Grey, inversion, threshold, dithering and depth changes.
#include <gtest/gtest.h>

#include "OpsTestSupport.h"
#include "image/PxImage.h"

using opstest::Rgb;

TEST(PxColorDepth, GreyUsesIntegerWeights) {
    struct Case {
        RGBQUAD c;
        int grey;
    };
    const Case kCases[] = {{Rgb(255, 0, 0), 76}, {Rgb(0, 255, 0), 149}, {Rgb(0, 0, 255), 29},
                           {Rgb(255, 255, 255), 255}, {Rgb(10, 200, 33), (10 * 306 + 200 * 601 + 33 * 117) >> 10}};
    for (const Case& k : kCases) {
        SCOPED_TRACE(opstest::Str(k.c));
        PxImage im;
        opstest::Solid(im, 3, 2, k.c);
        ASSERT_TRUE(im.GrayScale());
        EXPECT_EQ(im.GetBpp(), 8);
        EXPECT_TRUE(im.IsGrayScale());
        EXPECT_EQ(im.GetPixelIndex(2, 1), k.grey);
    }
}

TEST(PxColorDepth, GreyOfAPaletteImageKeepsItsShape) {
    PxImage im;
    im.Create(5, 3, 8);
    im.SetPaletteColor(7, 0, 255, 0);  // pure green
    im.SetPixelIndex(4, 2, 7);
    im.SetTransIndex(7);
    ASSERT_TRUE(im.GrayScale());
    EXPECT_EQ(im.GetBpp(), 8);
    EXPECT_EQ(im.GetWidth(), 5u);
    EXPECT_EQ(im.GetPixelIndex(4, 2), 149);
    EXPECT_EQ(im.GetTransIndex(), 149);  // now names the grey level of its colour

    PxImage four;
    four.Create(3, 1, 4);
    four.SetStdPalette();
    four.SetPixelIndex(1, 0, 12);  // blue 255 in the standard palette
    ASSERT_TRUE(four.GrayScale());
    EXPECT_EQ(four.GetBpp(), 8);
    EXPECT_EQ(four.GetPixelIndex(1, 0), 29);
}

TEST(PxColorDepth, GreyThenDimmingShowsTheEditorBackground) {
    PxImage im;
    opstest::Solid(im, 2, 1, Rgb(255, 255, 255));
    im.SetPixelColor(1, 0, Rgb(46, 46, 46));
    ASSERT_TRUE(im.GrayScale());
    ASSERT_TRUE(im.Light(-46, 0));
    EXPECT_TRUE(opstest::Same(im.GetPixelColor(0, 0), Rgb(209, 209, 209)));
    EXPECT_TRUE(opstest::Same(im.GetPixelColor(1, 0), Rgb(0, 0, 0)));
}

TEST(PxColorDepth, NegativeTwiceRestores) {
    PxImage im;
    opstest::Numbered(im, 5, 4);
    im.SetTransColor(Rgb(1, 2, 3));
    uint64_t before = opstest::Hash(im);
    ASSERT_TRUE(im.Negative());
    EXPECT_TRUE(opstest::Same(im.GetPixelColor(0, 0), Rgb(255 - 3, 255 - 5, 255 - 0)));
    EXPECT_EQ(im.GetTransColor().rgbRed, 254);
    ASSERT_TRUE(im.Negative());
    EXPECT_EQ(opstest::Hash(im), before);
    EXPECT_EQ(im.GetTransColor().rgbRed, 1);

    // On a grey image the indexes are inverted, within the selection only.
    PxImage grey;
    opstest::Solid(grey, 4, 1, Rgb(100, 100, 100));
    grey.GrayScale();
    RECT r = {0, 1, 2, 0};
    grey.SelectionAddRect(r);
    ASSERT_TRUE(grey.Negative());
    EXPECT_EQ(grey.GetPixelIndex(0, 0), 155);
    EXPECT_EQ(grey.GetPixelIndex(3, 0), 100);
}

TEST(PxColorDepth, ThresholdSplitsAboveTheLevel) {
    PxImage im;
    opstest::Solid(im, 2, 1, Rgb(128, 128, 128));
    im.SetPixelColor(1, 0, Rgb(129, 129, 129));
    im.SetJpegQuality(50);
    ASSERT_TRUE(im.Threshold(128));
    EXPECT_EQ(im.GetBpp(), 1);
    EXPECT_EQ(im.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(im.GetPixelIndex(1, 0), 1);
    EXPECT_TRUE(opstest::Same(im.GetPaletteColor(1), Rgb(255, 255, 255)));
    EXPECT_EQ(im.GetJpegQuality(), 90);  // a fresh information block
}

TEST(PxColorDepth, ThresholdAndDitherLeaveTheImageAloneWhenTheyFail) {
    // An 8-bit colour image can turn grey without allocating; its 1-bit result
    // is then refused by the size cap (64 x 64 planes exceed it). The image must
    // come back as it was, not grey.
    PxImage im;
    ASSERT_TRUE(im.Create(64, 64, 8));
    im.SetStdPalette();
    for (long y = 0; y < 64; ++y)
        for (long x = 0; x < 64; ++x) im.SetPixelIndex(x, y, static_cast<uint8_t>(x + y));
    uint64_t before = opstest::Hash(im);
    uint64_t cap = PxImage::GetMaxImageBytes();
    PxImage::SetMaxImageBytes(4000);
    bool threshold = im.Threshold(100);
    bool dither = im.Dither(0);
    PxImage::SetMaxImageBytes(cap);
    EXPECT_FALSE(threshold);
    EXPECT_FALSE(dither);
    EXPECT_FALSE(im.IsGrayScale());
    EXPECT_EQ(opstest::Hash(im), before);
}

TEST(PxColorDepth, DitherMethods) {
    // Error diffusion: 100 -> 0, the next pixel receives 100 x 7 / 16 = 43.
    PxImage im;
    opstest::Solid(im, 2, 1, Rgb(100, 100, 100));
    ASSERT_TRUE(im.Dither(0));
    EXPECT_EQ(im.GetBpp(), 1);
    EXPECT_EQ(im.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(im.GetPixelIndex(1, 0), 1);
    // Ordered: uniform white is all 1, uniform black all 0, for both matrices.
    for (long method : {1L, 7L}) {
        SCOPED_TRACE(method);
        PxImage white, black;
        opstest::Solid(white, 8, 8, Rgb(255, 255, 255));
        opstest::Solid(black, 8, 8, Rgb(0, 0, 0));
        ASSERT_TRUE(white.Dither(method));
        ASSERT_TRUE(black.Dither(method));
        for (long y = 0; y < 8; ++y)
            for (long x = 0; x < 8; ++x) {
                ASSERT_EQ(white.GetPixelIndex(x, y), 1);
                ASSERT_EQ(black.GetPixelIndex(x, y), 0);
            }
    }
    // Mid grey dithers to about half white for every method, and a 1-bit image
    // is left as it is.
    for (long method = 0; method <= 7; ++method) {
        SCOPED_TRACE(method);
        PxImage grey;
        opstest::Solid(grey, 32, 32, Rgb(128, 128, 128));
        ASSERT_TRUE(grey.Dither(method));
        int ones = 0;
        for (long y = 0; y < 32; ++y)
            for (long x = 0; x < 32; ++x) ones += grey.GetPixelIndex(x, y);
        EXPECT_GT(ones, 1024 * 35 / 100);
        EXPECT_LT(ones, 1024 * 65 / 100);
        EXPECT_TRUE(grey.Dither(method));
    }
}

TEST(PxColorDepth, OrderedMatrixOfMethodSeven) {
    // Entry (x mod 4) + 4 (y mod 4) of the generated table: output 1 when it is
    // below the level. Level 100 lights the entries 0, 48, 64, 96, 32, 16, 80.
    PxImage im;
    opstest::Solid(im, 4, 4, Rgb(100, 100, 100));
    ASSERT_TRUE(im.Dither(7));
    const int kTable[16] = {0, 192, 48, 240, 128, 64, 176, 112, 32, 224, 16, 208, 160, 96, 144, 80};
    for (long y = 0; y < 4; ++y)
        for (long x = 0; x < 4; ++x) EXPECT_EQ(im.GetPixelIndex(x, y), kTable[x + 4 * y] < 100 ? 1 : 0) << x << "," << y;
}

TEST(PxColorDepth, DecreaseBppDiffusesFourteenSixteenths) {
    // Palette: grey i for i < 100, black above, so every level below 100 is
    // stored exactly and the diffused error shows in the indexes. White at (0, 0)
    // is stored as 99: error 156, of which (1, 0) gets 7/16 (68), (0, 1) 4/16
    // (39) and (1, 1) 1/16 (9); (-1, 1) would get 2/16. Floyd-Steinberg's 5/16
    // would have given (0, 1) 48 instead of 39.
    RGBQUAD pal[256];
    for (int i = 0; i < 256; ++i) pal[i] = i < 100 ? Rgb(static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)) : Rgb(0, 0, 0);
    PxImage im;
    opstest::Solid(im, 3, 2, Rgb(10, 10, 10));
    im.SetPixelColor(0, 0, Rgb(255, 255, 255));
    ASSERT_TRUE(im.DecreaseBpp(8, true, pal));
    EXPECT_EQ(im.GetBpp(), 8);
    EXPECT_EQ(im.GetPixelIndex(0, 0), 99);
    EXPECT_EQ(im.GetPixelIndex(1, 0), 10 + 68);
    EXPECT_EQ(im.GetPixelIndex(2, 0), 10);
    EXPECT_EQ(im.GetPixelIndex(0, 1), 10 + 39);
    EXPECT_EQ(im.GetPixelIndex(1, 1), 10 + 9);
    EXPECT_EQ(im.GetPixelIndex(2, 1), 10);
}

TEST(PxColorDepth, DecreaseAndIncreaseBpp) {
    PxImage im;
    opstest::Solid(im, 4, 4, Rgb(255, 0, 0));
    PxImage same(im);
    EXPECT_TRUE(same.DecreaseBpp(24, false));
    EXPECT_EQ(opstest::Hash(same), opstest::Hash(im));
    ASSERT_TRUE(im.DecreaseBpp(8, false));
    EXPECT_EQ(im.GetBpp(), 8);
    EXPECT_TRUE(opstest::Same(im.GetPixelColor(0, 0), Rgb(255, 0, 0)));  // in the standard palette
    PxImage four;
    four.Create(2, 2, 4);
    EXPECT_FALSE(four.DecreaseBpp(8, false));

    PxImage bw;
    bw.Create(2, 1, 1);
    bw.SetPaletteColor(1, 255, 255, 255);
    bw.SetPixelIndex(1, 0, 1);
    ASSERT_TRUE(bw.IncreaseBpp(24));
    EXPECT_EQ(bw.GetBpp(), 24);
    EXPECT_TRUE(opstest::Same(bw.GetPixelColor(0, 0), Rgb(0, 0, 0)));
    EXPECT_TRUE(opstest::Same(bw.GetPixelColor(1, 0), Rgb(255, 255, 255)));
    PxImage deep;
    opstest::Solid(deep, 2, 2, Rgb(1, 2, 3));
    EXPECT_FALSE(deep.IncreaseBpp(8));
    EXPECT_FALSE(deep.IncreaseBpp(16));
    PxImage p4;
    p4.Create(3, 1, 4);
    p4.SetStdPalette();
    p4.SetPixelIndex(2, 0, 9);
    ASSERT_TRUE(p4.IncreaseBpp(8));
    EXPECT_EQ(p4.GetBpp(), 8);
    EXPECT_EQ(p4.GetPixelIndex(2, 0), 9);
}
