#include "core/video/GDIScreenCapture.h"

#include <windows.h>

#include <algorithm>

#include "core/CvxException.h"
#include "core/QpcTime.h"
#include "core/video/DX9Cursor.h"
#include "core/video/ScreenCopyBands.h"
#include "foundation/WinHandles.h"

struct GDIScreenCapture::Impl {
    int stride = 0;
    CvxRect virtualScreen;
    CvxRect area;
    // Freed in reverse: the bitmap is deselected, then deleted, before its DC goes.
    WindowDC screenDC;
    UniqueDC memoryDC;
    UniqueBitmap bitmap;
    SelectScope selection;   // the bitmap in memoryDC
    bool captureCursor = false;
};

GDIScreenCapture::GDIScreenCapture(bool captureCursor, const CvxRect& area)
    : m_impl(std::make_unique<Impl>()) {
    Impl& d = *m_impl;
    d.captureCursor = captureCursor;
    d.virtualScreen.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    d.virtualScreen.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    d.virtualScreen.right = d.virtualScreen.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    d.virtualScreen.bottom = d.virtualScreen.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    d.area = area.IsAllZero() ? d.virtualScreen : area;
    if (FrameBytes(d.area) == 0)
        throw CvxException(std::string("GDIScreenCapture:constructor: empty area"));
    d.stride = d.area.Width() * 4;
    d.screenDC = WindowDC(GetDesktopWindow());
    if (d.screenDC) d.memoryDC.reset(CreateCompatibleDC(d.screenDC.get()));
    // The bitmap only ever receives the area, so it is the area's size: GetDIBits then
    // reads exactly the rows and columns it was asked for.
    if (d.memoryDC) d.bitmap.reset(CreateCompatibleBitmap(d.screenDC.get(), d.area.Width(), d.area.Height()));
    if (d.bitmap) d.selection = SelectScope(d.memoryDC.get(), d.bitmap.get());
    if (!d.selection) {
        m_impl.reset();
        throw CvxException(std::string("GDIScreenCapture:constructor:  CreateCompatibleBitmap failed"));
    }
}

GDIScreenCapture::~GDIScreenCapture() = default;

const CvxRect& GDIScreenCapture::Area() const {
    return m_impl->area;
}

std::vector<uint8_t>& GDIScreenCapture::Read(std::vector<uint8_t>& buffer, uint64_t& time) {
    Impl& d = *m_impl;
    const int width = d.area.Width();
    const int height = d.area.Height();
    // GetDIBits writes every byte of the frame (or the frame is dropped), so the buffer
    // kept from the last read is not cleared first.
    buffer.resize(size_t(height) * size_t(d.stride));
    time = CvxGetQpcTime();
    // Only the part of the area on the virtual screen is copied; the rest is black.
    // (Wine copies nothing at all when the source reaches past the screen.)
    const CvxRect& screen = d.virtualScreen;
    const int left = std::max(d.area.left, screen.left), top = std::max(d.area.top, screen.top);
    const int right = std::min(d.area.right, screen.right), bottom = std::min(d.area.bottom, screen.bottom);
    const bool whole = left == d.area.left && top == d.area.top && right == d.area.right &&
                       bottom == d.area.bottom;
    if (!whole) PatBlt(d.memoryDC.get(), 0, 0, width, height, BLACKNESS);
    if (right > left && bottom > top) {
        // In bands (see ScreenCopyBands.h); the whole read fails when one band does.
        const int bandRows = ScreenCopyBandRows(right - left);
        for (int y = top; y < bottom; y += bandRows) {
            const int rows = std::min(bandRows, bottom - y);
            if (!BitBlt(d.memoryDC.get(), left - d.area.left, y - d.area.top, right - left, rows, d.screenDC.get(), left, y,
                        SRCCOPY)) {
                buffer.clear();
                return buffer;
            }
        }
    }
    if (d.captureCursor) {
        DX9Cursor cursor;
        CursorShot shot = cursor.Take();
        if (shot.showing && shot.haveIcon && shot.havePosition)
            cursor.DrawOnDc(d.memoryDC.get(), shot.x - shot.xHotspot - d.area.left,
                            shot.y - shot.yHotspot - d.area.top);
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    // GetDIBits wants the bitmap out of any DC.
    d.selection.reset();
    int lines = GetDIBits(d.memoryDC.get(), d.bitmap.get(), 0, UINT(height), buffer.data(), &info, DIB_RGB_COLORS);
    d.selection = SelectScope(d.memoryDC.get(), d.bitmap.get());
    if (lines != height) buffer.clear();
    return buffer;
}
