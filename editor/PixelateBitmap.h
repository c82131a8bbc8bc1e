#pragma once
#include <cstdint>

#ifdef _WIN32
#include <windows.h>   // the drawing calls of the *_win.cpp files
#endif

#include "image/PxCompat.h"

// Pixelates a 32-bit bottom-up BGRX buffer in place: passes of 8-, 4- and 2-px blocks,
// each on the previous pass's result; blocks start at b/2 and leave the last column and
// row alone, so the edges keep finer detail. Byte 3 is never changed.
void PixelatePixels(uint8_t* pixels, int width, int height);
// One pass of b x b blocks.
void PixelatePass(uint8_t* pixels, int width, int height, int block);

#ifdef _WIN32
// The same on a bitmap, in place. False when the bitmap cannot be read or written.
bool PixelateBitmap(HBITMAP bitmap);
#endif
