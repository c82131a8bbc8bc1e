#pragma once
// Small helpers shared by the image operations (image/ops, image/win).
#include <cstdint>

#include "image/PxImage.h"

namespace pxops {

// A working image goes to the destination when one is given, else into the image.
inline bool Deliver(PxImage& self, PxImage& work, PxImage* dest) { return (dest ? *dest : self).Transfer(work); }

inline long Clamp(long v, long lo, long hi) { return v < lo ? lo : (v > hi ? hi : v); }

inline uint8_t ClampByte(long v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Float colour sums are truncated toward zero, but a value that float rounding
// left a hair below an integer (a uniform 100 summed to 99.99998) counts as that
// integer, so a uniform image stays uniform through every interpolation.
constexpr float kTruncSlack = 0.001f;
inline uint8_t TruncByte(float v) {
    v += kTruncSlack;
    if (!(v > 0.0f)) return 0;  // also NaN
    if (v >= 255.0f) return 255;
    return static_cast<uint8_t>(static_cast<int>(v));
}

// Largest width or height an operation asks Create for (Create takes 31 bits).
constexpr long kMaxSide = 0x7FFFFFFF;
inline bool SizeOk(long long w, long long h) { return w > 0 && h > 0 && w <= kMaxSide && h <= kMaxSide; }

// Progress in 0..100 for row `done` of `total`, never dividing by zero.
inline int32_t Percent(long long done, long long total) {
    if (total <= 0) return 0;
    return static_cast<int32_t>(done * 100 / total);
}

// The rectangle of pixels an operation visits: the selection box, clamped to the
// image, when the image has a mask; otherwise the whole image.
struct WorkArea {
    long left, bottom, right, top;
};
inline WorkArea GetWorkArea(const PxImage& image) {
    long w = static_cast<long>(image.GetWidth()), h = static_cast<long>(image.GetHeight());
    if (!image.SelectionIsValid()) return {0, 0, w, h};
    RECT box;
    image.SelectionGetBox(box);
    WorkArea a{Clamp(box.left, 0, w), Clamp(box.bottom, 0, h), Clamp(box.right, 0, w), Clamp(box.top, 0, h)};
    if (a.right < a.left) a.right = a.left;
    if (a.top < a.bottom) a.top = a.bottom;
    return a;
}

}  // namespace pxops
