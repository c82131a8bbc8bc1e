#pragma once
// Windows only: the pixels of a bitmap as a 32-bit bottom-up DIB.
#include <windows.h>

#include <cstdint>
#include <vector>

// Copies the bitmap into `pixels` (width * height * 4 bytes, BGRX, bottom row first)
// and fills `info` (header only: size 40, the width, the positive height, 1 plane,
// 32 bits, BI_RGB, the image size; every other byte zero). False, with the outputs
// cleared, when the bitmap cannot be read or is too large to hold.
bool GetBitmapBits32(HBITMAP bitmap, int& width, int& height, std::vector<uint8_t>& pixels,
                     BITMAPINFO& info);
