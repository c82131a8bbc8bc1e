#include <gtest/gtest.h>

#include <cstring>

#include "ReaderFakes.h"

namespace {

struct Dx9Rig {
    FakeFrontBuffer surface{64, 48};
    FakeCursor cursor;
    uint64_t now = 5000;
    Dx9FrameReader Reader(const CvxRect& area, bool captureCursor) {
        return Dx9FrameReader(surface, cursor, [this] { return now; }, 64, 48, area, captureCursor);
    }
};

TEST(Dx9FrameReader, ReadsTheAreaBottomUpWithItsTime) {
    Dx9Rig rig;
    const TestSurface original = rig.surface.surface;
    Dx9FrameReader reader = rig.Reader(CvxRect{10, 5, 30, 25}, false);
    std::vector<uint8_t> buffer(3, 0x42);
    uint64_t time = 0;
    reader.Read(buffer, time);
    ASSERT_EQ(buffer.size(), 20u * 20 * 4);
    EXPECT_EQ(time, 5000u);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(0, memcmp(BottomUpPixel(buffer, 20, 20, x, y), original.Pixel(10 + x, 5 + y), 4));
    EXPECT_EQ(rig.surface.locked, 0);
    EXPECT_EQ(rig.cursor.takes, 0) << "no cursor queries without the cursor option";
}

TEST(Dx9FrameReader, AllZeroAreaIsTheDisplay) {
    Dx9Rig rig;
    Dx9FrameReader reader = rig.Reader(CvxRect{}, false);
    EXPECT_EQ(reader.Area(), (CvxRect{0, 0, 64, 48}));
    std::vector<uint8_t> buffer;
    uint64_t time = 0;
    reader.Read(buffer, time);
    EXPECT_EQ(buffer.size(), 64u * 48 * 4);
}

TEST(Dx9FrameReader, AreaBeyondTheDisplayIsClippedAndZeroed) {
    Dx9Rig rig;
    Dx9FrameReader reader = rig.Reader(CvxRect{-8, -4, 72, 52}, false);
    std::vector<uint8_t> buffer;
    uint64_t time = 0;
    reader.Read(buffer, time);
    ASSERT_EQ(buffer.size(), 80u * 56 * 4);
    EXPECT_EQ(BottomUpPixel(buffer, 80, 56, 0, 0)[3], 0);       // outside: zero
    EXPECT_EQ(BottomUpPixel(buffer, 80, 56, 8, 4)[2], 0x5A);    // display (0, 0)
    EXPECT_EQ(BottomUpPixel(buffer, 80, 56, 71, 51)[0], 63);    // display (63, 47)
    EXPECT_EQ(BottomUpPixel(buffer, 80, 56, 72, 51)[3], 0);     // right of the display
    EXPECT_EQ(BottomUpPixel(buffer, 80, 56, 71, 52)[3], 0);     // below it
}

TEST(Dx9FrameReader, FailedReadsGiveNoImage) {
    struct Case {
        const char* name;
        bool copyWorks, lockWorks;
        std::vector<std::string> calls;
    };
    const Case kCases[] = {
        {"front buffer copy fails", false, true, {"copy"}},
        {"lock fails", true, false, {"copy", "lock"}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Dx9Rig rig;
        rig.surface.copyWorks = c.copyWorks;
        rig.surface.lockWorks = c.lockWorks;
        Dx9FrameReader reader = rig.Reader(CvxRect{}, false);
        std::vector<uint8_t> buffer(64 * 48 * 4, 0x11);  // a previous frame
        uint64_t time = 0;
        reader.Read(buffer, time);
        EXPECT_TRUE(buffer.empty()) << "a failed read must not look like a black frame";
        EXPECT_EQ(rig.surface.log.calls, c.calls);
        EXPECT_EQ(rig.surface.locked, 0);
    }
}

TEST(Dx9FrameReader, CursorIsDrawnOnlyWithTheOption) {
    struct Case {
        const char* name;
        bool captureCursor;
        bool monochrome;
    };
    const Case kCases[] = {{"colour, on", true, false}, {"colour, off", false, false},
                           {"monochrome, on", true, true}, {"monochrome, off", false, true}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Dx9Rig rig;
        rig.cursor.Show(20, 15, 4, 3, c.monochrome);
        const TestSurface original = rig.surface.surface;
        Dx9FrameReader reader = rig.Reader(CvxRect{}, c.captureCursor);
        std::vector<uint8_t> buffer;
        uint64_t time = 0;
        reader.Read(buffer, time);
        ASSERT_EQ(buffer.size(), 64u * 48 * 4);
        // Both kinds of cursor land at the position minus the hotspot: (16, 12).
        const uint8_t* at = BottomUpPixel(buffer, 64, 48, 16, 12);
        const uint8_t* expected = !c.captureCursor ? original.Pixel(16, 12)
                                  : c.monochrome  ? kMonochromePixel
                                                  : kCursorPixel;
        EXPECT_EQ(0, memcmp(at, expected, 4));
        // Nothing else changed.
        int changed = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                changed += memcmp(BottomUpPixel(buffer, 64, 48, x, y), original.Pixel(x, y), 4) != 0;
        EXPECT_EQ(changed, c.captureCursor ? 1 : 0);
        EXPECT_EQ(rig.cursor.paints, c.captureCursor && !c.monochrome ? 1 : 0);
        EXPECT_EQ(rig.surface.log.Count("mono 16,12"), c.captureCursor && c.monochrome ? 1u : 0u);
    }
}

TEST(Dx9FrameReader, ColourCursorAtTheLeftEdgeWritesNothingOutsideTheSurface) {
    Dx9Rig rig;
    rig.cursor.Show(2, 47, 10, 0, false);  // box starts at x = -8 on the last row
    Dx9FrameReader reader = rig.Reader(CvxRect{}, true);
    const std::vector<uint8_t> before = rig.surface.surface.bytes;
    std::vector<uint8_t> buffer;
    uint64_t time = 0;
    reader.Read(buffer, time);
    ASSERT_EQ(buffer.size(), 64u * 48 * 4);
    // The painted pixel (-8, 47) is off the surface; the surface bytes stay as they were,
    // the padding after each row included.
    EXPECT_EQ(rig.surface.surface.bytes, before);
    EXPECT_EQ(rig.cursor.paints, 1);
}

}  // namespace
