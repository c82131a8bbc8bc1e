#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "core/CvxRect.h"
#include "core/video/CursorComposer.h"

// DXGI desktop duplication as the reader needs it. The Win32 reader wraps a D3D11 device,
// the duplication and its three textures; tests pass a fake.
class IDesktopDuplication {
public:
    virtual ~IDesktopDuplication() = default;
    // IDXGIOutputDuplication::AcquireNextFrame; the HRESULT.
    virtual int32_t AcquireNextFrame(unsigned timeoutMs) = 0;
    virtual void ReleaseFrame() = 0;
    // Takes the acquired image and copies it into the GDI-compatible texture; throws
    // core::video exceptions on failure.
    virtual void TakeFrame() = 0;
    // Draws a monochrome cursor through the GDI-compatible texture's DC, top-left corner
    // at (x, y); throws core::video::DXGIException when that surface is not available.
    virtual void DrawMonochromeCursor(int x, int y) = 0;
    // Copies the GDI-compatible texture to the staging texture and maps it; the HRESULT.
    virtual int32_t Map(uint8_t*& bits, int& pitch) = 0;
    virtual void Unmap() = 0;
    virtual void Sleep(unsigned ms) = 0;
};

// The frame handling of the DXGI reader: time-outs, errors as exceptions, ReleaseFrame
// on every way out after a successful acquisition, cursor, clipped bottom-up copy.
class DxgiFrameReader {
public:
    static constexpr unsigned kFirstTimeoutMs = 500;

    DxgiFrameReader(IDesktopDuplication& duplication, ICursorSource& cursor,
                    std::function<uint64_t()> clock, int width, int height, const CvxRect& area,
                    bool captureCursor);

    // Returns at once with the buffer untouched when there is no new desktop image
    // (empty when it holds no earlier image); throws core::video::DXGIAccessLostException,
    // DXGIInvalidCallException or DXGIException on failures.
    std::vector<uint8_t>& Read(std::vector<uint8_t>& buffer, uint64_t& time);

    const CvxRect& Area() const { return m_area; }

private:
    IDesktopDuplication& m_duplication;
    ICursorSource& m_cursor;
    std::function<uint64_t()> m_clock;
    int m_width;
    int m_height;
    CvxRect m_area;
    bool m_captureCursor;
    uint64_t m_timeoutMs = kFirstTimeoutMs;
    uint64_t m_nextTimeoutMs = 0;
    bool m_firstRead = true;
};
