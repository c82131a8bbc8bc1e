#include <gtest/gtest.h>

#include "image/PxImage.h"

TEST(PxImageAlpha, CreateKeepsExistingValues) {
    PxImage im(2, 2, 24, 0);
    im.AlphaCreate();
    im.AlphaSet(1, 1, 7);
    im.AlphaCreate();
    EXPECT_EQ(im.AlphaGet(1, 1), 7);
    EXPECT_EQ(im.AlphaGet(0, 0), 255);
    EXPECT_EQ(im.AlphaGet(5, 5), 0);
}

TEST(PxImageAlpha, CopyNeedsSameSize) {
    PxImage a(2, 2, 24, 0), b(3, 2, 24, 0);
    a.AlphaCreate();
    b.AlphaCreate();
    b.AlphaSet(0, 0, 1);
    EXPECT_FALSE(b.AlphaCopy(a));
    EXPECT_EQ(b.AlphaGet(0, 0), 1);
}

TEST(PxImageAlpha, StripOntoBackground) {
    PxImage im(2, 1, 24, 0);
    im.SetPixelColor(0, 0, RGB(200, 100, 50));
    im.SetPixelColor(1, 0, RGB(200, 100, 50));
    im.SetTransColor(RGBQUAD{10, 20, 30, 0});
    im.AlphaCreate();
    im.AlphaClear();
    im.AlphaStrip();
    EXPECT_FALSE(im.AlphaIsValid());
    EXPECT_EQ(im.GetPixelColor(0, 0).rgbRed, 30);
    PxImage half(1, 1, 24, 0);
    half.SetPixelColor(0, 0, RGB(255, 255, 255));
    half.AlphaCreate();
    half.AlphaSetMax(128);
    half.AlphaStrip();  // (255 x 128 + 0 x 127) / 255
    EXPECT_EQ(half.GetPixelColor(0, 0).rgbRed, 128);
}

TEST(PxImageAlpha, FlipAndMirror) {
    PxImage im(2, 2, 24, 0);
    im.AlphaCreate();
    im.AlphaSet(0, 0, 1);
    im.AlphaSet(1, 0, 2);
    im.AlphaSet(0, 1, 3);
    im.AlphaSet(1, 1, 4);
    ASSERT_TRUE(im.AlphaFlip());
    EXPECT_EQ(im.AlphaGet(0, 0), 3);
    EXPECT_EQ(im.AlphaGet(1, 1), 2);
    ASSERT_TRUE(im.AlphaMirror());
    EXPECT_EQ(im.AlphaGet(0, 0), 4);
    EXPECT_EQ(im.AlphaGet(0, 1), 2);
}

TEST(PxImageAlpha, SetFromSixteenLevelGreyIsRefused) {
    PxImage grey16(2, 2, 4, 0);
    grey16.SetGrayPalette();
    PxImage im(2, 2, 24, 0);
    EXPECT_FALSE(im.AlphaSet(grey16));
    EXPECT_FALSE(im.AlphaIsValid());
}

TEST(PxImageAlpha, SplitGivesGreyImageOfValues) {
    PxImage im(3, 1, 24, 0);
    im.AlphaCreate();
    im.AlphaSet(2, 0, 33);
    PxImage plane;
    ASSERT_TRUE(im.AlphaSplit(&plane));
    EXPECT_EQ(plane.GetBpp(), 8);
    EXPECT_EQ(plane.GetPixelIndex(2, 0), 33);
    EXPECT_TRUE(plane.IsGrayScale());
}
