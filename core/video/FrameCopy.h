#pragma once
#include <cstdint>

#include "core/CvxRect.h"

// Copies `area` of a top-down 32-bit surface (`pitch` bytes per row) into `dest`, which
// holds area width x height x 4 bytes, bottom row first. Whatever part of the area lies
// outside the surface becomes zero bytes: the area may be larger than the display or
// have negative coordinates, and no byte outside the surface is read.
void CopyAreaBottomUp(const uint8_t* surface, int surfaceWidth, int surfaceHeight, int pitch,
                      const CvxRect& area, uint8_t* dest);
