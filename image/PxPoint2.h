#pragma once

// A point with float coordinates, used by the geometric transforms.
class PxPoint2 {
public:
    PxPoint2() : x(0.0f), y(0.0f) {}
    PxPoint2(float px, float py) : x(px), y(py) {}

    float Distance(const PxPoint2& p) const;
    float Distance(float px, float py) const;

    float x;
    float y;
};
