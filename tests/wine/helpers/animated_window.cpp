// Test helper: a borderless window at a given place whose picture moves all the time
// (a band of colour bars sliding right and a counter square), repainted every 15 ms, so
// that a recording of it has a new picture in every frame. Prints "ready" once shown and
// ends after the given seconds or on WM_CLOSE.
//   animated_window X Y WIDTH HEIGHT [SECONDS]
#include <windows.h>

#include <cstdlib>

#include "test_window.h"

namespace {

constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT_PTR kEndTimer = 2;
unsigned g_frame = 0;

void Paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT r;
    GetClientRect(window, &r);
    const COLORREF colours[] = {RGB(220, 30, 30), RGB(30, 200, 60), RGB(40, 60, 230), RGB(240, 220, 20),
                                RGB(240, 240, 240), RGB(20, 20, 20)};
    const int bar = 80;
    const int shift = static_cast<int>((g_frame * 7) % (bar * 6));
    for (int x = -bar * 6; x < r.right; x += bar) {
        int index = ((x + bar * 6) / bar) % 6;
        RECT band = {x + shift, 0, x + shift + bar, r.bottom};
        HBRUSH brush = CreateSolidBrush(colours[index]);
        FillRect(dc, &band, brush);
        DeleteObject(brush);
    }
    // A square that walks along a diagonal: no two frames alike.
    int side = r.bottom / 4;
    int pos = static_cast<int>((g_frame * 5) % static_cast<unsigned>(r.right > side ? r.right - side : 1));
    RECT square = {pos, (pos * r.bottom) / (r.right ? r.right : 1) % (r.bottom - side + 1), 0, 0};
    square.right = square.left + side;
    square.bottom = square.top + side;
    HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
    FillRect(dc, &square, black);
    DeleteObject(black);
    EndPaint(window, &ps);
}

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_PAINT: Paint(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_TIMER:
        if (w == kFrameTimer) {
            ++g_frame;
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        }
        DestroyWindow(window);
        return 0;
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
    HWND window = CreateTestWindow(L"AnimatedTestWindow", L"animated test window", Proc, 0, x, y, width, height);
    if (!window) return 1;
    UpdateWindow(window);
    SetTimer(window, kFrameTimer, 15, nullptr);
    SetTimer(window, kEndTimer, static_cast<UINT>(seconds) * 1000, nullptr);
    PrintReady(window);
    RunMessageLoop();
    return 0;
}
