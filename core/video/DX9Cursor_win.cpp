#include "core/video/DX9Cursor.h"

#include <cstring>

void DX9Cursor::Free() {
    m_copy.reset();
    m_colour.reset();
    m_mask.reset();
}

CursorShot DX9Cursor::Take() {
    Free();
    CursorShot shot;
    CURSORINFO info{};
    info.cbSize = sizeof info;
    if (!GetCursorInfo(&info) || !(info.flags & CURSOR_SHOWING) || !info.hCursor) return shot;
    shot.showing = true;
    m_copy.reset(CopyIcon(info.hCursor));
    if (!m_copy) return shot;
    ICONINFO icon{};
    if (!GetIconInfo(m_copy.get(), &icon)) return shot;
    m_colour.reset(icon.hbmColor);
    m_mask.reset(icon.hbmMask);
    shot.haveIcon = true;
    shot.monochrome = icon.hbmColor == nullptr;
    shot.xHotspot = static_cast<int>(icon.xHotspot);
    shot.yHotspot = static_cast<int>(icon.yHotspot);
    if (m_colour) {
        BITMAP bitmap{};
        if (GetObjectW(m_colour.get(), sizeof bitmap, &bitmap)) {
            shot.bitmapWidth = bitmap.bmWidth;
            shot.bitmapHeight = bitmap.bmHeight;
        }
    }
    POINT position;
    if (GetCursorPos(&position)) {
        shot.havePosition = true;
        shot.x = position.x;
        shot.y = position.y;
    }
    return shot;
}

bool DX9Cursor::DrawOnDc(HDC dc, int x, int y) const {
    return m_copy && dc && DrawIconEx(dc, x, y, m_copy.get(), 0, 0, 0, nullptr, DI_NORMAL);
}

bool DX9Cursor::PaintOver(uint8_t* pixels, int size) {
    if (!m_copy || size <= 0) return false;
    WindowDC screen(nullptr);
    if (!screen) return false;
    UniqueDC memory(CreateCompatibleDC(screen.get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = size;  // bottom-up, like the box
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap box(memory ? CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr);
    bool drawn = false;
    if (box && bits) {
        const size_t bytes = size_t(size) * size_t(size) * 4;
        SelectScope selection(memory.get(), box.get());
        if (selection) {
            std::memcpy(bits, pixels, bytes);
            drawn = DrawOnDc(memory.get(), 0, 0);
            GdiFlush();
            if (drawn) std::memcpy(pixels, bits, bytes);
        }
    }
    return drawn;
}

bool DX9Cursor::Draw(uint8_t* frame, int width, int height, int pitch) {
    CursorShot shot = Take();
    if (!shot.showing || !shot.haveIcon) return false;
    return ComposeCursor(frame, width, height, pitch, shot, *this);
}
