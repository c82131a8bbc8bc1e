// The Blur tool's pixelation of a 32-bit bottom-up buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "editor/PixelateBitmap.h"

namespace {

std::vector<uint8_t> Noise(int width, int height) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    uint32_t seed = 12345;
    for (auto& b : pixels) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 16);
    }
    return pixels;
}

const uint8_t* At(const std::vector<uint8_t>& p, int width, int x, int y) {
    return &p[(static_cast<size_t>(y) * width + x) * 4];
}

}  // namespace

TEST(Pixelate, SmallestBlocksAreUniformAndTheMarginsKeepTheirDetail) {
    const int w = 21, h = 17;
    std::vector<uint8_t> before = Noise(w, h), after = before;
    PixelatePixels(after.data(), w, h);
    // The last pass leaves uniform 2x2 blocks from (1, 1) while they end before the
    // last column and row.
    for (int y = 1; y < h - 2; y += 2) {
        for (int x = 1; x < w - 2; x += 2) {
            for (int c = 0; c < 3; ++c) {
                const uint8_t v = At(after, w, x, y)[c];
                EXPECT_EQ(At(after, w, x + 1, y)[c], v);
                EXPECT_EQ(At(after, w, x, y + 1)[c], v);
                EXPECT_EQ(At(after, w, x + 1, y + 1)[c], v);
            }
        }
    }
    // Column 0, row 0, the last column and the last row never belong to a block.
    for (int y = 0; y < h; ++y) {
        EXPECT_EQ(std::memcmp(At(after, w, 0, y), At(before, w, 0, y), 4), 0);
        EXPECT_EQ(std::memcmp(At(after, w, w - 1, y), At(before, w, w - 1, y), 4), 0);
    }
    for (int x = 0; x < w; ++x) {
        EXPECT_EQ(std::memcmp(At(after, w, x, 0), At(before, w, x, 0), 4), 0);
        EXPECT_EQ(std::memcmp(At(after, w, x, h - 1), At(before, w, x, h - 1), 4), 0);
    }
    // Byte 3 is never changed.
    for (size_t i = 3; i < after.size(); i += 4) ASSERT_EQ(after[i], before[i]);
}

TEST(Pixelate, BlockAveragesTruncate) {
    // A 4x4 block at (2, 2) of a 10x10 buffer: one pixel 255, fifteen 0 → 255 / 16 = 15.
    const int w = 10, h = 10;
    std::vector<uint8_t> pixels(w * h * 4, 0);
    pixels[(3 * w + 3) * 4 + 2] = 255;
    PixelatePass(pixels.data(), w, h, 4);
    EXPECT_EQ(At(pixels, w, 2, 2)[2], 15);
    EXPECT_EQ(At(pixels, w, 5, 5)[2], 15);
    EXPECT_EQ(At(pixels, w, 6, 6)[2], 0);
}

TEST(Pixelate, NarrowPicturesGetNoLargeBlocks) {
    struct Case {
        int block, width, height;
        bool changes;
    } cases[] = {
        {8, 12, 40, false}, {8, 13, 40, true}, {8, 40, 12, false},
        {4, 6, 40, false},  {4, 7, 40, true},  {2, 4, 4, true}, {2, 3, 9, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.block << "-px blocks on " << c.width << "x" << c.height);
        std::vector<uint8_t> before = Noise(c.width, c.height), after = before;
        PixelatePass(after.data(), c.width, c.height, c.block);
        EXPECT_EQ(after != before, c.changes);
    }
    PixelatePixels(nullptr, 10, 10);   // nothing to do, no crash
    std::vector<uint8_t> one(4, 9);
    PixelatePixels(one.data(), 1, 1);
    EXPECT_EQ(one, std::vector<uint8_t>(4, 9));
}
