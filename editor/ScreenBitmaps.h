#pragma once
// The region editor's two pictures made from the frozen screen besides the screen
// itself: the dimmed screen it shows (every pixel grey by the image library's weights,
// then 46 levels darker) and the pixelated screen of the Blur tool. Both are made in one
// pass over the screen's 24-bit rows, without a copy of the screen in between.
#include <cstddef>
#include <cstdint>
#ifdef _WIN32
#include <windows.h>

#include "foundation/WinHandles.h"
#endif

// The grey level of a pixel, as PxImage::GrayScale makes it.
inline uint8_t GreyLevel(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<uint8_t>((red * 306 + green * 601 + blue * 117) >> 10);
}
// The dimmed grey shown for each grey level (PxImage::Light(-46, 0) on grey).
void DimmedGreyTable(uint8_t table[256]);
// The grey levels of `count` pixels of a 24-bit row (blue, green, red).
void GreyLevelRow(const uint8_t* bgr, size_t count, uint8_t* levels);
// A 24-bit row as 32-bit pixels (blue, green, red, 0).
void BgrRowToBgrx(const uint8_t* bgr, size_t count, uint8_t* bgrx);

// The rows of a 24-bit picture in memory, the bottom row first.
struct Rgb24Rows {
    const uint8_t* bits = nullptr;
    int width = 0, height = 0;
    size_t stride = 0;   // bytes from one row to the next
    const uint8_t* Row(int fromBottom) const { return bits + stride * static_cast<size_t>(fromBottom); }
};

#ifdef _WIN32
// The rows of a bottom-up 24-bit DIB section; false for any other bitmap.
bool ReadRgb24Rows(HBITMAP bitmap, Rgb24Rows& rows);
// The dimmed screen: an 8-bit DIB section of grey levels whose palette holds the dimmed
// greys, so that drawing it shows what the grey, darkened copy of the screen shows.
UniqueBitmap MakeDimmedBitmap(const Rgb24Rows& screen);
// The Blur tool's picture: a 32-bit bottom-up DIB section of the screen, pixelated
// (PixelatePixels). Any thread: it only reads the rows.
UniqueBitmap MakePixelatedBitmap(const Rgb24Rows& screen);
#endif
