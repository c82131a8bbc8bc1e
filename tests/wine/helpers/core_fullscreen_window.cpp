// Test helper: a borderless window exactly the size of the primary monitor, filled
// with one colour, brought to the foreground; it plays a full-screen game for the
// capture core's tests. It moves its window by "dx dy" when given (a full-screen window
// off its monitor's origin still counts by size) and ends after 20 s or on WM_CLOSE.
#include <windows.h>

#include <cstdlib>

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
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CoreFullScreenHelper";
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&wc);
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    HWND window = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"core fullscreen helper",
                                  WS_POPUP | WS_VISIBLE, dx, dy, width, height, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    if (!window) return 1;
    SetForegroundWindow(window);
    SetTimer(window, 1, 20000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
