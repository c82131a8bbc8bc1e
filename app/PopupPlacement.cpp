#include "app/PopupPlacement.h"

bool PointInRect(int px, int py, int x, int y, int width, int height) {
    return x <= px && px <= x + width && y <= py && py <= y + height;
}

namespace {

bool CornerInside(int x, int y, const PopupRect& r) {
    return r.left <= x && x <= r.right && r.top <= y && y <= r.bottom;
}

}  // namespace

bool RectsOverlap(const PopupRect& a, const PopupRect& b) {
    // A corner of A inside B.
    if (CornerInside(a.left, a.top, b) || CornerInside(a.right, a.top, b) || CornerInside(a.left, a.bottom, b) ||
        CornerInside(a.right, a.bottom, b)) {
        return true;
    }
    // A corner of B inside A.
    const int w = a.right - a.left, h = a.bottom - a.top;
    if (PointInRect(b.left, b.top, a.left, a.top, w, h) || PointInRect(b.right, b.top, a.left, a.top, w, h) ||
        PointInRect(b.left, b.bottom, a.left, a.top, w, h) || PointInRect(b.right, b.bottom, a.left, a.top, w, h)) {
        return true;
    }
    // B spans A vertically with its right edge inside A, or the other way round
    // (a cross shape has no corner inside the other rectangle).
    if (b.top < a.top && a.bottom < b.bottom && a.left < b.right && b.right < a.right) return true;
    if (a.top < b.top && b.bottom < a.bottom && b.left < a.right && a.right < b.right) return true;
    return false;
}

PopupPoint PlacePopupNearRect(int w, int h, const PopupRect& area, const PopupRect& bounds) {
    int x = area.left + (area.right - area.left) / 2 - w / 2 + 1;
    int y = area.bottom + 4;
    if (bounds.bottom < area.bottom + h + 4) {
        y = area.top - h - 4;
        if (y < bounds.top) {
            x -= 10;
            y = area.bottom - h - 4;
        }
    }
    // Near the right edge the panel's buttons would be off the screen.
    if (x > bounds.right - w) x = bounds.right - w;
    if (x < bounds.left) x = bounds.left;
    return {x, y};
}

float PopupOpacityNearRect(int w, int h, const PopupRect& area, const PopupRect& bounds) {
    PopupPoint p = PlacePopupNearRect(w, h, area, bounds);
    return RectsOverlap({p.x, p.y, p.x + w, p.y + h}, area) ? 0.5f : 1.0f;
}
