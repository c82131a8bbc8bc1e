// Drawing an image onto a device context: with alpha and a transparent colour,
// scaled, masked, and tiled.
#include <windows.h>

#include <cstring>
#include <vector>

#include "foundation/WinHandles.h"
#include "image/PxImage.h"

namespace {
// A bottom-up 24-bit DIB section of w x h pixels on its own memory DC. The members go
// in reverse: the section is deselected, then deleted, then the DC.
struct Section {
    UniqueDC dc;
    UniqueBitmap bitmap;
    SelectScope select;
    uint8_t* bits = nullptr;
    BITMAPINFO bmi;
    long rowBytes = 0;

    Section(HDC compatible, long w, long h) {
        std::memset(&bmi, 0, sizeof(bmi));
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = w;
        bmi.bmiHeader.biHeight = h;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 24;
        bmi.bmiHeader.biCompression = BI_RGB;
        rowBytes = ((w * 24 + 31) / 32) * 4;
        dc.reset(CreateCompatibleDC(compatible));
        if (!dc) return;
        void* p = nullptr;
        bitmap.reset(CreateDIBSection(compatible, &bmi, DIB_RGB_COLORS, &p, nullptr, 0));
        if (!bitmap) return;
        bits = static_cast<uint8_t*>(p);
        select = SelectScope(dc.get(), bitmap.get());
    }
    bool Ok() const { return dc && bitmap && bits; }
};

// Restores a device context's clip region as it was: none at all, or every
// rectangle of it (not just its bounding box).
class ClipScope {
public:
    ClipScope(HDC dc, const RECT* clip) : m_dc(dc) {
        if (!clip) return;
        m_active = true;
        m_saved.reset(CreateRectRgn(0, 0, 0, 0));
        m_hadRegion = m_saved && GetClipRgn(dc, m_saved.get()) == 1;
        UniqueRegion r(CreateRectRgnIndirect(clip));
        if (r) {
            // The clip rectangle is in logical units; regions are in device units.
            POINT corners[2] = {{clip->left, clip->top}, {clip->right, clip->bottom}};
            LPtoDP(dc, corners, 2);
            SetRectRgn(r.get(), corners[0].x, corners[0].y, corners[1].x, corners[1].y);
            ExtSelectClipRgn(dc, r.get(), RGN_AND);
        }
    }
    ~ClipScope() {
        if (!m_active) return;
        SelectClipRgn(m_dc, m_hadRegion ? m_saved.get() : nullptr);
    }
    ClipScope(const ClipScope&) = delete;
    ClipScope& operator=(const ClipScope&) = delete;

private:
    HDC m_dc;
    bool m_active = false;
    bool m_hadRegion = false;
    UniqueRegion m_saved;
};
}  // namespace

long PxImage::Draw(HDC dc, const RECT& rect, RECT* clip, bool smooth) {
    return Draw(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, clip, smooth);
}

long PxImage::Draw(HDC dc, long x, long y, long cx, long cy, RECT* clip, bool smooth) {
    if (!m_dib || !dc || cx == 0 || cy == 0 || !m_info.enabled) return 0;
    long imgW = static_cast<long>(GetWidth()), imgH = static_cast<long>(GetHeight());
    if (cx < 0) cx = imgW;
    if (cy < 0) cy = imgH;

    ClipScope clipScope(dc, clip);
    RECT target = {x, y, x + cx, y + cy};
    RECT box;
    if (GetClipBox(dc, &box) == ERROR) box = target;
    RECT area;
    if (!IntersectRect(&area, &target, &box)) return 1;  // nothing visible
    long aw = area.right - area.left, ah = area.bottom - area.top;

    if (NeedsCompositing()) {
        Section section(dc, aw, ah);
        if (!section.Ok()) return 0;
        BitBlt(section.dc.get(), 0, 0, aw, ah, dc, area.left, area.top, SRCCOPY);
        GdiFlush();
        CompositeInto(section.bits, section.rowBytes, area.left, area.top, aw, ah, x, y, cx, cy, smooth, true);
        SetDIBitsToDevice(dc, area.left, area.top, aw, ah, 0, 0, 0, ah, section.bits, &section.bmi, DIB_RGB_COLORS);
    } else if (cx == imgW && cy == imgH) {
        std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + GetPaletteSize() + sizeof(RGBQUAD));
        std::memcpy(info.data(), &m_header, sizeof(m_header));
        if (GetPaletteSize()) std::memcpy(info.data() + sizeof(m_header), GetPalette(), GetPaletteSize());
        SetStretchBltMode(dc, COLORONCOLOR);
        SetDIBitsToDevice(dc, x, y, imgW, imgH, 0, 0, 0, imgH, m_info.pixels,
                          reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS);
    } else {
        Section section(dc, aw, ah);
        if (!section.Ok()) return 0;
        GdiFlush();
        CompositeInto(section.bits, section.rowBytes, area.left, area.top, aw, ah, x, y, cx, cy, smooth, false);
        SetDIBitsToDevice(dc, area.left, area.top, aw, ah, 0, 0, 0, ah, section.bits, &section.bmi, DIB_RGB_COLORS);
    }
    return 1;
}

long PxImage::Draw2(HDC dc, const RECT& rect) {
    return Draw2(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

long PxImage::Draw2(HDC dc, long x, long y, long cx, long cy) {
    if (!m_dib || !dc || cx == 0 || cy == 0) return 0;
    long imgW = static_cast<long>(GetWidth()), imgH = static_cast<long>(GetHeight());
    if (cx < 0) cx = imgW;
    if (cy < 0) cy = imgH;
    if (m_info.transIndex < 0) return Stretch(dc, x, y, cx, cy, SRCCOPY);

    RECT target = {x, y, x + cx, y + cy};
    if (!RectVisible(dc, &target)) return 1;
    // The image 1:1 in a compatible bitmap, and a monochrome mask in which the
    // transparent colour is the background (1) and everything else 0.
    UniqueDC imageDc(CreateCompatibleDC(dc));
    UniqueDC maskDc(CreateCompatibleDC(dc));
    UniqueBitmap imageBmp(CreateCompatibleBitmap(dc, imgW, imgH));
    UniqueBitmap maskBmp(CreateBitmap(imgW, imgH, 1, 1, nullptr));
    if (imageDc && maskDc && imageBmp && maskBmp) {
        SelectScope selectImage(imageDc.get(), imageBmp.get());
        SelectScope selectMask(maskDc.get(), maskBmp.get());
        Stretch(imageDc.get(), 0, 0, imgW, imgH, SRCCOPY);
        RGBQUAD t = GetBpp() > 23 ? m_info.transColor : GetPaletteColor(static_cast<uint8_t>(m_info.transIndex));
        COLORREF oldBk = SetBkColor(imageDc.get(), RGB(t.rgbRed, t.rgbGreen, t.rgbBlue));
        BitBlt(maskDc.get(), 0, 0, imgW, imgH, imageDc.get(), 0, 0, SRCCOPY);
        SetBkColor(imageDc.get(), oldBk);
        COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
        COLORREF oldDcBk = SetBkColor(dc, RGB(255, 255, 255));
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, x, y, cx, cy, imageDc.get(), 0, 0, imgW, imgH, SRCINVERT);
        StretchBlt(dc, x, y, cx, cy, maskDc.get(), 0, 0, imgW, imgH, SRCAND);
        StretchBlt(dc, x, y, cx, cy, imageDc.get(), 0, 0, imgW, imgH, SRCINVERT);
        SetTextColor(dc, oldText);
        SetBkColor(dc, oldDcBk);
    }
    return 1;
}

long PxImage::Tile(HDC dc, RECT* rect) {
    if (!m_dib || !dc || !rect) return 0;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    for (long top = rect->top; top < rect->bottom; top += h)
        for (long left = rect->left; left < rect->right; left += w) {
            RECT part = {left, top, left + w < rect->right ? left + w : rect->right,
                         top + h < rect->bottom ? top + h : rect->bottom};
            Draw(dc, left, top, w, h, &part, false);
        }
    return 1;
}
