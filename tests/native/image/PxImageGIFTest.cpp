#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ImageTestSupport.h"
#include "image/PxImage.h"
#include "image/PxMemFile.h"
#include "image/codecs/PxImageGIF.h"

using pxtest::DecodeBytes;
using pxtest::EncodeBytes;

namespace {

// An indexed image with a pattern that gives long runs and noise alike.
void MakeIndexed(PxImage& im, uint32_t w, uint32_t h, uint32_t bits) {
    im.Create(w, h, bits, 0);
    uint32_t colors = 1u << bits;
    for (uint32_t i = 0; i < colors; ++i)
        im.SetPaletteColor(static_cast<uint8_t>(i), static_cast<uint8_t>(i * 37), static_cast<uint8_t>(255 - i * 11),
                           static_cast<uint8_t>(i * 5 + 3));
    uint32_t seed = 12345;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            seed = seed * 1103515245u + 12345u;
            uint32_t v = (y < h / 2) ? (x / 7 + y / 5) : (seed >> 16);
            im.SetPixelIndex(static_cast<long>(x), static_cast<long>(y), static_cast<uint8_t>(v % colors));
        }
}

std::vector<uint8_t> Indexes(const PxImage& im) {
    std::vector<uint8_t> out;
    for (long y = 0; y < static_cast<long>(im.GetHeight()); ++y)
        for (long x = 0; x < static_cast<long>(im.GetWidth()); ++x) out.push_back(im.GetPixelIndex(x, y));
    return out;
}

std::string SaveTemp(const std::vector<uint8_t>& bytes, const std::string& name) {
    std::string path = pxtest::TempPath(name);
    pxtest::WriteFile(path, bytes);
    return path;
}

// A minimal LZW coder that never sends a clear code: once the table holds 4096
// entries it goes on with 12-bit codes (what some encoders do).
std::vector<uint8_t> LzwWithoutClear(const std::vector<uint8_t>& pixels, int minSize) {
    std::vector<uint8_t> data;
    uint32_t acc = 0;
    int bits = 0, size = minSize + 1, next = (1 << minSize) + 2;
    auto put = [&](int code) {
        acc |= static_cast<uint32_t>(code) << bits;
        bits += size;
        while (bits >= 8) {
            data.push_back(static_cast<uint8_t>(acc));
            acc >>= 8;
            bits -= 8;
        }
    };
    put(1 << minSize);
    bool first = true;
    for (uint8_t p : pixels) {
        put(p);
        // The decoder adds an entry for every code after the first.
        if (!first && next < 4096) {
            ++next;
            if (next == (1 << size) && size < 12) ++size;
        }
        first = false;
    }
    put((1 << minSize) + 1);
    if (bits > 0) data.push_back(static_cast<uint8_t>(acc));
    std::vector<uint8_t> blocks;
    for (size_t i = 0; i < data.size(); i += 255) {
        size_t n = data.size() - i < 255 ? data.size() - i : 255;
        blocks.push_back(static_cast<uint8_t>(n));
        blocks.insert(blocks.end(), data.begin() + static_cast<long>(i), data.begin() + static_cast<long>(i + n));
    }
    blocks.push_back(0);
    return blocks;
}

std::vector<uint8_t> GifHeader(int w, int h, int tableBits) {
    std::vector<uint8_t> f = {'G', 'I', 'F', '8', '9', 'a', static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8),
                              static_cast<uint8_t>(h), static_cast<uint8_t>(h >> 8),
                              static_cast<uint8_t>(0x80 | (tableBits - 1)), 0, 0};
    for (int i = 0; i < (1 << tableBits); ++i) {
        f.push_back(static_cast<uint8_t>(i));
        f.push_back(static_cast<uint8_t>(255 - i));
        f.push_back(static_cast<uint8_t>(i * 3));
    }
    return f;
}

void AddImage(std::vector<uint8_t>& f, int left, int top, int w, int h, const std::vector<uint8_t>& data, int minSize,
              uint8_t flags = 0) {
    uint8_t d[10] = {',', static_cast<uint8_t>(left), static_cast<uint8_t>(left >> 8), static_cast<uint8_t>(top),
                     static_cast<uint8_t>(top >> 8), static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8),
                     static_cast<uint8_t>(h), static_cast<uint8_t>(h >> 8), flags};
    f.insert(f.end(), d, d + 10);
    f.push_back(static_cast<uint8_t>(minSize));
    f.insert(f.end(), data.begin(), data.end());
}

}  // namespace

// Every depth with every data coder: our decoder and ImageMagick read the
// same pixels; the coders differ in bytes.
TEST(PxImageGIF, RoundTripsPerDepthAndCoder) {
    struct Case {
        uint32_t bits, w, h;
    } cases[] = {{1, 33, 20}, {4, 50, 31}, {8, 160, 120}, {8, 1, 1}};
    for (const Case& c : cases) {
        PxImage src;
        MakeIndexed(src, c.w, c.h, c.bits);
        std::vector<uint8_t> lzw;
        for (uint32_t option : {0u, 1u, 2u}) {
            SCOPED_TRACE("bits " + std::to_string(c.bits) + " option " + std::to_string(option) + " width " +
                         std::to_string(c.w));
            src.SetCodecOption(option, PxFormatGIF);
            std::vector<uint8_t> file = EncodeBytes(src, PxFormatGIF);
            ASSERT_FALSE(file.empty()) << src.GetLastError();
            if (option == 0)
                lzw = file;
            else if (c.w * c.h > 100) {
                EXPECT_NE(file, lzw);
            }
            PxImage back;
            ASSERT_TRUE(DecodeBytes(back, file, PxFormatGIF)) << back.GetLastError();
            EXPECT_EQ(back.GetType(), PxFormatGIF);
            EXPECT_EQ(back.GetBpp(), c.bits);
            EXPECT_EQ(pxtest::Pixels(back, false), pxtest::Pixels(src, false));
            if (pxtest::HaveTool("convert")) {
                std::string path = SaveTemp(file, "rt.gif");
                EXPECT_EQ(pxtest::ReferencePixels(path, "rgb"), pxtest::Pixels(src, false));
            }
        }
    }
}

// Long runs through the run-length coder: runs longer than its table, with
// clears in between, for the small and the large code sizes.
TEST(PxImageGIF, RunLengthCoderLongRuns) {
    for (uint32_t bits : {1u, 8u}) {
        PxImage src(300, 40, bits, 0);
        if (bits == 8) src.SetGrayPalette();
        for (long y = 0; y < 40; ++y)
            for (long x = 0; x < 300; ++x) src.SetPixelIndex(x, y, static_cast<uint8_t>((x / (y + 1)) % (bits == 1 ? 2 : 7)));
        src.SetCodecOption(2, PxFormatGIF);
        std::vector<uint8_t> file = EncodeBytes(src, PxFormatGIF);
        PxImage back;
        ASSERT_TRUE(DecodeBytes(back, file, PxFormatGIF));
        EXPECT_EQ(Indexes(back), Indexes(src)) << bits;
    }
}

// Files made by ImageMagick: 2, 16 and 256 colours, interlaced, transparent.
TEST(PxImageGIF, DecodesReferenceFiles) {
    PX_REQUIRE_TOOL("convert");
    PxImage card;
    pxtest::MakeCard(card, 37, 10);
    std::string src = SaveTemp(EncodeBytes(card, PxFormatBMP), "card.bmp");
    struct Case {
        const char* options;
        uint32_t bits;
    } cases[] = {{"-colors 2", 1},
                 {"-colors 16", 4},
                 {"-colors 256", 8},
                 {"-colors 200 -interlace GIF", 8},
                 {"-colors 2 -interlace GIF", 1},
                 {"-colors 30 -transparent-color black -fill black -draw \"rectangle 0,0 5,5\" -transparent black", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        std::string gif = pxtest::TempPath("ref.gif");
        ASSERT_EQ(pxtest::Run(pxtest::Convert() + " " + src + " " + c.options + " " + gif), 0);
        PxImage im;
        ASSERT_TRUE(im.Load(pxtest::ToPath(gif).c_str(), PxFormatGIF)) << im.GetLastError();
        if (c.bits) {
            EXPECT_EQ(im.GetBpp(), c.bits);
        }
        std::vector<uint8_t> ref = pxtest::ReferencePixels(gif, "rgba");
        ASSERT_EQ(ref.size(), 37u * 10 * 4);
        size_t i = 0, transparent = 0;
        for (long y = 9; y >= 0; --y)
            for (long x = 0; x < 37; ++x, i += 4) {
                if (ref[i + 3] == 0) {
                    EXPECT_TRUE(im.IsTransparent(x, y)) << x << "," << y;
                    ++transparent;
                    continue;
                }
                RGBQUAD p = im.GetPixelColor(x, y);
                ASSERT_EQ(p.rgbRed, ref[i]) << x << "," << y;
                ASSERT_EQ(p.rgbGreen, ref[i + 1]);
                ASSERT_EQ(p.rgbBlue, ref[i + 2]);
            }
        if (c.bits == 0) {
            EXPECT_EQ(transparent, 36u);
        }
    }
}

// Rows of an interlaced 10-row image arrive as 0, 8, 4, 2, 6, 1, 3, 5, 7, 9.
TEST(PxImageGIF, InterlacePassOrder) {
    std::vector<uint8_t> pixels;
    const int order[10] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
    for (int line = 0; line < 10; ++line)
        for (int x = 0; x < 3; ++x) pixels.push_back(static_cast<uint8_t>(order[line]));
    // Two more lines than the image holds: dropped.
    for (int x = 0; x < 6; ++x) pixels.push_back(15);
    std::vector<uint8_t> f = GifHeader(3, 10, 4);
    AddImage(f, 0, 0, 3, 10, LzwWithoutClear(pixels, 4), 4, 0x40);
    f.push_back(';');
    PxImage im;
    ASSERT_TRUE(DecodeBytes(im, f, PxFormatGIF));
    for (int row = 0; row < 10; ++row) EXPECT_EQ(im.GetPixelIndex(1, 9 - row), row) << row;
}

// Codes growing to 12 bits and a full table kept without a clear code; a
// frame larger than the screen is skipped.
TEST(PxImageGIF, FullTableWithoutClearAndOversizeFrame) {
    std::vector<uint8_t> pixels(64 * 100);
    uint32_t seed = 7;
    for (uint8_t& p : pixels) {
        seed = seed * 1103515245u + 12345u;
        p = static_cast<uint8_t>(seed >> 24);
    }
    std::vector<uint8_t> f = GifHeader(64, 100, 8);
    std::vector<uint8_t> other(80 * 2, 1);
    AddImage(f, 0, 0, 80, 2, LzwWithoutClear(other, 8), 8);  // wider than the screen
    AddImage(f, 0, 0, 64, 100, LzwWithoutClear(pixels, 8), 8);
    f.push_back(';');
    PxImage im;
    ASSERT_TRUE(DecodeBytes(im, f, PxFormatGIF));
    EXPECT_EQ(im.GetNumFrames(), 1);
    size_t i = 0;
    for (long y = 99; y >= 0; --y)
        for (long x = 0; x < 64; ++x, ++i) ASSERT_EQ(im.GetPixelIndex(x, y), pixels[i]) << i;
    if (pxtest::HaveTool("convert")) {
        std::string path = SaveTemp(f, "noclear.gif");
        std::vector<uint8_t> ref = pxtest::ReferencePixels(path + "[1]", "rgb");
        EXPECT_EQ(ref, pxtest::Pixels(im, false));
    }
}

// Animation written by ImageMagick with local palettes and disposal none or
// background: frame n is frame n of -coalesce; past the last frame fails and
// reports the count.
TEST(PxImageGIF, AnimationFramesMatchCoalesce) {
    PX_REQUIRE_TOOL("convert");
    std::string anim = pxtest::TempPath("anim.gif");
    std::string cmd = pxtest::Convert() +
                      " -size 20x12 -dispose none xc:red \\( -size 20x12 xc:none -fill blue -draw \"rectangle 2,2 9,7\" \\)"
                      " -dispose background \\( -size 20x12 gradient:yellow-green \\)"
                      " -dispose none \\( -size 20x12 xc:none -fill white -draw \"rectangle 10,5 15,9\" \\) " +
                      anim;
    ASSERT_EQ(pxtest::Run(cmd), 0);
    // Raw output holds every coalesced frame, one after the other.
    std::vector<uint8_t> all = pxtest::ReferencePixels(anim, "rgba", "-coalesce");
    ASSERT_EQ(all.size(), 4u * 20 * 12 * 4);
    for (int n = 0; n < 4; ++n) {
        SCOPED_TRACE(n);
        PxImage im;
        im.SetFrame(n);
        ASSERT_TRUE(im.Load(pxtest::ToPath(anim).c_str(), PxFormatGIF)) << im.GetLastError();
        EXPECT_EQ(im.GetNumFrames(), 4);
        std::vector<uint8_t> ref(all.begin() + n * 960, all.begin() + (n + 1) * 960);
        size_t i = 0;
        for (long y = 11; y >= 0; --y)
            for (long x = 0; x < 20; ++x, i += 4) {
                if (ref[i + 3] == 0) {
                    EXPECT_TRUE(im.IsTransparent(x, y) || (im.AlphaIsValid() && im.AlphaGet(x, y) == 0));
                    continue;
                }
                RGBQUAD p = im.GetPixelColor(x, y, false);
                ASSERT_EQ(p.rgbRed, ref[i]) << x << "," << y;
                ASSERT_EQ(p.rgbGreen, ref[i + 1]) << x << "," << y;
                ASSERT_EQ(p.rgbBlue, ref[i + 2]) << x << "," << y;
            }
    }
    PxImage past;
    past.SetFrame(4);
    EXPECT_FALSE(past.Load(pxtest::ToPath(anim).c_str(), PxFormatGIF));
    EXPECT_EQ(past.GetNumFrames(), 4);
}

// A true-colour image becomes a mosaic of 17 x 15 tiles, each with a table of
// its own; it reads back as the same 24-bit picture, here and in ImageMagick.
TEST(PxImageGIF, TrueColourMosaic) {
    PxImage card;
    pxtest::MakeCard(card, 40, 33);
    std::vector<uint8_t> file = EncodeBytes(card, PxFormatGIF);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(file[10], 0x11);  // no global table
    // 3 x 3 tiles, each with a 256-entry local table.
    size_t tiles = 0;
    for (size_t i = 0; i + 10 < file.size(); ++i)
        if (file[i] == 0 && file[i + 1] == 0x2C && file[i + 10] == 0x87) ++tiles;
    EXPECT_EQ(tiles, 9u);
    PxImage back;
    ASSERT_TRUE(DecodeBytes(back, file, PxFormatGIF));
    EXPECT_EQ(back.GetBpp(), 24);
    EXPECT_EQ(back.GetNumFrames(), 9);
    EXPECT_EQ(pxtest::Pixels(back, false), pxtest::Pixels(card, false));
    if (pxtest::HaveTool("convert")) {
        std::string path = SaveTemp(file, "mosaic.gif");
        EXPECT_EQ(pxtest::ReferencePixels(path, "rgb", "-coalesce -delete 0--2"), pxtest::Pixels(card, false));
    }
}

// Multi-frame files: loop extension by loop count, pages with other palettes get
// a local table, and the frames read back.
TEST(PxImageGIF, MultiFrameEncode) {
    PxImage a, b;
    MakeIndexed(a, 12, 9, 4);
    MakeIndexed(b, 12, 9, 8);
    b.SetGrayPalette();
    PxImage* pages[2] = {&a, &b};
    struct Case {
        int loops;
        int written;  // -1: no loop extension
    } cases[] = {{0, 0}, {1, -1}, {3, 2}};
    for (const Case& c : cases) {
        PxImageGIF gif;
        gif.SetLoops(c.loops);
        PxMemFile out;
        out.Open();
        ASSERT_TRUE(gif.Encode(&out, pages, 2));
        std::vector<uint8_t> bytes(out.GetBuffer(false), out.GetBuffer(false) + out.Size());
        std::string text(bytes.begin(), bytes.end());
        size_t at = text.find("NETSCAPE2.0");
        if (c.written < 0) {
            EXPECT_EQ(at, std::string::npos);
        } else {
            ASSERT_NE(at, std::string::npos);
            EXPECT_EQ(bytes[at + 13] | (bytes[at + 14] << 8), c.written);
        }
        PxImage second;
        second.SetFrame(1);
        ASSERT_TRUE(DecodeBytes(second, bytes, PxFormatGIF));
        EXPECT_EQ(second.GetNumFrames(), 2);
        EXPECT_EQ(pxtest::Pixels(second, false), pxtest::Pixels(b, false));
        PxImage first;
        ASSERT_TRUE(DecodeBytes(first, bytes, PxFormatGIF));
        EXPECT_EQ(pxtest::Pixels(first, false), pxtest::Pixels(a, false));
    }
}

TEST(PxImageGIF, MultiFrameErrorsAndDispatcher) {
    PxImage a;
    MakeIndexed(a, 4, 4, 8);
    PxImage rgb(4, 4, 24, 0);
    PxImage* withNull[2] = {&a, nullptr};
    PxImage* withRgb[2] = {&a, &rgb};
    PxImage* none[1] = {nullptr};
    PxMemFile out;
    out.Open();
    struct Case {
        PxFile* stream;
        PxImage** pages;
        long count;
        uint32_t code;
        const char* text;
    } cases[] = {{nullptr, withNull, 2, PxFormatGIF, "invalid file pointer"},
                 {&out, none, 1, PxFormatGIF, "multipage GIF, no images!"},
                 {&out, withNull, 0, PxFormatGIF, "multipage GIF, no images!"},
                 {&out, withNull, 2, PxFormatGIF, "Bad image pointer"},
                 {&out, withRgb, 2, PxFormatGIF, "multipage GIF, pages must have 8 bits per pixel or fewer"},
                 {&out, withNull, 1, PxFormatPNG, "Multipage Encode, Unsupported operation for this format"}};
    for (const Case& c : cases) {
        PxImage host;
        EXPECT_FALSE(host.Encode(c.stream, c.pages, c.count, c.code));
        EXPECT_STREQ(host.GetLastError(), c.text);
    }
    PxImage* good[2] = {&a, &a};
    PxImage host;
    PxMemFile ok;
    ok.Open();
    EXPECT_TRUE(host.Encode(&ok, good, 2, PxFormatGIF));
    EXPECT_GT(ok.Size(), 0);
}

TEST(PxImageGIF, CommentLoopsAndWriteErrors) {
    PxImageGIF gif;
    std::string long300(300, 'c');
    gif.SetComment(long300.c_str());
    gif.SetComment(nullptr);
    char buffer[256];
    gif.GetComment(buffer);
    EXPECT_EQ(std::strlen(buffer), 255u);
    gif.Create(3, 3, 8, PxFormatGIF);
    PxMemFile out;
    out.Open();
    ASSERT_TRUE(gif.Encode(&out));
    std::vector<uint8_t> bytes(out.GetBuffer(false), out.GetBuffer(false) + out.Size());
    std::string text(bytes.begin(), bytes.end());
    size_t at = text.find("\x21\xFE");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(bytes[at + 2], 255);
    PxImageGIF reader;
    PxMemFile in(bytes.data(), static_cast<uint32_t>(bytes.size()));
    ASSERT_TRUE(reader.Decode(&in));
    reader.GetComment(buffer);
    EXPECT_EQ(std::string(buffer), std::string(255, 'c'));

    pxtest::FailingStream failing;
    EXPECT_FALSE(gif.Encode(&failing));
    EXPECT_STREQ(gif.GetLastError(), "Write Error in GIF file");
}

// Truncated and corrupt files end, never crash, never loop; size-only decoding.
TEST(PxImageGIF, TruncatedCorruptAndSizeOnly) {
    PxImage src;
    MakeIndexed(src, 40, 30, 8);
    std::vector<uint8_t> file = EncodeBytes(src, PxFormatGIF);
    for (size_t n = 0; n < file.size(); n += 7) {
        std::vector<uint8_t> part(file.begin(), file.begin() + static_cast<long>(n));
        PxImage im;
        DecodeBytes(im, part, PxFormatGIF);
    }
    std::vector<uint8_t> bad = file;
    for (size_t i = 800; i < bad.size() - 2; i += 3) bad[i] ^= 0x5A;
    PxImage im;
    DecodeBytes(im, bad, PxFormatGIF);

    // A screen of 65535 x 65535 fails quickly.
    std::vector<uint8_t> huge = GifHeader(65535, 65535, 1);
    AddImage(huge, 0, 0, 65535, 65535, {2, 0x44, 0x01, 0}, 2);
    huge.push_back(';');
    PxImage big;
    EXPECT_FALSE(DecodeBytes(big, huge, PxFormatGIF));

    PxImage size;
    size.SetEscape(-1);
    ASSERT_TRUE(DecodeBytes(size, file, PxFormatGIF));
    EXPECT_EQ(size.GetWidth(), 40u);
    EXPECT_EQ(size.GetHeight(), 30u);
}
