#include <gtest/gtest.h>

#include "BmpBuilder.h"
#include "ImageTestSupport.h"
#include "image/PxImage.h"

using pxtest::BmpBuilder;

namespace {
// An icon file with one entry per given body (a DIB or a PNG), directory sizes given.
std::vector<uint8_t> IconFile(const std::vector<std::vector<uint8_t>>& bodies, const std::vector<int>& sizes) {
    BmpBuilder b;
    b.U16(0);
    b.U16(1);
    b.U16(static_cast<uint16_t>(bodies.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(bodies.size());
    for (size_t i = 0; i < bodies.size(); ++i) {
        b.U8(static_cast<uint8_t>(sizes[i]));
        b.U8(static_cast<uint8_t>(sizes[i]));
        b.U8(0);
        b.U8(0);
        b.U16(1);
        b.U16(32);
        b.U32(static_cast<uint32_t>(bodies[i].size()));
        b.U32(offset);
        offset += static_cast<uint32_t>(bodies[i].size());
    }
    for (const auto& body : bodies) b.bytes.insert(b.bytes.end(), body.begin(), body.end());
    return b.bytes;
}

// A 24-bit DIB icon body: colours, then the AND mask rows.
std::vector<uint8_t> Dib24(int w, int h, uint32_t colour, uint32_t maskedColour, bool maskCorner) {
    BmpBuilder b;
    b.InfoHeader(w, h * 2, 24, 0);
    int row = ((w * 24 + 31) / 32) * 4;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t c = (maskCorner && x == 0) ? maskedColour : colour;
            b.Bytes({uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
        }
        for (int p = w * 3; p < row; ++p) b.U8(0);
    }
    int maskRow = ((w + 31) / 32) * 4;
    for (int y = 0; y < h; ++y)
        for (int p = 0; p < maskRow; ++p) b.U8(p == 0 && maskCorner ? 0x80 : 0);
    return b.bytes;
}
}  // namespace

TEST(PxImageICO, MaskedPixelsOfOneColourBecomeTransparentColour) {
    std::vector<uint8_t> ico = IconFile({Dib24(4, 4, 0x00FF00, 0xFF00FF, true)}, {4});
    PxImage im;
    ASSERT_TRUE(pxtest::DecodeBytes(im, ico, PxFormatICO)) << im.GetLastError();
    EXPECT_EQ(im.GetBpp(), 24);
    EXPECT_FALSE(im.AlphaIsValid());
    EXPECT_EQ(im.GetTransIndex(), 0);
    RGBQUAD t = im.GetTransColor();
    EXPECT_EQ(t.rgbRed, 255);
    EXPECT_EQ(t.rgbGreen, 0);
    EXPECT_EQ(t.rgbBlue, 255);
    EXPECT_TRUE(im.IsTransparent(0, 2));
    EXPECT_FALSE(im.IsTransparent(1, 2));
}

TEST(PxImageICO, FrameBeyondCountReportsFrames) {
    std::vector<uint8_t> body = Dib24(2, 2, 0x123456, 0, false);
    std::vector<uint8_t> ico = IconFile({body, body, body}, {2, 2, 2});
    PxImage im;
    im.SetFrame(3);
    EXPECT_FALSE(pxtest::DecodeBytes(im, ico, PxFormatICO));
    EXPECT_EQ(im.GetNumFrames(), 3);
    im.SetFrame(2);
    EXPECT_TRUE(pxtest::DecodeBytes(im, ico, PxFormatICO));
}

// A directory size of 0 means 256 pixels.
TEST(PxImageICO, ZeroSizeEntryIs256Pixels) {
    std::vector<uint8_t> ico = IconFile({Dib24(256, 256, 0x808080, 0, false)}, {0});
    PxImage im;
    ASSERT_TRUE(pxtest::DecodeBytes(im, ico, PxFormatICO)) << im.GetLastError();
    EXPECT_EQ(im.GetWidth(), 256u);
    EXPECT_EQ(im.GetHeight(), 256u);
    EXPECT_EQ(im.GetPixelColor(255, 255).rgbRed, 0x80);
}

// An entry that holds a PNG is decoded as PNG, never read as a DIB header.
TEST(PxImageICO, PngEntryIsDecodedAsPng) {
    PxImage card;
    pxtest::MakeCard(card, 48, 48);
    card.AlphaCreate();
    card.AlphaSet(5, 5, 77);
    std::vector<uint8_t> png = pxtest::EncodeBytes(card, PxFormatPNG);
    std::vector<uint8_t> ico = IconFile({png}, {48});
    PxImage im;
    ASSERT_TRUE(pxtest::DecodeBytes(im, ico, PxFormatICO)) << im.GetLastError();
    EXPECT_EQ(im.GetWidth(), 48u);
    EXPECT_EQ(im.GetType(), static_cast<uint32_t>(PxFormatICO));
    EXPECT_EQ(im.AlphaGet(5, 5), 77);
    EXPECT_EQ(pxtest::MaxDiff(pxtest::Pixels(im, true), pxtest::Pixels(card, true)), 0);
    std::vector<uint8_t> broken = ico;
    broken.resize(broken.size() - png.size() / 2);
    PxImage bad;
    EXPECT_FALSE(pxtest::DecodeBytes(bad, broken, PxFormatICO));
    EXPECT_FALSE(bad.IsValid());
}

TEST(PxImageICO, HostileDirectoryAndPaletteStayInBounds) {
    BmpBuilder b;
    b.InfoHeader(4, 8, 8, 0, 0x7FFFFFFF, 0xFFFFFFFFu);  // bogus size image and colour count
    for (int i = 0; i < 256; ++i) b.Bytes({uint8_t(i), 0, 0, 0});
    b.bytes.resize(b.bytes.size() + 64, 1);
    std::vector<uint8_t> ico = IconFile({b.bytes}, {4});
    PxImage im;
    pxtest::DecodeBytes(im, ico, PxFormatICO);  // fails or succeeds, but stays in bounds
    std::vector<uint8_t> farOffset = ico;
    farOffset[18] = farOffset[19] = farOffset[20] = farOffset[21] = 0xFF;
    PxImage im2;
    EXPECT_FALSE(pxtest::DecodeBytes(im2, farOffset, PxFormatICO));
}

TEST(PxImageICO, SaveRefusesLargeImages) {
    PxImage im(300, 20, 24, 0);
    EXPECT_TRUE(pxtest::EncodeBytes(im, PxFormatICO).empty());
    EXPECT_STREQ(im.GetLastError(), "Can't save this image as icon");
}

TEST(PxImageICO, RoundTripKeepsAlphaAndImageMagickAgrees) {
    PxImage card;
    pxtest::MakeCard(card, 32, 32);
    card.AlphaCreate();
    for (long x = 0; x < 32; ++x) card.AlphaSet(x, 7, 0);
    card.AlphaSet(3, 3, 128);
    std::vector<uint8_t> ico = pxtest::EncodeBytes(card, PxFormatICO);
    ASSERT_FALSE(ico.empty()) << card.GetLastError();
    PxImage back;
    ASSERT_TRUE(pxtest::DecodeBytes(back, ico, PxFormatICO)) << back.GetLastError();
    ASSERT_TRUE(back.AlphaIsValid());
    EXPECT_EQ(back.AlphaGet(3, 3), 128);
    EXPECT_EQ(back.AlphaGet(10, 7), 0);
    EXPECT_EQ(pxtest::MaxDiff(pxtest::Pixels(back, true), pxtest::Pixels(card, true)), 0);
    if (!pxtest::HaveTool("convert")) GTEST_SKIP() << "reference tool convert not available";
    std::string file = pxtest::TempPath("card.ico");
    ASSERT_TRUE(pxtest::WriteFile(file, ico));
    EXPECT_EQ(pxtest::MaxDiff(pxtest::Pixels(card, true), pxtest::ReferencePixels(file, "rgba")), 0);
}

TEST(PxImageICO, DecodesImageMagickIcons) {
    PX_REQUIRE_TOOL("convert");
    std::string src = pxtest::TempPath("src.png");
    ASSERT_EQ(pxtest::Run(pxtest::Convert() + " -size 16x16 xc:none -fill '#2060c0' -draw 'rectangle 2,2 12,12' " + src), 0);
    for (const char* options : {"", "-colors 16"}) {
        SCOPED_TRACE(options);
        std::string file = pxtest::TempPath("im.ico");
        ASSERT_EQ(pxtest::Run(pxtest::Convert() + " " + src + " " + options + " " + file), 0);
        PxImage im;
        ASSERT_TRUE(im.Load(pxtest::ToPath(file).c_str(), PxFormatICO)) << im.GetLastError();
        EXPECT_EQ(im.GetWidth(), 16u);
        EXPECT_TRUE(im.IsTransparent(0, 0));
        EXPECT_FALSE(im.IsTransparent(5, 5));
        RGBQUAD c = im.GetPixelColor(5, 5, false);
        EXPECT_EQ(c.rgbRed, 0x20);
        EXPECT_EQ(c.rgbBlue, 0xc0);
    }
}
