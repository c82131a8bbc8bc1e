#include <algorithm>
#include <cmath>

#include "image/PxPoint2.h"
#include "image/PxRect2.h"

float PxPoint2::Distance(const PxPoint2& p) const { return Distance(p.x, p.y); }

float PxPoint2::Distance(float px, float py) const {
    float dx = x - px;
    float dy = y - py;
    return std::sqrt(dx * dx + dy * dy);
}

PxPoint2 PxRect2::Center() const {
    return PxPoint2((botLeft.x + topRight.x) * 0.5f, (botLeft.y + topRight.y) * 0.5f);
}

PxRect2 PxRect2::CrossSection(const PxRect2& other) const {
    PxRect2 r;
    r.botLeft.x = std::max(botLeft.x, other.botLeft.x);
    r.botLeft.y = std::max(botLeft.y, other.botLeft.y);
    r.topRight.x = std::min(topRight.x, other.topRight.x);
    r.topRight.y = std::min(topRight.y, other.topRight.y);
    if (r.topRight.x >= r.botLeft.x && r.topRight.y >= r.botLeft.y) return r;
    return PxRect2();
}
