#include <gtest/gtest.h>

#include "BmpBuilder.h"
#include "ImageTestSupport.h"
#include "image/ImageIterator.h"
#include "image/PxImage.h"

using pxtest::BmpBuilder;
using pxtest::DecodeBytes;

TEST(PxImageBMP, EncodedLayout) {
    PxImage rgb(5, 3, 24, 0);
    std::vector<uint8_t> file = pxtest::EncodeBytes(rgb, PxFormatBMP);
    ASSERT_EQ(file.size(), 14u + 40 + rgb.GetHeader().biSizeImage);
    EXPECT_EQ(file[10], 54);
    PxImage pal(5, 3, 8, 0);
    file = pxtest::EncodeBytes(pal, PxFormatBMP);
    EXPECT_EQ(file[10] | (file[11] << 8), 54 + 1024);
}

TEST(PxImageBMP, TopDownRowsAreFlipped) {
    BmpBuilder b;
    b.FileHeader();
    b.InfoHeader(1, -2, 24, 0);
    b.SetPixelOffsetHere();
    b.Bytes({0, 0, 255, 0, 0, 255, 0, 0});  // first file row red, then green
    PxImage im;
    ASSERT_TRUE(DecodeBytes(im, b.bytes, PxFormatBMP)) << im.GetLastError();
    EXPECT_EQ(im.GetPixelColor(0, 1).rgbRed, 255);  // top row
    EXPECT_EQ(im.GetPixelColor(0, 0).rgbGreen, 255);
}

TEST(PxImageBMP, BitfieldsFiveSixFive) {
    BmpBuilder b;
    b.FileHeader();
    b.InfoHeader(2, 1, 16, 3);
    b.U32(0xF800);
    b.U32(0x7E0);
    b.U32(0x1F);
    b.SetPixelOffsetHere();
    b.Bytes({0x00, 0xF8, 0x1F, 0x00});  // pure red, pure blue
    PxImage im;
    ASSERT_TRUE(DecodeBytes(im, b.bytes, PxFormatBMP)) << im.GetLastError();
    EXPECT_EQ(im.GetBpp(), 24);
    EXPECT_EQ(im.GetPixelColor(0, 0).rgbRed, 248);
    EXPECT_EQ(im.GetPixelColor(0, 0).rgbBlue, 0);
    EXPECT_EQ(im.GetPixelColor(1, 0).rgbBlue, 248);
}

TEST(PxImageBMP, Os2CoreHeaderWithThreeBytePalette) {
    BmpBuilder b;
    b.FileHeader();
    b.U32(12);
    b.U16(2);
    b.U16(1);
    b.U16(1);
    b.U16(1);
    b.Bytes({255, 0, 0, 0, 0, 255});  // blue, red
    b.SetPixelOffsetHere();
    b.Bytes({0x40, 0, 0, 0});  // pixel 0 index 0, pixel 1 index 1
    PxImage im;
    ASSERT_TRUE(DecodeBytes(im, b.bytes, PxFormatBMP)) << im.GetLastError();
    EXPECT_EQ(im.GetPixelColor(0, 0).rgbBlue, 255);
    EXPECT_EQ(im.GetPixelColor(1, 0).rgbRed, 255);
}

TEST(PxImageBMP, SizeOnlyWithEscape) {
    BmpBuilder b;
    b.FileHeader();
    b.InfoHeader(300, 200, 24, 0);
    b.SetPixelOffsetHere();
    PxImage im;
    im.SetEscape(-1);
    ASSERT_TRUE(DecodeBytes(im, b.bytes, PxFormatBMP));
    EXPECT_EQ(im.GetWidth(), 300u);
    EXPECT_EQ(im.GetHeight(), 200u);
    EXPECT_FALSE(im.IsValid());
}

TEST(PxImageBMP, Rle8RunPastRowEndsWithoutWritingOutside) {
    BmpBuilder b;
    b.FileHeader();
    b.InfoHeader(4, 2, 8, 1, 0, 2);
    b.Bytes({0, 0, 0, 0, 255, 255, 255, 0});
    b.SetPixelOffsetHere();
    b.Bytes({2, 1, 0, 0, 9, 1, 0, 1});  // two 1s, end of line, a run of nine (past the row)
    PxImage im;
    ASSERT_TRUE(DecodeBytes(im, b.bytes, PxFormatBMP));
    EXPECT_EQ(im.GetPixelIndex(1, 0), 1);
    EXPECT_EQ(im.GetPixelIndex(2, 0), 0);
    EXPECT_EQ(im.GetPixelIndex(0, 1), 0);  // the long run was dropped
}

// An odd delta must move by that many pixels, not by dx / 2 bytes.
TEST(PxImageBMP, Rle4OddDeltaKeepsPixelPositions) {
    BmpBuilder b;
    b.FileHeader();
    b.InfoHeader(8, 1, 4, 2, 0, 16);
    b.Grey4Palette(16);
    b.SetPixelOffsetHere();
    b.Bytes({1, 0xF0,        // pixel 0 = 15
             0, 2, 3, 0,     // delta: 3 pixels right
             2, 0xA0,        // pixels 4 and 5 = 10, 0
             0, 3, 0x12, 0x30, 0, 0,  // absolute run of 3: 1, 2, 3 (+ pad byte)
             0, 1});
    PxImage im;
    ASSERT_TRUE(DecodeBytes(im, b.bytes, PxFormatBMP)) << im.GetLastError();
    const int expected[8] = {15, 0, 0, 0, 10, 0, 1, 2};
    for (int x = 0; x < 8; ++x) EXPECT_EQ(im.GetPixelIndex(x, 0), expected[x]) << x;
}

TEST(PxImageBMP, BadHeadersFailWithTheirText) {
    struct Case { const char* name; int32_t w, h; };
    const Case kCases[] = {{"negative width", -5, 4}, {"zero width", 0, 4}, {"zero height", 4, 0},
                           {"huge", 0x7FFFFFFF, 0x7FFFFFFF}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        BmpBuilder b;
        b.FileHeader();
        b.InfoHeader(c.w, c.h, 24, 0);
        b.SetPixelOffsetHere();
        b.Bytes({1, 2, 3, 4});
        PxImage im;
        EXPECT_FALSE(DecodeBytes(im, b.bytes, PxFormatBMP));
        EXPECT_FALSE(im.IsValid());
        EXPECT_TRUE(std::string(im.GetLastError()) == "Error reading BMP info" ||
                    std::string(im.GetLastError()) == "Can't allocate memory")
            << im.GetLastError();
    }
    PxImage im;
    EXPECT_FALSE(DecodeBytes(im, {'B', 'M', 1, 2}, PxFormatBMP));
    EXPECT_STREQ(im.GetLastError(), "Not a BMP");
}

// The file's biSizeImage and colour count must never size a copy into the image.
TEST(PxImageBMP, BogusSizeImageAndColourCountStayInBounds) {
    BmpBuilder b;
    b.FileHeader();
    b.InfoHeader(3, 2, 4, 0, 0x100000, 0xFFFFFFF0u);  // huge size and colour count
    for (int i = 0; i < 300; ++i) b.Bytes({7, 7, 7, 0});
    b.SetPixelOffsetHere();
    b.bytes.resize(b.bytes.size() + 4096, 0x11);
    PxImage im;
    ASSERT_TRUE(DecodeBytes(im, b.bytes, PxFormatBMP)) << im.GetLastError();
    EXPECT_EQ(im.GetBpp(), 4);
    EXPECT_EQ(im.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(im.GetPaletteColor(15).rgbRed, 7);
}

TEST(PxImageBMP, TruncatedPixelsKeepWhatWasRead) {
    BmpBuilder b;
    b.FileHeader();
    b.InfoHeader(2, 2, 24, 0);
    b.SetPixelOffsetHere();
    b.Bytes({1, 2, 3});
    PxImage im;
    ASSERT_TRUE(DecodeBytes(im, b.bytes, PxFormatBMP));
    EXPECT_EQ(im.GetPixelColor(0, 0).rgbRed, 3);
    EXPECT_EQ(im.GetPixelColor(1, 1).rgbRed, 0);
}

TEST(PxImageBMP, ResolutionFromHeaderOrDefault) {
    for (int32_t ppm : {0, 11811}) {
        BmpBuilder b;
        b.FileHeader();
        b.InfoHeader(1, 1, 24, 0, 0, 0, ppm);
        b.SetPixelOffsetHere();
        b.Bytes({0, 0, 0, 0});
        PxImage im;
        ASSERT_TRUE(DecodeBytes(im, b.bytes, PxFormatBMP));
        EXPECT_EQ(im.GetXDPI(), ppm ? 300 : 96);  // no resolution: 96, never 0
    }
}

// Every depth written by ImageMagick with a 40-byte (or OS/2) header decodes to
// ImageMagick's own pixels. (Its 16-bit files use V4/V5 headers with bitfields,
// which this decoder refuses; 16-bit bitfields are covered by the fixture above.)
TEST(PxImageBMP, MatchesImageMagick) {
    PX_REQUIRE_TOOL("convert");
    std::string src = pxtest::TempPath("src.png");
    ASSERT_EQ(pxtest::Run(pxtest::Convert() + " -size 37x23 gradient:red-blue -fill yellow -draw 'rectangle 3,3 12,9' " + src), 0);
    struct Case { const char* name; std::string options; };
    const Case kCases[] = {{"1bit", "-monochrome -type bilevel bmp3:"},
                           {"4bit", "-colors 16 -type palette -define bmp:format=bmp3 bmp3:"},
                           {"8bit", "-colors 200 -type palette bmp3:"},
                           {"rle8", "-colors 200 -type palette -compress rle bmp3:"},
                           {"24bit", "-type truecolor bmp3:"},
                           {"32bit", "-alpha on -type truecolormatte bmp3:"},
                           {"os2", "-type truecolor bmp2:"}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string file = pxtest::TempPath(std::string(c.name) + ".bmp");
        std::string cmd = pxtest::Convert() + " " + src + " " + c.options.substr(0, c.options.rfind(' ') + 1) +
                          c.options.substr(c.options.rfind(' ') + 1) + file;
        ASSERT_EQ(pxtest::Run(cmd), 0) << cmd;
        PxImage im;
        ASSERT_TRUE(im.Load(pxtest::ToPath(file).c_str(), PxFormatBMP)) << im.GetLastError();
        EXPECT_EQ(im.GetWidth(), 37u);
        int diff = pxtest::MaxDiff(pxtest::Pixels(im, false), pxtest::ReferencePixels(file, "rgb", "-alpha off"));
        EXPECT_EQ(diff, 0);
    }
}

// A size-only decode replaces the image: the old pixel rows must not come back
// through the settings handed to the decoder.
TEST(PxImageBMP, SizeOnlyDecodeLeavesNoStalePixels) {
    BmpBuilder b;
    b.FileHeader();
    b.InfoHeader(300, 200, 24, 0);
    b.SetPixelOffsetHere();
    struct Peek : PxImage {
        Peek() : PxImage(5, 5, 24, 0) {}
        uint8_t* Pixels() const { return m_info.pixels; }
    } im;
    ASSERT_NE(im.Pixels(), nullptr);
    im.SetEscape(-1);
    ASSERT_TRUE(DecodeBytes(im, b.bytes, PxFormatBMP));
    EXPECT_FALSE(im.IsValid());
    EXPECT_EQ(im.GetWidth(), 300u);
    EXPECT_EQ(im.Pixels(), nullptr);  // not the freed rows of the 5 x 5 image
    CImageIterator it(&im);
    EXPECT_EQ(it.GetRow(), nullptr);
}
