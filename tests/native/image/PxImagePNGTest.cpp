#include <gtest/gtest.h>

#include <cstring>

#include "ImageTestSupport.h"
#include "image/PxImage.h"
#include "image/codecs/PxImagePNG.h"

namespace {
// Colour type byte of an encoded PNG (IHDR at offset 25).
int ColorType(const std::vector<uint8_t>& png) { return png.size() > 25 ? png[25] : -1; }

bool HasChunk(const std::vector<uint8_t>& png, const char* type) {
    for (size_t i = 8; i + 8 <= png.size();) {
        uint32_t len = (png[i] << 24) | (png[i + 1] << 16) | (png[i + 2] << 8) | png[i + 3];
        if (std::memcmp(&png[i + 4], type, 4) == 0) return true;
        i += 12 + len;
    }
    return false;
}

std::string MakeSource(const std::string& name) {
    std::string src = pxtest::TempPath(name);
    pxtest::Run(pxtest::Convert() +
                " -size 29x19 gradient:orange-navy -fill white -draw 'rectangle 2,2 8,8' -fill black "
                "-draw 'rectangle 20,10 26,16' " + src);
    return src;
}
}  // namespace

TEST(PxImagePNG, Expand2BppTo4Bpp) {
    uint8_t row[4] = {0x1B, 0xE4, 0, 0};  // 0,1,2,3, 3,2,1,0
    PxImagePNG::Expand2BppTo4Bpp(row, 8);
    EXPECT_EQ(row[0], 0x01);
    EXPECT_EQ(row[1], 0x23);
    EXPECT_EQ(row[2], 0x32);
    EXPECT_EQ(row[3], 0x10);
}

// Opaque files of every depth and colour type decode to ImageMagick's pixels.
TEST(PxImagePNG, OpaqueFilesMatchImageMagick) {
    PX_REQUIRE_TOOL("convert");
    std::string src = MakeSource("src.png");
    struct Case { const char* name; const char* options; uint32_t bpp; };
    const Case kCases[] = {
        {"grey1", "-colorspace gray -threshold 50% -define png:bit-depth=1 -define png:color-type=0", 1},
        {"grey2", "-colorspace gray -depth 2 -define png:bit-depth=2 -define png:color-type=0", 4},
        {"grey4", "-colorspace gray -depth 4 -define png:bit-depth=4 -define png:color-type=0", 4},
        {"grey8", "-colorspace gray -depth 8 -define png:bit-depth=8 -define png:color-type=0", 8},
        {"grey16", "-colorspace gray -depth 16 -define png:bit-depth=16 -define png:color-type=0", 8},
        {"pal1", "-colors 2 -define png:bit-depth=1 -define png:color-type=3", 1},
        {"pal2", "-colors 4 -define png:bit-depth=2 -define png:color-type=3", 4},
        {"pal4", "-colors 16 -define png:bit-depth=4 -define png:color-type=3", 4},
        {"pal8", "-colors 200 -define png:bit-depth=8 -define png:color-type=3", 8},
        {"rgb8", "-depth 8 -define png:color-type=2", 24},
        {"rgb16", "-depth 16 -define png:bit-depth=16 -define png:color-type=2", 24},
        {"rgb8i", "-depth 8 -interlace PNG -define png:color-type=2", 24},
        {"pal4i", "-colors 16 -interlace PNG -define png:bit-depth=4 -define png:color-type=3", 4},
        {"grey2i", "-colorspace gray -depth 2 -interlace PNG -define png:bit-depth=2 -define png:color-type=0", 4},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string file = pxtest::TempPath(std::string(c.name) + ".png");
        ASSERT_EQ(pxtest::Run(pxtest::Convert() + " " + src + " " + c.options + " " + file), 0);
        PxImage im;
        ASSERT_TRUE(im.Load(pxtest::ToPath(file).c_str(), PxFormatPNG)) << im.GetLastError();
        // ImageMagick may pick a wider palette depth than asked; 2 bits become 4.
        std::vector<uint8_t> bytes = pxtest::ReadFile(file);
        ASSERT_GT(bytes.size(), 25u);
        uint32_t expected = c.bpp == 24 ? 24u : (bytes[24] == 2 ? 4u : (bytes[24] == 16 ? 8u : bytes[24]));
        EXPECT_EQ(im.GetBpp(), expected);
        EXPECT_EQ(im.GetType(), static_cast<uint32_t>(PxFormatPNG));
        std::string name = c.name;
        EXPECT_EQ(im.GetCodecOption(PxFormatPNG), name.back() == 'i' ? 1u : 0u);
        // 16-bit samples are cut to their high byte; ImageMagick rounds.
        int tolerance = name.find("16") != std::string::npos ? 1 : 0;
        EXPECT_LE(pxtest::MaxDiff(pxtest::Pixels(im, false), pxtest::ReferencePixels(file, "rgb")), tolerance);
    }
}

TEST(PxImagePNG, TwoBitGreyGetsFourGreyEntries) {
    PX_REQUIRE_TOOL("convert");
    std::string file = pxtest::TempPath("g2.png");
    ASSERT_EQ(pxtest::Run(pxtest::Convert() + " -size 4x1 gradient:black-white -depth 2 -define png:bit-depth=2 "
                          "-define png:color-type=0 " + file), 0);
    PxImage im;
    ASSERT_TRUE(im.Load(pxtest::ToPath(file).c_str(), PxFormatPNG));
    EXPECT_EQ(im.GetBpp(), 4);
    const int greys[4] = {0, 85, 170, 255};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(im.GetPaletteColor(static_cast<uint8_t>(i)).rgbRed, greys[i]);
}

TEST(PxImagePNG, Rgba8KeepsAlphaAndColours) {
    PX_REQUIRE_TOOL("convert");
    std::string file = pxtest::TempPath("rgba.png");
    ASSERT_EQ(pxtest::Run(pxtest::Convert() + " -size 16x8 gradient:red-blue \\( -size 16x8 gradient:white-black \\) "
                          "-alpha off -compose CopyOpacity -composite -define png:color-type=6 PNG32:" + file), 0);
    PxImage im;
    ASSERT_TRUE(im.Load(pxtest::ToPath(file).c_str(), PxFormatPNG)) << im.GetLastError();
    EXPECT_EQ(im.GetBpp(), 24);
    ASSERT_TRUE(im.AlphaIsValid());
    EXPECT_EQ(pxtest::MaxDiff(pxtest::Pixels(im, true), pxtest::ReferencePixels(file, "rgba")), 0);
    EXPECT_EQ(im.AlphaGet(0, 0), 0);           // bottom row fully transparent...
    EXPECT_GT(im.GetPixelColor(0, 0, false).rgbBlue, 200);  // ...keeps its colour
}

// Transparency other than 8-bit RGBA is flattened onto grey 192 or the file's bKGD.
TEST(PxImagePNG, FlattenedTransparencyMatchesImageMagickFlatten) {
    PX_REQUIRE_TOOL("convert");
    std::string src = pxtest::TempPath("t.png");
    ASSERT_EQ(pxtest::Run(pxtest::Convert() + " -size 20x10 xc:none -fill '#ff000080' -draw 'rectangle 0,0 9,9' "
                          "-fill '#00ff00' -draw 'rectangle 10,0 14,9' " + src), 0);
    struct Case { const char* name; const char* options; const char* background; bool alphaPlane; };
    const Case kCases[] = {
        {"rgba16", "-depth 16 -define png:bit-depth=16 -define png:color-type=6 -define png:exclude-chunk=bKGD",
         "#c0c0c0", true},
        {"greyalpha8", "-colorspace gray -depth 8 -define png:bit-depth=8 -define png:color-type=4 "
         "-define png:exclude-chunk=bKGD", "#c0c0c0", false},
        {"greyalpha8bkgd", "-colorspace gray -depth 8 -background '#505050' -define png:bit-depth=8 "
         "-define png:color-type=4", "#505050", false},
        {"rgba16bkgd", "-depth 16 -background '#3050a0' -define png:bit-depth=16 -define png:color-type=6",
         "#3050a0", true},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string file = pxtest::TempPath(std::string(c.name) + ".png");
        ASSERT_EQ(pxtest::Run(pxtest::Convert() + " " + src + " " + c.options + " " + file), 0);
        PxImage im;
        ASSERT_TRUE(im.Load(pxtest::ToPath(file).c_str(), PxFormatPNG)) << im.GetLastError();
        EXPECT_EQ(im.AlphaIsValid(), c.alphaPlane);
        if (im.AlphaIsValid()) {
            EXPECT_EQ(im.AlphaGet(3, 3), 255);
        }
        std::vector<uint8_t> ref = pxtest::ReferencePixels(
            file, "rgb", std::string("-background '") + c.background + "' -flatten");
        EXPECT_LE(pxtest::MaxDiff(pxtest::Pixels(im, false), ref), 1);
    }
}

// tRNS on grey, RGB and palette files: flattened onto grey 192 as well.
TEST(PxImagePNG, TrnsFilesMatchImageMagickFlatten) {
    PX_REQUIRE_TOOL("convert");
    std::string src = pxtest::TempPath("binary.png");
    ASSERT_EQ(pxtest::Run(pxtest::Convert() + " -size 20x10 xc:none -fill '#ff2000' -draw 'rectangle 0,0 9,9' "
                          "-fill '#40ff40' -draw 'rectangle 12,2 14,9' " + src), 0);
    struct Case { const char* name; const char* options; const char* prefix; };
    const Case kCases[] = {
        {"rgb_trns", "-depth 8 -define png:color-type=2 -define png:bit-depth=8", ""},
        {"grey_trns", "-colorspace gray -depth 8 -define png:color-type=0 -define png:bit-depth=8", ""},
        {"pal_trns", "", "PNG8:"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string file = pxtest::TempPath(std::string(c.name) + ".png");
        ASSERT_EQ(pxtest::Run(pxtest::Convert() + " " + src + " " + c.options +
                              " -define png:exclude-chunk=bKGD " + c.prefix + file), 0);
        ASSERT_NE(pxtest::RunOutput("pngcheck -v " + file).find("tRNS"), std::string::npos);
        PxImage im;
        ASSERT_TRUE(im.Load(pxtest::ToPath(file).c_str(), PxFormatPNG)) << im.GetLastError();
        EXPECT_FALSE(im.AlphaIsValid());
        std::vector<uint8_t> ref = pxtest::ReferencePixels(file, "rgb", "-background '#c0c0c0' -flatten");
        EXPECT_LE(pxtest::MaxDiff(pxtest::Pixels(im, false), ref), 1);
    }
}

TEST(PxImagePNG, PaletteTransparency) {
    // tRNS {0}: entry 0 is the transparent index.
    PxImage single(4, 1, 4, 0);
    single.SetStdPalette();
    single.SetPixelIndex(2, 0, 9);
    single.SetTransIndex(0);
    PxImage back;
    ASSERT_TRUE(pxtest::DecodeBytes(back, pxtest::EncodeBytes(single, PxFormatPNG), PxFormatPNG));
    EXPECT_EQ(back.GetTransIndex(), 0);
    EXPECT_FALSE(back.AlphaPaletteIsEnabled());
    EXPECT_TRUE(back.IsTransparent(0, 0));
    EXPECT_FALSE(back.IsTransparent(2, 0));
    // tRNS {0, 128}: palette alpha, the entries past the chunk opaque.
    PxImage partial(4, 1, 4, 0);
    partial.SetStdPalette();
    partial.SetPixelIndex(3, 0, 15);
    RGBQUAD* pal = partial.GetPalette();
    for (int i = 0; i < 16; ++i) pal[i].rgbReserved = 255;
    pal[0].rgbReserved = 0;
    pal[1].rgbReserved = 128;
    partial.AlphaPaletteEnable(true);
    std::vector<uint8_t> png = pxtest::EncodeBytes(partial, PxFormatPNG);
    PxImage back2;
    ASSERT_TRUE(pxtest::DecodeBytes(back2, png, PxFormatPNG));
    EXPECT_TRUE(back2.AlphaPaletteIsEnabled());
    EXPECT_EQ(back2.GetTransIndex(), -1);
    EXPECT_EQ(back2.GetPaletteColor(0).rgbReserved, 0);
    EXPECT_EQ(back2.GetPaletteColor(1).rgbReserved, 128);
    EXPECT_EQ(back2.GetPaletteColor(15).rgbReserved, 255);
}

TEST(PxImagePNG, SaveColourTypeFollowsAlphaPlane) {
    PxImage im;
    pxtest::MakeCard(im, 13, 7);
    std::vector<uint8_t> opaque = pxtest::EncodeBytes(im, PxFormatPNG);
    EXPECT_EQ(ColorType(opaque), 2);
    EXPECT_TRUE(HasChunk(opaque, "bKGD"));
    EXPECT_TRUE(HasChunk(opaque, "pHYs"));
    im.AlphaCreate();
    im.AlphaSet(3, 3, 10);
    std::vector<uint8_t> rgba = pxtest::EncodeBytes(im, PxFormatPNG);
    EXPECT_EQ(ColorType(rgba), 6);
    EXPECT_EQ(rgba[24], 8);  // 8 bits per channel
    PxImage back;
    ASSERT_TRUE(pxtest::DecodeBytes(back, rgba, PxFormatPNG));
    EXPECT_EQ(back.AlphaGet(3, 3), 10);
    EXPECT_EQ(pxtest::MaxDiff(pxtest::Pixels(back, true), pxtest::Pixels(im, true)), 0);
}

// Files we write pass pngcheck and read back in ImageMagick as the same pixels.
TEST(PxImagePNG, SavedFilesPassPngcheckAndImageMagick) {
    PX_REQUIRE_TOOL("pngcheck");
    PX_REQUIRE_TOOL("convert");
    PxImage card;
    pxtest::MakeCard(card, 31, 17);
    struct Case { const char* name; uint32_t bpp; bool alpha; bool interlace; };
    const Case kCases[] = {{"rgb", 24, false, false}, {"rgba", 24, true, false}, {"rgb_adam7", 24, false, true},
                           {"pal8", 8, false, false}, {"pal4", 4, false, false}, {"pal1", 1, false, false},
                           {"rgba_adam7", 24, true, true}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        PxImage im(card);
        if (c.bpp < 24) {
            PxImage pal(im.GetWidth(), im.GetHeight(), c.bpp, 0);
            if (c.bpp == 1) pal.SetGrayPalette();
            else pal.SetStdPalette();
            for (long y = 0; y < static_cast<long>(im.GetHeight()); ++y)
                for (long x = 0; x < static_cast<long>(im.GetWidth()); ++x)
                    pal.SetPixelColor(x, y, im.GetPixelColor(x, y));
            im.Transfer(pal);
        }
        if (c.alpha) {
            im.AlphaCreate();
            for (long x = 0; x < 31; ++x) im.AlphaSet(x, 5, static_cast<uint8_t>(x * 8));
        }
        if (c.interlace) im.SetCodecOption(1, PxFormatPNG);
        std::string file = pxtest::TempPath(std::string(c.name) + ".png");
        ASSERT_TRUE(im.Save(pxtest::ToPath(file).c_str(), PxFormatPNG)) << im.GetLastError();
        std::string check = pxtest::RunOutput("pngcheck -v " + file);
        EXPECT_NE(check.find("No errors detected"), std::string::npos) << check;
        EXPECT_EQ(check.find("interlaced") != std::string::npos && check.find("non-interlaced") == std::string::npos,
                  c.interlace) << check;
        EXPECT_EQ(pxtest::MaxDiff(pxtest::Pixels(im, true), pxtest::ReferencePixels(file, "rgba")), 0);
        PxImage back;
        ASSERT_TRUE(back.Load(pxtest::ToPath(file).c_str(), PxFormatPNG));
        EXPECT_EQ(back.GetXDPI(), 96);
    }
}

TEST(PxImagePNG, SavingMovesTransparentIndexToZero) {
    PxImage im(4, 1, 8, 0);
    im.SetGrayPalette();
    for (long x = 0; x < 4; ++x) im.SetPixelIndex(x, 0, static_cast<uint8_t>(x + 4));
    im.SetTransIndex(5);
    std::vector<uint8_t> png = pxtest::EncodeBytes(im, PxFormatPNG);
    ASSERT_FALSE(png.empty());
    EXPECT_TRUE(HasChunk(png, "tRNS"));
    EXPECT_EQ(im.GetTransIndex(), 0);
    EXPECT_EQ(im.GetPaletteColor(0).rgbRed, 5);
    EXPECT_EQ(im.GetPixelIndex(1, 0), 0);
    PxImage back;
    ASSERT_TRUE(pxtest::DecodeBytes(back, png, PxFormatPNG));
    EXPECT_EQ(back.GetTransIndex(), 0);
    EXPECT_TRUE(back.IsTransparent(1, 0));
    EXPECT_FALSE(back.IsTransparent(0, 0));
}

// A transparent index beyond the palette is no transparency at all.
TEST(PxImagePNG, TransparentIndexPastPaletteIsIgnored) {
    PxImage im(4, 1, 1, 0);
    im.SetGrayPalette();
    im.SetPixelIndex(1, 0, 1);
    im.SetTransIndex(200);
    std::vector<uint8_t> png = pxtest::EncodeBytes(im, PxFormatPNG);
    ASSERT_FALSE(png.empty()) << im.GetLastError();
    EXPECT_FALSE(HasChunk(png, "tRNS"));
    EXPECT_EQ(im.GetPaletteColor(1).rgbRed, 255);
}

// The transparent colour of a 24-bit image becomes alpha 0 in the file without
// touching the image's own alpha plane.
TEST(PxImagePNG, TransparentColourLeavesCallersAlphaAlone) {
    PxImage im(3, 1, 24, 0);
    im.SetPixelColor(1, 0, RGB(1, 2, 3));
    im.SetTransColor(RGBQUAD{3, 2, 1, 0});
    im.SetTransIndex(0);
    im.AlphaCreate();
    std::vector<uint8_t> png = pxtest::EncodeBytes(im, PxFormatPNG);
    EXPECT_EQ(im.AlphaGet(1, 0), 255);  // unchanged
    PxImage back;
    ASSERT_TRUE(pxtest::DecodeBytes(back, png, PxFormatPNG));
    ASSERT_TRUE(back.AlphaIsValid());
    EXPECT_EQ(back.AlphaGet(1, 0), 0);
    EXPECT_EQ(back.AlphaGet(0, 0), 255);
    PxImage noPlane(3, 1, 24, 0);
    noPlane.SetTransIndex(0);  // black is transparent
    png = pxtest::EncodeBytes(noPlane, PxFormatPNG);
    EXPECT_FALSE(noPlane.AlphaIsValid());
    EXPECT_EQ(ColorType(png), 6);
}

TEST(PxImagePNG, ResolutionFromPhys) {
    PX_REQUIRE_TOOL("convert");
    struct Case { const char* units; int density; int dpi; };
    const Case kCases[] = {{"PixelsPerInch", 300, 300}, {"PixelsPerCentimeter", 118, 300}, {"Undefined", 3, 96}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.units);
        std::string file = pxtest::TempPath("dpi.png");
        ASSERT_EQ(pxtest::Run(pxtest::Convert() + " -size 2x2 xc:gray -units " + c.units + " -density " +
                              std::to_string(c.density) + " " + file), 0);
        PxImage im;
        ASSERT_TRUE(im.Load(pxtest::ToPath(file).c_str(), PxFormatPNG));
        EXPECT_EQ(im.GetXDPI(), c.dpi);  // no unit: aspect ratio only, 96 stays
    }
}

TEST(PxImagePNG, TruncatedAndCorruptFilesFail) {
    PxImage card;
    pxtest::MakeCard(card, 40, 30);
    std::vector<uint8_t> png = pxtest::EncodeBytes(card, PxFormatPNG);
    ASSERT_GT(png.size(), 100u);
    for (size_t cut : {size_t(8), size_t(30), png.size() / 2, png.size() - 13}) {
        SCOPED_TRACE(cut);
        std::vector<uint8_t> part(png.begin(), png.begin() + static_cast<long>(cut));
        PxImage im;
        EXPECT_FALSE(pxtest::DecodeBytes(im, part, PxFormatPNG));
        EXPECT_FALSE(im.IsValid());
        EXPECT_STRNE(im.GetLastError(), "");
    }
    std::vector<uint8_t> bad = png;
    bad[16] = 0x7F;  // width 2 billion: IHDR CRC fails first
    PxImage im;
    EXPECT_FALSE(pxtest::DecodeBytes(im, bad, PxFormatPNG));
}

TEST(PxImagePNG, EncodeWriteFailureIsReported) {
    PxImage card;
    pxtest::MakeCard(card, 40, 30);
    uint8_t small[20];
    PxMemFile stream(small, sizeof(small));
    // A stream that can only be written in place would grow; emulate a failing
    // writer with a null-buffer stream instead.
    PxMemFile closed;
    EXPECT_FALSE(card.Encode(&closed, PxFormatPNG));
    EXPECT_STREQ(card.GetLastError(), "Error saving PNG file");
}
