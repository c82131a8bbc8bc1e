// What the helpers that show a window of their own share: a borderless window of a
// class of its own, the "ready" line the scripts wait for, and the message loop.
#pragma once
#include <windows.h>

#include <cstdio>

// Registers `className` with `proc` and creates a visible borderless window of it at the
// given place; null when that fails.
inline HWND CreateTestWindow(const wchar_t* className, const wchar_t* caption, WNDPROC proc, DWORD exStyle, int x,
                             int y, int width, int height) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&wc);
    return CreateWindowExW(exStyle, className, caption, WS_POPUP | WS_VISIBLE, x, y, width, height, nullptr,
                           nullptr, wc.hInstance, nullptr);
}

inline void PrintReady(HWND window) {
    std::printf("ready %p\n", static_cast<void*>(window));
    std::fflush(stdout);
}

// Dispatches messages until WM_QUIT.
inline void RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}
