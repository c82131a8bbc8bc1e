#include "core/video/FrameCopy.h"

#include <algorithm>
#include <cstring>

void CopyAreaBottomUp(const uint8_t* surface, int surfaceWidth, int surfaceHeight, int pitch,
                      const CvxRect& area, uint8_t* dest) {
    const int64_t width = int64_t(area.right) - area.left;
    const int64_t height = int64_t(area.bottom) - area.top;
    if (width <= 0 || height <= 0) return;
    const size_t rowBytes = size_t(width) * 4;
    // A pitch narrower than the width means fewer readable pixels per row.
    const int64_t readableWidth = pitch > 0 ? std::min<int64_t>(surfaceWidth, pitch / 4) : 0;
    const int64_t x0 = std::max<int64_t>(area.left, 0);
    const int64_t x1 = std::min<int64_t>(area.right, readableWidth);
    for (int64_t i = 0; i < height; ++i) {
        uint8_t* row = dest + size_t(height - 1 - i) * rowBytes;
        const int64_t y = int64_t(area.top) + i;
        if (!surface || y < 0 || y >= surfaceHeight || x0 >= x1) {
            std::memset(row, 0, rowBytes);
            continue;
        }
        const size_t before = size_t(x0 - area.left) * 4;
        const size_t inside = size_t(x1 - x0) * 4;
        std::memset(row, 0, before);
        std::memcpy(row + before, surface + size_t(y) * size_t(pitch) + size_t(x0) * 4, inside);
        std::memset(row + before + inside, 0, rowBytes - before - inside);
    }
}
