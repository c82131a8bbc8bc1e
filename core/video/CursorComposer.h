#pragma once
#include <cstdint>

#include "core/CvxRect.h"

// The cursor as the readers see it at one moment.
struct CursorShot {
    bool showing = false;       // GetCursorInfo worked and the cursor is showing
    bool haveIcon = false;      // its icon information could be read
    bool monochrome = false;    // no colour bitmap (drawn through a DC instead)
    bool havePosition = false;  // GetCursorPos worked
    int x = 0;                  // hotspot position in surface coordinates
    int y = 0;
    int xHotspot = 0;
    int yHotspot = 0;
    int bitmapWidth = 0;        // the colour bitmap's size
    int bitmapHeight = 0;
};

// Draws the cursor image over a square bottom-up 32-bit bitmap whose top-left pixel
// lies under the cursor's top-left corner (hotspot subtracted).
class ICursorImage {
public:
    virtual ~ICursorImage() = default;
    virtual bool PaintOver(uint8_t* bottomUpPixels, int size) = 0;
};

// The cursor at the moment of a read: its state, and the colour image for composing.
// Take replaces the image kept from the previous Take.
class ICursorSource : public ICursorImage {
public:
    virtual CursorShot Take() = 0;
};

// Side of the square the cursor is composed in: the larger bitmap side raised to the
// first of 16, 32, 48, 64, 72, 96, 128, 256 strictly above it (a 32-pixel cursor gets
// 48); larger bitmaps keep their size, up to kMaxCursorBox.
constexpr int kMaxCursorBox = 1024;
int CursorBoxSize(int bitmapWidth, int bitmapHeight);

// The box in surface coordinates: top-left at the position minus the hotspot.
CvxRect CursorBox(const CursorShot& shot);

// Copies the surface pixels under `box` into a size x size bottom-up bitmap; pixels of
// the box outside the surface become 0.
void ReadCursorBox(const uint8_t* frame, int width, int height, int pitch, const CvxRect& box,
                   uint8_t* bottomUpPixels);
// Writes the part of the bitmap that lies inside the surface back; nothing outside the
// surface's rows and columns is touched.
void WriteCursorBox(uint8_t* frame, int width, int height, int pitch, const CvxRect& box,
                    const uint8_t* bottomUpPixels);

// Composes a colour cursor into a top-down surface: reads the box, lets `image` paint
// over it, writes it back clipped on all four sides. False when nothing was drawn.
bool ComposeCursor(uint8_t* frame, int width, int height, int pitch, const CursorShot& shot,
                   ICursorImage& image, CvxRect* drawnBox = nullptr);
