#include "core/FrameCheck.h"

#include <algorithm>

bool _is_black_frame(const std::vector<uint8_t>& buffer, const CvxRect& rect) {
    size_t bytes = std::min(FrameBytes(rect), buffer.size() / 4 * 4);
    const uint8_t* p = buffer.data();
    for (size_t offset = 0; offset < bytes; offset += 4)
        if (p[offset] | p[offset + 1] | p[offset + 2]) return true;
    return false;
}
