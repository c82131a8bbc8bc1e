// Crop, flips, quarter turns, canvas margins and thumbnails.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ImageTestSupport.h"
#include "OpsTestSupport.h"
#include "image/PxImage.h"

using opstest::Rgb;

namespace {
// Pixel (x, y) counted from the top row, as a screen shows it.
RGBQUAD TopDown(const PxImage& im, long x, long yFromTop) {
    return im.GetPixelColor(x, static_cast<long>(im.GetHeight()) - 1 - yFromTop, false);
}
}  // namespace

TEST(PxGeometry, MatchesImageMagickPixelForPixel) {
    PX_REQUIRE_TOOL("convert");
    PxImage card;
    pxtest::MakeCard(card, 37, 23);  // odd sizes: row padding and uneven halves
    std::string in = pxtest::TempPath("card.png");
    ASSERT_TRUE(card.Save(pxtest::ToPath(in).c_str(), PxFormatPNG)) << card.GetLastError();
    struct Case {
        const char* name;
        const char* magick;
        std::function<bool(PxImage&)> op;
    };
    const Case kCases[] = {
        {"crop", "-crop 20x9+5+4 +repage", [](PxImage& im) { return im.Crop(5, 4, 25, 13); }},
        {"crop swapped corners", "-crop 20x9+5+4 +repage", [](PxImage& im) { return im.Crop(25, 13, 5, 4); }},
        {"crop past the edges", "-crop 12x8+25+15 +repage", [](PxImage& im) { return im.Crop(25, 15, 99, 99); }},
        {"flip", "-flip", [](PxImage& im) { return im.Flip(); }},
        {"mirror", "-flop", [](PxImage& im) { return im.Mirror(); }},
        {"right", "-rotate 90", [](PxImage& im) { return im.RotateRight(); }},
        {"left", "-rotate -90", [](PxImage& im) { return im.RotateLeft(); }},
        {"half", "-rotate 180", [](PxImage& im) { return im.Rotate180(); }},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        PxImage im(card);
        ASSERT_TRUE(c.op(im));
        std::vector<uint8_t> ref = pxtest::ReferencePixels(in, "rgb", c.magick);
        ASSERT_FALSE(ref.empty());
        EXPECT_EQ(pxtest::Pixels(im, false), ref);
    }
}

TEST(PxGeometry, FourTurnsGiveTheOriginalAtEveryDepth) {
    for (uint32_t bits : {1u, 4u, 8u, 24u}) {
        SCOPED_TRACE(bits);
        PxImage im;
        ASSERT_TRUE(im.Create(70, 13, bits));  // wider than one 64-pixel block
        for (long y = 0; y < 13; ++y)
            for (long x = 0; x < 70; ++x) {
                if (bits == 24) im.SetPixelColor(x, y, Rgb(static_cast<uint8_t>(x), static_cast<uint8_t>(y * 9), 7));
                else im.SetPixelIndex(x, y, static_cast<uint8_t>((x * 3 + y) % (1u << bits)));
            }
        im.AlphaCreate();
        im.AlphaSet(3, 2, 17);
        uint64_t before = opstest::Hash(im);
        for (int i = 0; i < 4; ++i) ASSERT_TRUE(im.RotateLeft());
        EXPECT_EQ(opstest::Hash(im), before);
        for (int i = 0; i < 4; ++i) ASSERT_TRUE(im.RotateRight());
        EXPECT_EQ(opstest::Hash(im), before);
        ASSERT_TRUE(im.Rotate180());
        ASSERT_TRUE(im.Rotate180());
        EXPECT_EQ(opstest::Hash(im), before);
        ASSERT_TRUE(im.RotateLeft());
        EXPECT_EQ(im.GetWidth(), 13u);
        EXPECT_EQ(im.GetHeight(), 70u);
    }
}

TEST(PxGeometry, QuarterTurnMapping) {
    PxImage im;
    opstest::Numbered(im, 3, 2);
    PxImage left, right;
    ASSERT_TRUE(im.RotateLeft(&left));
    ASSERT_TRUE(im.RotateRight(&right));
    EXPECT_EQ(left.GetWidth(), 2u);
    EXPECT_EQ(left.GetHeight(), 3u);
    EXPECT_TRUE(opstest::Same(left.GetPixelColor(0, 0), im.GetPixelColor(0, 1)));
    EXPECT_TRUE(opstest::Same(right.GetPixelColor(0, 0), im.GetPixelColor(2, 0)));
    EXPECT_EQ(im.GetWidth(), 3u);  // with a destination the source stays
}

TEST(PxGeometry, CropUsesTopDownRectangles) {
    PxImage im;
    opstest::Numbered(im, 200, 100);
    im.SetJpegQuality(50);
    im.SetXDPI(300);
    im.AlphaCreate();
    im.AlphaSet(10, 100 - 1 - 20, 42);  // screen (10, 20)
    RECT sel = {0, 0, 5, 5};
    im.SelectionAddRect(sel);
    PxImage cut;
    ASSERT_TRUE(im.Crop(10, 20, 110, 70, &cut));
    EXPECT_EQ(cut.GetWidth(), 100u);
    EXPECT_EQ(cut.GetHeight(), 50u);
    EXPECT_TRUE(opstest::Same(TopDown(cut, 0, 0), TopDown(im, 10, 20)));
    EXPECT_TRUE(opstest::Same(TopDown(cut, 99, 49), TopDown(im, 109, 69)));
    EXPECT_EQ(cut.AlphaGet(0, 49), 42);  // alpha of the cut pixels kept
    EXPECT_FALSE(cut.SelectionIsValid());
    // A fresh information block: the caller sets the JPEG quality again.
    EXPECT_EQ(cut.GetJpegQuality(), 90);
    EXPECT_EQ(cut.GetXDPI(), 96);

    RECT r = {-5, -5, 10, 10};
    PxImage corner;
    ASSERT_TRUE(im.Crop(r, &corner));
    EXPECT_EQ(corner.GetWidth(), 10u);
    EXPECT_EQ(corner.GetHeight(), 10u);

    uint64_t before = opstest::Hash(im);
    EXPECT_FALSE(im.Crop(50, 10, 50, 90));  // empty: unchanged
    EXPECT_EQ(opstest::Hash(im), before);
    PxImage empty;
    EXPECT_FALSE(empty.Crop(0, 0, 1, 1));
}

TEST(PxGeometry, CropOfIndexedImagesCopiesIndexes) {
    for (uint32_t bits : {1u, 4u, 8u}) {
        SCOPED_TRACE(bits);
        PxImage im;
        ASSERT_TRUE(im.Create(19, 5, bits));
        im.SetStdPalette();
        for (long y = 0; y < 5; ++y)
            for (long x = 0; x < 19; ++x) im.SetPixelIndex(x, y, static_cast<uint8_t>((x + 2 * y) % (1u << bits)));
        PxImage cut;
        ASSERT_TRUE(im.Crop(3, 1, 17, 4, &cut));
        ASSERT_EQ(cut.GetWidth(), 14u);
        for (long y = 0; y < 3; ++y)
            for (long x = 0; x < 14; ++x) ASSERT_EQ(cut.GetPixelIndex(x, y), im.GetPixelIndex(x + 3, y + 1));
    }
}

TEST(PxGeometry, ExpandPlacesThePictureAndTheCanvas) {
    PxImage im;
    opstest::Solid(im, 10, 10, Rgb(0, 0, 255));
    im.SetJpegQuality(40);
    PxImage big;
    ASSERT_TRUE(im.Expand(1, 2, 3, 4, Rgb(255, 0, 0), &big));
    EXPECT_EQ(big.GetJpegQuality(), 90);
    EXPECT_EQ(big.GetWidth(), 14u);
    EXPECT_EQ(big.GetHeight(), 16u);
    // Picture from column 1 and bottom-up row 4; the rest red.
    for (long y = 0; y < 16; ++y)
        for (long x = 0; x < 14; ++x) {
            bool inside = x >= 1 && x < 11 && y >= 4 && y < 14;
            ASSERT_TRUE(opstest::Same(big.GetPixelColor(x, y), inside ? Rgb(0, 0, 255) : Rgb(255, 0, 0)))
                << x << "," << y;
        }
    // Centred: the odd pixel goes right and to the bottom.
    PxImage odd;
    ASSERT_TRUE(im.Expand(11L, 11L, Rgb(255, 0, 0), &odd));
    EXPECT_TRUE(opstest::Same(TopDown(odd, 0, 0), Rgb(0, 0, 255)));
    EXPECT_TRUE(opstest::Same(TopDown(odd, 10, 0), Rgb(255, 0, 0)));
    EXPECT_TRUE(opstest::Same(TopDown(odd, 0, 10), Rgb(255, 0, 0)));
    EXPECT_FALSE(im.Expand(-1, 0, 0, 0, Rgb(0, 0, 0)));
    EXPECT_FALSE(im.Expand(9L, 12L, Rgb(0, 0, 0)));
    // Margins that would overflow the size are refused, not wrapped.
    EXPECT_FALSE(im.Expand(0x7FFFFFF0L, 0, 0x7FFFFFF0L, 0, Rgb(0, 0, 0)));
    EXPECT_EQ(im.GetWidth(), 10u);
}

TEST(PxGeometry, ThumbnailCentresTheScaledPicture) {
    PxImage im;
    opstest::Solid(im, 200, 100, Rgb(10, 20, 30));
    ASSERT_TRUE(im.Thumbnail(50, 50, Rgb(255, 255, 255)));
    ASSERT_EQ(im.GetWidth(), 50u);
    ASSERT_EQ(im.GetHeight(), 50u);
    // 50 x 25 picture, 12 rows above and 13 below.
    EXPECT_TRUE(opstest::Same(TopDown(im, 25, 11), Rgb(255, 255, 255)));
    EXPECT_TRUE(opstest::Same(TopDown(im, 25, 12), Rgb(10, 20, 30)));
    EXPECT_TRUE(opstest::Same(TopDown(im, 25, 36), Rgb(10, 20, 30)));
    EXPECT_TRUE(opstest::Same(TopDown(im, 25, 37), Rgb(255, 255, 255)));
}

TEST(PxGeometry, ThumbnailOfAnExtremeAspectRatioStillFits) {
    // 1000 x 1 into 10 x 10 scales the height to nothing: the picture keeps one
    // row and the result is the 10 x 10 frame, never the unscaled original.
    PxImage im;
    opstest::Solid(im, 1000, 1, Rgb(9, 9, 9));
    ASSERT_TRUE(im.Thumbnail(10, 10, Rgb(255, 255, 255)));
    EXPECT_EQ(im.GetWidth(), 10u);
    EXPECT_EQ(im.GetHeight(), 10u);
    EXPECT_TRUE(opstest::Same(TopDown(im, 5, 4), Rgb(9, 9, 9)));
    EXPECT_FALSE(im.Thumbnail(0, 10, Rgb(0, 0, 0)));
}

TEST(PxGeometry, FlipAndMirrorKeepAlphaAndDropTheMask) {
    PxImage im;
    opstest::Numbered(im, 4, 3);
    im.AlphaCreate();
    im.AlphaSet(0, 0, 1);
    RECT r = {0, 0, 2, 2};
    im.SelectionAddRect(r);
    PxImage orig(im);
    ASSERT_TRUE(im.Flip());
    EXPECT_TRUE(opstest::Same(im.GetPixelColor(1, 0), orig.GetPixelColor(1, 2)));
    EXPECT_EQ(im.AlphaGet(0, 2), 1);
    EXPECT_FALSE(im.SelectionIsValid());
    ASSERT_TRUE(im.Mirror());
    EXPECT_TRUE(opstest::Same(im.GetPixelColor(0, 0), orig.GetPixelColor(3, 2)));
    EXPECT_EQ(im.AlphaGet(3, 2), 1);
    for (uint32_t bits : {1u, 4u}) {
        PxImage p;
        p.Create(9, 2, bits);
        p.SetPixelIndex(0, 0, 1);
        ASSERT_TRUE(p.Mirror());
        EXPECT_EQ(p.GetPixelIndex(8, 0), 1);
        EXPECT_EQ(p.GetPixelIndex(0, 0), 0);
    }
}
