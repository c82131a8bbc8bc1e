#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImageTestSupport.h"
#include "image/PxImage.h"

using pxtest::DecodeBytes;
using pxtest::EncodeBytes;

namespace {

// A PCX file: header, then each line's plane bytes, every byte coded as a run
// of one so that any value can be stored.
std::vector<uint8_t> MakePcx(int w, int h, int bits, int planes, int bytesPerLine, const std::vector<uint8_t>& lines,
                             int dpi = 72) {
    std::vector<uint8_t> f(128, 0);
    f[0] = 10;
    f[1] = 5;
    f[2] = 1;
    f[3] = static_cast<uint8_t>(bits);
    f[8] = static_cast<uint8_t>(w - 1);
    f[9] = static_cast<uint8_t>((w - 1) >> 8);
    f[10] = static_cast<uint8_t>(h - 1);
    f[11] = static_cast<uint8_t>((h - 1) >> 8);
    f[12] = static_cast<uint8_t>(dpi);
    f[14] = static_cast<uint8_t>(dpi);
    for (int i = 0; i < 16; ++i) {
        f[16 + 3 * i] = static_cast<uint8_t>(i * 16);
        f[17 + 3 * i] = static_cast<uint8_t>(255 - i * 16);
        f[18 + 3 * i] = static_cast<uint8_t>(i);
    }
    f[65] = static_cast<uint8_t>(planes);
    f[66] = static_cast<uint8_t>(bytesPerLine);
    for (uint8_t b : lines) {
        f.push_back(0xC1);
        f.push_back(b);
    }
    return f;
}

std::vector<uint8_t> IndexesTopDown(const PxImage& im) {
    std::vector<uint8_t> out;
    for (long y = static_cast<long>(im.GetHeight()) - 1; y >= 0; --y)
        for (long x = 0; x < static_cast<long>(im.GetWidth()); ++x) out.push_back(im.GetPixelIndex(x, y));
    return out;
}

}  // namespace

// Packed and planar layouts: 1, 2, 4 and 8 bits in one plane, 2 to 4 planes of
// 1 bit (indexes up to 3, 7 and 15), odd widths.
TEST(PxImagePCX, PackedAndPlanarLayouts) {
    struct Case {
        const char* name;
        int w, bits, planes, bytesPerLine;
        std::vector<uint8_t> lines;  // two lines
        std::vector<uint8_t> indexes;
        uint32_t imageBits;
    } cases[] = {
        {"1 bit", 3, 1, 1, 2, {0xA0, 0, 0x40, 0}, {1, 0, 1, 0, 1, 0}, 1},
        {"2 bits", 3, 2, 1, 2, {0x1B, 0, 0xE4, 0}, {0, 1, 2, 3, 2, 1}, 4},
        {"4 bits packed", 3, 4, 1, 2, {0x12, 0x30, 0xFE, 0xD0}, {1, 2, 3, 15, 14, 13}, 4},
        {"8 bits", 3, 8, 1, 4, {7, 8, 9, 0, 200, 201, 255, 0}, {7, 8, 9, 200, 201, 255}, 8},
        {"2 planes", 3, 1, 2, 2, {0xA0, 0, 0x60, 0, 0, 0, 0xE0, 0}, {1, 2, 3, 2, 2, 2}, 4},
        {"3 planes", 3, 1, 3, 2, {0x80, 0, 0x40, 0, 0x20, 0, 0xE0, 0, 0xE0, 0, 0xE0, 0}, {1, 2, 4, 7, 7, 7}, 4},
        {"4 planes", 3, 1, 4, 2, {0x80, 0, 0x80, 0, 0x80, 0, 0xC0, 0, 0x20, 0, 0x20, 0, 0x20, 0, 0x20, 0},
         {15, 8, 0, 0, 0, 15}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> f = MakePcx(c.w, 2, c.bits, c.planes, c.bytesPerLine, c.lines);
        if (c.bits == 8) {
            f.push_back(12);
            for (int i = 0; i < 256; ++i) {
                f.push_back(static_cast<uint8_t>(i));
                f.push_back(static_cast<uint8_t>(i));
                f.push_back(static_cast<uint8_t>(255 - i));
            }
        }
        PxImage im;
        ASSERT_TRUE(DecodeBytes(im, f, PxFormatPCX)) << im.GetLastError();
        EXPECT_EQ(im.GetBpp(), c.imageBits);
        EXPECT_EQ(IndexesTopDown(im), c.indexes);
        EXPECT_EQ(im.GetXDPI(), 72);
        uint8_t expected = c.bits == 8 ? 55 : c.planes == 1 && c.bits == 1 ? 255 : c.planes > 1 ? 48 : 0;
        if (expected) {
            RGBQUAD probe = im.GetPaletteColor(c.bits == 8 ? 200 : c.planes > 1 ? 3 : 1);
            EXPECT_EQ(c.bits == 8 ? probe.rgbBlue : c.planes > 1 ? probe.rgbRed : probe.rgbGreen, expected);
        }
    }
    // 24 bits as three planes, no resolution: 96 dpi stays.
    std::vector<uint8_t> f = MakePcx(1, 1, 8, 3, 2, {10, 0, 20, 0, 30, 0}, 0);
    PxImage rgb;
    ASSERT_TRUE(DecodeBytes(rgb, f, PxFormatPCX));
    EXPECT_EQ(rgb.GetPixelColor(0, 0).rgbRed, 10);
    EXPECT_EQ(rgb.GetPixelColor(0, 0).rgbGreen, 20);
    EXPECT_EQ(rgb.GetPixelColor(0, 0).rgbBlue, 30);
    EXPECT_EQ(rgb.GetXDPI(), 96);
}

// 1, 4, 8 and 24-bit images written and read back by us and by ImageMagick.
TEST(PxImagePCX, EncodeRoundTrips) {
    PxImage card;
    pxtest::MakeCard(card, 13, 6);
    PxImage c8(card), c4(card), c1(card);
    c8.DecreaseBpp(8, false);
    c4.DecreaseBpp(4, false);
    c1.DecreaseBpp(1, false);
    PxImage* images[] = {&c1, &c4, &c8, &card};
    for (PxImage* im : images) {
        SCOPED_TRACE(im->GetBpp());
        std::vector<uint8_t> file = EncodeBytes(*im, PxFormatPCX);
        ASSERT_GT(file.size(), 128u);
        PxImage back;
        ASSERT_TRUE(DecodeBytes(back, file, PxFormatPCX)) << back.GetLastError();
        EXPECT_EQ(pxtest::Pixels(back, false), pxtest::Pixels(*im, false));
        // ImageMagick shows a set bit of a 1-bit file as black, against the
        // format's rule (and pcxtoppm's); its reading is compared from 4 bits on.
        if (pxtest::HaveTool("convert") && im->GetBpp() > 1) {
            std::string path = pxtest::TempPath("out.pcx");
            pxtest::WriteFile(path, file);
            EXPECT_EQ(pxtest::ReferencePixels(path, "rgb"), pxtest::Pixels(*im, false));
        }
    }
    // A 1-bit image whose first colour is white: coded inverted, the caller's
    // pixels untouched.
    PxImage inv(9, 2, 1, 0);
    inv.SetPaletteColor(0, 255, 255, 255);
    inv.SetPaletteColor(1, 0, 0, 0);
    inv.SetPixelIndex(3, 1, 1);
    std::vector<uint8_t> before = IndexesTopDown(inv);
    std::vector<uint8_t> file = EncodeBytes(inv, PxFormatPCX);
    EXPECT_EQ(IndexesTopDown(inv), before);
    PxImage back;
    ASSERT_TRUE(DecodeBytes(back, file, PxFormatPCX));
    EXPECT_EQ(pxtest::Pixels(back, false), pxtest::Pixels(inv, false));
}

// A 3-pixel-wide 8-bit image: 4 bytes per line, each coded row ends with a 0.
TEST(PxImagePCX, OddWidthPadding) {
    PxImage im(3, 2, 8, 0);
    im.SetGrayPalette();
    for (long x = 0; x < 3; ++x) {
        im.SetPixelIndex(x, 1, static_cast<uint8_t>(x + 1));
        im.SetPixelIndex(x, 0, 200);
    }
    std::vector<uint8_t> file = EncodeBytes(im, PxFormatPCX);
    ASSERT_GT(file.size(), 128u);
    EXPECT_EQ(file[66] | (file[67] << 8), 4);
    std::vector<uint8_t> data(file.begin() + 128, file.end() - 769);
    EXPECT_EQ(data, (std::vector<uint8_t>{1, 2, 3, 0, 0xC3, 200, 0}));
    EXPECT_EQ(file[file.size() - 769], 12);
}

TEST(PxImagePCX, Errors) {
    std::vector<uint8_t> good = MakePcx(2, 1, 8, 1, 2, {1, 2});
    std::vector<uint8_t> notPcx = good;
    notPcx[0] = 11;
    std::vector<uint8_t> encoding = good;
    encoding[2] = 0;
    std::vector<uint8_t> planes5 = MakePcx(2, 1, 1, 5, 2, {});
    std::vector<uint8_t> truncated = MakePcx(8, 8, 8, 1, 8, {1, 2, 3});
    std::vector<uint8_t> spans = MakePcx(2, 1, 8, 1, 2, {});
    spans.push_back(0xC5);
    spans.push_back(9);
    std::vector<uint8_t> narrow = MakePcx(20, 1, 8, 1, 4, {1, 2, 3, 4});
    std::vector<uint8_t> packed = MakePcx(2, 1, 4, 2, 2, {0, 0, 0, 0});
    std::vector<uint8_t> backwards = good;
    backwards[8] = 0;
    backwards[4] = 5;
    std::vector<uint8_t> huge = MakePcx(1, 1, 8, 1, 2, {});
    huge[8] = huge[10] = 0xFE;  // 65535 x 65535
    huge[9] = huge[11] = 0xFF;
    huge[66] = huge[67] = 0xFF;
    std::vector<uint8_t> signature = good;
    signature.push_back(13);
    signature.resize(signature.size() + 768, 0);
    struct Case {
        std::vector<uint8_t> bytes;
        int escape;
        const char* text;
    } cases[] = {
        {{10, 5, 1}, 0, "Can't read PCX image"},
        {notPcx, 0, "Error: Not a PCX file"},
        {encoding, 0, "PCX file has unknown encoding scheme"},
        {planes5, 0, "Can't handle image with more than 4 planes"},
        {truncated, 0, "corrupted PCX"},
        {spans, 0, "repeat count spans end of image"},
        {narrow, 0, "corrupted PCX"},
        {packed, 0, "Can't handle packed pixels with more than 1 plane."},
        {backwards, 0, "Can't read PCX image"},
        {huge, 0, "Can't allocate memory"},
        {signature, 0, "bad color map signature"},
        {good, 1, "Cancelled"},
        {good, -1, "Cancelled"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        PxImage im;
        im.SetEscape(c.escape);
        EXPECT_FALSE(DecodeBytes(im, c.bytes, PxFormatPCX));
        EXPECT_STREQ(im.GetLastError(), c.text);
    }
    PxImage card;
    pxtest::MakeCard(card, 4, 4);
    pxtest::FailingStream failing;
    EXPECT_FALSE(card.Encode(&failing, PxFormatPCX));
    EXPECT_STREQ(card.GetLastError(), "cannot write PCX header");
}
