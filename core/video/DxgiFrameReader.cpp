#include "core/video/DxgiFrameReader.h"

#include "core/DXGIErrorName.h"
#include "core/video/DXGIException.h"
#include "core/video/FrameCopy.h"
#include "core/video/ThrottledLog.h"
#include "foundation/Log.h"

namespace {

constexpr int32_t kEPointer = int32_t(0x80004003u);

// The cursor lines would otherwise come once per recorded frame.
ThrottledLog& CursorLog() {
    static ThrottledLog log(2000);
    return log;
}

class FrameRelease {
public:
    explicit FrameRelease(IDesktopDuplication& duplication) : m_duplication(duplication) {}
    ~FrameRelease() { m_duplication.ReleaseFrame(); }
    FrameRelease(const FrameRelease&) = delete;
    FrameRelease& operator=(const FrameRelease&) = delete;

private:
    IDesktopDuplication& m_duplication;
};

class Unmapper {
public:
    explicit Unmapper(IDesktopDuplication& duplication) : m_duplication(duplication) {}
    ~Unmapper() { m_duplication.Unmap(); }
    Unmapper(const Unmapper&) = delete;
    Unmapper& operator=(const Unmapper&) = delete;

private:
    IDesktopDuplication& m_duplication;
};

}  // namespace

DxgiFrameReader::DxgiFrameReader(IDesktopDuplication& duplication, ICursorSource& cursor,
                                 std::function<uint64_t()> clock, int width, int height,
                                 const CvxRect& area, bool captureCursor)
    : m_duplication(duplication), m_cursor(cursor), m_clock(std::move(clock)), m_width(width),
      m_height(height), m_area(area), m_captureCursor(captureCursor) {
    if (m_area.IsAllZero()) m_area = CvxRect{0, 0, width, height};
}

std::vector<uint8_t>& DxgiFrameReader::Read(std::vector<uint8_t>& buffer, uint64_t& time) {
    const size_t bytes = FrameBytes(m_area);
    // A buffer of another size holds no earlier image of this area.
    bool holdsImage = buffer.size() == bytes && bytes != 0;
    if (!holdsImage) buffer.assign(bytes, 0);

    if (m_firstRead) {
        m_firstRead = false;
        if (m_timeoutMs != 0) m_duplication.Sleep(static_cast<unsigned>(m_timeoutMs));
    }
    int32_t hr = m_duplication.AcquireNextFrame(static_cast<unsigned>(m_timeoutMs));
    m_timeoutMs = m_nextTimeoutMs;
    if (hr == kDxgiErrorWaitTimeout) {
        // No new desktop image: the caller keeps what it has, or learns it has nothing.
        if (!holdsImage) buffer.clear();
        return buffer;
    }
    if (hr == kDxgiErrorAccessLost) throw core::video::DXGIAccessLostException();
    if (hr == kDxgiErrorInvalidCall) throw core::video::DXGIInvalidCallException();
    if (hr < 0) throw core::video::DXGIException(L"AcquireNextFrame", hr);

    time = m_clock();
    FrameRelease release(m_duplication);
    m_duplication.TakeFrame();

    CursorShot shot;
    bool composeLater = false;
    if (m_captureCursor) {
        shot = m_cursor.Take();
        if (shot.showing && shot.havePosition) {
            if (!shot.haveIcon) {
                CursorLog()("DXGIScreenCapture::Read: Failed to draw cursor\n");
            } else if (shot.monochrome) {
                m_duplication.DrawMonochromeCursor(shot.x - shot.xHotspot, shot.y - shot.yHotspot);
                CursorLog()("DXGIScreenCapture::Read: cursor drawn ok\n");
            } else {
                composeLater = true;
            }
        }
    }

    uint8_t* bits = nullptr;
    int pitch = 0;
    hr = m_duplication.Map(bits, pitch);
    if (hr < 0 || !bits) {
        if (hr >= 0) m_duplication.Unmap();
        Log("DXGIScreenCapture: Copy from CPU access texture to bitmap buffer\n");
        throw core::video::DXGIException(L"lImmediateContext->Map", hr < 0 ? hr : kEPointer);
    }
    Unmapper unmap(m_duplication);
    if (composeLater) {
        CursorLog()("DXGIScreenCapture::Read: Draw  DX9Cursor cursor\n");
        ComposeCursor(bits, m_width, m_height, pitch, shot, m_cursor);
    }
    CopyAreaBottomUp(bits, m_width, m_height, pitch, m_area, buffer.data());
    return buffer;
}
