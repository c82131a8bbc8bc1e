#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImageTestSupport.h"
#include "image/PxImage.h"

using pxtest::DecodeBytes;
using pxtest::EncodeBytes;

namespace {
void Pattern(PxImage& im, uint32_t w, uint32_t h) {
    im.Create(w, h, 1, 0);
    im.SetPaletteColor(0, 0, 0, 0);
    im.SetPaletteColor(1, 255, 255, 255);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            im.SetPixelIndex(static_cast<long>(x), static_cast<long>(y), static_cast<uint8_t>(((x * 3) ^ y) & 1));
}
}  // namespace

// Sizes below and above 128 (multi-byte integers), read back by us and by
// ImageMagick; the header is two bytes a size from 128 on.
TEST(PxImageWBMP, RoundTripsAcrossSizeEncodings) {
    struct Case {
        uint32_t w, h;
        size_t headerBytes;
    } cases[] = {{9, 5, 4}, {127, 3, 4}, {128, 2, 5}, {255, 130, 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.w);
        PxImage im;
        Pattern(im, c.w, c.h);
        std::vector<uint8_t> file = EncodeBytes(im, PxFormatWBMP);
        ASSERT_EQ(file.size(), c.headerBytes + (c.w + 7) / 8 * c.h) << im.GetLastError();
        PxImage back;
        ASSERT_TRUE(DecodeBytes(back, file, PxFormatWBMP)) << back.GetLastError();
        EXPECT_EQ(pxtest::Pixels(back, false), pxtest::Pixels(im, false));
        if (pxtest::HaveTool("convert")) {
            std::string path = pxtest::TempPath("out.wbmp");
            pxtest::WriteFile(path, file);
            EXPECT_EQ(pxtest::ReferencePixels(path, "rgb"), pxtest::Pixels(im, false));
        }
    }
    // A file from ImageMagick wider than 128.
    if (pxtest::HaveTool("convert")) {
        std::string path = pxtest::TempPath("ref.wbmp");
        ASSERT_EQ(pxtest::Run(pxtest::Convert() + " -size 140x3 gradient:white-black -monochrome " + path), 0);
        PxImage ref;
        ASSERT_TRUE(ref.Load(pxtest::ToPath(path).c_str(), PxFormatWBMP));
        EXPECT_EQ(ref.GetWidth(), 140u);
        EXPECT_EQ(pxtest::Pixels(ref, false), pxtest::ReferencePixels(path, "rgb"));
    }
}

TEST(PxImageWBMP, Errors) {
    PxImage wide;
    Pattern(wide, 256, 10);
    PxImage deep(4, 4, 8, 0);
    PxImage ok;
    Pattern(ok, 255, 10);
    EXPECT_FALSE(EncodeBytes(ok, PxFormatWBMP).empty());
    for (PxImage* im : {&wide, &deep}) {
        EXPECT_TRUE(EncodeBytes(*im, PxFormatWBMP).empty());
        EXPECT_STREQ(im->GetLastError(), "Can't save this image as WBMP");
    }
    struct Case {
        std::vector<uint8_t> bytes;
        const char* text;
    } cases[] = {{{0, 0}, "Not a WBMP"},
                 {{0, 0, 0x81}, "Not a WBMP"},
                 {{1, 0, 2, 2, 0, 0}, "Unsupported WBMP type"},
                 {{0, 0, 0, 2}, "Corrupted WBMP"},
                 {{0, 0, 8, 3, 0xFF}, "Corrupted WBMP"},
                 {{0, 0, 0x83, 0xFF, 0xFF, 0xFF, 0x7F, 0x83, 0xFF, 0xFF, 0x7F}, "WBMP Create failed"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        PxImage im;
        EXPECT_FALSE(DecodeBytes(im, c.bytes, PxFormatWBMP));
        EXPECT_STREQ(im.GetLastError(), c.text);
    }
    pxtest::FailingStream failing;
    EXPECT_FALSE(ok.Encode(&failing, PxFormatWBMP));
    EXPECT_STREQ(ok.GetLastError(), "Write Error");
}
