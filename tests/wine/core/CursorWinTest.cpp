#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "core/Cvx.h"
#include "core/video/DX9Cursor.h"
#include "core/video/DX9ScreenCapture.h"
#include "TestWindow.h"

namespace {

bool HaveMesa() {
    return GetFileAttributesW(L"Z:\\usr\\lib\\i386-linux-gnu\\dri\\swrast_dri.so") != INVALID_FILE_ATTRIBUTES;
}

// Puts the pointer over a window of this process, where Wine reports a cursor.
void PointAt(int x, int y) {
    ASSERT_TRUE(SetCursorPos(x, y));
    TestWindow::Pump(300);
    CURSORINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetCursorInfo(&info));
    ASSERT_TRUE(info.flags & CURSOR_SHOWING) << "no cursor: the test would pass vacuously";
}

TEST(DX9Cursor, ComposesTheRealCursorIntoAFrameAtItsHotspot) {
    TestWindow window(500, 400, 120, 120);
    PointAt(540, 450);
    DX9Cursor cursor;
    CursorShot shot = cursor.Take();
    ASSERT_TRUE(shot.showing && shot.haveIcon && shot.havePosition);
    EXPECT_EQ(shot.x, 540);
    EXPECT_EQ(shot.y, 450);

    // A grey top-down frame of the whole screen with padded rows.
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN), pitch = (w + 8) * 4;
    std::vector<uint8_t> frame(size_t(pitch) * h, 0x80);
    const std::vector<uint8_t> before = frame;
    bool drawn = shot.monochrome ? false : cursor.Draw(frame.data(), w, h, pitch);
    if (shot.monochrome) GTEST_SKIP() << "Wine's arrow is monochrome here; it is drawn through a DC";
    ASSERT_TRUE(drawn);
    const int left = shot.x - shot.xHotspot, top = shot.y - shot.yHotspot;
    const int box = CursorBoxSize(shot.bitmapWidth, shot.bitmapHeight);
    int changed = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < pitch / 4; ++x) {
            size_t i = size_t(y) * pitch + size_t(x) * 4;
            if (memcmp(&frame[i], &before[i], 3) == 0) continue;
            ++changed;
            ASSERT_TRUE(x >= left && x < left + box && y >= top && y < top + box && x < w)
                << "changed outside the cursor box at " << x << "," << y;
        }
    EXPECT_GT(changed, 20);
}

TEST(DX9ScreenCapture, CursorOnlyWithTheOption) {
    if (!HaveMesa()) GTEST_SKIP() << "i386 Mesa is not installed: no Direct3D 9 device under Wine";
    ASSERT_TRUE(CvxInit());
    TestWindow window(300, 300, 100, 100);
    PointAt(330, 330);
    const CvxRect area{300, 300, 400, 400};
    DX9ScreenCapture plain(false, area);
    DX9ScreenCapture withCursor(true, area);
    std::vector<uint8_t> a, b;
    uint64_t time = 0;
    plain.Read(a, time);
    withCursor.Read(b, time);
    ASSERT_EQ(a.size(), 100u * 100 * 4);
    ASSERT_EQ(b.size(), a.size());
    int changed = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            if (FramePixel(a, 100, 100, x, y) != FramePixel(b, 100, 100, x, y)) {
                ++changed;
                ASSERT_TRUE(x >= 28 && y >= 28 && x < 30 + 64 && y < 30 + 64) << x << "," << y;
            }
    EXPECT_GT(changed, 20);
}

}  // namespace
