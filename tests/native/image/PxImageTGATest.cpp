#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImageTestSupport.h"
#include "image/PxImage.h"

using pxtest::DecodeBytes;
using pxtest::EncodeBytes;

namespace {

std::vector<uint8_t> TgaHeader(int type, int w, int h, int depth, int descriptor, int mapType = 0, int mapFirst = 0,
                               int mapLength = 0, int mapEntry = 0) {
    return {0,
            static_cast<uint8_t>(mapType),
            static_cast<uint8_t>(type),
            static_cast<uint8_t>(mapFirst),
            static_cast<uint8_t>(mapFirst >> 8),
            static_cast<uint8_t>(mapLength),
            static_cast<uint8_t>(mapLength >> 8),
            static_cast<uint8_t>(mapEntry),
            0,
            0,
            0,
            0,
            static_cast<uint8_t>(w),
            static_cast<uint8_t>(w >> 8),
            static_cast<uint8_t>(h),
            static_cast<uint8_t>(h >> 8),
            static_cast<uint8_t>(depth),
            static_cast<uint8_t>(descriptor)};
}

void Append(std::vector<uint8_t>& f, std::initializer_list<int> bytes) {
    for (int b : bytes) f.push_back(static_cast<uint8_t>(b));
}

RGBQUAD At(const PxImage& im, long x, long yFromTop) {
    return im.GetPixelColor(x, static_cast<long>(im.GetHeight()) - 1 - yFromTop, false);
}

}  // namespace

// Files made by ImageMagick (whose raw dump keeps the file's row order unless
// told to orient): colour-mapped, true colour and grey, plain and
// run-length, 8, 24 and 32 bits.
TEST(PxImageTGA, DecodesReferenceFiles) {
    PX_REQUIRE_TOOL("convert");
    PxImage card;
    pxtest::MakeCard(card, 23, 9);
    std::string src = pxtest::TempPath("card.bmp");
    pxtest::WriteFile(src, EncodeBytes(card, PxFormatBMP));
    struct Case {
        const char* options;
        int type;
        bool alpha;
    } cases[] = {{"-colors 40 -type Palette -compress None", 1, false},
                 {"-type TrueColor -compress None", 2, false},
                 {"-colorspace Gray -type Grayscale -compress None", 3, false},
                 {"-colors 40 -type Palette -compress RLE", 9, false},
                 {"-type TrueColor -compress RLE", 10, false},
                 {"-colorspace Gray -type Grayscale -compress RLE", 11, false},
                 {"-alpha set -channel A -fx \"(i%3)/2\" +channel -type TrueColorAlpha -compress RLE", 10, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        std::string tga = pxtest::TempPath("ref.tga");
        ASSERT_EQ(pxtest::Run(pxtest::Convert() + " " + src + " " + c.options + " " + tga), 0);
        std::vector<uint8_t> bytes = pxtest::ReadFile(tga);
        ASSERT_GT(bytes.size(), 18u);
        EXPECT_EQ(bytes[2], c.type);
        PxImage im;
        ASSERT_TRUE(DecodeBytes(im, bytes, PxFormatTGA)) << im.GetLastError();
        EXPECT_EQ(im.GetType(), PxFormatTGA);
        EXPECT_EQ(im.AlphaIsValid(), c.alpha);
        EXPECT_EQ(pxtest::Pixels(im, c.alpha), pxtest::ReferencePixels(tga, c.alpha ? "rgba" : "rgb", "-auto-orient"));
    }
}

// Layouts no tool here writes: top-down with alpha, right-to-left, a run
// across a row end, 16-bit pixels and colour maps of 16/24/32-bit entries.
TEST(PxImageTGA, HandMadeLayouts) {
    {
        // Top-down 32-bit: alpha stays on the colour's row.
        std::vector<uint8_t> f = TgaHeader(2, 2, 2, 32, 0x28);
        Append(f, {0, 0, 255, 10, 0, 255, 0, 20, 255, 0, 0, 30, 255, 255, 255, 40});
        PxImage im;
        ASSERT_TRUE(DecodeBytes(im, f, PxFormatTGA)) << im.GetLastError();
        EXPECT_EQ(At(im, 0, 0).rgbRed, 255);
        EXPECT_EQ(im.AlphaGet(0, 1), 10);
        EXPECT_EQ(im.AlphaGet(1, 1), 20);
        EXPECT_EQ(At(im, 0, 1).rgbBlue, 255);
        EXPECT_EQ(im.AlphaGet(0, 0), 30);
    }
    {
        // Right-to-left, bottom-up 24-bit.
        std::vector<uint8_t> f = TgaHeader(2, 2, 1, 24, 0x10);
        Append(f, {0, 0, 255, 255, 0, 0});
        PxImage im;
        ASSERT_TRUE(DecodeBytes(im, f, PxFormatTGA));
        EXPECT_EQ(im.GetPixelColor(1, 0).rgbRed, 255);
        EXPECT_EQ(im.GetPixelColor(0, 0).rgbBlue, 255);
    }
    {
        // Run-length 16-bit: a run of 3 crossing the end of a 2-pixel row, then a
        // raw packet crossing the next; 0x7C00 is (248, 0, 0).
        std::vector<uint8_t> f = TgaHeader(10, 2, 3, 16, 0x20);
        Append(f, {0x82, 0x00, 0x7C, 0x02, 0x1F, 0x00, 0xE0, 0x03, 0x00, 0x00});
        PxImage im;
        ASSERT_TRUE(DecodeBytes(im, f, PxFormatTGA)) << im.GetLastError();
        RGBQUAD red = At(im, 0, 1);  // the run's third pixel, on the next row
        EXPECT_EQ(red.rgbRed, 248);
        EXPECT_EQ(red.rgbGreen, 0);
        EXPECT_EQ(red.rgbBlue, 0);
        EXPECT_EQ(At(im, 1, 0).rgbRed, 248);
        EXPECT_EQ(At(im, 1, 1).rgbBlue, 248);
        EXPECT_EQ(At(im, 0, 2).rgbGreen, 248);
        EXPECT_EQ(At(im, 1, 2).rgbRed, 0);
    }
    // Colour maps with a first-entry offset and entries of 16, 24 and 32 bits.
    struct MapCase {
        int entryBits;
        std::vector<int> entries;  // two entries
    } maps[] = {{16, {0x00, 0x7C, 0x1F, 0x00}},
                {24, {0, 0, 248, 248, 0, 0}},
                {32, {0, 0, 248, 77, 248, 0, 0, 77}}};
    for (const MapCase& m : maps) {
        SCOPED_TRACE(m.entryBits);
        std::vector<uint8_t> f = TgaHeader(1, 2, 1, 8, 0, 1, 5, 2, m.entryBits);
        for (int b : m.entries) f.push_back(static_cast<uint8_t>(b));
        Append(f, {5, 6});
        PxImage im;
        ASSERT_TRUE(DecodeBytes(im, f, PxFormatTGA)) << im.GetLastError();
        EXPECT_EQ(im.GetPixelColor(0, 0).rgbRed, 248);
        EXPECT_EQ(im.GetPixelColor(0, 0).rgbBlue, 0);
        EXPECT_EQ(im.GetPixelColor(1, 0).rgbBlue, 248);
        EXPECT_EQ(im.GetPixelColor(1, 0).rgbRed, 0);
    }
}

// 8, 24 and 24-bit with alpha written and read back, here and by ImageMagick.
TEST(PxImageTGA, EncodeRoundTrips) {
    PxImage card;
    pxtest::MakeCard(card, 13, 7);
    PxImage pal;
    pxtest::MakeCard(pal, 13, 7);
    pal.DecreaseBpp(8, false);
    PxImage alpha;
    pxtest::MakeCard(alpha, 13, 7);
    alpha.AlphaCreate();
    for (long x = 0; x < 13; ++x) alpha.AlphaSet(x, 2, static_cast<uint8_t>(x * 19));
    struct Case {
        PxImage* image;
        int depth;
        bool withAlpha;
    } cases[] = {{&pal, 8, false}, {&card, 24, false}, {&alpha, 32, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.depth);
        std::vector<uint8_t> file = EncodeBytes(*c.image, PxFormatTGA);
        ASSERT_GT(file.size(), 18u);
        EXPECT_EQ(file[16], c.depth);
        EXPECT_EQ(file.size(), 18u + (c.depth == 8 ? 768 : 0) + 13u * 7 * c.depth / 8);
        PxImage back;
        ASSERT_TRUE(DecodeBytes(back, file, PxFormatTGA));
        EXPECT_EQ(pxtest::Pixels(back, c.withAlpha), pxtest::Pixels(*c.image, c.withAlpha));
        if (pxtest::HaveTool("convert")) {
            std::string path = pxtest::TempPath("out.tga");
            pxtest::WriteFile(path, file);
            EXPECT_EQ(pxtest::ReferencePixels(path, c.withAlpha ? "rgba" : "rgb", "-auto-orient"),
                      pxtest::Pixels(*c.image, c.withAlpha));
        }
    }
    PxImage bw(4, 4, 1, 0);
    EXPECT_TRUE(EncodeBytes(bw, PxFormatTGA).empty());
    EXPECT_STREQ(bw.GetLastError(), "Bit depth must be 8 or 24");
    pxtest::FailingStream failing;
    EXPECT_FALSE(card.Encode(&failing, PxFormatTGA));
    EXPECT_STREQ(card.GetLastError(), "Write Error");
}

TEST(PxImageTGA, ErrorsAndHostileHeaders) {
    std::vector<uint8_t> ok = TgaHeader(2, 2, 2, 24, 0);
    Append(ok, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    struct Case {
        std::vector<uint8_t> bytes;
        int escape;
        const char* text;
    } cases[] = {
        {{0, 0, 2, 0}, 0, "Not a TGA"},
        {TgaHeader(4, 2, 2, 24, 0), 0, "Unknown TGA image type"},
        {TgaHeader(2, 0, 2, 24, 0), 0, "bad TGA header"},
        {TgaHeader(2, 2, 2, 7, 0), 0, "bad TGA header"},
        {TgaHeader(1, 2, 2, 8, 0, 1, 0, 300, 24), 0, "bad TGA header"},
        {TgaHeader(1, 2, 2, 8, 0, 1, 200, 100, 24), 0, "bad TGA header"},
        {TgaHeader(2, 2, 2, 24, 0, 2), 0, "bad TGA header"},
        {TgaHeader(2, 65535, 65535, 32, 0), 0, "TGA Create failed"},
        {TgaHeader(2, 2, 2, 24, 0), 0, "corrupted TGA"},
        {ok, 1, "Cancelled"},
        {ok, -1, "Cancelled"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        PxImage im;
        im.SetEscape(c.escape);
        EXPECT_FALSE(DecodeBytes(im, c.bytes, PxFormatTGA));
        EXPECT_STREQ(im.GetLastError(), c.text);
    }
    // Truncated run-length data ends without looping.
    std::vector<uint8_t> rle = TgaHeader(10, 300, 200, 24, 0);
    Append(rle, {0xFF, 1, 2, 3, 0x7F});
    PxImage im;
    DecodeBytes(im, rle, PxFormatTGA);
}
