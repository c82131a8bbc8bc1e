// What lines, arrows and rectangles ask of graphin, and the frame's and label's
// geometry.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "RecordingGraphin.h"
#include "editor/DrawArrowCommand.h"
#include "editor/DrawLineCommand.h"
#include "editor/DrawRectCommand.h"
#include "editor/DrawSelectionCommand.h"
#include "editor/DrawSelectionSizeCommand.h"

using recording::g_calls;

namespace {

HDC const kDc = reinterpret_cast<HDC>(0x77);
const COLORREF kRed = RGB(255, 0, 0);

}  // namespace

TEST(DrawArrowCommand, WorkedExampleCallSequence) {
    recording::Scope scope;
    DrawArrowCommand(100, 100, 200, 100, 6, RGB(255, 0, 0)).Draw(kDc);
    // Origin (88, 88): shaft (100, 100)-(180.421, 100), head (182, 109), (200, 100), (182, 91).
    std::vector<std::string> expected = {
        "CreateImage 124 24",
        "CreateGraphics",
        "LineWidth 6.000",
        "LineColor ffff0000",
        "Line 12.000 12.000 92.421 12.000",
        "LineWidth 6.000",
        "LineColor 00ff0000",
        "FillColor ffff0000",
        "Triangle 94.000 21.000 112.000 12.000 94.000 3.000",
        "LineColor ff000000",
        "Blit 119 88 88 0 0 124 24 1",
        "ReleaseGraphics",
        "ReleaseImage",
    };
    EXPECT_EQ(g_calls, expected);
}

TEST(DrawArrowCommand, HeadOfAWidthSevenArrow) {
    DrawArrowCommand::Geometry geo = DrawArrowCommand(100, 100, 200, 100, 7, kRed).ComputeGeometry();
    // H = 10.5, margin h + ceil(H) = 3 + 11.
    EXPECT_EQ(geo.originX, 86);
    EXPECT_EQ(geo.originY, 86);
    EXPECT_EQ(geo.width, 100 + 6 + 21);
    EXPECT_EQ(geo.height, 6 + 21);
    EXPECT_DOUBLE_EQ(geo.head[1].x - geo.head[0].x, 21.0);        // 21 long
    EXPECT_DOUBLE_EQ(geo.head[0].y - geo.head[2].y, 21.0);        // 21 wide
}

TEST(DrawArrowCommand, DirectionsFollowTheTip) {
    struct Case {
        int x1, y1, x2, y2;
    } cases[] = {{100, 100, 100, 200}, {100, 200, 100, 100}, {200, 100, 100, 100}, {100, 100, 160, 180}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x1 << "," << c.y1 << " -> " << c.x2 << "," << c.y2);
        DrawArrowCommand::Geometry geo = DrawArrowCommand(c.x1, c.y1, c.x2, c.y2, 4, kRed).ComputeGeometry();
        double tipX = c.x2 - geo.originX, tipY = c.y2 - geo.originY;
        EXPECT_DOUBLE_EQ(geo.head[1].x, tipX);
        EXPECT_DOUBLE_EQ(geo.head[1].y, tipY);
        // The head's base centre lies 3w back along the shaft, towards the tail.
        double baseX = (geo.head[0].x + geo.head[2].x) / 2, baseY = (geo.head[0].y + geo.head[2].y) / 2;
        double len = std::hypot(c.x2 - c.x1, c.y2 - c.y1);
        EXPECT_NEAR(baseX, tipX - 12.0 * (c.x2 - c.x1) / len, 0.01);
        EXPECT_NEAR(baseY, tipY - 12.0 * (c.y2 - c.y1) / len, 0.01);
        // Every point lies inside the image.
        for (const auto& p : geo.head) {
            EXPECT_GE(p.x, 0);
            EXPECT_GE(p.y, 0);
            EXPECT_LE(p.x, geo.width);
            EXPECT_LE(p.y, geo.height);
        }
    }
}

TEST(DrawArrowCommand, DegenerateArrowsNeverPassNaN) {
    {
        recording::Scope scope;
        DrawArrowCommand(50, 50, 50, 50, 6, kRed).Draw(kDc);   // no direction
        EXPECT_TRUE(g_calls.empty());
    }
    {
        recording::Scope scope;
        DrawArrowCommand(100, 100, 118, 100, 6, kRed).Draw(kDc);   // exactly 3w long: no shaft left
        EXPECT_TRUE(recording::g_allFinite);
        int lines = 0, triangles = 0;
        for (const auto& call : g_calls) {
            lines += call.rfind("Line ", 0) == 0;
            triangles += call.rfind("Triangle", 0) == 0;
        }
        EXPECT_EQ(lines, 0);
        EXPECT_EQ(triangles, 1);
    }
}

TEST(DrawLineCommand, BoxGrowsByHalfTheWidth) {
    recording::Scope scope;
    DrawLineCommand(10, 20, 30, 5, 7, RGB(0, 128, 255)).Draw(kDc);
    std::vector<std::string> expected = {
        "CreateImage 26 21", "CreateGraphics", "LineWidth 7.000", "LineColor ff0080ff",
        "Line 3.000 18.000 23.000 3.000", "Blit 119 7 2 0 0 26 21 1", "ReleaseGraphics", "ReleaseImage",
    };
    EXPECT_EQ(g_calls, expected);
}

TEST(DrawLineCommand, AThinStraightLineStillGetsAnImage) {
    recording::Scope scope;
    DrawLineCommand(10, 20, 30, 20, 1, kRed).Draw(kDc);
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls[0], "CreateImage 22 2");
}

TEST(DrawRectCommand, FourSidesInOrder) {
    recording::Scope scope;
    DrawRectCommand(10, 50, 20, 40, 2, kRed).Draw(kDc);
    std::vector<std::string> blits;
    for (const auto& call : g_calls) {
        if (call.rfind("Blit", 0) == 0) blits.push_back(call);
    }
    std::vector<std::string> expected = {
        "Blit 119 9 19 0 0 2 22 1",    // left side
        "Blit 119 9 19 0 0 42 2 1",    // top
        "Blit 119 9 39 0 0 42 2 1",    // bottom
        "Blit 119 49 19 0 0 2 22 1",   // right side
    };
    EXPECT_EQ(blits, expected);
}

TEST(DrawCommands, NothingIsDrawnWithoutGraphin) {
    SetGraphinForTesting(nullptr);   // natively there is no graphin.dll
    g_calls.clear();
    DrawLineCommand(0, 0, 10, 10, 3, kRed).Draw(kDc);
    DrawArrowCommand(0, 0, 10, 10, 3, kRed).Draw(kDc);
    EXPECT_TRUE(g_calls.empty());
}

TEST(DrawSelectionCommand, HandlesOnCornersAndMidpoints) {
    DrawSelectionCommand frame(10, 20, 101, 51, true);
    const long expected[8][2] = {{10, 20}, {60, 20}, {111, 20}, {111, 45}, {111, 71}, {60, 71}, {10, 71}, {10, 45}};
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        const RECT& r = frame.m_handles[i];
        EXPECT_EQ(r.left, expected[i][0] - 3);
        EXPECT_EQ(r.top, expected[i][1] - 3);
        EXPECT_EQ(r.right - r.left, 6);
        EXPECT_EQ(r.bottom - r.top, 6);
    }
}

TEST(DrawSelectionSizeCommand, LabelText) {
    EXPECT_EQ(DrawSelectionSizeCommand(0, 0, 640, 480).Text(), L" 640x480 ");
    EXPECT_EQ(DrawSelectionSizeCommand(0, 0, 0, 7).Text(), L" 0x7 ");
}
