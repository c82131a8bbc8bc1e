// The arithmetic of drawing an image onto a device area.
#include <gtest/gtest.h>

#include <vector>

#include "OpsTestSupport.h"
#include "image/PxImage.h"

using opstest::Rgb;

namespace {
// A bottom-up 24-bit device area of w x h filled with one colour.
struct Area {
    long w, h, rowBytes;
    std::vector<uint8_t> bits;
    Area(long width, long height, RGBQUAD fill) : w(width), h(height), rowBytes(((width * 3) + 3) & ~3L) {
        bits.assign(static_cast<size_t>(rowBytes * h), 0);
        for (long y = 0; y < h; ++y)
            for (long x = 0; x < w; ++x) {
                uint8_t* p = &bits[static_cast<size_t>(y * rowBytes + 3 * x)];
                p[0] = fill.rgbBlue;
                p[1] = fill.rgbGreen;
                p[2] = fill.rgbRed;
            }
    }
    // Device pixel (x, y), y counted from the top.
    RGBQUAD At(long x, long y) const {
        const uint8_t* p = &bits[static_cast<size_t>((h - 1 - y) * rowBytes + 3 * x)];
        return Rgb(p[2], p[1], p[0]);
    }
};
}  // namespace

TEST(PxComposite, OpaqueBlackOfAnAlphaImageStaysBlack) {
    // A 24-bit image's transparent colour defaults to black; without a
    // transparent index it must not make opaque black pixels vanish.
    PxImage im;
    opstest::Solid(im, 2, 1, Rgb(0, 0, 0));
    im.AlphaCreate();
    im.AlphaSet(1, 0, 0);  // second pixel fully transparent
    ASSERT_TRUE(im.NeedsCompositing());
    Area area(2, 1, Rgb(200, 100, 50));
    im.CompositeInto(area.bits.data(), area.rowBytes, 0, 0, 2, 1, 0, 0, 2, 1, false);
    EXPECT_TRUE(opstest::Same(area.At(0, 0), Rgb(0, 0, 0)));
    EXPECT_TRUE(opstest::Same(area.At(1, 0), Rgb(200, 100, 50)));
}

TEST(PxComposite, BlendsByAlphaWithWeightsOf255) {
    PxImage im;
    opstest::Solid(im, 1, 1, Rgb(255, 255, 255));
    im.AlphaCreate();
    im.AlphaSet(0, 0, 128);
    Area area(1, 1, Rgb(0, 100, 200));
    im.CompositeInto(area.bits.data(), area.rowBytes, 0, 0, 1, 1, 0, 0, 1, 1, false);
    // a = 128 x 256 >> 8 = 128; (255 x 128 + d x 127) >> 8.
    EXPECT_TRUE(opstest::Same(area.At(0, 0), Rgb((255 * 128) >> 8, (255 * 128 + 100 * 127) >> 8,
                                                 (255 * 128 + 200 * 127) >> 8)));
    // The alpha maximum scales every value.
    im.AlphaSet(0, 0, 255);
    im.AlphaSetMax(0);
    Area untouched(1, 1, Rgb(9, 9, 9));
    im.CompositeInto(untouched.bits.data(), untouched.rowBytes, 0, 0, 1, 1, 0, 0, 1, 1, false);
    EXPECT_TRUE(opstest::Same(untouched.At(0, 0), Rgb(9, 9, 9)));
}

TEST(PxComposite, TransparentColourAndIndexAreSkipped) {
    PxImage im;
    opstest::Solid(im, 2, 1, Rgb(0, 255, 0));
    im.SetPixelColor(1, 0, Rgb(7, 7, 7));
    im.SetTransIndex(0);
    im.SetTransColor(Rgb(0, 255, 0));
    Area area(2, 1, Rgb(1, 2, 3));
    im.CompositeInto(area.bits.data(), area.rowBytes, 0, 0, 2, 1, 0, 0, 2, 1, false);
    EXPECT_TRUE(opstest::Same(area.At(0, 0), Rgb(1, 2, 3)));
    EXPECT_TRUE(opstest::Same(area.At(1, 0), Rgb(7, 7, 7)));

    PxImage pal;
    pal.Create(2, 1, 8);
    pal.SetPaletteColor(3, 10, 20, 30);
    pal.SetPixelIndex(0, 0, 3);
    pal.SetPixelIndex(1, 0, 4);
    pal.SetTransIndex(4);
    Area a2(2, 1, Rgb(5, 5, 5));
    pal.CompositeInto(a2.bits.data(), a2.rowBytes, 0, 0, 2, 1, 0, 0, 2, 1, false);
    EXPECT_TRUE(opstest::Same(a2.At(0, 0), Rgb(10, 20, 30)));
    EXPECT_TRUE(opstest::Same(a2.At(1, 0), Rgb(5, 5, 5)));
}

TEST(PxComposite, PlacementClippingAndScaling) {
    // A 2 x 2 image drawn at (1, 1) into a 4 x 4 area whose device origin is (0, 0):
    // top-left device pixel (1, 1) shows the image's top-left pixel.
    PxImage im;
    opstest::Numbered(im, 2, 2);
    im.AlphaCreate();
    Area area(4, 4, Rgb(0, 0, 0));
    im.CompositeInto(area.bits.data(), area.rowBytes, 0, 0, 4, 4, 1, 1, 2, 2, false);
    EXPECT_TRUE(opstest::Same(area.At(1, 1), im.GetPixelColor(0, 1)));
    EXPECT_TRUE(opstest::Same(area.At(2, 2), im.GetPixelColor(1, 0)));
    EXPECT_TRUE(opstest::Same(area.At(0, 0), Rgb(0, 0, 0)));
    EXPECT_TRUE(opstest::Same(area.At(3, 3), Rgb(0, 0, 0)));
    // Part of the picture: an area starting at device (2, 2) holds only its bottom-right pixel.
    Area part(1, 1, Rgb(0, 0, 0));
    im.CompositeInto(part.bits.data(), part.rowBytes, 2, 2, 1, 1, 1, 1, 2, 2, false);
    EXPECT_TRUE(opstest::Same(part.At(0, 0), im.GetPixelColor(1, 0)));
    // Doubled: each image pixel covers 2 x 2 device pixels.
    Area big(4, 4, Rgb(0, 0, 0));
    im.CompositeInto(big.bits.data(), big.rowBytes, 0, 0, 4, 4, 0, 0, 4, 4, false);
    for (long y = 0; y < 4; ++y)
        for (long x = 0; x < 4; ++x) EXPECT_TRUE(opstest::Same(big.At(x, y), im.GetPixelColor(x / 2, 1 - y / 2)));
    // Scaled without blending (an opaque image drawn at another size) copies the
    // same pixels; smooth sampling of a uniform image stays uniform.
    PxImage plain;
    opstest::Solid(plain, 3, 3, Rgb(40, 50, 60));
    EXPECT_FALSE(plain.NeedsCompositing());
    Area smooth(7, 5, Rgb(0, 0, 0));
    plain.CompositeInto(smooth.bits.data(), smooth.rowBytes, 0, 0, 7, 5, 0, 0, 7, 5, true, false);
    for (long y = 0; y < 5; ++y)
        for (long x = 0; x < 7; ++x) EXPECT_TRUE(opstest::Same(smooth.At(x, y), Rgb(40, 50, 60)));
}
