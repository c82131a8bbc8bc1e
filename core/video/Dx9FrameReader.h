#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "core/CvxRect.h"
#include "core/video/CursorComposer.h"

// The Direct3D 9 device as the front-buffer reader needs it. The Win32 reader wraps a
// real device and an off-screen system-memory surface; tests pass a fake surface.
class IFrontBufferSurface {
public:
    virtual ~IFrontBufferSurface() = default;
    // GetFrontBufferData into the off-screen surface.
    virtual bool CopyFrontBuffer() = 0;
    // Draws a monochrome cursor through the surface's DC, top-left corner at (x, y).
    virtual bool DrawMonochromeCursor(int x, int y) = 0;
    virtual bool Lock(uint8_t*& bits, int& pitch) = 0;
    virtual void Unlock() = 0;
};

// The frame handling of the Direct3D 9 front-buffer reader: copy the front buffer, draw
// the cursor, copy the area clipped to the display, bottom-up.
class Dx9FrameReader {
public:
    Dx9FrameReader(IFrontBufferSurface& surface, ICursorSource& cursor,
                   std::function<uint64_t()> clock, int displayWidth, int displayHeight,
                   const CvxRect& area, bool captureCursor);

    // Empty buffer when the front buffer could not be copied or locked.
    std::vector<uint8_t>& Read(std::vector<uint8_t>& buffer, uint64_t& time);

    const CvxRect& Area() const { return m_area; }

private:
    IFrontBufferSurface& m_surface;
    ICursorSource& m_cursor;
    std::function<uint64_t()> m_clock;
    int m_displayWidth;
    int m_displayHeight;
    CvxRect m_area;
    bool m_captureCursor;
};
