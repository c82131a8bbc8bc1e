#pragma once
#include <cstdint>
#include <vector>

#include "core/CvxRect.h"

// True when the 32-bit frame of `rect` has content: some pixel, the last one included,
// has a non-zero blue, green or red byte. The fourth byte is ignored, because Direct3D
// delivers a black desktop as B=G=R=0 with 255 there. Only whole pixels inside both the
// buffer and the rectangle's size are examined; an empty frame is black.
bool _is_black_frame(const std::vector<uint8_t>& buffer, const CvxRect& rect);
