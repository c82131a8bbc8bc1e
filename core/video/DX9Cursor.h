#pragma once
// Windows only.
#include <windows.h>

#include <cstdint>

#include "core/video/CursorComposer.h"
#include "foundation/WinHandles.h"

// The mouse cursor for the screen readers: takes the cursor's state and a copy of its
// image, draws the copy through a DC (monochrome cursors, GDI frames) or composes it
// into 32-bit pixels (colour cursors on Direct3D surfaces). The copy and its bitmaps are
// kept until the next Take or the destructor. One thread.
class DX9Cursor : public ICursorSource {
public:
    DX9Cursor() = default;
    ~DX9Cursor() override = default;
    DX9Cursor(const DX9Cursor&) = delete;
    DX9Cursor& operator=(const DX9Cursor&) = delete;

    CursorShot Take() override;
    bool PaintOver(uint8_t* bottomUpPixels, int size) override;
    // Draws the cursor of the last Take with its top-left corner at (x, y).
    bool DrawOnDc(HDC dc, int x, int y) const;
    // Takes the cursor and composes it into a top-down 32-bit frame in surface
    // coordinates, clipped to the frame. True when something was drawn.
    bool Draw(uint8_t* frame, int width, int height, int pitch);

private:
    void Free();

    UniqueIcon m_copy;
    UniqueBitmap m_colour;   // the copy's bitmaps, which GetIconInfo hands to the caller
    UniqueBitmap m_mask;
};
