#pragma once
#include "image/PxPoint2.h"

// A float rectangle: lower-left corner (minimum x and y), then upper-right corner.
class PxRect2 {
public:
    PxRect2() = default;
    PxRect2(float left, float bottom, float right, float top) : botLeft(left, bottom), topRight(right, top) {}

    float Width() const { return topRight.x - botLeft.x; }
    float Height() const { return topRight.y - botLeft.y; }
    float Surface() const { return Width() * Height(); }
    PxPoint2 Center() const;
    // The intersection, or (0, 0, 0, 0) when the rectangles do not meet.
    PxRect2 CrossSection(const PxRect2& other) const;

    PxPoint2 botLeft;
    PxPoint2 topRight;
};
