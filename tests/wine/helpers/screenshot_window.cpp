// Test helper: a borderless window at a given place, painted with four coloured
// quadrants (top left red, top right green, bottom left blue, bottom right yellow) so
// that a screenshot shows whether it is complete, upright and not shifted. It comes to
// the foreground, prints "ready" once painted and ends after the given seconds or on
// WM_CLOSE. With "textured" the window shows a pattern in which neighbouring pixels
// differ instead (for comparisons that must see every pixel: blur, anti-aliasing).
//   screenshot_window X Y WIDTH HEIGHT [SECONDS [textured]]
#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "test_window.h"

namespace {

bool g_textured = false;

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    RECT r = {left, top, right, bottom};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT r;
        GetClientRect(window, &r);
        if (g_textured) {
            BITMAPINFO info = {};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = r.right;
            info.bmiHeader.biHeight = -r.bottom;
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            info.bmiHeader.biCompression = BI_RGB;
            DWORD* bits = static_cast<DWORD*>(std::malloc(static_cast<size_t>(r.right) * r.bottom * 4));
            if (bits) {
                for (int y = 0; y < r.bottom; ++y)
                    for (int x = 0; x < r.right; ++x)
                        bits[y * r.right + x] = RGB((x * 5 + y * 3) & 255, (x * 2 + y * 7) & 255, (x * 11 + y) & 255);
                SetDIBitsToDevice(dc, 0, 0, r.right, r.bottom, 0, 0, 0, r.bottom, bits, &info, DIB_RGB_COLORS);
                std::free(bits);
            }
            EndPaint(window, &ps);
            return 0;
        }
        int mx = r.right / 2, my = r.bottom / 2;
        Fill(dc, 0, 0, mx, my, RGB(220, 30, 30));
        Fill(dc, mx, 0, r.right, my, RGB(30, 200, 60));
        Fill(dc, 0, my, mx, r.bottom, RGB(40, 60, 230));
        Fill(dc, mx, my, r.right, r.bottom, RGB(240, 220, 20));
        EndPaint(window, &ps);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_TIMER:
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(window, message, w, l);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5) return 2;
    int x = _wtoi(argv[1]), y = _wtoi(argv[2]), width = _wtoi(argv[3]), height = _wtoi(argv[4]);
    int seconds = argc > 5 ? _wtoi(argv[5]) : 60;
    g_textured = argc > 6 && wcscmp(argv[6], L"textured") == 0;
    HWND window = CreateTestWindow(L"ScreenshotTestWindow", L"screenshot test window", Proc, WS_EX_TOPMOST, x, y,
                                   width, height);
    if (!window) return 1;
    SetForegroundWindow(window);
    UpdateWindow(window);
    SetTimer(window, 1, static_cast<UINT>(seconds) * 1000, nullptr);
    PrintReady(window);
    RunMessageLoop();
    return 0;
}
