#include <gtest/gtest.h>

#include <cstring>

#include "core/video/CursorComposer.h"
#include "Surface.h"

namespace {

TEST(CursorComposer, BoxSizes) {
    struct Case { int w, h, size; };
    const Case kCases[] = {{0, 0, 16}, {15, 3, 16}, {16, 16, 32}, {32, 32, 48}, {20, 40, 48},
                           {48, 48, 64}, {64, 10, 72}, {72, 72, 96}, {100, 1, 128},
                           {128, 128, 256}, {255, 0, 256}, {256, 256, 256}, {300, 20, 300},
                           {5000, 5000, kMaxCursorBox}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        EXPECT_EQ(CursorBoxSize(c.w, c.h), c.size);
    }
}

// Paints the cursor as a 3 x 2 block of one colour at the box's top-left corner, and
// a marker in the box's bottom-right pixel.
class BlockCursor : public ICursorImage {
public:
    bool paints = true;
    int calls = 0;
    int lastSize = 0;
    std::vector<uint8_t> seen;  // the box as it was handed over

    bool PaintOver(uint8_t* pixels, int size) override {
        ++calls;
        lastSize = size;
        seen.assign(pixels, pixels + size_t(size) * size * 4);
        if (!paints) return false;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) Set(pixels, size, x, y, kBlock);
        Set(pixels, size, size - 1, size - 1, kMarker);
        return true;
    }
    static void Set(uint8_t* pixels, int size, int x, int y, const uint8_t* v) {
        uint8_t* p = pixels + (size_t(size - 1 - y) * size + x) * 4;  // bottom-up
        std::copy(v, v + 4, p);
    }
    static constexpr uint8_t kBlock[4] = {1, 2, 3, 4};
    static constexpr uint8_t kMarker[4] = {9, 9, 9, 9};
};

CursorShot Shot(int x, int y, int hotX, int hotY, int bitmap = 32) {
    CursorShot shot;
    shot.showing = shot.haveIcon = shot.havePosition = true;
    shot.x = x;
    shot.y = y;
    shot.xHotspot = hotX;
    shot.yHotspot = hotY;
    shot.bitmapWidth = shot.bitmapHeight = bitmap;
    return shot;
}

TEST(CursorComposer, ComposesAtPositionMinusHotspotClippedOnAllSides) {
    struct Case {
        const char* name;
        int x, y, hotX, hotY;
    };
    // The surface is 100 x 80; a 32-pixel cursor gets a 48-pixel box.
    const Case kCases[] = {
        {"middle", 40, 30, 0, 0},
        {"hotspot subtracted", 40, 30, 10, 5},
        {"left edge, hotspot beyond x", 3, 30, 10, 0},
        {"top edge, hotspot beyond y", 40, 2, 0, 12},
        {"right edge", 98, 30, 0, 0},
        {"bottom edge: reads would pass the last row", 40, 79, 0, 0},
        {"bottom right corner", 99, 79, 1, 1},
        {"entirely left of the surface", -60, 30, 0, 0},
        {"entirely below the surface", 40, 200, 0, 0},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        TestSurface surface(100, 80, /*padPixels=*/3);
        const TestSurface original = surface;
        BlockCursor cursor;
        CvxRect box;
        ASSERT_TRUE(ComposeCursor(surface.bytes.data(), surface.width, surface.height, surface.pitch,
                                  Shot(c.x, c.y, c.hotX, c.hotY), cursor, &box));
        EXPECT_EQ(cursor.lastSize, 48);
        EXPECT_EQ(box, (CvxRect{c.x - c.hotX, c.y - c.hotY, c.x - c.hotX + 48, c.y - c.hotY + 48}));
        // The box handed to the painter holds the surface's pixels, zero outside it.
        for (int by = 0; by < 48; ++by)
            for (int bx = 0; bx < 48; ++bx) {
                int sx = box.left + bx, sy = box.top + by;
                bool inside = sx >= 0 && sy >= 0 && sx < 100 && sy < 80;
                const uint8_t* got = &cursor.seen[(size_t(47 - by) * 48 + bx) * 4];
                if (inside)
                    ASSERT_EQ(0, memcmp(got, original.Pixel(sx, sy), 4)) << bx << "," << by;
                else
                    ASSERT_EQ(got[0] | got[1] | got[2] | got[3], 0) << bx << "," << by;
            }
        // Afterwards: the block where it lies on the surface, everything else as before,
        // row padding included.
        for (size_t i = 0; i < surface.bytes.size(); ++i) {
            int y = int(i / surface.pitch), x = int(i % surface.pitch) / 4;
            int bx = x - box.left, by = y - box.top;
            bool inBlock = x < surface.width && bx >= 0 && bx < 3 && by >= 0 && by < 2;
            bool atMarker = x < surface.width && bx == 47 && by == 47;
            uint8_t expected = inBlock ? BlockCursor::kBlock[i % 4]
                             : atMarker ? BlockCursor::kMarker[i % 4]
                                        : original.bytes[i];
            ASSERT_EQ(surface.bytes[i], expected) << "byte " << i << " (" << x << "," << y << ")";
        }
    }
}

TEST(CursorComposer, NothingWithoutACursorToDraw) {
    struct Case {
        const char* name;
        CursorShot shot;
        bool painterAgrees;
    };
    CursorShot hidden = Shot(10, 10, 0, 0);
    hidden.showing = false;
    CursorShot noIcon = Shot(10, 10, 0, 0);
    noIcon.haveIcon = false;
    CursorShot noPosition = Shot(10, 10, 0, 0);
    noPosition.havePosition = false;
    const Case kCases[] = {{"hidden", hidden, true},
                           {"no icon information", noIcon, true},
                           {"no position", noPosition, true},
                           {"painter fails", Shot(10, 10, 0, 0), false}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        TestSurface surface(40, 40);
        const std::vector<uint8_t> before = surface.bytes;
        BlockCursor cursor;
        cursor.paints = c.painterAgrees;
        EXPECT_FALSE(ComposeCursor(surface.bytes.data(), 40, 40, surface.pitch, c.shot, cursor));
        EXPECT_EQ(surface.bytes, before);
    }
}

}  // namespace
