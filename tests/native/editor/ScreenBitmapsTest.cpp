// The dimmed screen made in one pass equals the image library's grey, then darker copy.
#include <gtest/gtest.h>

#include <cstdint>

#include "editor/ScreenBitmaps.h"
#include "image/PxImage.h"

TEST(ScreenBitmaps, GreyLevelsAndDimmedGreysEqualTheLibrarysGreyThenLight) {
    // Every grey level is reached, and colours of all kinds around them.
    const uint32_t w = 256, h = 64;
    PxImage screen(w, h, 24, 0);
    uint32_t seed = 7;
    for (uint32_t y = 0; y < h; ++y) {
        uint8_t* row = screen.GetBits(y);
        for (uint32_t x = 0; x < w; ++x) {
            seed = seed * 1103515245u + 12345u;
            uint8_t noise = static_cast<uint8_t>(seed >> 16);
            if (y == 0) {
                row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = static_cast<uint8_t>(x);
            } else {
                row[3 * x] = noise;
                row[3 * x + 1] = static_cast<uint8_t>(noise * 7 + y);
                row[3 * x + 2] = static_cast<uint8_t>(x ^ noise);
            }
        }
    }
    PxImage library(screen);
    ASSERT_TRUE(library.GrayScale());
    ASSERT_TRUE(library.Light(-46, 0));
    ASSERT_EQ(library.GetBpp(), 8);

    uint8_t table[256];
    DimmedGreyTable(table);
    uint8_t levels[w];
    for (uint32_t y = 0; y < h; ++y) {
        GreyLevelRow(screen.GetBits(y), w, levels);
        const uint8_t* want = library.GetBits(y);
        for (uint32_t x = 0; x < w; ++x) {
            ASSERT_EQ(levels[x], want[x]) << x << "," << y;
            RGBQUAD shown = library.GetPaletteColor(want[x]);
            ASSERT_EQ(table[levels[x]], shown.rgbRed) << x << "," << y;
            ASSERT_EQ(shown.rgbGreen, shown.rgbRed);
            ASSERT_EQ(shown.rgbBlue, shown.rgbRed);
        }
    }
}

TEST(ScreenBitmaps, RowsWidenToFourBytesWithAZeroFourth) {
    const uint8_t bgr[] = {1, 2, 3, 250, 251, 252};
    uint8_t bgrx[8];
    BgrRowToBgrx(bgr, 2, bgrx);
    const uint8_t want[] = {1, 2, 3, 0, 250, 251, 252, 0};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(bgrx[i], want[i]) << i;
}
