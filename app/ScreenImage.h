#pragma once
#include <cstdint>

#include "image/PxImage.h"

// The screen image made from a still capture: `bgrx` holds width x height 32-bit pixels
// (blue, green, red and a fourth byte that is no alpha channel), rows bottom-up as the
// capture core delivers them. The image is 24-bit without an alpha channel, so a saved
// picture is never transparent; made in one pass over the pixels. False, with the image
// empty and its error text set, when it cannot be created.
bool ScreenImageFromCapture(const uint8_t* bgrx, uint32_t width, uint32_t height, PxImage& image);
