// One hash over the results of the float-heavy image operations. The same file
// runs in the native build and under Wine: both are built with SSE2 arithmetic,
// so they must agree bit for bit. Operations that call the C library's
// transcendental functions (sin, exp, pow: Lanczos, Sinc, Blackman, Bessel,
// Gaussian, Gamma) are left out, because glibc and the Windows runtime may round
// those differently in the last bit.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "OpsTestSupport.h"
#include "image/PxImage.h"

namespace {
// A 53 x 41 card with a gradient, a hard edge and an alpha ramp.
void MakeSource(PxImage& im) {
    im.Create(53, 41, 24);
    for (long y = 0; y < 41; ++y)
        for (long x = 0; x < 53; ++x) {
            uint8_t r = static_cast<uint8_t>(x * 255 / 52);
            uint8_t g = static_cast<uint8_t>((y * 37 + x * 11) & 255);
            uint8_t b = x > 20 && y < 30 ? 240 : 15;
            im.SetPixelColor(x, y, opstest::Rgb(r, g, b));
        }
    im.AlphaCreate();
    for (long y = 0; y < 41; ++y)
        for (long x = 0; x < 53; ++x) im.AlphaSet(x, y, static_cast<uint8_t>((x + y) * 255 / 92));
}
}  // namespace

TEST(PxOpsGoldenHash, SameResultsInEveryBuild) {
    PxImage src;
    MakeSource(src);
    uint64_t h = opstest::Hash(src);
    auto add = [&h](const PxImage& im) { h = opstest::Hash(im, h); };

    for (int mode = 0; mode <= 2; ++mode) {
        PxImage a, b;
        ASSERT_TRUE(src.Resample(17, 13, mode, &a));
        ASSERT_TRUE(src.Resample(71, 60, mode, &b));
        add(a);
        add(b);
    }
    for (int m : {1, 2, 3, 4, 5, 7, 8, 9, 14, 15, 16}) {
        PxImage a, b, c;
        ASSERT_TRUE(src.Resample2(19, 14, static_cast<PxImage::InterpolationMethod>(m), PxImage::OM_REPEAT, &a));
        ASSERT_TRUE(src.Resample2(80, 63, static_cast<PxImage::InterpolationMethod>(m), PxImage::OM_MIRROR, &b));
        ASSERT_TRUE(src.Resample2(30, 20, static_cast<PxImage::InterpolationMethod>(m), PxImage::OM_WRAP, &c, true));
        add(a);
        add(b);
        add(c);
    }
    PxImage q;
    ASSERT_TRUE(src.QIShrink(10, 7, &q));
    add(q);

    PxImage thumb(src);
    ASSERT_TRUE(thumb.Thumbnail(24, 24, opstest::Rgb(1, 2, 3)));
    add(thumb);
    PxImage turned(src);
    ASSERT_TRUE(turned.RotateLeft());
    ASSERT_TRUE(turned.Crop(3, 4, 30, 50));
    add(turned);

    PxImage grey(src);
    ASSERT_TRUE(grey.GrayScale());
    ASSERT_TRUE(grey.Light(-30, 40));
    add(grey);
    for (long method = 0; method <= 7; ++method) {
        PxImage d(src);
        ASSERT_TRUE(d.Dither(method));
        add(d);
    }
    PxImage reduced(src);
    ASSERT_TRUE(reduced.DecreaseBpp(4, true));
    add(reduced);

    PxImage mixed(src), other(src);
    ASSERT_TRUE(other.Negative());
    mixed.Mix(other, PxImage::OpScreen, 5, 3, true);
    mixed.Mix(other, PxImage::OpSrcBlend, 0, 0);
    add(mixed);

    std::vector<uint8_t> area(static_cast<size_t>(((40 * 3 + 3) & ~3) * 30), 77);
    src.CompositeInto(area.data(), (40 * 3 + 3) & ~3, 0, 0, 40, 30, 2, 3, 37, 25, true);
    for (uint8_t v : area) {
        h ^= v;
        h *= 1099511628211ull;
    }

    char text[32];
    std::snprintf(text, sizeof(text), "%016" PRIx64, h);
    // When an operation changes on purpose, take the new value from this
    // failure in the native run and check that the Wine run reports the same.
    EXPECT_STREQ(text, "58b0922cece0716d");
}

// The filters, channel operations and distortions whose arithmetic is exact in
// both builds (no sin, cos, exp, log or pow on the path): one hash over all.
TEST(PxOpsGoldenHash, FiltersAndChannelsSameInEveryBuild) {
    PxImage src;
    MakeSource(src);
    uint64_t h = 1469598103934665603ull;
    auto add = [&h](const PxImage& im) { h = opstest::Hash(im, h); };

    const long sharpen[9] = {0, -1, 0, -1, 5, -1, 0, -1, 0};
    const long box5[25] = {1, 1, 1, 1, 1, 1, 2, 2, 2, 1, 1, 2, 4, 2, 1, 1, 2, 2, 2, 1, 1, 1, 1, 1, 1};
    PxImage grey(src);
    ASSERT_TRUE(grey.GrayScale());
    for (PxImage* base : {&src, &grey}) {
        PxImage a(*base), b(*base), e(*base), d(*base), g(*base), c(*base);
        ASSERT_TRUE(a.Filter(sharpen, 3, 1, 0));
        ASSERT_TRUE(b.Filter(box5, 5, 36, 7));
        ASSERT_TRUE(e.Erode(3));
        ASSERT_TRUE(d.Dilate(4));
        ASSERT_TRUE(g.Edge(3));
        ASSERT_TRUE(c.Contour());
        for (PxImage* im : {&a, &b, &e, &d, &g, &c}) add(*im);
    }

    // Median on grey levels that never tie between different colours.
    PxImage ramp(16, 16, 8, PxFormatUnknown);
    ramp.SetGrayPalette();
    for (long i = 0; i < 256; ++i) ramp.SetPixelIndex(i % 16, i / 16, static_cast<uint8_t>((i * 73 + 11) & 255));
    ASSERT_TRUE(ramp.Median(3));
    add(ramp);

    PxImage c1, c2, c3, c4, k;
    ASSERT_TRUE(src.SplitCMYK(&c1, &c2, &c3, &k));
    add(k);
    for (long space = 0; space <= 4; ++space) {
        bool (PxImage::*split[])(PxImage*, PxImage*, PxImage*) = {&PxImage::SplitRGB, &PxImage::SplitHSL,
                                                                 &PxImage::SplitYUV, &PxImage::SplitYIQ,
                                                                 &PxImage::SplitXYZ};
        PxImage out;
        ASSERT_TRUE((src.*split[space])(&c1, &c2, &c3));
        ASSERT_TRUE(out.Combine(&c1, &c2, &c3, nullptr, space));
        add(out);
        PxImage repaired(src);
        ASSERT_TRUE(repaired.Repair(0.3f, 2, space));
        add(repaired);
    }
    PxImage tinted(src);
    ASSERT_TRUE(tinted.Colorize(40, 200, 0.6f));
    add(tinted);

    PxImage sheared(src), shearedSmooth(src), wavy(src);
    ASSERT_TRUE(sheared.Skew(0.3f, -0.2f, 10, 5, false));
    ASSERT_TRUE(shearedSmooth.Skew(0.3f, -0.2f, 10, 5, true));
    ASSERT_TRUE(wavy.CircleTransform(4, 0, 1.0f));
    add(sheared);
    add(shearedSmooth);
    add(wavy);

    PxImage jit(src), noisy(src);
    PxImage::SeedRandom(1234);
    ASSERT_TRUE(jit.Jitter(3));
    ASSERT_TRUE(noisy.Noise(60));
    add(jit);
    add(noisy);

    // The radix-2 transform needs only square roots, which are exact.
    struct Fourier : PxImage {
        using PxImage::FFT;
    };
    double re[32], im[32];
    for (int i = 0; i < 32; ++i) {
        re[i] = (i * 37) % 23 - 11;
        im[i] = (i * 13) % 7;
    }
    Fourier::FFT(1, 5, re, im);
    Fourier::FFT(-1, 4, re, im);
    for (int i = 0; i < 32; ++i)
        for (double v : {re[i], im[i]}) {
            uint64_t bits;
            std::memcpy(&bits, &v, sizeof(bits));
            for (int b = 0; b < 8; ++b) {
                h ^= static_cast<uint8_t>(bits >> (8 * b));
                h *= 1099511628211ull;
            }
        }

    char text[32];
    std::snprintf(text, sizeof(text), "%016" PRIx64, h);
    EXPECT_STREQ(text, "a0156acce14b06a0");
}
