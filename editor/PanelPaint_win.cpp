#include "editor/PanelPaint_win.h"

#include "foundation/Log.h"
#include "foundation/WinHandles.h"

void PaintPanel(HWND window, HBITMAP background, SIZE size, const std::function<void(HDC)>& drawOver) {
    PaintDC paint(window);
    HDC dc = paint.get();
    if (!dc) return;
    // The buttons are drawn over a fresh copy of the background each time: their
    // half-transparent edges then look the same however often the panel is painted.
    UniqueDC source(CreateCompatibleDC(dc));
    UniqueDC memory(CreateCompatibleDC(dc));
    UniqueBitmap frame(background ? CreateCompatibleBitmap(dc, size.cx, size.cy) : nullptr);
    if (source && memory && frame) {
        SelectScope sourceSelection(source.get(), background);
        SelectScope memorySelection(memory.get(), frame.get());
        BitBlt(memory.get(), 0, 0, size.cx, size.cy, source.get(), 0, 0, SRCCOPY);
        drawOver(memory.get());
        BitBlt(dc, 0, 0, size.cx, size.cy, memory.get(), 0, 0, SRCCOPY);
    }
}

UniqueBitmap LoadPanelBitmap(UINT id, SIZE& size) {
    size.cx = size.cy = 0;
    UniqueBitmap bitmap(static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BITMAP info;
    if (!bitmap || !GetObjectW(bitmap.get(), sizeof info, &info)) {
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
