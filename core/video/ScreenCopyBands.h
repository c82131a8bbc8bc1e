#pragma once
#include <cstddef>

// The GDI reader copies the screen in horizontal bands rather than in one BitBlt: under
// Wine a single read of a large area (a whole 1920x1080 screen) takes a slow path of the
// X11 driver, 100 to 300 ms, while the same area in bands of 1 MB is read in about 4 ms.
// Windows copies either way at the same speed.
constexpr size_t kScreenCopyBandBytes = size_t(1) << 20;

// Rows per band for an area `width` pixels wide (32-bit pixels): as many as fit in
// kScreenCopyBandBytes, and at least one.
int ScreenCopyBandRows(int width);
