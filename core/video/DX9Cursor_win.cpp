#include "core/video/DX9Cursor.h"

#include <cstring>

DX9Cursor::~DX9Cursor() {
    Free();
}

void DX9Cursor::Free() {
    if (m_copy) DestroyIcon(m_copy);
    if (m_colour) DeleteObject(m_colour);
    if (m_mask) DeleteObject(m_mask);
    m_copy = nullptr;
    m_colour = m_mask = nullptr;
}

CursorShot DX9Cursor::Take() {
    Free();
    CursorShot shot;
    CURSORINFO info{};
    info.cbSize = sizeof info;
    if (!GetCursorInfo(&info) || !(info.flags & CURSOR_SHOWING) || !info.hCursor) return shot;
    shot.showing = true;
    m_copy = CopyIcon(info.hCursor);
    if (!m_copy) return shot;
    ICONINFO icon{};
    if (!GetIconInfo(m_copy, &icon)) return shot;
    m_colour = icon.hbmColor;
    m_mask = icon.hbmMask;
    shot.haveIcon = true;
    shot.monochrome = icon.hbmColor == nullptr;
    shot.xHotspot = static_cast<int>(icon.xHotspot);
    shot.yHotspot = static_cast<int>(icon.yHotspot);
    if (m_colour) {
        BITMAP bitmap{};
        if (GetObjectW(m_colour, sizeof bitmap, &bitmap)) {
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
    return m_copy && dc && DrawIconEx(dc, x, y, m_copy, 0, 0, 0, nullptr, DI_NORMAL);
}

bool DX9Cursor::PaintOver(uint8_t* pixels, int size) {
    if (!m_copy || size <= 0) return false;
    HDC screen = GetDC(nullptr);
    if (!screen) return false;
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = size;  // bottom-up, like the box
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP box = memory ? CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    bool drawn = false;
    if (box && bits) {
        const size_t bytes = size_t(size) * size_t(size) * 4;
        HGDIOBJ old = SelectObject(memory, box);
        if (old) {
            std::memcpy(bits, pixels, bytes);
            drawn = DrawOnDc(memory, 0, 0);
            GdiFlush();
            if (drawn) std::memcpy(pixels, bits, bytes);
            SelectObject(memory, old);
        }
    }
    if (box) DeleteObject(box);
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return drawn;
}

bool DX9Cursor::Draw(uint8_t* frame, int width, int height, int pitch) {
    CursorShot shot = Take();
    if (!shot.showing || !shot.haveIcon) return false;
    return ComposeCursor(frame, width, height, pitch, shot, *this);
}
