#include <gtest/gtest.h>

#include <cstdio>

#include "ImageTestSupport.h"
#include "image/PxImage.h"
#include "image/PxMemFile.h"

TEST(PxImageCodecs, EncodeErrors) {
    PxImage empty;
    PxMemFile out;
    ASSERT_TRUE(out.Open());
    EXPECT_FALSE(empty.Encode(&out, PxFormatPNG));
    EXPECT_STREQ(empty.GetLastError(), "null image!!!");
    EXPECT_FALSE(empty.Encode(static_cast<PxFile*>(nullptr), PxFormatPNG));
    EXPECT_STREQ(empty.GetLastError(), "null file handler");
    PxImage im(2, 2, 24, 0);
    EXPECT_FALSE(im.Encode(&out, 14));
    EXPECT_STREQ(im.GetLastError(), "Encode: Unknown format");
    EXPECT_FALSE(im.Encode(&out, nullptr, 0, PxFormatPNG));
    EXPECT_STREQ(im.GetLastError(), "Multipage Encode, Unsupported operation for this format");
}

TEST(PxImageCodecs, MemoryEncodeNeedsEmptyBuffer) {
    PxImage im(2, 2, 24, 0);
    uint8_t dummy = 0;
    uint8_t* buffer = &dummy;
    long size = 0;
    EXPECT_FALSE(im.Encode(buffer, size, PxFormatBMP));
    EXPECT_EQ(buffer, &dummy);
    EXPECT_STREQ(im.GetLastError(), "the buffer must be empty");
}

// Every code of the table writes its format, reads it back by its code and,
// from the middle of a stream, through the automatic order, which gives the
// image the code of what it read.
TEST(PxImageCodecs, EveryCodeThroughDispatchAndAutomaticOrder) {
    PxImage card;
    pxtest::MakeCard(card, 9, 5);
    card.SetJpegQuality(100);  // lossless JPEG-2000
    PxImage grey(9, 5, 8, 0);
    grey.SetGrayPalette();
    PxImage mono(9, 5, 1, 0);
    mono.SetPaletteColor(1, 255, 255, 255);
    mono.SetPixelIndex(2, 2, 1);
    struct Case {
        uint32_t code;
        PxImage* image;
    } cases[] = {{PxFormatBMP, &card}, {PxFormatGIF, &grey}, {PxFormatJPG, &card},  {PxFormatPNG, &card},
                 {PxFormatICO, &card}, {PxFormatTGA, &card}, {PxFormatPCX, &card},  {PxFormatWBMP, &mono},
                 {PxFormatJP2, &card}, {PxFormatJPC, &card}, {PxFormatPGX, &grey},  {PxFormatPNM, &card},
                 {PxFormatRAS, &card}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        std::vector<uint8_t> file = pxtest::EncodeBytes(*c.image, c.code);
        ASSERT_FALSE(file.empty()) << c.image->GetLastError();
        PxImage direct;
        ASSERT_TRUE(pxtest::DecodeBytes(direct, file, c.code)) << direct.GetLastError();
        EXPECT_EQ(direct.GetType(), c.code);
        std::vector<uint8_t> data = {'x', 'y', 'z'};
        data.insert(data.end(), file.begin(), file.end());
        PxMemFile stream(data.data(), static_cast<uint32_t>(data.size()));
        ASSERT_TRUE(stream.Seek(3, SEEK_SET));
        PxImage automatic;
        ASSERT_TRUE(automatic.Decode(&stream, PxFormatUnknown)) << automatic.GetLastError();
        EXPECT_EQ(automatic.GetType(), c.code);
        EXPECT_EQ(automatic.GetWidth(), 9u);
        if (c.code != PxFormatJPG) {
            EXPECT_EQ(pxtest::Pixels(automatic, false), pxtest::Pixels(*c.image, false));
        }
    }
}

TEST(PxImageCodecs, UnknownCodesAreRefused) {
    PxImage im(2, 2, 24, 0);
    PxMemFile out;
    ASSERT_TRUE(out.Open());
    EXPECT_FALSE(im.Encode(&out, 14));
    EXPECT_STREQ(im.GetLastError(), "Encode: Unknown format");
    PxImage dec;
    // A GIF without images is no image of any format.
    EXPECT_FALSE(pxtest::DecodeBytes(dec, {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'}, 0));
    EXPECT_STREQ(dec.GetLastError(), "Decode: Unknown or wrong format");
    EXPECT_FALSE(pxtest::DecodeBytes(dec, {1, 2, 3}, 14));
    EXPECT_STREQ(dec.GetLastError(), "Decode: Unknown or wrong format");
}

// Automatic detection starts every try at the stream's position.
TEST(PxImageCodecs, AutomaticDecodeFromMidStream) {
    PxImage card;
    pxtest::MakeCard(card, 9, 5);
    for (uint32_t code : {PxFormatPNG, PxFormatBMP, PxFormatJPG, PxFormatICO}) {
        SCOPED_TRACE(code);
        std::vector<uint8_t> file = pxtest::EncodeBytes(card, code);
        ASSERT_FALSE(file.empty());
        std::vector<uint8_t> data = {'x', 'y', 'z'};
        data.insert(data.end(), file.begin(), file.end());
        PxMemFile stream(data.data(), static_cast<uint32_t>(data.size()));
        ASSERT_TRUE(stream.Seek(3, SEEK_SET));
        PxImage im;
        ASSERT_TRUE(im.Decode(&stream, PxFormatUnknown)) << im.GetLastError();
        EXPECT_EQ(im.GetType(), code);
        EXPECT_EQ(im.GetWidth(), 9u);
    }
}

TEST(PxImageCodecs, FailedDecodeKeepsPreviousImage) {
    PxImage im(7, 3, 24, 0);
    EXPECT_FALSE(pxtest::DecodeBytes(im, {0x89, 'P', 'N', 'G', 0, 0}, PxFormatPNG));
    EXPECT_TRUE(im.IsValid());
    EXPECT_EQ(im.GetWidth(), 7u);
}

TEST(PxImageCodecs, LoadFallsBackToDetectionAndKeepsRequestedError) {
    PxImage card;
    pxtest::MakeCard(card, 6, 4);
    std::string png = pxtest::TempPath("really.png");
    ASSERT_TRUE(card.Save(pxtest::ToPath(png).c_str(), PxFormatPNG));
    PxImage im;
    ASSERT_TRUE(im.Load(pxtest::ToPath(png).c_str(), PxFormatJPG));
    EXPECT_EQ(im.GetType(), static_cast<uint32_t>(PxFormatPNG));
    std::string text = pxtest::TempPath("note.txt");
    ASSERT_TRUE(pxtest::WriteFile(text, {'h', 'e', 'l', 'l', 'o', '\n'}));
    PxImage bad;
    EXPECT_FALSE(bad.Load(pxtest::ToPath(text).c_str(), PxFormatJPG));
    EXPECT_STRNE(bad.GetLastError(), "Decode: Unknown or wrong format");
    EXPECT_NE(std::string(bad.GetLastError()).find("JPEG"), std::string::npos) << bad.GetLastError();
    PxImage missing;
    EXPECT_FALSE(missing.Load(pxtest::ToPath(pxtest::TempPath("none.png")).c_str(), PxFormatPNG));
}

TEST(PxImageCodecs, ConstructorsDecode) {
    PxImage card;
    pxtest::MakeCard(card, 5, 5);
    std::vector<uint8_t> bmp = pxtest::EncodeBytes(card, PxFormatBMP);
    PxImage fromMemory(bmp.data(), static_cast<uint32_t>(bmp.size()), PxFormatUnknown);
    EXPECT_TRUE(fromMemory.IsValid());
    EXPECT_EQ(bmp[0], 'B');  // the caller's buffer is left alone
    std::string path = pxtest::TempPath("c.bmp");
    ASSERT_TRUE(pxtest::WriteFile(path, bmp));
    PxImage fromPath(pxtest::ToPath(path).c_str(), PxFormatBMP);
    EXPECT_TRUE(fromPath.IsValid());
}

TEST(PxImageCodecs, EncodeToRgba) {
    PxImage im(2, 1, 24, 0);
    im.SetPixelColor(1, 0, RGB(1, 2, 3));
    im.AlphaCreate();
    im.AlphaSet(1, 0, 4);
    uint8_t* buffer = nullptr;
    long size = 0;
    ASSERT_TRUE(im.Encode2RGBA(buffer, size));
    ASSERT_EQ(size, 8);
    EXPECT_EQ(buffer[4], 1);
    EXPECT_EQ(buffer[7], 4);
    PxImage::FreeMemory(buffer);
}

// A save that cannot be completed reports false and leaves no partial file.
// (Write failures inside the encoders are covered per format with a failing stream.)
TEST(PxImageCodecs, FailedSaveRemovesFile) {
    PxImage empty;
    std::string path = pxtest::TempPath("empty.png");
    EXPECT_FALSE(empty.Save(pxtest::ToPath(path).c_str(), PxFormatPNG));
    FILE* f = std::fopen(path.c_str(), "rb");
    EXPECT_EQ(f, nullptr);
    if (f) std::fclose(f);
    PxImage icon(300, 20, 24, 0);
    std::string ico = pxtest::TempPath("big.ico");
    EXPECT_FALSE(icon.Save(pxtest::ToPath(ico).c_str(), PxFormatICO));
    f = std::fopen(ico.c_str(), "rb");
    EXPECT_EQ(f, nullptr);
    if (f) std::fclose(f);
}

// Every encoder checks its writes: a failing stream never reports success.
TEST(PxImageCodecs, EncodersReportWriteFailures) {
    PxImage card;
    pxtest::MakeCard(card, 20, 20);
    struct Case { uint32_t code; const char* text; };
    const Case kCases[] = {{PxFormatBMP, "Write Error"}, {PxFormatICO, "Write Error"},
                           {PxFormatPNG, "Error saving PNG file"}, {PxFormatJPG, "Output file write error"}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.code);
        pxtest::FailingStream stream;
        EXPECT_FALSE(card.Encode(&stream, c.code));
        EXPECT_NE(std::string(card.GetLastError()).find(c.text), std::string::npos) << card.GetLastError();
    }
}
