// Resample, Resample2 and QIShrink.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ImageTestSupport.h"
#include "OpsTestSupport.h"
#include "image/PxImage.h"

using opstest::Rgb;

TEST(PxResample, UniformStaysUniformForEveryModeAndMethod) {
    const RGBQUAD kColor = Rgb(100, 150, 200);
    struct Size {
        long w, h;
    };
    // Shrinks by integer and odd factors, enlargements, and one of each.
    const Size kSizes[] = {{8, 8}, {7, 3}, {33, 21}, {90, 70}, {13, 80}, {1, 1}};
    for (uint32_t bits : {24u, 8u}) {
        PxImage src;
        opstest::Solid(src, 40, 30, kColor);
        if (bits == 8) {
            src.DecreaseBpp(8, false);
        }
        RGBQUAD want = src.GetPixelColor(0, 0);
        for (const Size& s : kSizes) {
            for (int mode = 0; mode <= 3; ++mode) {
                SCOPED_TRACE(::testing::Message() << bits << " bits, Resample mode " << mode << " to " << s.w << "x" << s.h);
                PxImage out;
                ASSERT_TRUE(src.Resample(s.w, s.h, mode, &out));
                EXPECT_EQ(out.GetWidth(), static_cast<uint32_t>(s.w));
                EXPECT_TRUE(opstest::AllPixels(out, want));
            }
            for (int m = 1; m <= 16; ++m)
                for (bool noAveraging : {false, true}) {
                    SCOPED_TRACE(::testing::Message() << bits << " bits, Resample2 method " << m << " to " << s.w << "x"
                                                      << s.h << (noAveraging ? " without averaging" : ""));
                    PxImage out;
                    ASSERT_TRUE(src.Resample2(s.w, s.h, static_cast<PxImage::InterpolationMethod>(m), PxImage::OM_REPEAT,
                                              &out, noAveraging));
                    EXPECT_TRUE(opstest::AllPixels(out, want));
                }
            SCOPED_TRACE("QIShrink");
            if (s.w <= 40 && s.h <= 30) {
                PxImage out;
                ASSERT_TRUE(src.QIShrink(s.w, s.h, &out));
                EXPECT_TRUE(opstest::AllPixels(out, want));
            }
        }
    }
}

TEST(PxResample, AreaShrinkDoesNotOverflow) {
    // 32-bit sums wrapped: a uniform 200 1000 x 1000 image shrunk to 8 x 8 came
    // out as 182, and a screenshot thumbnail overflowed above 149.
    struct Case {
        uint32_t w, h;
        long nw, nh;
        uint8_t v;
    };
    for (const Case& c : {Case{1000, 1000, 8, 8, 200}, Case{1920, 1080, 16, 16, 255}, Case{4000, 3000, 16, 16, 255}}) {
        SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h);
        PxImage im;
        opstest::Solid(im, c.w, c.h, Rgb(c.v, c.v, c.v));
        PxImage out;
        ASSERT_TRUE(im.Resample(c.nw, c.nh, 0, &out));
        EXPECT_TRUE(opstest::AllPixels(out, Rgb(c.v, c.v, c.v)));
        PxImage q;
        ASSERT_TRUE(im.QIShrink(c.nw, c.nh, &q));
        EXPECT_TRUE(opstest::AllPixels(q, Rgb(c.v, c.v, c.v)));
    }
}

TEST(PxResample, QIShrinkOfManyPixelsIntoOneCell) {
    // 5000 x 4000 = 20 M pixels in one cell: unsigned 32-bit sums overflow at 16.8 M.
    PxImage im;
    opstest::Solid(im, 5000, 4000, Rgb(255, 128, 1));
    ASSERT_TRUE(im.QIShrink(1, 1));
    EXPECT_TRUE(opstest::Same(im.GetPixelColor(0, 0), Rgb(255, 128, 1)));
}

TEST(PxResample, QIShrinkAveragesWholeBlocks) {
    // 4 -> 2 and 6 -> 3 are 2 x 2 blocks; 4 -> 3 gives the cells {0, 1}, {2}, {3}.
    PxImage im;
    im.Create(6, 2, 24);
    const uint8_t kRed[6] = {10, 20, 30, 40, 50, 60};
    for (long y = 0; y < 2; ++y)
        for (long x = 0; x < 6; ++x) im.SetPixelColor(x, y, Rgb(kRed[x], 0, 0));
    PxImage three;
    ASSERT_TRUE(im.QIShrink(3, 1, &three));
    EXPECT_EQ(three.GetPixelColor(0, 0).rgbRed, 15);
    EXPECT_EQ(three.GetPixelColor(1, 0).rgbRed, 35);
    EXPECT_EQ(three.GetPixelColor(2, 0).rgbRed, 55);
    PxImage four(im);
    ASSERT_TRUE(four.Crop(0, 0, 4, 2));
    PxImage half, odd;
    ASSERT_TRUE(four.QIShrink(2, 1, &half));
    EXPECT_EQ(half.GetPixelColor(0, 0).rgbRed, 15);
    EXPECT_EQ(half.GetPixelColor(1, 0).rgbRed, 35);
    ASSERT_TRUE(four.QIShrink(3, 1, &odd));
    EXPECT_EQ(odd.GetPixelColor(0, 0).rgbRed, 15);
    EXPECT_EQ(odd.GetPixelColor(1, 0).rgbRed, 30);
    EXPECT_EQ(odd.GetPixelColor(2, 0).rgbRed, 40);

    PxImage small;
    opstest::Solid(small, 4, 4, Rgb(1, 1, 1));
    EXPECT_FALSE(small.QIShrink(5, 4));
    EXPECT_STREQ(small.GetLastError(), "QIShrink can't enlarge image");
    EXPECT_FALSE(small.QIShrink(0, 2));
    EXPECT_FALSE(small.QIShrink(-2, 2));
}

TEST(PxResample, ShrinkStaysCloseToImageMagick) {
    PX_REQUIRE_TOOL("convert");
    PxImage card;
    pxtest::MakeCard(card, 64, 48);
    std::string in = pxtest::TempPath("card.png");
    ASSERT_TRUE(card.Save(pxtest::ToPath(in).c_str(), PxFormatPNG));
    std::vector<uint8_t> box = pxtest::ReferencePixels(in, "rgb", "-filter box -resize 16x12!");
    std::vector<uint8_t> triangle = pxtest::ReferencePixels(in, "rgb", "-filter triangle -resize 16x12!");
    ASSERT_EQ(box.size(), 16u * 12 * 3);
    struct Case {
        const char* name;
        std::function<bool(PxImage&)> op;
    };
    const Case kCases[] = {
        {"Resample area", [](PxImage& im) { return im.Resample(16, 12, 0); }},
        {"QIShrink", [](PxImage& im) { return im.QIShrink(16, 12); }},
        {"Resample2 bilinear", [](PxImage& im) { return im.Resample2(16, 12, PxImage::IM_BILINEAR); }},
        {"Resample2 bicubic", [](PxImage& im) { return im.Resample2(16, 12, PxImage::IM_BICUBIC2); }},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        PxImage im(card);
        ASSERT_TRUE(c.op(im));
        std::vector<uint8_t> ours = pxtest::Pixels(im, false);
        EXPECT_LE(pxtest::MaxDiff(ours, box), 2);
        EXPECT_LE(pxtest::MaxDiff(ours, triangle), 3);
    }
}

TEST(PxResample, KnownLayouts) {
    // Mode 0 on a 4 x 4 24-bit image to 2 x 2: each pixel the mean of a 2 x 2 block.
    PxImage im;
    opstest::Numbered(im, 4, 4);
    PxImage half;
    ASSERT_TRUE(im.Resample(2, 2, 0, &half));
    for (long y = 0; y < 2; ++y)
        for (long x = 0; x < 2; ++x) {
            int g = 0;
            for (long j = 0; j < 2; ++j)
                for (long i = 0; i < 2; ++i) g += im.GetPixelColor(2 * x + i, 2 * y + j).rgbGreen;
            EXPECT_EQ(half.GetPixelColor(x, y).rgbGreen, g / 4);
        }
    // 2 x 2 to 4 x 4 with mode 0 is bilinear; the last column repeats the source's.
    PxImage two;
    opstest::Numbered(two, 2, 2);
    PxImage big;
    ASSERT_TRUE(two.Resample(4, 4, 0, &big));
    for (long y = 0; y < 4; ++y) EXPECT_TRUE(opstest::Same(big.GetPixelColor(3, y), big.GetPixelColor(2, y)));
    EXPECT_TRUE(opstest::Same(big.GetPixelColor(0, 0), two.GetPixelColor(0, 0)));
    // Resample2 to twice the size, nearest pixel, repeats each pixel in 2 x 2 blocks.
    PxImage dbl;
    ASSERT_TRUE(two.Resample2(4, 4, PxImage::IM_NEAREST_NEIGHBOUR, PxImage::OM_REPEAT, &dbl));
    for (long y = 0; y < 4; ++y)
        for (long x = 0; x < 4; ++x) EXPECT_TRUE(opstest::Same(dbl.GetPixelColor(x, y), two.GetPixelColor(x / 2, y / 2)));
    // Alpha follows the nearest source pixel whatever the mode.
    two.AlphaCreate();
    two.AlphaSet(1, 1, 9);
    ASSERT_TRUE(two.Resample(4, 4, 2, &big));
    EXPECT_EQ(big.AlphaGet(3, 3), 9);
    EXPECT_EQ(big.AlphaGet(0, 0), 255);
}

TEST(PxResample, SizesAndSameSizeCopies) {
    PxImage im;
    opstest::Numbered(im, 5, 4);
    uint64_t before = opstest::Hash(im);
    EXPECT_FALSE(im.Resample(0, 10, 1));
    EXPECT_FALSE(im.Resample(-5, 10, 1));  // would be a huge unsigned width
    EXPECT_FALSE(im.Resample2(10, -1));
    // Rows of 196608 bytes x 65536 rows pass 32 bits: refused by Create, not wrapped.
    EXPECT_FALSE(im.Resample(0x10000, 0x10000, 1));
    EXPECT_FALSE(im.QIShrink(0x10000, 1));
    EXPECT_EQ(opstest::Hash(im), before);
    // The same size into the image itself: nothing to do, and nothing destroyed.
    EXPECT_TRUE(im.Resample(5, 4, 1, &im));
    EXPECT_TRUE(im.Resample2(5, 4, PxImage::IM_BICUBIC, PxImage::OM_REPEAT, &im));
    EXPECT_TRUE(im.QIShrink(5, 4, &im));
    EXPECT_EQ(opstest::Hash(im), before);
    PxImage copy;
    EXPECT_TRUE(im.Resample(5, 4, 2, &copy));
    EXPECT_EQ(opstest::Hash(copy), before);
    // A result into the image itself replaces it.
    EXPECT_TRUE(im.Resample(10, 8, 1, &im));
    EXPECT_EQ(im.GetWidth(), 10u);
}

TEST(PxResample, BilinearAlignmentAndTruncation) {
    // Resample's bilinear maps destination x to x * scale (corner aligned) and
    // truncates; Resample2 maps to the pixel centres, (x + 0.5) * scale - 0.5.
    PxImage im;
    opstest::Solid(im, 2, 1, Rgb(0, 0, 0));
    im.SetPixelColor(1, 0, Rgb(255, 200, 0));
    PxImage corner, centre;
    ASSERT_TRUE(im.Resample(4, 1, 0, &corner));
    ASSERT_TRUE(im.Resample2(4, 1, PxImage::IM_BILINEAR, PxImage::OM_REPEAT, &centre, true));
    EXPECT_EQ(corner.GetPixelColor(0, 0).rgbRed, 0);
    EXPECT_EQ(corner.GetPixelColor(1, 0).rgbRed, 127);  // 127.5 truncated
    EXPECT_EQ(corner.GetPixelColor(1, 0).rgbGreen, 100);
    EXPECT_EQ(corner.GetPixelColor(3, 0).rgbRed, 255);
    EXPECT_EQ(centre.GetPixelColor(1, 0).rgbRed, 63);    // at 0.25: 63.75 truncated
    EXPECT_EQ(centre.GetPixelColor(2, 0).rgbRed, 191);   // at 0.75
}
