#include "core/CvxRect.h"

#include <cstddef>
#include <limits>

size_t FrameBytes(const CvxRect& rect) {
    int64_t width = int64_t(rect.right) - rect.left;
    int64_t height = int64_t(rect.bottom) - rect.top;
    if (width <= 0 || height <= 0) return 0;
    // Width and height each fit in 32 bits, so the product fits in 64.
    uint64_t bytes = uint64_t(width) * uint64_t(height) * 4u;
    if (bytes > std::numeric_limits<size_t>::max() / 2) return 0;
    return static_cast<size_t>(bytes);
}
