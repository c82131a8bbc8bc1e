#pragma once
#include <cstddef>
#include <cstdint>

// A screen rectangle in pixels, right and bottom exclusive, laid out like the Win32
// RECT so that the capture core's portable logic can work without <windows.h>.
struct CvxRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    // The all-zero rectangle asks a reader for its whole capture surface.
    bool IsAllZero() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    bool operator==(const CvxRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const CvxRect& o) const { return !(*this == o); }
};

// Bytes of a 32-bit frame of that rectangle, or 0 when the rectangle is empty or the
// size would not fit in memory.
size_t FrameBytes(const CvxRect& rect);
