#include <gtest/gtest.h>

#include <windows.h>

#include "core/Cvx.h"
#include "TestWindow.h"

namespace {

class StillScreenshot : public testing::Test {
protected:
    static void SetUpTestSuite() { CvxInit(); }
};

TEST_F(StillScreenshot, VirtualScreenShowsTheTestWindowBottomUpAndOpaque) {
    TestWindow window(120, 90, 200, 160);
    ASSERT_NE(window.Handle(), nullptr);
    RECT screen = CvxGetVirtualScreenRect();
    const int width = screen.right - screen.left, height = screen.bottom - screen.top;
    ASSERT_EQ(width, GetSystemMetrics(SM_CXSCREEN));
    ASSERT_EQ(height, GetSystemMetrics(SM_CYSCREEN));

    uint64_t time = 0;
    const std::vector<uint8_t>& frame = CvxGetScreenshot(false, time, RECT{0, 0, 0, 0});
    ASSERT_EQ(frame.size(), size_t(width) * height * 4);
    EXPECT_NE(time, 0u);
    struct Probe {
        const char* name;
        int x, y;
        COLORREF colour;
    };
    const Probe kProbes[] = {
        {"top-left quadrant", 120 + 50, 90 + 40, TestWindow::kTopLeft},
        {"top-right quadrant", 120 + 150, 90 + 40, TestWindow::kTopRight},
        {"bottom-left quadrant", 120 + 50, 90 + 120, TestWindow::kBottomLeft},
        {"bottom-right quadrant", 120 + 150, 90 + 120, TestWindow::kBottomRight},
        {"first pixel of the window", 120, 90, TestWindow::kTopLeft},
        {"last pixel of the window", 319, 249, TestWindow::kBottomRight},
    };
    for (const Probe& p : kProbes) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(FramePixel(frame, width, height, p.x - screen.left, p.y - screen.top), p.colour);
    }
    // Just outside the window it is not the window's colour.
    EXPECT_NE(FramePixel(frame, width, height, 119, 90), TestWindow::kTopLeft);
    EXPECT_NE(FramePixel(frame, width, height, 320, 249), TestWindow::kBottomRight);
    for (size_t i = 3; i < frame.size(); i += 4) ASSERT_EQ(frame[i], 255) << "pixel " << i / 4;
}

TEST_F(StillScreenshot, AreaIsExactlyTheWindow) {
    TestWindow window(300, 200, 64, 48);
    uint64_t time = 0;
    std::vector<uint8_t> frame = CvxGetScreenshot(false, time, RECT{300, 200, 364, 248});
    ASSERT_EQ(frame.size(), 64u * 48 * 4);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            COLORREF expected = y < 24 ? (x < 32 ? TestWindow::kTopLeft : TestWindow::kTopRight)
                                       : (x < 32 ? TestWindow::kBottomLeft : TestWindow::kBottomRight);
            ASSERT_EQ(FramePixel(frame, 64, 48, x, y), expected) << x << "," << y;
            ASSERT_EQ(FrameFourthByte(frame, 64, 48, x, y), 255);
        }
}

TEST_F(StillScreenshot, CursorIsDrawnOnlyWithTheOption) {
    TestWindow window(400, 300, 160, 160);
    // Wine reports a cursor only while the pointer is over one of its windows.
    const int px = 400 + 30, py = 300 + 30;  // inside the red quadrant
    ASSERT_TRUE(SetCursorPos(px, py));
    TestWindow::Pump(300);
    CURSORINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetCursorInfo(&info));
    ASSERT_TRUE(info.flags & CURSOR_SHOWING) << "no cursor: the test would pass vacuously";
    ASSERT_NE(info.hCursor, nullptr);

    // The red quadrant is 80 x 80 from (400, 300); the arrow is drawn from the hotspot.
    const RECT area{400, 300, 480, 380};
    uint64_t time = 0;
    std::vector<uint8_t> without = CvxGetScreenshot(false, time, area);
    std::vector<uint8_t> with = CvxGetScreenshot(true, time, area);
    ASSERT_EQ(without.size(), 80u * 80 * 4);
    ASSERT_EQ(with.size(), without.size());
    int changed = 0, changedOutsideBox = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 80; ++x) {
            ASSERT_EQ(FramePixel(without, 80, 80, x, y), TestWindow::kTopLeft) << x << "," << y;
            if (FramePixel(with, 80, 80, x, y) != TestWindow::kTopLeft) {
                ++changed;
                // The arrow's hotspot is its tip: everything drawn lies right of and
                // below the pointer, within a cursor's size.
                if (x < 30 - 2 || y < 30 - 2 || x >= 30 + 48 || y >= 30 + 48) ++changedOutsideBox;
            }
        }
    EXPECT_GT(changed, 20) << "the cursor's pixels are drawn in";
    EXPECT_EQ(changedOutsideBox, 0);
    // The pixel under the hotspot is part of the arrow.
    EXPECT_NE(FramePixel(with, 80, 80, 30, 30), TestWindow::kTopLeft);
}

}  // namespace
