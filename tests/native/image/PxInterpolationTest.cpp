// Overflow rules, kernels and interpolated reads.
#include <gtest/gtest.h>

#include <cmath>

#include "OpsTestSupport.h"
#include "image/PxImage.h"

using opstest::Rgb;

TEST(PxInterpolation, KernelValues) {
    EXPECT_FLOAT_EQ(PxImage::KernelBSpline(0.0f), 0.6666667f);
    EXPECT_FLOAT_EQ(PxImage::KernelBSpline(1.0f), 0.16666667f);
    EXPECT_FLOAT_EQ(PxImage::KernelBSpline(-1.0f), 0.16666667f);
    EXPECT_FLOAT_EQ(PxImage::KernelCubic(1.0f), 0.0f);
    EXPECT_FLOAT_EQ(PxImage::KernelCatrom(0.0f), 1.0f);
    EXPECT_FLOAT_EQ(PxImage::KernelMitchell(0.0f), 0.8888889f);
    EXPECT_FLOAT_EQ(PxImage::KernelBessel(0.0f), 0.7853982f);
    EXPECT_FLOAT_EQ(PxImage::KernelLinear(-0.25f), 0.75f);
    EXPECT_FLOAT_EQ(PxImage::KernelBox(0.5f), 0.0f);
    EXPECT_FLOAT_EQ(PxImage::KernelBox(-0.5f), 1.0f);
    EXPECT_FLOAT_EQ(PxImage::KernelQuadratic(0.0f), 0.75f);
    EXPECT_FLOAT_EQ(PxImage::KernelHermite(0.5f), 0.5f);
    EXPECT_FLOAT_EQ(PxImage::KernelGeneralizedCubic(1.5f, -0.5f), PxImage::KernelCatrom(1.5f));
    EXPECT_FLOAT_EQ(PxImage::KernelLanczosSinc(7.0f, 6.0f), 0.0f);
    EXPECT_NEAR(PxImage::KernelSinc(0.5f), 2.0f / 3.1415927f, 1e-6f);
    // The first-order Bessel function: J1(1) = 0.4400506, J1(10) = 0.0434727
    // (the second through the asymptotic branch).
    EXPECT_NEAR(PxImage::KernelBessel_Order1(1.0f), 0.4400506f, 1e-5f);
    EXPECT_NEAR(PxImage::KernelBessel_Order1(10.0f), 0.0434727f, 1e-5f);
    EXPECT_NEAR(PxImage::KernelBessel_Order1(-10.0f), -0.0434727f, 1e-5f);
    // Blackman is limited to its main lobe: it is no longer 1 again at x = 2.
    EXPECT_FLOAT_EQ(PxImage::KernelBlackman(0.0f), 1.0f);
    EXPECT_FLOAT_EQ(PxImage::KernelBlackman(2.0f), 0.0f);
    EXPECT_NEAR(PxImage::KernelBlackman(0.5f), 0.34f, 1e-6f);
}

TEST(PxInterpolation, OverflowCoordinates) {
    PxImage im;
    opstest::Solid(im, 5, 4, Rgb(0, 0, 0));
    struct Case {
        PxImage::OverflowMethod m;
        long x, wantX;
    };
    const Case kCases[] = {{PxImage::OM_WRAP, -1, 4},   {PxImage::OM_WRAP, 5, 0},   {PxImage::OM_MIRROR, -1, 1},
                           {PxImage::OM_MIRROR, 5, 4},  {PxImage::OM_REPEAT, -7, 0}, {PxImage::OM_REPEAT, 9, 4},
                           {PxImage::OM_COLOR, -3, -3}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.x);
        long x = c.x, y = 2;
        im.OverflowCoordinates(x, y, c.m);
        EXPECT_EQ(x, c.wantX);
        EXPECT_EQ(y, 2);
        float fx = static_cast<float>(c.x), fy = 2.0f;
        im.OverflowCoordinates(fx, fy, c.m);
        EXPECT_FLOAT_EQ(fx, static_cast<float>(c.wantX));
    }
}

TEST(PxInterpolation, ColourOutsideTheImage) {
    PxImage im;
    opstest::Solid(im, 4, 4, Rgb(10, 20, 30));
    RGBQUAD white = im.GetPixelColorWithOverflow(-1, 0, PxImage::OM_COLOR, nullptr);
    EXPECT_TRUE(opstest::Same(white, Rgb(255, 255, 255)));
    EXPECT_EQ(white.rgbReserved, 0);
    EXPECT_TRUE(opstest::Same(im.GetPixelColorWithOverflow(-1, 0, PxImage::OM_BACKGROUND, nullptr), Rgb(255, 255, 255)));
    RGBQUAD repl = Rgb(1, 2, 3, 4);
    EXPECT_TRUE(opstest::Same(im.GetPixelColorInterpolated(-10, -10, PxImage::IM_BICUBIC, PxImage::OM_COLOR, &repl),
                              repl));
    EXPECT_TRUE(opstest::Same(im.GetPixelColorInterpolated(-10, -10, PxImage::IM_BILINEAR, PxImage::OM_REPEAT, nullptr),
                              Rgb(10, 20, 30)));
    im.AlphaCreate();
    EXPECT_EQ(im.GetPixelColorWithOverflow(9, 9, PxImage::OM_TRANSPARENT, &repl).rgbReserved, 0);
}

TEST(PxInterpolation, NearestAndBilinear) {
    PxImage im;
    opstest::Numbered(im, 6, 4);
    EXPECT_TRUE(opstest::Same(im.GetPixelColorInterpolated(2.49f, 0, PxImage::IM_NEAREST_NEIGHBOUR), im.GetPixelColor(2, 0)));
    EXPECT_TRUE(opstest::Same(im.GetPixelColorInterpolated(2.5f, 0, PxImage::IM_NEAREST_NEIGHBOUR), im.GetPixelColor(3, 0)));
    // (0.5, 0.5): the four pixels with 64/256 each.
    RGBQUAD c = im.GetPixelColorInterpolated(0.5f, 0.5f, PxImage::IM_BILINEAR);
    int sum = 0;
    for (long y = 0; y < 2; ++y)
        for (long x = 0; x < 2; ++x) sum += im.GetPixelColor(x, y).rgbRed * 64;
    EXPECT_EQ(c.rgbRed, sum >> 8);
}

TEST(PxInterpolation, UniformImagesStayUniformForEveryMethod) {
    // Every kernel's weights are divided by their total: unnormalised, Blackman
    // turned grey 100 into 255, Hamming brightened by 17% and Sinc darkened by 28%.
    PxImage im;
    opstest::Solid(im, 20, 20, Rgb(100, 150, 200));
    im.AlphaCreate();
    im.AlphaSet(static_cast<uint8_t>(77));
    const float kPoints[][2] = {{10.0f, 10.0f}, {10.5f, 10.5f}, {9.25f, 7.75f}, {0.3f, 19.6f}, {-0.4f, 3.5f}};
    for (int m = 1; m <= 16; ++m) {
        for (const auto& p : kPoints) {
            SCOPED_TRACE(::testing::Message() << "method " << m << " at " << p[0] << "," << p[1]);
            RGBQUAD c = im.GetPixelColorInterpolated(p[0], p[1], static_cast<PxImage::InterpolationMethod>(m),
                                                     PxImage::OM_REPEAT);
            EXPECT_TRUE(opstest::Same(c, Rgb(100, 150, 200))) << opstest::Str(c);
            EXPECT_EQ(c.rgbReserved, 77);
            RGBQUAD area = im.GetAreaColorInterpolated(p[0], p[1], 3.5f, 2.25f,
                                                       static_cast<PxImage::InterpolationMethod>(m), PxImage::OM_REPEAT);
            EXPECT_TRUE(opstest::Same(area, Rgb(100, 150, 200))) << opstest::Str(area);
        }
    }
}

TEST(PxInterpolation, LanczosReadsAlphaOfTheSameColumns) {
    PxImage im;
    opstest::Solid(im, 30, 30, Rgb(50, 50, 50));
    im.AlphaCreate();
    for (long y = 0; y < 30; ++y)
        for (long x = 0; x < 30; ++x) im.AlphaSet(x, y, static_cast<uint8_t>(x * 8));
    // An alpha ramp is linear: the interpolated alpha at x = 15 is the ramp's value.
    RGBQUAD c = im.GetPixelColorInterpolated(15.0f, 15.0f, PxImage::IM_LANCZOS, PxImage::OM_REPEAT);
    EXPECT_NEAR(c.rgbReserved, 120, 1);
    EXPECT_EQ(c.rgbRed, 50);
}

TEST(PxInterpolation, AreaOfOnePixelIsThePointRead) {
    PxImage im;
    opstest::Numbered(im, 8, 8);
    for (int m : {1, 2, 4, 6}) {
        RGBQUAD a = im.GetAreaColorInterpolated(3.3f, 4.6f, 1.0f, 1.0f, static_cast<PxImage::InterpolationMethod>(m));
        RGBQUAD p = im.GetPixelColorInterpolated(3.3f, 4.6f, static_cast<PxImage::InterpolationMethod>(m));
        EXPECT_TRUE(opstest::Same(a, p)) << m;
    }
    // A 2 x 2 area centred between four pixels is their mean.
    RGBQUAD mean = im.GetAreaColorInterpolated(1.5f, 1.5f, 2.0f, 2.0f, PxImage::IM_BILINEAR);
    int red = (im.GetPixelColor(1, 1).rgbRed + im.GetPixelColor(2, 1).rgbRed + im.GetPixelColor(1, 2).rgbRed +
               im.GetPixelColor(2, 2).rgbRed) / 4;
    EXPECT_EQ(mean.rgbRed, red);
}
