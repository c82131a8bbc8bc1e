#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ImageTestSupport.h"
#include "image/PxImage.h"
#include "image/codecs/PxImageJAS.h"

using pxtest::DecodeBytes;
using pxtest::EncodeBytes;

namespace {

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) return 0;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    if (sum == 0) return 99;
    return 10 * std::log10(255.0 * 255.0 / (sum / a.size()));
}

void MakeGrey(PxImage& im, uint32_t w, uint32_t h) {
    im.Create(w, h, 8, 0);
    im.SetGrayPalette();
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            im.SetPixelIndex(static_cast<long>(x), static_cast<long>(y), static_cast<uint8_t>((x * 13 + y * 7) & 0xFF));
}

std::string MakeSource(const char* name) {
    PxImage card;
    pxtest::MakeCard(card, 21, 13);
    std::string path = pxtest::TempPath(name);
    pxtest::WriteFile(path, EncodeBytes(card, PxFormatBMP));
    return path;
}

}  // namespace

// Every kind of the family made by ImageMagick: read through the automatic
// order with the pixels ImageMagick reads, and the code of the kind.
TEST(PxImageJAS, DecodesReferenceFilesAutomatically) {
    PX_REQUIRE_TOOL("convert");
    std::string src = MakeSource("card.bmp");
    struct Case {
        const char* options;
        const char* file;
        uint32_t code;
        int tolerance;
    } cases[] = {
        {"-depth 8 -quality 100", "a.jp2", PxFormatJP2, 0},
        {"-depth 8 -quality 100", "a.j2k", PxFormatJPC, 0},
        {"-colorspace Gray -depth 8 -quality 100", "g.jp2", PxFormatJP2, 0},
        {"-depth 12 -quality 100", "d12.j2k", PxFormatJPC, 1},
        {"-colorspace Gray -depth 8", "g.pgx", PxFormatPGX, 0},
        {"-colorspace Gray -depth 16", "g16.pgx", PxFormatPGX, 1},
        {"-depth 8", "a.ppm", PxFormatPNM, 0},
        {"-depth 8 -compress none", "plain.ppm", PxFormatPNM, 0},
        {"-colorspace Gray -depth 8", "g.pgm", PxFormatPNM, 0},
        {"-colorspace Gray -depth 4 -compress none", "m15.pgm", PxFormatPNM, 0},
        {"-depth 16", "d16.ppm", PxFormatPNM, 0},
        {"-monochrome", "b.pbm", PxFormatPNM, 0},
        {"-monochrome -compress none", "plain.pbm", PxFormatPNM, 0},
        {"-type TrueColor", "a.ras", PxFormatRAS, 0},
        {"-colors 20 -type Palette", "p.ras", PxFormatRAS, 0},
        {"-colorspace Gray -type Grayscale", "g.ras", PxFormatRAS, 0},
        {"-monochrome -type Bilevel", "b.ras", PxFormatRAS, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string path = pxtest::TempPath(c.file);
        ASSERT_EQ(pxtest::Run(pxtest::Convert() + " " + src + " " + c.options + " " + path), 0);
        PxImage im;
        ASSERT_TRUE(im.Load(pxtest::ToPath(path).c_str(), PxFormatUnknown)) << im.GetLastError();
        EXPECT_EQ(im.GetType(), c.code);
        std::vector<uint8_t> ref = pxtest::ReferencePixels(path, "rgb");
        EXPECT_LE(pxtest::MaxDiff(pxtest::Pixels(im, false), ref), c.tolerance);
    }
}

// Four components: four grey frames; the fifth does not exist.
TEST(PxImageJAS, ComponentsAsFrames) {
    PX_REQUIRE_TOOL("convert");
    std::string path = pxtest::TempPath("rgba.j2k");
    ASSERT_EQ(pxtest::Run(pxtest::Convert() +
                          " -size 8x6 gradient:red-blue -alpha set -channel A -fx 0.25 +channel -depth 8 -quality 100 " +
                          path),
              0);
    std::vector<uint8_t> ref = pxtest::ReferencePixels(path, "rgba");
    ASSERT_EQ(ref.size(), 8u * 6 * 4);
    for (int frame = 0; frame < 4; ++frame) {
        SCOPED_TRACE(frame);
        PxImage im;
        im.SetFrame(frame);
        ASSERT_TRUE(im.Load(pxtest::ToPath(path).c_str(), PxFormatJPC)) << im.GetLastError();
        EXPECT_EQ(im.GetBpp(), 8);
        EXPECT_EQ(im.GetNumFrames(), 4);
        size_t i = 0;
        for (long y = 5; y >= 0; --y)
            for (long x = 0; x < 8; ++x, ++i) ASSERT_EQ(im.GetPixelIndex(x, y), ref[4 * i + frame]) << x << "," << y;
    }
    PxImage past;
    past.SetFrame(4);
    EXPECT_FALSE(past.Load(pxtest::ToPath(path).c_str(), PxFormatJPC));
    EXPECT_STREQ(past.GetLastError(), "wrong frame!");
    EXPECT_EQ(past.GetNumFrames(), 4);
}

// Every writer, read back by us and by ImageMagick; JPEG-2000 at quality 100 is
// lossless and at 90 close.
TEST(PxImageJAS, EncodeRoundTrips) {
    PxImage card;
    pxtest::MakeCard(card, 37, 23);
    PxImage grey;
    MakeGrey(grey, 37, 23);
    struct Case {
        PxImage* image;
        uint32_t code;
        uint8_t quality;
        double minPsnr;  // 99: identical
    } cases[] = {{&card, PxFormatJP2, 100, 99}, {&card, PxFormatJPC, 100, 99}, {&grey, PxFormatJP2, 100, 99},
                 {&grey, PxFormatJPC, 100, 99}, {&card, PxFormatJP2, 90, 40},  {&grey, PxFormatPGX, 90, 99},
                 {&card, PxFormatPNM, 90, 99},  {&grey, PxFormatPNM, 90, 99},  {&card, PxFormatRAS, 90, 99},
                 {&grey, PxFormatRAS, 90, 99}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + " bits " + std::to_string(c.image->GetBpp()) + " q " +
                     std::to_string(c.quality));
        c.image->SetJpegQuality(c.quality);
        std::vector<uint8_t> file = EncodeBytes(*c.image, c.code);
        ASSERT_FALSE(file.empty()) << c.image->GetLastError();
        PxImage back;
        ASSERT_TRUE(DecodeBytes(back, file, c.code)) << back.GetLastError();
        EXPECT_EQ(back.GetType(), c.code);
        EXPECT_EQ(back.GetBpp(), c.image->GetBpp());
        EXPECT_GE(Psnr(pxtest::Pixels(back, false), pxtest::Pixels(*c.image, false)), c.minPsnr);
        if (pxtest::HaveTool("convert")) {
            static const char* kExt[] = {"jp2", "j2k", "pgx", "pnm", "ras"};
            std::string path = pxtest::TempPath(std::string("out.") + kExt[c.code - PxFormatJP2]);
            pxtest::WriteFile(path, file);
            EXPECT_GE(Psnr(pxtest::ReferencePixels(path, "rgb"), pxtest::Pixels(*c.image, false)), c.minPsnr);
        }
    }
    EXPECT_EQ(PxImageJAS::RateOption(90), "rate=0.900");
    EXPECT_EQ(PxImageJAS::RateOption(50), "rate=0.500");
}

TEST(PxImageJAS, EncodeErrors) {
    PxImage card;
    pxtest::MakeCard(card, 4, 4);
    PxImage colours16(4, 4, 4, 0);
    colours16.SetGrayPalette();  // an identity palette of 16 entries is not grey
    PxImage bw(4, 4, 1, 0);
    PxImage grey;
    MakeGrey(grey, 4, 4);
    struct Case {
        PxImage* image;
        uint32_t code;
        const char* text;  // null: succeeds
    } cases[] = {{&card, PxFormatPGX, "PGX can save only GrayScale images"},
                 {&colours16, PxFormatJP2, "JasPer can save only RGB or GrayScale images"},
                 {&bw, PxFormatPNM, "JasPer can save only RGB or GrayScale images"},
                 {&grey, PxFormatPGX, nullptr},
                 {&card, PxFormatJP2, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        std::vector<uint8_t> file = EncodeBytes(*c.image, c.code);
        if (c.text) {
            EXPECT_TRUE(file.empty());
            EXPECT_STREQ(c.image->GetLastError(), c.text);
        } else {
            EXPECT_FALSE(file.empty()) << c.image->GetLastError();
        }
    }
    pxtest::FailingStream failing;
    for (uint32_t code : {PxFormatJP2, PxFormatPNM, PxFormatRAS, PxFormatPGX}) {
        EXPECT_FALSE(grey.Encode(&failing, code));
        EXPECT_STREQ(grey.GetLastError(), "error: cannot encode image\n");
    }
}

// Hostile headers fail at once; truncated files of every kind end.
TEST(PxImageJAS, HostileAndTruncatedInput) {
    PxImage card;
    pxtest::MakeCard(card, 20, 16);
    PxImage grey;
    MakeGrey(grey, 20, 16);
    grey.SetJpegQuality(100);
    std::vector<uint8_t> j2k = EncodeBytes(grey, PxFormatJPC);
    ASSERT_GT(j2k.size(), 50u);
    ASSERT_EQ(j2k[2], 0xFF);
    ASSERT_EQ(j2k[3], 0x51);

    // SIZ claiming 60000 x 60000 (image and tile).
    std::vector<uint8_t> huge = j2k;
    for (int field : {8, 12, 24, 28}) {
        huge[field] = 0;
        huge[field + 1] = 0;
        huge[field + 2] = 0xEA;
        huge[field + 3] = 0x60;
    }
    // SIZ with 100 components.
    std::vector<uint8_t> many(j2k.begin(), j2k.begin() + 40);
    many.push_back(0);
    many.push_back(100);
    for (int i = 0; i < 100; ++i) many.insert(many.end(), {7, 1, 1});
    int lsiz = static_cast<int>(many.size()) - 4;
    many[4] = static_cast<uint8_t>(lsiz >> 8);
    many[5] = static_cast<uint8_t>(lsiz);
    size_t sizEnd = 4 + ((j2k[4] << 8) | j2k[5]);
    many.insert(many.end(), j2k.begin() + static_cast<long>(sizEnd), j2k.end());

    std::string pnmHuge = "P5\n100000 100000\n255\n";
    std::vector<uint8_t> rasHuge = {0x59, 0xA6, 0x6A, 0x95, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 24, 0, 0, 0, 0,
                                    0,    0,    0,    1,    0, 0, 0, 0, 0, 0, 0, 0};
    std::vector<uint8_t> rasMap = {0x59, 0xA6, 0x6A, 0x95, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 8, 0, 0, 0, 0,
                                   0,    0,    0,    1,    0, 0, 0, 1, 0x7F, 0xFF, 0xFF, 0xFF};
    std::string pgxHuge = "PG ML + 8 90000 90000\n";
    struct Case {
        std::vector<uint8_t> bytes;
        const char* text;
    } cases[] = {{huge, "error: cannot load image data"},
                 {many, "error: too much components"},
                 {std::vector<uint8_t>(pnmHuge.begin(), pnmHuge.end()), "error: cannot load image data"},
                 {rasHuge, "error: cannot load image data"},
                 {rasMap, "error: cannot load image data"},
                 {std::vector<uint8_t>(pgxHuge.begin(), pgxHuge.end()), "error: cannot load image data"},
                 {{'x', 'y', 'z'}, "error: cannot load image data"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        PxImage im;
        EXPECT_FALSE(DecodeBytes(im, c.bytes, PxFormatJP2));
        EXPECT_STREQ(im.GetLastError(), c.text);
    }
    for (uint32_t code : {PxFormatJP2, PxFormatJPC, PxFormatPGX, PxFormatPNM, PxFormatRAS}) {
        std::vector<uint8_t> file = EncodeBytes(code == PxFormatPGX ? grey : card, code);
        ASSERT_FALSE(file.empty());
        for (size_t n = 0; n < file.size(); n += 1 + file.size() / 40) {
            std::vector<uint8_t> part(file.begin(), file.begin() + static_cast<long>(n));
            PxImage im;
            DecodeBytes(im, part, code);
        }
    }
}
