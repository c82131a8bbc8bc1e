#include "editor/PanelPaint_win.h"

#include "foundation/Log.h"

void PaintPanel(HWND window, HBITMAP background, SIZE size, const std::function<void(HDC)>& drawOver) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (!dc) return;
    // The buttons are drawn over a fresh copy of the background each time: their
    // half-transparent edges then look the same however often the panel is painted.
    HDC source = CreateCompatibleDC(dc);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP frame = background ? CreateCompatibleBitmap(dc, size.cx, size.cy) : nullptr;
    if (source && memory && frame) {
        HGDIOBJ oldSource = SelectObject(source, background);
        HGDIOBJ oldMemory = SelectObject(memory, frame);
        BitBlt(memory, 0, 0, size.cx, size.cy, source, 0, 0, SRCCOPY);
        drawOver(memory);
        BitBlt(dc, 0, 0, size.cx, size.cy, memory, 0, 0, SRCCOPY);
        SelectObject(memory, oldMemory);
        SelectObject(source, oldSource);
    }
    if (frame) DeleteObject(frame);
    if (memory) DeleteDC(memory);
    if (source) DeleteDC(source);
    EndPaint(window, &ps);
}

HBITMAP LoadPanelBitmap(UINT id, SIZE& size) {
    size.cx = size.cy = 0;
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP info;
    if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) {
        Log("Editor panel: bitmap %u cannot be loaded\n", id);
        return bitmap;
    }
    size.cx = info.bmWidth;
    size.cy = info.bmHeight;
    return bitmap;
}

void FitPanelHidden(HWND window, SIZE size) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_HIDEWINDOW | SWP_NOACTIVATE);
}

POINT CursorInClient(HWND window) {
    POINT pt = {0, 0};
    GetCursorPos(&pt);
    ScreenToClient(window, &pt);
    return pt;
}
