#pragma once

// Placement of a small floating window (the recording control panel, the editor's tool
// panels) next to a rectangle on the screen. Pure integer geometry: right and bottom
// are the first coordinates outside a rectangle; halves truncate toward zero.

struct PopupPoint {
    int x;
    int y;
};

struct PopupRect {
    int left;
    int top;
    int right;
    int bottom;
};

// x <= px <= x + width and y <= py <= y + height: edges included.
bool PointInRect(int px, int py, int x, int y, int width, int height);

// Whether A and B share any point; touching rectangles overlap.
bool RectsOverlap(const PopupRect& a, const PopupRect& b);

// Top-left of a w x h popup: centred 4 px below `area`; 4 px above it when it would
// leave `bounds` below; inside the area (10 px left of centre, 4 px above its bottom)
// when it would leave `bounds` above as well. Then kept inside `bounds` horizontally:
// first pulled left so that its right edge is inside, then pushed right to the left
// edge (a popup wider than the bounds starts at bounds.left).
PopupPoint PlacePopupNearRect(int w, int h, const PopupRect& area, const PopupRect& bounds);

// 0.5 when the popup placed by PlacePopupNearRect overlaps `area`, else 1.0.
float PopupOpacityNearRect(int w, int h, const PopupRect& area, const PopupRect& bounds);
