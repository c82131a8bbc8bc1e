// The selection rectangle: first drag, edge bands, moving and resizing within bounds.
#include <gtest/gtest.h>

#include "editor/SelectionTracker.h"

namespace {

constexpr int kW = 800, kH = 600;

// A finished selection (left, top)-(right, bottom).
SelectionTracker Finished(int left, int top, int right, int bottom) {
    SelectionTracker t;
    t.Start(left, top);
    t.OnMouseMove(right, bottom, 0, 0, kW, kH);
    t.SetFinished(true);
    return t;
}

void ExpectRect(const SelectionTracker& t, int left, int top, int right, int bottom) {
    EXPECT_EQ(t.Left(), left);
    EXPECT_EQ(t.Top(), top);
    EXPECT_EQ(t.Right(), right);
    EXPECT_EQ(t.Bottom(), bottom);
}

}  // namespace

TEST(SelectionTracker, FirstDragBackwardsIsReadOrderedAndGrabsTheRightEdge) {
    SelectionTracker t;
    t.Start(300, 200);
    t.OnMouseMove(100, 50, 0, 0, kW, kH);
    EXPECT_EQ(t.m_x1, 300);   // the raw corners keep the drag's order
    EXPECT_EQ(t.m_x2, 100);
    ExpectRect(t, 100, 50, 300, 200);
    t.SetFinished(true);
    // Grab the left edge (x = 100, the second corner) and pull it further left.
    t.BeginResize(101, 120);
    EXPECT_EQ(t.GetEdges(), SelectionTracker::kEdgeLeft);
    t.OnMouseMove(81, 120, 0, 0, kW, kH);
    t.EndDrag();
    ExpectRect(t, 80, 50, 300, 200);
    EXPECT_EQ(t.GetMode(), 0);
}

TEST(SelectionTracker, EdgeBands) {
    struct Case {
        int x, y;
        uint8_t edges;
    } cases[] = {
        {100, 5, SelectionTracker::kEdgeLeft},     // far above, still on the left edge's line
        {96, 150, SelectionTracker::kEdgeLeft},
        {95, 150, 0},                              // the band is open: 5 px away is outside
        {204, 150, SelectionTracker::kEdgeRight},
        {202, 94, 0},                              // beside the right edge, more than 5 px above the top
        {202, 96, SelectionTracker::kEdgeRight | SelectionTracker::kEdgeTop},
        {500, 100, SelectionTracker::kEdgeTop},    // the top band runs across the screen
        {10, 203, SelectionTracker::kEdgeBottom},
        {100, 100, SelectionTracker::kEdgeLeft | SelectionTracker::kEdgeTop},
        {150, 150, 0},
    };
    SelectionTracker t = Finished(100, 100, 200, 200);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "point " << c.x << "," << c.y);
        EXPECT_EQ(t.HitEdges(c.x, c.y), c.edges != 0);
        EXPECT_EQ(t.GetEdges(), c.edges);
    }
}

TEST(SelectionTracker, InnerAreaIsClosedFivePixelsInside) {
    SelectionTracker t = Finished(100, 100, 200, 200);
    EXPECT_TRUE(t.IsInside(105, 105));
    EXPECT_TRUE(t.IsInside(195, 195));
    EXPECT_FALSE(t.IsInside(104, 150));
    EXPECT_FALSE(t.IsInside(150, 196));
}

TEST(SelectionTracker, CursorTestsAnswerForTheirBandsAndCollectFlags) {
    SelectionTracker t = Finished(100, 100, 200, 200);
    EXPECT_TRUE(t.HitTopRight(201, 99));
    EXPECT_FALSE(t.HitTopRight(201, 150));    // right band only
    EXPECT_TRUE(t.HitBottomRight(199, 204));
    EXPECT_TRUE(t.HitBottomLeft(98, 201));
    EXPECT_FALSE(t.HitBottomLeft(150, 201));  // bottom band only
    EXPECT_TRUE(t.HitLeft(103, 900));
    EXPECT_FALSE(t.HitRight(200, 300));       // the right band is limited in height
    EXPECT_TRUE(t.HitTop(700, 101));
    EXPECT_TRUE(t.HitBottom(0, 199));
    EXPECT_FALSE(t.HitBottom(0, 150));
}

TEST(SelectionTracker, MoveKeepsSizeAndStaysInsideBounds) {
    struct Case {
        const char* name;
        int toX, toY;
        int left, top;
    } cases[] = {
        {"plain", 170, 130, 120, 80},
        {"against the right and bottom bound", 5000, 5000, kW - 3 - 100, kH - 3 - 100},
        {"against the left and top bound", -500, -500, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SelectionTracker t = Finished(100, 100, 200, 200);
        t.BeginMove(150, 150);
        t.OnMouseMove(c.toX, c.toY, 0, 0, kW, kH);
        ExpectRect(t, c.left, c.top, c.left + 100, c.top + 100);
    }
}

TEST(SelectionTracker, MovingASelectionWiderThanTheBoundsKeepsItAtTheLeftBound) {
    SelectionTracker t = Finished(0, 0, kW, kH);
    t.BeginMove(400, 300);
    t.OnMouseMove(390, 290, 0, 0, kW, kH);
    ExpectRect(t, 0, 0, kW, kH);
    t.OnMouseMove(600, 500, 0, 0, kW, kH);
    EXPECT_EQ(t.Left(), 0);
    EXPECT_EQ(t.Top(), 0);
}

TEST(SelectionTracker, ResizeAcrossTheOppositeEdgeSwapsAndContinues) {
    SelectionTracker t = Finished(100, 100, 200, 200);
    t.BeginResize(100, 150);
    ASSERT_EQ(t.GetEdges(), SelectionTracker::kEdgeLeft);
    t.OnMouseMove(250, 150, 0, 0, kW, kH);
    ExpectRect(t, 200, 100, 250, 200);
    EXPECT_EQ(t.GetEdges(), SelectionTracker::kEdgeRight);
    t.OnMouseMove(260, 150, 0, 0, kW, kH);   // no jump: now the right edge follows
    ExpectRect(t, 200, 100, 260, 200);
    // The bottom edge, dragged above the top, becomes the top.
    t.EndDrag();
    t.BeginResize(230, 200);
    t.OnMouseMove(230, 60, 0, 0, kW, kH);
    ExpectRect(t, 200, 60, 260, 100);
    EXPECT_EQ(t.GetEdges(), SelectionTracker::kEdgeTop);
}

TEST(SelectionTracker, ResizeClampsAtTheBoundsExactly) {
    SelectionTracker t = Finished(100, 100, 200, 200);
    t.BeginResize(200, 200);   // bottom-right corner: both flags
    t.OnMouseMove(5000, 5000, 0, 0, kW, kH);
    ExpectRect(t, 100, 100, kW, kH);
    t.EndDrag();
    t.BeginResize(100, 100);
    t.OnMouseMove(-50, -50, 0, 0, kW, kH);
    ExpectRect(t, 0, 0, kW, kH);
}

TEST(SelectionTracker, MoveThenResizeFromOutsideActsAsAMoveOnly) {
    SelectionTracker t = Finished(100, 100, 200, 200);
    t.BeginMove(400, 400);
    t.BeginResize(400, 400);   // no band under the point
    EXPECT_EQ(t.GetEdges(), 0);
    t.OnMouseMove(410, 420, 0, 0, kW, kH);
    ExpectRect(t, 110, 120, 210, 220);
}

TEST(SelectionTracker, NothingMovesWithoutADrag) {
    SelectionTracker t = Finished(100, 100, 200, 200);
    t.OnMouseMove(300, 300, 0, 0, kW, kH);
    ExpectRect(t, 100, 100, 200, 200);
}
