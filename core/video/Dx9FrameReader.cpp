#include "core/video/Dx9FrameReader.h"

#include "core/video/FrameCopy.h"

Dx9FrameReader::Dx9FrameReader(IFrontBufferSurface& surface, ICursorSource& cursor,
                               std::function<uint64_t()> clock, int displayWidth,
                               int displayHeight, const CvxRect& area, bool captureCursor)
    : m_surface(surface), m_cursor(cursor), m_clock(std::move(clock)),
      m_displayWidth(displayWidth), m_displayHeight(displayHeight), m_area(area),
      m_captureCursor(captureCursor) {
    if (m_area.IsAllZero()) m_area = CvxRect{0, 0, displayWidth, displayHeight};
}

std::vector<uint8_t>& Dx9FrameReader::Read(std::vector<uint8_t>& buffer, uint64_t& time) {
    buffer.assign(FrameBytes(m_area), 0);
    if (buffer.empty() || !m_surface.CopyFrontBuffer()) {
        buffer.clear();
        return buffer;
    }
    time = m_clock();

    CursorShot shot;
    bool composeLater = false;
    if (m_captureCursor) {
        shot = m_cursor.Take();
        if (shot.showing && shot.haveIcon && shot.havePosition) {
            if (shot.monochrome)
                m_surface.DrawMonochromeCursor(shot.x - shot.xHotspot, shot.y - shot.yHotspot);
            else
                composeLater = true;
        }
    }

    uint8_t* bits = nullptr;
    int pitch = 0;
    if (!m_surface.Lock(bits, pitch)) {
        buffer.clear();
        return buffer;
    }
    if (!bits) {
        m_surface.Unlock();
        buffer.clear();
        return buffer;
    }
    if (composeLater) ComposeCursor(bits, m_displayWidth, m_displayHeight, pitch, shot, m_cursor);
    CopyAreaBottomUp(bits, m_displayWidth, m_displayHeight, pitch, m_area, buffer.data());
    m_surface.Unlock();
    return buffer;
}
