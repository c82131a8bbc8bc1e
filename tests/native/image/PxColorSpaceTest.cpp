// Colour-space conversions, channel splits and combines, HuePalette and Colorize.
#include <gtest/gtest.h>

#include <cstdlib>

#include "OpsTestSupport.h"
#include "image/PxImage.h"

using opstest::Rgb;

namespace {
struct Pinned {
    const char* name;
    RGBQUAD (*convert)(RGBQUAD);
    RGBQUAD in;
    RGBQUAD want;  // first component in red, second in green, third in blue
};

int MaxDiff(RGBQUAD a, RGBQUAD b) {
    int d = std::abs(a.rgbRed - b.rgbRed);
    d = std::max(d, std::abs(a.rgbGreen - b.rgbGreen));
    return std::max(d, std::abs(a.rgbBlue - b.rgbBlue));
}

struct RoundTrip {
    const char* name;
    RGBQUAD (*to)(RGBQUAD);
    RGBQUAD (*from)(RGBQUAD);
    int bound;
    long space;  // Combine's code for the same space
    bool (PxImage::*split)(PxImage*, PxImage*, PxImage*);
};

const RoundTrip kTrips[] = {
    {"YUV", PxImage::RGBtoYUV, PxImage::YUVtoRGB, 2, 2, &PxImage::SplitYUV},
    {"XYZ", PxImage::RGBtoXYZ, PxImage::XYZtoRGB, 4, 4, &PxImage::SplitXYZ},
    {"HSL", PxImage::RGBtoHSL, PxImage::HSLtoRGB, 12, 1, &PxImage::SplitHSL},
    {"YIQ", PxImage::RGBtoYIQ, PxImage::YIQtoRGB, 29, 3, &PxImage::SplitYIQ},
    {"RGB", nullptr, nullptr, 0, 0, &PxImage::SplitRGB},
};

// A 16 x 12 card with many different colours.
void Card(PxImage& im) {
    im.Create(16, 12, 24);
    for (long y = 0; y < 12; ++y)
        for (long x = 0; x < 16; ++x)
            im.SetPixelColor(x, y, Rgb(static_cast<uint8_t>(x * 17), static_cast<uint8_t>(y * 23),
                                       static_cast<uint8_t>((x * 31 + y * 53) & 255)));
}
}  // namespace

TEST(PxColorSpace, PinnedValues) {
    const Pinned cases[] = {
        {"red to HSL", PxImage::RGBtoHSL, Rgb(255, 0, 0), Rgb(0, 255, 128)},
        {"green to HSL", PxImage::RGBtoHSL, Rgb(0, 255, 0), Rgb(85, 255, 128)},
        {"blue to HSL", PxImage::RGBtoHSL, Rgb(0, 0, 255), Rgb(170, 255, 128)},
        {"grey to HSL", PxImage::RGBtoHSL, Rgb(77, 77, 77), Rgb(170, 0, 77)},
        {"hue wraps below 0", PxImage::RGBtoHSL, Rgb(255, 0, 10), Rgb(254, 255, 128)},
        {"HSL grey back", PxImage::HSLtoRGB, Rgb(0, 0, 128), Rgb(128, 128, 128)},
        {"white to YUV", PxImage::RGBtoYUV, Rgb(255, 255, 255), Rgb(255, 128, 128)},
        {"YUV white back", PxImage::YUVtoRGB, Rgb(255, 128, 128), Rgb(255, 255, 255)},
        {"black to YIQ", PxImage::RGBtoYIQ, Rgb(0, 0, 0), Rgb(0, 128, 128)},
        {"black to XYZ", PxImage::RGBtoXYZ, Rgb(0, 0, 0), Rgb(0, 0, 0)},
    };
    for (const Pinned& c : cases) {
        RGBQUAD got = c.convert(c.in);
        EXPECT_TRUE(opstest::Same(got, c.want)) << c.name << ": " << opstest::Str(got);
    }
    // The COLORREF form reads hue, saturation, lightness from the low byte up.
    for (RGBQUAD hsl : {Rgb(0, 255, 128), Rgb(40, 90, 200), Rgb(200, 30, 20)}) {
        COLORREF ref = static_cast<COLORREF>(hsl.rgbRed | (hsl.rgbGreen << 8) | (hsl.rgbBlue << 16));
        EXPECT_TRUE(opstest::Same(PxImage::HSLtoRGB(ref), PxImage::HSLtoRGB(hsl))) << opstest::Str(hsl);
    }
}

TEST(PxColorSpace, RoundTripsStayWithinTheirBounds) {
    // Every fifth level of each channel plus the extremes: 53^3 colours.
    for (const RoundTrip& t : kTrips) {
        if (!t.to) continue;
        int worst = 0;
        for (int r = 0; r <= 260; r += 5)
            for (int g = 0; g <= 260; g += 5)
                for (int b = 0; b <= 260; b += 5) {
                    RGBQUAD c = Rgb(static_cast<uint8_t>(std::min(r, 255)), static_cast<uint8_t>(std::min(g, 255)),
                                    static_cast<uint8_t>(std::min(b, 255)));
                    worst = std::max(worst, MaxDiff(c, t.from(t.to(c))));
                }
        EXPECT_LE(worst, t.bound) << t.name;
        EXPECT_GT(worst, 0) << t.name << " is lossy by construction";
    }
}

TEST(PxColorSpace, SplitThenCombineInEverySpace) {
    PxImage src;
    Card(src);
    for (const RoundTrip& t : kTrips) {
        PxImage a, b, c, out;
        ASSERT_TRUE((src.*t.split)(&a, &b, &c)) << t.name;
        ASSERT_EQ(a.GetBpp(), 8);
        EXPECT_TRUE(a.IsGrayScale());
        ASSERT_TRUE(out.Combine(&a, &b, &c, nullptr, t.space)) << t.name;
        ASSERT_EQ(out.GetBpp(), 24);
        for (long y = 0; y < 12; ++y)
            for (long x = 0; x < 16; ++x)
                ASSERT_LE(MaxDiff(out.GetPixelColor(x, y), src.GetPixelColor(x, y)), t.bound)
                    << t.name << " at " << x << "," << y;
    }
}

TEST(PxColorSpace, SplitFillsOnlyTheRequestedOutputs) {
    PxImage src, g, untouched;
    Card(src);
    EXPECT_FALSE(src.SplitRGB(nullptr, nullptr, nullptr));
    EXPECT_FALSE(src.SplitCMYK(nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(src.SplitRGB(nullptr, &g, nullptr));
    EXPECT_EQ(g.GetPixelIndex(3, 4), src.GetPixelColor(3, 4).rgbGreen);
    PxImage empty;
    EXPECT_FALSE(empty.SplitRGB(&g, nullptr, nullptr));

    PxImage c, m, y, k;
    ASSERT_TRUE(src.SplitCMYK(&c, &m, &y, &k));
    RGBQUAD p = src.GetPixelColor(5, 7);
    EXPECT_EQ(c.GetPixelIndex(5, 7), 255 - p.rgbRed);
    EXPECT_EQ(m.GetPixelIndex(5, 7), 255 - p.rgbGreen);
    EXPECT_EQ(y.GetPixelIndex(5, 7), 255 - p.rgbBlue);
    EXPECT_EQ(k.GetPixelIndex(5, 7), src.GetPixelGray(5, 7));
}

TEST(PxColorSpace, CombineResizesInputsAndKeepsThisImageOnFailure) {
    PxImage c1(10, 10, 8, 0), c2(20, 20, 8, 0), c3(10, 10, 8, 0), alpha(5, 5, 8, 0);
    for (PxImage* im : {&c1, &c2, &c3, &alpha}) {
        im->SetGrayPalette();
        im->Clear(200);
    }
    PxImage out;
    ASSERT_TRUE(out.Combine(&c1, &c2, &c3, &alpha, 0));
    EXPECT_EQ(c2.GetWidth(), 10u);
    EXPECT_EQ(c2.GetHeight(), 10u);
    EXPECT_EQ(alpha.GetWidth(), 10u);
    ASSERT_TRUE(out.AlphaIsValid());
    EXPECT_EQ(out.AlphaGet(9, 9), 200);
    EXPECT_TRUE(opstest::AllPixels(out, Rgb(200, 200, 200)));

    // Missing inputs fail and leave this image as it was.
    PxImage keep;
    opstest::Solid(keep, 3, 2, Rgb(1, 2, 3));
    EXPECT_FALSE(keep.Combine(&c1, nullptr, &c3, nullptr, 0));
    EXPECT_EQ(keep.GetWidth(), 3u);
    EXPECT_TRUE(opstest::AllPixels(keep, Rgb(1, 2, 3)));

    // This image may be one of its own inputs: it is read before it is replaced.
    PxImage self(4, 4, 8, 0), two(4, 4, 8, 0), three(4, 4, 8, 0);
    for (PxImage* im : {&self, &two, &three}) im->SetGrayPalette();
    self.Clear(10);
    two.Clear(20);
    three.Clear(30);
    ASSERT_TRUE(self.Combine(&self, &two, &three, nullptr, 0));
    EXPECT_TRUE(opstest::AllPixels(self, Rgb(10, 20, 30)));
}

TEST(PxColorSpace, ColorizeSetsHueAndKeepsLightness) {
    PxImage im;
    Card(im);
    PxImage before(im);
    ASSERT_TRUE(im.Colorize(0, 255, 0.0f));
    EXPECT_EQ(opstest::Hash(im), opstest::Hash(before));

    ASSERT_TRUE(im.Colorize(0, 255, 1.0f));
    for (long y = 0; y < 12; ++y)
        for (long x = 0; x < 16; ++x) {
            RGBQUAD got = PxImage::RGBtoHSL(im.GetPixelColor(x, y));
            RGBQUAD was = PxImage::RGBtoHSL(before.GetPixelColor(x, y));
            RGBQUAD c = im.GetPixelColor(x, y);
            ASSERT_GE(c.rgbRed, c.rgbGreen) << x << "," << y;
            ASSERT_EQ(c.rgbGreen, c.rgbBlue) << x << "," << y;
            ASSERT_LE(std::abs(got.rgbBlue - was.rgbBlue), 1) << "lightness at " << x << "," << y;
        }
    PxImage empty;
    EXPECT_FALSE(empty.Colorize(0, 0, 1.0f));
}

TEST(PxColorSpace, HuePaletteSpreadsHuesOverThePalette) {
    PxImage pal(4, 4, 8, 0);
    pal.SetGrayPalette();
    pal.HuePalette(1.0f);
    // Entry 0 has hue 0 (red), entry 85 hue 85 (green).
    RGBQUAD e0 = pal.GetPaletteColor(0), e85 = pal.GetPaletteColor(85);
    EXPECT_GT(e0.rgbRed, e0.rgbGreen);
    EXPECT_GT(e85.rgbGreen, e85.rgbRed);

    // Without a palette there is nothing to change.
    PxImage rgb;
    opstest::Solid(rgb, 2, 2, Rgb(9, 8, 7));
    rgb.HuePalette(1.0f);
    EXPECT_TRUE(opstest::AllPixels(rgb, Rgb(9, 8, 7)));
}
