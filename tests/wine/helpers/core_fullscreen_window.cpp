// Test helper: a borderless window exactly the size of the primary monitor, filled
// with one colour, brought to the foreground; it plays a full-screen game for the
// capture core's tests. It moves its window by "dx dy" when given (a full-screen window
// off its monitor's origin still counts by size) and ends after 20 s or on WM_CLOSE.
#include <windows.h>

#include <cstdlib>

#include "test_window.h"

namespace {

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(window, &r);
        HBRUSH brush = CreateSolidBrush(RGB(20, 160, 90));
        FillRect(reinterpret_cast<HDC>(w), &r, brush);
        DeleteObject(brush);
        return 1;
    }
    case WM_TIMER:
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(window, message, w, l);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int dx = argc > 2 ? _wtoi(argv[1]) : 0;
    int dy = argc > 2 ? _wtoi(argv[2]) : 0;
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    HWND window = CreateTestWindow(L"CoreFullScreenHelper", L"core fullscreen helper", Proc, WS_EX_TOPMOST, dx, dy,
                                   width, height);
    if (!window) return 1;
    SetForegroundWindow(window);
    SetTimer(window, 1, 20000, nullptr);
    RunMessageLoop();
    return 0;
}
