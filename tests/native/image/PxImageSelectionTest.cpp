#include <gtest/gtest.h>

#include "image/PxImage.h"
#include "image/PxRect2.h"

namespace {
int CountSelected(const PxImage& im) {
    int n = 0;
    for (long y = 0; y < static_cast<long>(im.GetHeight()); ++y)
        for (long x = 0; x < static_cast<long>(im.GetWidth()); ++x) n += im.SelectionIsInside(x, y);
    return n;
}
}  // namespace

TEST(PxImageSelection, RectIsHalfOpenAndGrowsBox) {
    for (bool swapped : {false, true}) {
        PxImage im(10, 10, 24, 0);
        RECT r = swapped ? RECT{4, 3, 2, 5} : RECT{2, 5, 4, 3};
        ASSERT_TRUE(im.SelectionAddRect(r));
        EXPECT_EQ(CountSelected(im), 4);
        EXPECT_TRUE(im.SelectionIsInside(3, 4));
        RECT box;
        im.SelectionGetBox(box);
        EXPECT_EQ(box.left, 2);
        EXPECT_EQ(box.top, 5);
        EXPECT_EQ(box.right, 4);
        EXPECT_EQ(box.bottom, 3);
    }
}

TEST(PxImageSelection, RectIsClippedToImage) {
    PxImage im(4, 4, 24, 0);
    ASSERT_TRUE(im.SelectionAddRect(RECT{-5, 100, 100, -5}));
    EXPECT_EQ(CountSelected(im), 16);
}

TEST(PxImageSelection, NoMaskMeansEverythingInside) {
    PxImage im(2, 2, 24, 0);
    EXPECT_TRUE(im.SelectionIsInside(1, 1));
    EXPECT_FALSE(im.SelectionIsInside(2, 1));
}

TEST(PxImageSelection, EllipseNeedsBothRadii) {
    PxImage im(10, 10, 24, 0);
    EXPECT_FALSE(im.SelectionAddEllipse(RECT{3, 8, 3, 2}));
    EXPECT_TRUE(im.SelectionIsValid());
    EXPECT_EQ(CountSelected(im), 0);
}

TEST(PxImageSelection, EllipseInsideImage) {
    PxImage im(20, 20, 24, 0);
    ASSERT_TRUE(im.SelectionAddEllipse(RECT{2, 18, 18, 2}));
    EXPECT_TRUE(im.SelectionIsInside(10, 10));
    EXPECT_FALSE(im.SelectionIsInside(2, 2));
    int n = CountSelected(im);
    EXPECT_GT(n, 150);  // about pi x 8 x 8 = 201
    EXPECT_LT(n, 256);
}

// With the centre outside the image the row loops must stay inside the mask
// (ASan reports the write otherwise).
TEST(PxImageSelection, EllipseWithCentreOutsideStaysInMask) {
    const RECT kCases[] = {{-40, 60, 40, 30}, {-40, -10, 40, -60}, {5, 200, 15, -200}, {-300, 5, 300, 3}};
    for (const RECT& r : kCases) {
        PxImage im(10, 10, 24, 0);
        im.SelectionAddEllipse(r);
        EXPECT_LE(CountSelected(im), 100);
    }
    PxImage im(10, 10, 24, 0);
    ASSERT_TRUE(im.SelectionAddEllipse(RECT{-40, 60, 40, 30}));  // centre (0, 45), radius y 15
    EXPECT_FALSE(im.SelectionIsInside(0, 9));
}

TEST(PxImageSelection, PolygonNeedsThreePoints) {
    PxImage im(10, 10, 24, 0);
    POINT two[2] = {{1, 1}, {5, 5}};
    EXPECT_FALSE(im.SelectionAddPolygon(two, 2));
}

// Axis-aligned edges used to divide by zero.
TEST(PxImageSelection, PolygonWithVerticalAndHorizontalEdges) {
    PxImage im(10, 10, 24, 0);
    POINT square[4] = {{2, 2}, {6, 2}, {6, 6}, {2, 6}};
    ASSERT_TRUE(im.SelectionAddPolygon(square, 4));
    EXPECT_EQ(CountSelected(im), 25);  // edges and inside, 5 x 5
    EXPECT_TRUE(im.SelectionIsInside(4, 4));
    EXPECT_FALSE(im.SelectionIsInside(7, 4));
    RECT box;
    im.SelectionGetBox(box);
    EXPECT_EQ(box.left, 1);
    EXPECT_EQ(box.right, 8);
}

TEST(PxImageSelection, PolygonFarOutsideIsBounded) {
    PxImage im(8, 8, 24, 0);
    POINT tri[3] = {{-2000000000, -2000000000}, {2000000000, 0}, {0, 2000000000}};
    ASSERT_TRUE(im.SelectionAddPolygon(tri, 3));
    EXPECT_LE(CountSelected(im), 64);
}

TEST(PxImageSelection, ColorMatchesIgnoreAlpha) {
    PxImage im(4, 4, 24, 0);
    im.SetPixelColor(1, 2, RGB(9, 8, 7));
    im.SetPixelColor(3, 0, RGB(9, 8, 7));
    ASSERT_TRUE(im.SelectionAddColor(RGBQUAD{7, 8, 9, 55}));
    EXPECT_EQ(CountSelected(im), 2);
    RECT box;
    im.SelectionGetBox(box);
    EXPECT_EQ(box.left, 1);
    EXPECT_EQ(box.right, 3);
    EXPECT_EQ(box.bottom, 0);
    EXPECT_EQ(box.top, 2);
}

TEST(PxRect2, CrossSection) {
    PxRect2 a(0, 0, 2, 2);
    PxRect2 none = a.CrossSection(PxRect2(3, 3, 4, 4));
    EXPECT_EQ(none.Width(), 0);
    EXPECT_EQ(none.topRight.x, 0);
    PxRect2 some = a.CrossSection(PxRect2(1, 1, 4, 4));
    EXPECT_EQ(some.botLeft.x, 1);
    EXPECT_EQ(some.topRight.y, 2);
    EXPECT_FLOAT_EQ(PxPoint2(0, 0).Distance(3, 4), 5.0f);
}
