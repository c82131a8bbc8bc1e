#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ImageTestSupport.h"
#include "image/ImageIterator.h"
#include "image/PxImage.h"

TEST(PxImage, CreateSnapsDepthAndLaysOutRows) {
    struct Case { uint32_t w, h, bits, bpp, rowSize, colors; };
    const Case kCases[] = {{10, 10, 32, 24, 32, 0}, {3, 1, 1, 1, 4, 2}, {5, 2, 2, 4, 4, 16},
                           {7, 3, 8, 8, 8, 256},   {1, 1, 16, 24, 4, 0}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.bits);
        PxImage im;
        ASSERT_NE(im.Create(c.w, c.h, c.bits, PxFormatPNG), nullptr);
        EXPECT_EQ(im.GetBpp(), c.bpp);
        EXPECT_EQ(im.GetEffWidth(), c.rowSize);
        EXPECT_EQ(im.GetNumColors(), c.colors);
        EXPECT_EQ(im.GetHeader().biSizeImage, c.rowSize * c.h);
        EXPECT_EQ(im.GetType(), static_cast<uint32_t>(PxFormatPNG));
    }
}

TEST(PxImage, NewImageDefaults) {
    PxImage im;
    EXPECT_EQ(im.GetJpegQuality(), 90);
    EXPECT_EQ(im.GetTransIndex(), -1);
    EXPECT_EQ(im.GetXDPI(), 96);
    EXPECT_EQ(im.GetHeader().biXPelsPerMeter, 3780);
    EXPECT_EQ(im.GetColorType(), 1);
    EXPECT_FALSE(im.IsValid());
}

TEST(PxImage, CreateRejectsZeroSize) {
    PxImage im;
    EXPECT_EQ(im.Create(0, 5, 24), nullptr);
    EXPECT_STREQ(im.GetLastError(), "PxImage::Create : width and height must be greater than zero");
    EXPECT_FALSE(im.IsValid());
}

// Sizes that wrap 32-bit arithmetic must fail, not give a small block.
TEST(PxImage, CreateRefusesSizesAboveTheCap) {
    struct Case { uint32_t w, h, bits; };
    const Case kCases[] = {{0xFFFFFFFFu, 1, 24},       // a negative width read as unsigned
                           {65535, 65535, 24},         // 12.9 GB
                           {0x40000001u, 4, 24},       // row size wraps in 32 bits
                           {200000, 200000, 1}};       // small DIB, huge alpha/mask planes
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.w);
        PxImage im;
        EXPECT_EQ(im.Create(c.w, c.h, c.bits), nullptr);
        EXPECT_STREQ(im.GetLastError(), "PxImage::Create can't allocate memory");
        EXPECT_FALSE(im.IsValid());
    }
}

// The pixel pointer in the settings never outlives or crosses to another image.
TEST(PxImage, PixelPointerIsNeverStaleOrShared) {
    struct Peek : PxImage {
        Peek(uint32_t w, uint32_t h) : PxImage(w, h, 24, 0) {}
        uint8_t* Pixels() const { return m_info.pixels; }
    };
    Peek a(4, 4), b(2, 2);
    a.Destroy();
    EXPECT_EQ(a.Pixels(), nullptr);
    b.Copy(a);  // an empty source: nothing of its buffers is taken
    EXPECT_EQ(b.Pixels(), nullptr);
    Peek c(3, 3);
    Peek d(6, 6);
    c.Copy(d, false, false, false);
    EXPECT_NE(c.Pixels(), d.Pixels());
    EXPECT_NE(c.Pixels(), nullptr);
}

TEST(PxImage, DestroyKeepsSizeButNoPixels) {
    PxImage im(4, 3, 24, 0);
    ASSERT_TRUE(im.IsValid());
    EXPECT_TRUE(im.Destroy());
    EXPECT_FALSE(im.IsValid());
    EXPECT_EQ(im.GetWidth(), 4u);
    EXPECT_EQ(im.GetBits(0), nullptr);
}

TEST(PxImage, TransferMovesEverything) {
    PxImage a(5, 4, 24, PxFormatBMP);
    a.SetPixelColor(1, 2, RGB(10, 20, 30));
    a.AlphaCreate();
    PxImage b;
    ASSERT_TRUE(b.Transfer(a));
    EXPECT_FALSE(a.IsValid());
    EXPECT_EQ(a.GetWidth(), 0u);
    EXPECT_EQ(b.GetWidth(), 5u);
    EXPECT_EQ(b.GetPixelColor(1, 2).rgbGreen, 20);
    EXPECT_TRUE(b.AlphaIsValid());
    EXPECT_TRUE(b.Transfer(b));  // itself: nothing happens
    EXPECT_TRUE(b.IsValid());
}

TEST(PxImage, CopyTakesPixelsPlanesButNotBuffers) {
    PxImage a(6, 2, 8, 0);
    a.SetGrayPalette();
    a.SetPixelIndex(3, 1, 77);
    a.AlphaCreate();
    a.AlphaSet(3, 1, 9);
    PxImage b(a);
    EXPECT_EQ(b.GetPixelIndex(3, 1), 77);
    EXPECT_EQ(b.AlphaGet(3, 1), 9);
    EXPECT_NE(b.GetBits(0), a.GetBits(0));
    a.Destroy();  // b must not depend on a's buffers
    EXPECT_EQ(b.GetPixelIndex(3, 1), 77);
    PxImage c(b, false, false, false);
    EXPECT_FALSE(c.AlphaIsValid());
    EXPECT_EQ(c.GetPaletteColor(200).rgbRed, 200);  // palette copied without pixels
}

TEST(PxImage, CreateFromArray32KeepsAlphaWithItsRow) {
    // Two rows of two pixels; line 0 is blue with alpha 10, line 1 red with alpha 20.
    uint8_t src[16] = {255, 0, 0, 10, 255, 0, 0, 10, 0, 0, 255, 20, 0, 0, 255, 20};
    PxImage im;
    ASSERT_TRUE(im.CreateFromArray(src, 2, 2, 32, 8, true));
    EXPECT_EQ(im.GetBpp(), 24);
    EXPECT_EQ(im.GetPixelColor(0, 1, false).rgbBlue, 255);  // line 0 at the top row
    EXPECT_EQ(im.AlphaGet(0, 1), 10);
    EXPECT_EQ(im.AlphaGet(1, 0), 20);
    EXPECT_EQ(im.GetType(), 0u);
}

TEST(PxImage, CreateFromArrayRefusesBadInput) {
    uint8_t src[16] = {0};
    PxImage im(3, 3, 8, 0);
    EXPECT_FALSE(im.CreateFromArray(src, 2, 2, 16, 8, false));
    EXPECT_TRUE(im.IsValid());  // left as it was
    EXPECT_EQ(im.GetWidth(), 3u);
    // 32 bits need 4 x width bytes per line; fewer would be read past.
    EXPECT_FALSE(im.CreateFromArray(src, 2, 2, 32, 7, false));
}

TEST(PxImage, ResolutionAndOptions) {
    PxImage im;
    im.SetXDPI(0);
    EXPECT_EQ(im.GetXDPI(), 96);
    EXPECT_EQ(im.GetHeader().biXPelsPerMeter, 3780);
    im.SetXDPI(300);
    EXPECT_EQ(im.GetHeader().biXPelsPerMeter, 11811);
    EXPECT_FALSE(im.SetCodecOption(1, 14));
    PxImage png(PxFormatPNG);
    EXPECT_TRUE(png.SetCodecOption(1, 0));
    EXPECT_EQ(png.GetCodecOption(PxFormatPNG), 1u);
    png.SetFlags(65537);
    EXPECT_EQ(png.GetFlags(), 1u);
    png.SetFlags(65537, false);
    EXPECT_EQ(png.GetFlags(), 65537u);
}

TEST(PxImage, ClearFillsByDepth) {
    PxImage four(3, 1, 4, 0);
    four.Clear(0x1A);
    EXPECT_EQ(four.GetBits(0)[0], 0xAA);
    PxImage one(3, 1, 1, 0);
    one.Clear(3);
    EXPECT_EQ(one.GetBits(0)[0], 0xFF);
}

// Inputs found by fuzzing (tests/data/image): each decodes without undefined
// behaviour and with the stated result.
TEST(PxImage, FuzzFindings) {
    struct Case { const char* file; uint32_t code; bool decodes; };
    const Case kCases[] = {{"bmp_huge_resolution.bmp", PxFormatBMP, true},
                           {"png_huge_text_chunk.png", PxFormatPNG, false}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.file);
        std::vector<uint8_t> bytes = pxtest::ReadFile(std::string(BRIVANE_TEST_DATA_DIR) + "/image/" + c.file);
        ASSERT_FALSE(bytes.empty());
        PxImage im;
        EXPECT_EQ(pxtest::DecodeBytes(im, bytes, c.code), c.decodes) << im.GetLastError();
    }
}

TEST(PxImage, ExtremeResolutionStaysInRange) {
    PxImage im;
    im.SetXDPI(2147483647);
    EXPECT_EQ(im.GetHeader().biXPelsPerMeter, 2147483647);
    im.SetYDPI(54541338);  // just under the 32-bit limit once in pixels per metre
    EXPECT_GT(im.GetHeader().biYPelsPerMeter, 2147000000);
}

TEST(CImageIterator, RowsAndColumns) {
    PxImage im(3, 4, 24, 0);
    CImageIterator it(&im);
    EXPECT_EQ(it.GetRow(), im.GetBits(0));
    EXPECT_EQ(it.GetRow(2), im.GetBits(2));
    EXPECT_EQ(it.GetRow(9), im.GetBits(2));  // out of range: unchanged
    it.GoToTopRow();
    EXPECT_EQ(it.GetY(), 3);
    const uint8_t row[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    it.SetRow(row, -1);
    EXPECT_EQ(im.GetPixelColor(2, 3).rgbRed, 9);
    uint8_t col[12] = {0};
    ASSERT_TRUE(it.GetCol(col, 2));
    EXPECT_EQ(col[9], 7);  // row 3, pixel 2, blue
    EXPECT_FALSE(it.GetCol(col, 3));
    PxImage packed(8, 2, 1, 0);
    CImageIterator bits(&packed);
    EXPECT_FALSE(bits.GetCol(col, 0));
}

// An iterator over an empty image has no row to write through.
TEST(CImageIterator, EmptyImageHasNoRows) {
    PxImage im(3, 4, 24, 0);
    im.Destroy();
    CImageIterator it(&im);
    EXPECT_EQ(it.GetRow(), nullptr);
    EXPECT_EQ(it.GetRow(1), nullptr);
    const uint8_t row[4] = {1, 2, 3, 4};
    it.SetRow(row, 4);  // nothing to write into
    it.GoToTopRow();
    EXPECT_EQ(it.GetRow(), nullptr);
}
