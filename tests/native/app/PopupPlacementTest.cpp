#include <gtest/gtest.h>

#include "app/PopupPlacement.h"

namespace {

const PopupRect kScreen = {0, 0, 1920, 1080};
constexpr int kW = 280, kH = 40;   // the recording control panel

TEST(PopupPlacementTest, PlacementAndOpacityTable) {
    struct Case {
        const char* name;
        PopupRect area;
        PopupRect bounds;
        int x, y;
        float opacity;
    };
    const Case cases[] = {
        // 1000 - 600 = 400 wide: centre 800, minus 140, plus 1; 4 px below the bottom.
        {"room below: centred 4 px under", {600, 200, 1000, 500}, kScreen, 661, 504, 1.0f},
        // Exactly h + 4 left below: still below.
        {"bottom edge case still below", {600, 200, 1000, 1036}, kScreen, 661, 1040, 1.0f},
        // One pixel less: above the area.
        {"no room below: 4 px above", {600, 200, 1000, 1037}, kScreen, 661, 156, 1.0f},
        // Whole screen: inside, 10 px left of centre, 4 px above the bottom, half transparent.
        {"full screen: inside the area", {0, 0, 1920, 1080}, kScreen, 960 - 140 + 1 - 10, 1080 - 40 - 4, 0.5f},
        // Narrow area at the left edge: pushed to bounds.left.
        {"narrow area at left edge", {0, 100, 100, 300}, kScreen, 0, 304, 1.0f},
        {"bounds not at origin", {1930, 100, 1950, 300}, {1920, 0, 3840, 1080}, 1920, 304, 1.0f},
        // Near the right edge the panel is pulled back inside the screen.
        {"narrow area at right edge", {1880, 100, 1920, 300}, kScreen, 1920 - kW, 304, 1.0f},
        // Odd sizes: halves truncate toward zero ((401)/2 = 200, 281/2 = 140 for w = 281 below).
        {"odd width", {600, 200, 1001, 500}, kScreen, 600 + 200 - 140 + 1, 504, 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PopupPoint p = PlacePopupNearRect(kW, kH, c.area, c.bounds);
        EXPECT_EQ(p.x, c.x);
        EXPECT_EQ(p.y, c.y);
        EXPECT_EQ(PopupOpacityNearRect(kW, kH, c.area, c.bounds), c.opacity);
    }
}

TEST(PopupPlacementTest, PopupWiderThanBoundsStartsAtLeftEdge) {
    PopupPoint p = PlacePopupNearRect(500, 40, {10, 10, 50, 50}, {100, 0, 400, 1000});
    EXPECT_EQ(p.x, 100);
}

TEST(PopupPlacementTest, PopupTouchingAreaCountsAsOverlapping) {
    // Directly below with no gap: y = area.bottom.
    EXPECT_TRUE(RectsOverlap({100, 200, 380, 240}, {100, 100, 400, 200}));
    EXPECT_FALSE(RectsOverlap({100, 201, 380, 241}, {100, 100, 400, 200}));
}

TEST(PopupPlacementTest, RectsOverlapCases) {
    struct Case {
        const char* name;
        PopupRect a, b;
        bool overlap;
    };
    const Case cases[] = {
        {"separate", {0, 0, 10, 10}, {20, 20, 30, 30}, false},
        {"A corner in B", {5, 5, 15, 15}, {0, 0, 10, 10}, true},
        {"B inside A", {0, 0, 100, 100}, {10, 10, 20, 20}, true},
        {"A inside B", {10, 10, 20, 20}, {0, 0, 100, 100}, true},
        {"touching corners", {0, 0, 10, 10}, {10, 10, 20, 20}, true},
        // Crosses: no corner of either lies in the other.
        {"cross, B tall and its right edge inside A", {0, 10, 100, 20}, {40, 0, 60, 30}, true},
        {"cross, A tall and its right edge inside B", {40, 0, 60, 30}, {0, 10, 100, 20}, true},
        {"side by side, no touch", {0, 0, 10, 10}, {11, 0, 20, 10}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RectsOverlap(c.a, c.b), c.overlap);
    }
}

TEST(PopupPlacementTest, PointInRectIncludesEdges) {
    EXPECT_TRUE(PointInRect(0, 0, 0, 0, 10, 10));
    EXPECT_TRUE(PointInRect(10, 10, 0, 0, 10, 10));
    EXPECT_FALSE(PointInRect(11, 10, 0, 0, 10, 10));
    EXPECT_FALSE(PointInRect(5, -1, 0, 0, 10, 10));
}

}  // namespace
