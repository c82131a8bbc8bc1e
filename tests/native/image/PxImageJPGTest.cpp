#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "ExifBuilder.h"
#include "ImageTestSupport.h"
#include "image/PxImage.h"
#include "image/PxMemFile.h"
#include "image/codecs/PxExifInfo.h"
#include "image/codecs/PxImageJPG.h"

namespace {
// Offset of the first marker `code` in a JPEG, or npos.
size_t FindMarker(const std::vector<uint8_t>& jpg, uint8_t code) {
    for (size_t i = 2; i + 4 <= jpg.size();) {
        if (jpg[i] != 0xFF) return std::string::npos;
        if (jpg[i + 1] == code) return i;
        if (jpg[i + 1] == 0xDA) return std::string::npos;
        i += 2 + ((jpg[i + 2] << 8) | jpg[i + 3]);
    }
    return std::string::npos;
}

std::vector<uint8_t> CardJpeg(uint32_t w = 24, uint32_t h = 16, uint8_t quality = 90) {
    PxImage card;
    pxtest::MakeCard(card, w, h);
    card.SetJpegQuality(quality);
    return pxtest::EncodeBytes(card, PxFormatJPG);
}

}  // namespace

TEST(PxImageJPG, SavesSequentialJfifWithDensity) {
    PxImage im(3, 2, 24, 0);
    std::vector<uint8_t> jpg = pxtest::EncodeBytes(im, PxFormatJPG);
    ASSERT_GT(jpg.size(), 20u);
    size_t app0 = FindMarker(jpg, 0xE0);
    ASSERT_NE(app0, std::string::npos);
    EXPECT_EQ(std::memcmp(&jpg[app0 + 4], "JFIF", 5), 0);
    EXPECT_EQ(jpg[app0 + 11], 1);                               // dots per inch
    EXPECT_EQ((jpg[app0 + 12] << 8) | jpg[app0 + 13], 96);      // X density
    EXPECT_EQ((jpg[app0 + 14] << 8) | jpg[app0 + 15], 96);
    EXPECT_NE(FindMarker(jpg, 0xC0), std::string::npos);        // baseline SOF0
    EXPECT_EQ(FindMarker(jpg, 0xC2), std::string::npos);
}

TEST(PxImageJPG, ProgressiveOption) {
    PxImage card;
    pxtest::MakeCard(card, 20, 20);
    card.SetCodecOption(0x10, PxFormatJPG);
    std::vector<uint8_t> jpg = pxtest::EncodeBytes(card, PxFormatJPG);
    EXPECT_NE(FindMarker(jpg, 0xC2), std::string::npos);
}

TEST(PxImageJPG, RefusesPaletteImagesButWritesGrey) {
    PxImage sixteen(4, 4, 4, 0);
    EXPECT_TRUE(pxtest::EncodeBytes(sixteen, PxFormatJPG).empty());
    EXPECT_STREQ(sixteen.GetLastError(), "JPEG can save only RGB or GreyScale images");
    // An identity palette of two entries passes IsGrayScale but is still 1-bit.
    PxImage twoLevel(16, 4, 1, 0);
    twoLevel.SetPaletteColor(1, 1, 1, 1);
    EXPECT_TRUE(pxtest::EncodeBytes(twoLevel, PxFormatJPG).empty());
    EXPECT_STREQ(twoLevel.GetLastError(), "JPEG can save only RGB or GreyScale images");
    PxImage grey(4, 4, 8, 0);
    grey.SetGrayPalette();
    std::vector<uint8_t> jpg = pxtest::EncodeBytes(grey, PxFormatJPG);
    size_t sof = FindMarker(jpg, 0xC0);
    ASSERT_NE(sof, std::string::npos);
    EXPECT_EQ(jpg[sof + 9], 1);  // one component
}

TEST(PxImageJPG, WriteFailureReportsLibjpegError) {
    PxImage card;
    pxtest::MakeCard(card, 64, 64);
    pxtest::FailingStream stream;
    EXPECT_FALSE(card.Encode(&stream, PxFormatJPG));
    EXPECT_NE(std::string(card.GetLastError()).find("Output file write error"), std::string::npos)
        << card.GetLastError();
}

TEST(PxImageJPG, DensityUnits) {
    std::vector<uint8_t> jpg = CardJpeg();
    size_t app0 = FindMarker(jpg, 0xE0);
    ASSERT_NE(app0, std::string::npos);
    struct Case { uint8_t unit; uint16_t density; int dpi; };
    const Case kCases[] = {{2, 118, 300}, {1, 72, 72}, {0, 1, 96}, {1, 0, 96}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(int(c.unit));
        std::vector<uint8_t> patched = jpg;
        patched[app0 + 11] = c.unit;
        patched[app0 + 12] = patched[app0 + 14] = uint8_t(c.density >> 8);
        patched[app0 + 13] = patched[app0 + 15] = uint8_t(c.density);
        PxImage im;
        ASSERT_TRUE(pxtest::DecodeBytes(im, patched, PxFormatJPG)) << im.GetLastError();
        EXPECT_EQ(im.GetXDPI(), c.dpi);  // unit 0 is an aspect ratio: 96 stays
        EXPECT_EQ(im.GetYDPI(), c.dpi);
    }
}

TEST(PxImageJPG, SizeOnlyAndScale) {
    std::vector<uint8_t> jpg = CardJpeg(40, 24);
    PxImage sizeOnly;
    sizeOnly.SetEscape(-1);
    ASSERT_TRUE(pxtest::DecodeBytes(sizeOnly, jpg, PxFormatJPG));
    EXPECT_EQ(sizeOnly.GetWidth(), 40u);
    EXPECT_EQ(sizeOnly.GetHeight(), 24u);
    EXPECT_FALSE(sizeOnly.IsValid());
    PxImage half;
    half.SetJpegScale(2);
    ASSERT_TRUE(pxtest::DecodeBytes(half, jpg, PxFormatJPG));
    EXPECT_EQ(half.GetWidth(), 20u);
}

TEST(PxImageJPG, TruncatedDataCompletesEmptyFails) {
    std::vector<uint8_t> jpg = CardJpeg(64, 64);
    std::vector<uint8_t> cut(jpg.begin(), jpg.begin() + static_cast<long>(jpg.size() * 2 / 3));
    PxImage im;
    EXPECT_TRUE(pxtest::DecodeBytes(im, cut, PxFormatJPG)) << im.GetLastError();
    EXPECT_EQ(im.GetHeight(), 64u);
    uint8_t none = 0;
    PxMemFile empty(&none, 0);
    PxImage im2;
    EXPECT_FALSE(im2.Decode(&empty, PxFormatJPG));
    EXPECT_FALSE(im2.IsValid());
    EXPECT_STREQ(im2.GetLastError(), "Empty input file");
    PxImage im3;
    EXPECT_FALSE(pxtest::DecodeBytes(im3, std::vector<uint8_t>(jpg.begin(), jpg.begin() + 100), PxFormatJPG));
    EXPECT_FALSE(im3.IsValid());
}

// Files written by ImageMagick decode to the same pixels as djpeg gives.
TEST(PxImageJPG, DecodesLikeDjpeg) {
    PX_REQUIRE_TOOL("convert");
    PX_REQUIRE_TOOL("djpeg");
    std::string src = pxtest::TempPath("src.png");
    ASSERT_EQ(pxtest::Run(pxtest::Convert() + " -size 41x27 gradient:orange-navy -fill white -draw 'circle 20,13 25,18' " +
                          src), 0);
    struct Case { const char* name; const char* options; uint32_t bpp; };
    const Case kCases[] = {{"baseline", "-quality 85", 24},
                           {"progressive", "-quality 85 -interlace JPEG", 24},
                           {"grey", "-colorspace gray -quality 80", 8},
                           {"grey_progressive", "-colorspace gray -interlace JPEG", 8},
                           {"subsampled", "-sampling-factor 2x2 -quality 70", 24}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string file = pxtest::TempPath(std::string(c.name) + ".jpg");
        ASSERT_EQ(pxtest::Run(pxtest::Convert() + " " + src + " " + c.options + " " + file), 0);
        PxImage im;
        ASSERT_TRUE(im.Load(pxtest::ToPath(file).c_str(), PxFormatJPG)) << im.GetLastError();
        EXPECT_EQ(im.GetBpp(), c.bpp);
        std::string pnm = pxtest::TempPath("ref.pnm");
        ASSERT_EQ(pxtest::Run("djpeg -pnm -outfile " + pnm + " " + file), 0);
        std::vector<uint8_t> ref = pxtest::ReferencePixels(pnm, "rgb");
        EXPECT_EQ(pxtest::MaxDiff(pxtest::Pixels(im, false), ref), 0);
    }
}

TEST(PxImageJPG, CmykDecodesToRgb) {
    PX_REQUIRE_TOOL("convert");
    std::string file = pxtest::TempPath("cmyk.jpg");
    ASSERT_EQ(pxtest::Run(pxtest::Convert() + " -size 16x16 gradient:red-cyan -colorspace CMYK -quality 100 " + file), 0);
    PxImage im;
    ASSERT_TRUE(im.Load(pxtest::ToPath(file).c_str(), PxFormatJPG)) << im.GetLastError();
    EXPECT_EQ(im.GetBpp(), 24);
    std::vector<uint8_t> ref = pxtest::ReferencePixels(file, "rgb", "-colorspace sRGB");
    EXPECT_LE(pxtest::MaxDiff(pxtest::Pixels(im, false), ref), 3);
}

// What we write: djpeg reads the size, identify the quality, and the error is
// within what the quality allows.
TEST(PxImageJPG, SavedFilesCheckedByReferenceTools) {
    PX_REQUIRE_TOOL("djpeg");
    PX_REQUIRE_TOOL("identify");
    PX_REQUIRE_TOOL("compare");
    PxImage card;
    pxtest::MakeCard(card, 57, 33);
    std::string png = pxtest::TempPath("card.png");
    ASSERT_TRUE(card.Save(pxtest::ToPath(png).c_str(), PxFormatPNG));
    struct Case { int quality; double minPsnr; };
    const Case kCases[] = {{95, 38.0}, {75, 32.0}, {30, 26.0}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.quality);
        std::string jpg = pxtest::TempPath("q.jpg");
        PxImage im(card);
        im.SetJpegQuality(static_cast<uint8_t>(c.quality));
        ASSERT_TRUE(im.Save(pxtest::ToPath(jpg).c_str(), PxFormatJPG)) << im.GetLastError();
        std::string head = pxtest::RunOutput("djpeg -pnm " + jpg + " | head -c 16");
        EXPECT_EQ(head.substr(0, 9), "P6\n57 33\n");
        EXPECT_EQ(std::atoi(pxtest::RunOutput("identify -format %Q " + jpg).c_str()), c.quality);
        std::string psnr = pxtest::RunOutput("compare -metric PSNR " + png + " " + jpg + " null: 2>&1 >/dev/null", false);
        EXPECT_GE(std::atof(psnr.c_str()), c.minPsnr) << psnr;
    }
}

TEST(PxImageJPG, ExifInBothByteOrders) {
    for (bool big : {false, true}) {
        SCOPED_TRACE(big ? "MM" : "II");
        pxtest::ExifBuilder exif(big);
        exif.ifd0 = {exif.Ascii(271, "Brivane Cam"), exif.Ascii(272, "Model Seven"), exif.Short(274, 6),
                     exif.Rational(282, 300, 1), exif.Rational(283, 300, 1), exif.Short(296, 2)};
        exif.sub = {exif.Ascii(36867, "2024:05:06 07:08:09"), exif.Short(34855, 400), exif.Rational(33434, 1, 250)};
        std::vector<uint8_t> jpg = pxtest::InsertAfterSoi(CardJpeg(), exif.Segment());
        PxImageJPG reader;
        PxMemFile stream(jpg.data(), static_cast<uint32_t>(jpg.size()));
        ASSERT_TRUE(reader.DecodeExif(&stream)) << reader.m_exif->GetLastError();
        EXPECT_EQ(stream.Tell(), 0);
        EXPECT_STREQ(reader.m_exifinfo.cameraMake, "Brivane Cam");
        EXPECT_STREQ(reader.m_exifinfo.cameraModel, "Model Seven");
        EXPECT_EQ(reader.m_exifinfo.orientation, 6);
        EXPECT_STREQ(reader.m_exifinfo.dateTime, "2024:05:06 07:08:09");
        EXPECT_EQ(reader.m_exifinfo.isoEquivalent, 400);
        EXPECT_FLOAT_EQ(reader.m_exifinfo.exposureTime, 0.004f);
        EXPECT_FLOAT_EQ(reader.m_exifinfo.xResolution, 300.0f);
        EXPECT_EQ(reader.m_exifinfo.width, 24);  // from SOF
        PxImage im;
        ASSERT_TRUE(pxtest::DecodeBytes(im, jpg, PxFormatJPG)) << im.GetLastError();
        EXPECT_EQ(im.GetXDPI(), 300);  // EXIF resolution wins over JFIF
    }
}

// Directory links back to an earlier directory used to recurse without end.
TEST(PxImageJPG, ExifDirectoryLoopsAreCut) {
    for (bool viaSub : {false, true}) {
        pxtest::ExifBuilder exif(false);
        exif.ifd0 = {exif.Ascii(271, "Loop")};
        if (viaSub) {
            exif.sub = {exif.Short(34855, 100)};
            exif.subLinksToItself = true;
        } else {
            exif.nextLinkOverride = 8;  // IFD0's next directory is IFD0
        }
        std::vector<uint8_t> jpg = pxtest::InsertAfterSoi(CardJpeg(), exif.Segment());
        PxImageJPG reader;
        PxMemFile stream(jpg.data(), static_cast<uint32_t>(jpg.size()));
        reader.DecodeExif(&stream);
        EXPECT_STREQ(reader.m_exif->GetLastError(), "Illegal subdirectory link");
        EXPECT_STREQ(reader.m_exifinfo.cameraMake, "Loop");
        PxImage im;
        EXPECT_TRUE(pxtest::DecodeBytes(im, jpg, PxFormatJPG));  // a broken EXIF block never fails the image
    }
}

TEST(PxImageJPG, ExifStringsAreBoundedByTheirCount) {
    pxtest::ExifBuilder exif(true);
    std::string longMake(300, 'M');
    exif.ifd0 = {exif.Ascii(271, longMake), exif.Ascii(272, "X")};
    exif.ifd0[1].count = 1;                // "X" without its NUL: one byte only
    exif.ifd0[1].data = {'X', 'Y', 'Z', 'W'};
    std::vector<uint8_t> jpg = pxtest::InsertAfterSoi(CardJpeg(), exif.Segment());
    PxImageJPG reader;
    PxMemFile stream(jpg.data(), static_cast<uint32_t>(jpg.size()));
    ASSERT_TRUE(reader.DecodeExif(&stream));
    EXPECT_EQ(std::strlen(reader.m_exifinfo.cameraMake), 31u);
    EXPECT_STREQ(reader.m_exifinfo.cameraModel, "X");
}

TEST(PxImageJPG, TooManySectionsFailTheReaderOnly) {
    std::vector<uint8_t> jpg = CardJpeg();
    std::vector<uint8_t> many;
    for (int i = 0; i < 25; ++i) many.insert(many.end(), {0xFF, 0xE3, 0x00, 0x04, 'a', 'b'});
    std::vector<uint8_t> file = pxtest::InsertAfterSoi(jpg, many);
    PxImageJPG::PxExifInfo info;
    PxMemFile stream(file.data(), static_cast<uint32_t>(file.size()));
    EXPECT_FALSE(info.DecodeExif(&stream, PxImageJPG::PxExifInfo::kReadAll));
    EXPECT_STREQ(info.GetLastError(), "Too many sections in jpg file");
    PxImage im;
    EXPECT_TRUE(pxtest::DecodeBytes(im, file, PxFormatJPG));
}

// SOS as the twentieth section and the image data after it: 21 slots are needed.
TEST(PxImageJPG, ImageDataAfterTwentiethSectionFits) {
    std::vector<uint8_t> jpg = CardJpeg();
    int before = 0;
    for (size_t i = 2; i + 4 <= jpg.size() && jpg[i + 1] != 0xDA; i += 2 + ((jpg[i + 2] << 8) | jpg[i + 3]))
        if (jpg[i + 1] != 0xE0) ++before;  // APP0 is dropped, not stored
    std::vector<uint8_t> fill;
    for (int i = before; i < 19; ++i) fill.insert(fill.end(), {0xFF, 0xE3, 0x00, 0x04, 'a', 'b'});
    std::vector<uint8_t> file = pxtest::InsertAfterSoi(jpg, fill);
    PxImageJPG::PxExifInfo info;
    PxMemFile stream(file.data(), static_cast<uint32_t>(file.size()));
    EXPECT_TRUE(info.DecodeExif(&stream, PxImageJPG::PxExifInfo::kReadAll)) << info.GetLastError();
}

TEST(PxImageJPG, ReencodingKeepsExifOfDecodedFile) {
    pxtest::ExifBuilder exif(false);
    exif.ifd0 = {exif.Ascii(271, "Keep Me")};
    std::vector<uint8_t> jpg = pxtest::InsertAfterSoi(CardJpeg(), exif.Segment());
    PxImageJPG image;
    PxMemFile in(jpg.data(), static_cast<uint32_t>(jpg.size()));
    ASSERT_TRUE(image.Decode(&in));
    PxMemFile out;
    ASSERT_TRUE(out.Open());
    ASSERT_TRUE(image.Encode(&out)) << image.GetLastError();
    uint8_t* bytes = out.GetBuffer(false);
    std::vector<uint8_t> written(bytes, bytes + out.Size());
    ASSERT_NE(FindMarker(written, 0xE1), std::string::npos);
    PxImageJPG again;
    PxMemFile check(written.data(), static_cast<uint32_t>(written.size()));
    ASSERT_TRUE(again.DecodeExif(&check));
    EXPECT_STREQ(again.m_exifinfo.cameraMake, "Keep Me");
    PxImage decoded;
    EXPECT_TRUE(pxtest::DecodeBytes(decoded, written, PxFormatJPG));
    EXPECT_EQ(decoded.GetWidth(), 24u);
}

// A frame header claiming 64267 x 14857 CMYK fails at once with a clear text,
// before libjpeg allocates buffers for the whole image.
TEST(PxImageJPG, HugeFrameHeaderFailsAtOnce) {
    // SOI, a baseline frame header of 4 components, a scan header, some data.
    std::vector<uint8_t> bomb = {0xFF, 0xD8, 0xFF, 0xC0, 0, 20, 8, 0x3A, 0x09, 0xFB, 0x0B, 4};
    for (uint8_t c = 1; c <= 4; ++c) bomb.insert(bomb.end(), {c, 0x11, 0});
    bomb.insert(bomb.end(), {0xFF, 0xDA, 0, 14, 4});
    for (uint8_t c = 1; c <= 4; ++c) bomb.insert(bomb.end(), {c, 0});
    bomb.insert(bomb.end(), {0, 63, 0});
    bomb.resize(bomb.size() + 32, 0);
    bomb.insert(bomb.end(), {0xFF, 0xD9});
    PxImage im;
    EXPECT_FALSE(pxtest::DecodeBytes(im, bomb, PxFormatJPG));
    EXPECT_STREQ(im.GetLastError(), "JPEG image too large");
    PxImage size;
    size.SetEscape(-1);
    ASSERT_TRUE(pxtest::DecodeBytes(size, bomb, PxFormatJPG));
    EXPECT_EQ(size.GetWidth(), 64267u);
}
