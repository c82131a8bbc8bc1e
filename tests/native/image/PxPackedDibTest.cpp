// Reading clipboard DIB blocks written by other processes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "OpsTestSupport.h"
#include "image/PxImage.h"

using opstest::Rgb;

namespace {
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

// A BITMAPINFOHEADER block: header, then `extra` bytes (masks, palette), then pixels.
std::vector<uint8_t> Header(int32_t w, int32_t h, uint16_t bits, uint32_t compression, uint32_t clrUsed = 0) {
    std::vector<uint8_t> b(40, 0);
    Put32(b, 0, 40);
    Put32(b, 4, static_cast<uint32_t>(w));
    Put32(b, 8, static_cast<uint32_t>(h));
    Put16(b, 12, 1);
    Put16(b, 14, bits);
    Put32(b, 16, compression);
    Put32(b, 24, 11811);  // 300 DPI
    Put32(b, 28, 0);      // unknown: 96
    Put32(b, 32, clrUsed);
    return b;
}

void Append(std::vector<uint8_t>& b, std::initializer_list<uint8_t> bytes) { b.insert(b.end(), bytes); }

bool Read(PxImage& im, const std::vector<uint8_t>& block) { return im.CreateFromPackedDib(block.data(), block.size()); }
}  // namespace

TEST(PxPackedDib, ReadsOurOwnBlocksAtEveryDepth) {
    for (uint32_t bits : {1u, 4u, 8u, 24u}) {
        SCOPED_TRACE(bits);
        PxImage src;
        ASSERT_TRUE(src.Create(13, 5, bits));
        if (bits < 24) {
            src.SetStdPalette();
            if (bits == 1) src.SetPaletteColor(1, 255, 255, 255);
            for (long y = 0; y < 5; ++y)
                for (long x = 0; x < 13; ++x) src.SetPixelIndex(x, y, static_cast<uint8_t>((x * 5 + y) % (1u << bits)));
        } else {
            opstest::Numbered(src, 13, 5);
        }
        const uint8_t* block = static_cast<const uint8_t*>(src.GetDIB());
        PxImage im;
        ASSERT_TRUE(im.CreateFromPackedDib(block, src.GetSize())) << im.GetLastError();
        EXPECT_EQ(im.GetBpp(), src.GetBpp());
        EXPECT_EQ(opstest::Hash(im), opstest::Hash(src));
        EXPECT_EQ(im.GetXDPI(), 96);
        // One byte short of the pixels: refused, not read past the block.
        PxImage cut;
        EXPECT_FALSE(cut.CreateFromPackedDib(block, src.GetSize() - 1));
        EXPECT_FALSE(cut.IsValid());
    }
}

TEST(PxPackedDib, TopDownRowsAreTurnedUpright) {
    std::vector<uint8_t> b = Header(1, -2, 24, BI_RGB);
    Append(b, {1, 2, 3, 0, 4, 5, 6, 0});  // first row in the block is the top row
    PxImage im;
    ASSERT_TRUE(Read(im, b)) << im.GetLastError();
    EXPECT_EQ(im.GetHeight(), 2u);
    EXPECT_TRUE(opstest::Same(im.GetPixelColor(0, 1), Rgb(3, 2, 1)));
    EXPECT_TRUE(opstest::Same(im.GetPixelColor(0, 0), Rgb(6, 5, 4)));
    EXPECT_EQ(im.GetXDPI(), 300);
    EXPECT_EQ(im.GetYDPI(), 96);
}

TEST(PxPackedDib, SixteenBitPixels) {
    // BI_RGB 16-bit is 5-5-5; BI_BITFIELDS takes the masks after the header.
    std::vector<uint8_t> rgb = Header(2, 1, 16, BI_RGB);
    Append(rgb, {0x00, 0x7C, 0x1F, 0x00});  // red 0x7C00, blue 0x001F
    PxImage a;
    ASSERT_TRUE(Read(a, rgb)) << a.GetLastError();
    EXPECT_EQ(a.GetBpp(), 24);
    EXPECT_TRUE(opstest::Same(a.GetPixelColor(0, 0), Rgb(255, 0, 0)));
    EXPECT_TRUE(opstest::Same(a.GetPixelColor(1, 0), Rgb(0, 0, 255)));

    std::vector<uint8_t> fields = Header(2, 1, 16, BI_BITFIELDS);
    Append(fields, {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0x00, 0, 0});  // 5-6-5
    Append(fields, {0xE0, 0x07, 0x10, 0x84});  // pure green; 0x8410 = (16, 32, 16)
    PxImage b;
    ASSERT_TRUE(Read(b, fields)) << b.GetLastError();
    EXPECT_TRUE(opstest::Same(b.GetPixelColor(0, 0), Rgb(0, 255, 0)));
    EXPECT_TRUE(opstest::Same(b.GetPixelColor(1, 0), Rgb(16 * 255 / 31, 32 * 255 / 63, 16 * 255 / 31)));
}

TEST(PxPackedDib, ThirtyTwoBitPixels) {
    std::vector<uint8_t> plain = Header(1, 1, 32, BI_RGB);
    Append(plain, {10, 20, 30, 99});
    PxImage a;
    ASSERT_TRUE(Read(a, plain)) << a.GetLastError();
    EXPECT_TRUE(opstest::Same(a.GetPixelColor(0, 0), Rgb(30, 20, 10)));
    // Masks in another order are honoured.
    std::vector<uint8_t> fields = Header(1, 1, 32, BI_BITFIELDS);
    Append(fields, {0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0});  // red in the low byte
    Append(fields, {10, 20, 30, 0});
    PxImage b;
    ASSERT_TRUE(Read(b, fields)) << b.GetLastError();
    EXPECT_TRUE(opstest::Same(b.GetPixelColor(0, 0), Rgb(10, 20, 30)));
    std::vector<uint8_t> rle = Header(1, 1, 32, BI_RLE8);
    Append(rle, {0, 0, 0, 0});
    PxImage c;
    EXPECT_FALSE(Read(c, rle));
    EXPECT_STREQ(c.GetLastError(), "unknown compression");
}

TEST(PxPackedDib, ShortPaletteAndCoreHeader) {
    // 8 bits with a 2-entry palette: the pixels start right after those two
    // entries, not after 256 of them.
    std::vector<uint8_t> b = Header(3, 1, 8, BI_RGB, 2);
    Append(b, {0, 0, 255, 0, 0, 255, 0, 0});  // entry 0 red, entry 1 green
    Append(b, {1, 0, 1, 0});
    PxImage im;
    ASSERT_TRUE(Read(im, b)) << im.GetLastError();
    EXPECT_TRUE(opstest::Same(im.GetPixelColor(0, 0), Rgb(0, 255, 0)));
    EXPECT_TRUE(opstest::Same(im.GetPixelColor(1, 0), Rgb(255, 0, 0)));

    // 12-byte core header: 16-bit sizes and 3-byte palette entries.
    std::vector<uint8_t> core(12, 0);
    Put32(core, 0, 12);
    Put16(core, 4, 2);
    Put16(core, 6, 1);
    Put16(core, 8, 1);
    Put16(core, 10, 1);
    Append(core, {0, 0, 0, 255, 255, 255});
    Append(core, {0x40, 0, 0, 0});  // second pixel white
    PxImage c;
    ASSERT_TRUE(Read(c, core)) << c.GetLastError();
    EXPECT_EQ(c.GetWidth(), 2u);
    EXPECT_TRUE(opstest::Same(c.GetPixelColor(1, 0), Rgb(255, 255, 255)));
    EXPECT_TRUE(opstest::Same(c.GetPixelColor(0, 0), Rgb(0, 0, 0)));
}

TEST(PxPackedDib, RunLengthBlocks) {
    std::vector<uint8_t> b = Header(4, 2, 8, BI_RLE8, 2);
    Append(b, {0, 0, 0, 0, 255, 255, 255, 0});
    Append(b, {4, 1, 0, 0, 2, 0, 0, 1});  // row 0 white, row 1 two black then end
    PxImage im;
    ASSERT_TRUE(Read(im, b)) << im.GetLastError();
    EXPECT_EQ(im.GetPixelIndex(3, 0), 1);
    EXPECT_EQ(im.GetPixelIndex(0, 1), 0);
    // A compressed DIB cannot be top-down.
    std::vector<uint8_t> top = Header(4, -2, 8, BI_RLE8, 2);
    Append(top, {0, 0, 0, 0, 255, 255, 255, 0, 0, 1});
    EXPECT_FALSE(Read(im, top));
    std::vector<uint8_t> rle4as8 = Header(4, 1, 8, BI_RLE4);
    EXPECT_FALSE(Read(im, rle4as8));
}

TEST(PxPackedDib, MalformedBlocksAreRefused) {
    struct Case {
        const char* name;
        std::vector<uint8_t> block;
    };
    std::vector<uint8_t> huge = Header(0x7FFFFFFF, 0x7FFFFFFF, 24, BI_RGB);
    std::vector<uint8_t> negWidth = Header(-4, 4, 24, BI_RGB);
    std::vector<uint8_t> zero = Header(4, 0, 24, BI_RGB);
    std::vector<uint8_t> minHeight = Header(1, INT32_MIN, 24, BI_RGB);
    std::vector<uint8_t> badBits = Header(1, 1, 7, BI_RGB);
    std::vector<uint8_t> jpeg = Header(1, 1, 24, 4);
    std::vector<uint8_t> masksMissing = Header(1, 1, 16, BI_BITFIELDS);
    std::vector<uint8_t> paletteMissing = Header(1, 1, 8, BI_RGB, 200);
    std::vector<uint8_t> headerTooBig = Header(1, 1, 24, BI_RGB);
    Put32(headerTooBig, 0, 1000);
    std::vector<uint8_t> headerOdd = Header(1, 1, 24, BI_RGB);
    Put32(headerOdd, 0, 20);
    const Case kCases[] = {{"empty", {}},
                           {"four bytes", {40, 0, 0, 0}},
                           {"huge", huge},
                           {"negative width", negWidth},
                           {"zero height", zero},
                           {"minimum height", minHeight},
                           {"seven bits", badBits},
                           {"jpeg compression", jpeg},
                           {"masks missing", masksMissing},
                           {"palette missing", paletteMissing},
                           {"header past the block", headerTooBig},
                           {"odd header size", headerOdd}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        PxImage im;
        opstest::Solid(im, 2, 2, Rgb(1, 2, 3));
        EXPECT_FALSE(im.CreateFromPackedDib(c.block.empty() ? nullptr : c.block.data(), c.block.size()));
        EXPECT_FALSE(im.IsValid());
        EXPECT_STRNE(im.GetLastError(), "");
    }
}
